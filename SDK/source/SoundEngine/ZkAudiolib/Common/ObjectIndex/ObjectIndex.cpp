#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"

namespace ZK::SoundEngine
{
bool ObjectIndex::InitTables()
{
    for (ZkIndexTable& table : m_tables)
    {
        if (!table.InitBuckets(kInitialBucketCount))
            return false;
    }
    return true;
}

void ObjectIndex::FreeTables()
{
    ReleaseGroupEntries();
    for (ZkIndexTable& table : m_tables)
        table.FreeBuckets();
}

void ObjectIndex::ReleaseSynthesizedObjects()
{
    const auto synthesized = [](const CZkIndexedObject& object) { return (object.ID() & kSynthesizedObjectIdBit) != 0; };
    Table(ZkIndexKind::Nodes).ReleaseEach(synthesized);
    Table(ZkIndexKind::CustomEffects).ReleaseEach(synthesized);
}

void ObjectIndex::ReleaseDynamicSequences()
{
    // Every object of the table is a sequence.
    Table(ZkIndexKind::DynamicSequences).ReleaseEach([](CZkIndexedObject& object) {
        static_cast<CZkDynamicSequence&>(object).ReleaseAtTermination();
        return false; // ReleaseAtTermination gave back what it had to
    });
}

ObjectIndex* g_pObjectIndex = nullptr;
} // namespace ZK::SoundEngine
