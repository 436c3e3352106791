#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

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

ZKRESULT ObjectIndex::ReleaseDynamicSequences()
{
    return ZK_NotImplemented;
}

ObjectIndex* g_pObjectIndex = nullptr;
} // namespace ZK::SoundEngine
