#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kObstructionPool = ZkMemID_Default;
} // namespace

CZkEmitter::~CZkEmitter()
{
    m_spare.Term();
    FreePositions();
    for (ZkListenerObstruction& entry : m_obstructions)
        ZK::ZkDelete(kObstructionPool, entry.values);
    m_obstructions.Term();
}

void CZkEmitter::FreePositions()
{
    if (m_positions != nullptr)
        ZK::MemoryMgr::Free(kPositionPool, m_positions);
    m_positions = nullptr;
    m_positionCount = 0;
}

ZKRESULT CZkEmitter::SetPositions(const ZkChannelEmitter* records, uint32_t count, uint32_t mode)
{
    ZKRESULT result = ZK_Success;
    if (count > std::numeric_limits<uint16_t>::max() || (count != 0 && records == nullptr))
        return ZK_InvalidParameter;
    if (count != m_positionCount)
    {
        FreePositions();
        if (count != 0)
        {
            m_positions = static_cast<ZkChannelEmitter*>(ZK::MemoryMgr::Malloc(kPositionPool, sizeof(ZkChannelEmitter) * count));
            if (m_positions != nullptr)
                m_positionCount = static_cast<uint16_t>(count);
            else
                result = ZK_InsufficientMemory;
        }
    }
    if (m_positions != nullptr && count != 0)
        std::memcpy(m_positions, records, sizeof(ZkChannelEmitter) * count);
    m_modeFlags = static_cast<uint8_t>((m_modeFlags & ~kMultiPositionMask) | (mode & kMultiPositionMask));
    SetDirty();
    return result;
}

const ZkListenerObstruction* CZkEmitter::FindObstruction(ZkGameObjectID listenerID) const
{
    for (const ZkListenerObstruction& entry : m_obstructions)
    {
        if (entry.listenerID == listenerID)
            return &entry;
    }
    return nullptr;
}

ZKRESULT CZkEmitter::SetObstructionOcclusion(ZkGameObjectID listenerID, const ZkObstructionOcclusionValues* values,
                                             uint32_t n)
{
    if (n == 0 || values == nullptr)
        return ZK_Success;
    auto* entry = const_cast<ZkListenerObstruction*>(FindObstruction(listenerID));
    bool created = false;
    if (entry == nullptr)
    {
        auto* fresh = ZK::ZkNew<ZK::ZkArray<ZkObstructionValue>>(kObstructionPool);
        if (fresh == nullptr)
            return ZK_InsufficientMemory;
        entry = m_obstructions.AddLast(ZkListenerObstruction{listenerID, fresh});
        if (entry == nullptr)
        {
            ZK::ZkDelete(kObstructionPool, fresh);
            return ZK_InsufficientMemory;
        }
        created = true;
    }

    ZK::ZkArray<ZkObstructionValue>& stored = *entry->values;
    const uint32_t oldCount = stored.Length();
    const uint32_t newCount = std::max(oldCount, n);
    if (stored.Reserve(newCount) != ZK_Success)
    {
        if (created)
        {
            ZK::ZkDelete(kObstructionPool, entry->values);
            m_obstructions.Erase(m_obstructions.Length() - 1);
        }
        return ZK_InsufficientMemory;
    }
    // New positions continue the last known value, or start unobstructed.
    const ZkObstructionValue continued = oldCount != 0 ? stored[oldCount - 1] : kNewObstruction;
    while (stored.Length() < newCount)
        stored.AddLast(continued);
    for (uint32_t index = 0; index < newCount; ++index)
    {
        const ZkObstructionOcclusionValues& given = values[std::min(index, n - 1)];
        stored[index].occlusion = given.occlusion;
        stored[index].obstruction = given.obstruction;
    }
    return ZK_Success;
}

void CZkEmitter::PruneListeners(const ZkGameObjectID* sortedListenerIDs, uint32_t count)
{
    for (uint32_t index = 0; index < m_obstructions.Length();)
    {
        const ZkGameObjectID id = m_obstructions[index].listenerID;
        if (std::binary_search(sortedListenerIDs, sortedListenerIDs + count, id))
        {
            ++index;
            continue;
        }
        ZK::ZkDelete(kObstructionPool, m_obstructions[index].values);
        m_obstructions.Erase(index);
    }
}
} // namespace ZK::SoundEngine
