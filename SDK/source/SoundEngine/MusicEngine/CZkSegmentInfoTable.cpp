#include "MusicEngine/CZkSegmentInfoTable.h"

#include "Platform/PlatformClock.h"

namespace ZK::MusicEngine
{
using Platform::ZkScopedLock;

CZkSegmentInfoTable::CZkSegmentInfoTable()
    : CZkSegmentInfoTable(&Platform::PerformanceCounter, Platform::PerformanceFrequency())
{
}

CZkSegmentInfoTable::CZkSegmentInfoTable(Clock clock, int64_t ticksPerSecond)
    : m_clock(clock), m_ticksPerMs(static_cast<float>(ticksPerSecond) / 1000.0f)
{
}

void CZkSegmentInfoTable::UseClock(Clock clock, int64_t ticksPerSecond)
{
    ZkScopedLock guard(m_lock);
    m_clock = clock;
    m_ticksPerMs = static_cast<float>(ticksPerSecond) / 1000.0f;
}

CZkSegmentInfoTable& CZkSegmentInfoTable::ProcessTable()
{
    static CZkSegmentInfoTable table;
    return table;
}

uint32_t CZkSegmentInfoTable::Find(ZkPlayingID playingID) const
{
    uint32_t index = 0;
    while (index < m_entries.Length() && m_entries[index].playingID != playingID)
        ++index;
    return index;
}

ZKRESULT CZkSegmentInfoTable::Add(ZkPlayingID playingID)
{
    ZkScopedLock guard(m_lock);
    const uint32_t index = Find(playingID);
    Entry* entry = index < m_entries.Length() ? &m_entries[index] : m_entries.AddLast();
    if (entry == nullptr)
        return ZK_InsufficientMemory;
    *entry = Entry{playingID, ZkSegmentInfo{}, m_clock()};
    return ZK_Success;
}

void CZkSegmentInfoTable::Write(ZkPlayingID playingID, const ZkSegmentInfo& info)
{
    ZkScopedLock guard(m_lock);
    const uint32_t index = Find(playingID);
    if (index == m_entries.Length())
        return;
    m_entries[index].info = info;
    m_entries[index].stamp = m_clock();
}

void CZkSegmentInfoTable::Remove(ZkPlayingID playingID)
{
    ZkScopedLock guard(m_lock);
    m_entries.Erase(Find(playingID)); // no entry: the index is the count, which Erase ignores
}

ZKRESULT CZkSegmentInfoTable::Read(ZkPlayingID playingID, ZkSegmentInfo& info, bool extrapolate)
{
    ZkScopedLock guard(m_lock);
    const uint32_t index = Find(playingID);
    if (index == m_entries.Length())
        return ZK_Fail;
    const Entry& entry = m_entries[index];
    info = entry.info;
    const bool hasDuration =
        info.preEntryDurationMs > 0 || info.activeDurationMs > 0 || info.postExitDurationMs > 0;
    if (extrapolate && hasDuration)
    {
        // In single precision, truncated toward zero, as the position is reported in whole ms.
        const float elapsedMs = static_cast<float>(m_clock() - entry.stamp) / m_ticksPerMs;
        info.positionMs += static_cast<int32_t>(elapsedMs);
    }
    return ZK_Success;
}

void CZkSegmentInfoTable::Release()
{
    ZkScopedLock guard(m_lock);
    m_entries.Term();
}

uint32_t CZkSegmentInfoTable::Count()
{
    ZkScopedLock guard(m_lock);
    return m_entries.Length();
}
} // namespace ZK::MusicEngine
