#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"

#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

namespace ZK::SoundEngine
{
CZkInstanceLimiter::~CZkInstanceLimiter()
{
    if (!m_entries.IsEmpty())
        CZkActiveInstances::UnregisterLimiter(this);
}

uint32_t CZkInstanceLimiter::LowerBound(const ZkPriorityRecord& record) const
{
    uint32_t low = 0;
    uint32_t high = m_entries.Length();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (RanksBefore(m_entries[middle]->priority, record, m_olderFirst))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

uint32_t CZkInstanceLimiter::IndexOf(const CZkLiveInstance* instance) const
{
    const uint32_t at = LowerBound(instance->priority);
    if (at < m_entries.Length() && m_entries[at] == instance)
        return at;
    // A record changed behind the limiter's back: find the instance itself.
    const uint32_t found = m_entries.Find(const_cast<CZkLiveInstance*>(instance));
    return found;
}

ZKRESULT CZkInstanceLimiter::Insert(CZkLiveInstance* instance)
{
    const bool wasEmpty = m_entries.IsEmpty();
    if (m_entries.Insert(LowerBound(instance->priority), instance) == nullptr)
        return ZK_Fail;
    if (wasEmpty)
        CZkActiveInstances::RegisterLimiter(this);
    return ZK_Success;
}

void CZkInstanceLimiter::Remove(CZkLiveInstance* instance)
{
    const uint32_t at = IndexOf(instance);
    if (at == m_entries.Length())
        return;
    m_entries.Erase(at);
    if (m_entries.IsEmpty())
        CZkActiveInstances::UnregisterLimiter(this);
}

void CZkInstanceLimiter::ChangePriority(CZkLiveInstance* instance, float newPriority)
{
    const uint32_t from = IndexOf(instance);
    if (from == m_entries.Length())
        return;
    ZkPriorityRecord moved = instance->priority;
    moved.priority = RankedPriority(newPriority);
    // Shift the entries between the old and the new place by one, then drop the instance in.
    uint32_t to = from;
    while (to > 0 && RanksBefore(moved, m_entries[to - 1]->priority, m_olderFirst))
    {
        m_entries[to] = m_entries[to - 1];
        --to;
    }
    while (to + 1 < m_entries.Length() && RanksBefore(m_entries[to + 1]->priority, moved, m_olderFirst))
    {
        m_entries[to] = m_entries[to + 1];
        ++to;
    }
    m_entries[to] = instance;
}

void CZkInstanceLimiter::Enforce()
{
    if (m_maxCount == 0 || m_maxCount >= m_entries.Length())
        return;
    uint32_t places = 0;
    for (uint32_t index = 0; index < m_entries.Length();)
    {
        CZkLiveInstance* instance = m_entries[index];
        const ZkLimitStanding standing = instance->LimitStanding();
        const bool active = standing == ZkLimitStanding::HoldsPlace || standing == ZkLimitStanding::Transitional;
        if (places >= m_maxCount && active)
            instance->OnOverLimit(m_virtualOnLimit, m_reason);
        else if (standing == ZkLimitStanding::HoldsPlace)
            ++places;
        // An instance that left the limiter while it was sent off does not move the walk on.
        if (index < m_entries.Length() && m_entries[index] == instance)
            ++index;
    }
}

void CZkInstanceLimiter::SetTieBreak(bool olderFirst)
{
    if (olderFirst == m_olderFirst)
        return;
    m_olderFirst = olderFirst;
    // Insertion sort: the array is short and was sorted by a closely related order.
    for (uint32_t index = 1; index < m_entries.Length(); ++index)
    {
        CZkLiveInstance* instance = m_entries[index];
        uint32_t at = index;
        while (at > 0 && RanksBefore(instance->priority, m_entries[at - 1]->priority, m_olderFirst))
        {
            m_entries[at] = m_entries[at - 1];
            --at;
        }
        m_entries[at] = instance;
    }
}
} // namespace ZK::SoundEngine
