// The segment's cue and grid queries, as the playback contexts ask them to find sync points.
#include "MusicEngine/CZkMusicSegment.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <algorithm>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
// Floor division and the matching non-negative modulo (the grid math works on whole periods
// before and after 0 alike).
int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t FloorMod(int64_t a, int64_t b)
{
    return a - FloorDiv(a, b) * b;
}

// The first multiple of period at or after d (counted from origin).
int64_t NextMultiple(int64_t d, int64_t origin, int64_t period)
{
    return origin - FloorDiv(origin - d, period) * period;
}

uint32_t CountInWindow(int64_t x, int64_t length, int64_t period)
{
    return static_cast<uint32_t>(FloorDiv(x + length, period) - FloorDiv(x, period));
}
} // namespace

int32_t CZkMusicSegment::PreEntryLength() const
{
    return Entry();
}

int32_t CZkMusicSegment::ActiveLength() const
{
    return m_markerCount > 0 ? m_markers[m_markerCount - 1].position - m_markers[0].position : 0;
}

int32_t CZkMusicSegment::PostExitLength() const
{
    return m_markerCount > 0 ? m_duration - m_markers[m_markerCount - 1].position : m_duration;
}

int32_t CZkMusicSegment::NearestCue(int32_t position) const
{
    if (m_markerCount == 0)
        return 0;
    const uint32_t cues = m_markerCount > 1 ? m_markerCount - 1 : 1;
    int32_t best = 0;
    int64_t bestDistance = -1;
    for (uint32_t index = 0; index < cues; ++index)
    {
        const int32_t relative = m_markers[index].position - Entry();
        const int64_t distance = relative > position ? int64_t{relative} - position : int64_t{position} - relative;
        if (bestDistance < 0 || distance < bestDistance)
        {
            best = relative;
            bestDistance = distance;
        }
    }
    return best;
}

bool CZkMusicSegment::NextSyncPoint(uint32_t kind, int32_t position, bool excludeCurrent, ZkUniqueID& cueID,
                                    int32_t& point) const
{
    const ZkUniqueID filter = cueID;
    cueID = 0;
    const int64_t active = ActiveLength();
    if (m_markerCount == 0 || position > active)
        return false;
    const int64_t d = int64_t{position} + (excludeCurrent ? 1 : 0);
    const ZkMusicGrid& grid = EffectiveGrid();
    int64_t found = 0;
    switch (kind)
    {
    case ZkMusicSync_Immediate:
        point = static_cast<int32_t>(d);
        return true;
    case ZkMusicSync_NextGrid:
        found = grid.period > 0 ? NextMultiple(d, grid.offset, grid.period) : d + 1;
        break;
    case ZkMusicSync_NextBar:
        found = grid.bar > 0 ? NextMultiple(d, 0, grid.bar) : d + 1;
        break;
    case ZkMusicSync_NextBeat:
        found = grid.beat > 0 ? NextMultiple(d, 0, grid.beat) : d + 1;
        break;
    case ZkMusicSync_NextCue:
    {
        uint32_t index = excludeCurrent ? 1 : 0;
        for (; index < m_markerCount; ++index)
        {
            const int32_t relative = m_markers[index].position - Entry();
            if (relative >= position && (filter == 0 || m_markers[index].id == filter))
                break;
        }
        if (index >= m_markerCount)
            index = m_markerCount - 1; // the exit cue
        cueID = m_markers[index].id;
        point = m_markers[index].position - Entry();
        return true;
    }
    case ZkMusicSync_NextCustomCue:
        for (uint32_t index = 1; index + 1 < m_markerCount; ++index)
        {
            const int32_t relative = m_markers[index].position - Entry();
            if (relative >= d && (filter == 0 || m_markers[index].id == filter))
            {
                cueID = m_markers[index].id;
                point = relative;
                return true;
            }
        }
        return false;
    case ZkMusicSync_EntryCue:
        if (position != 0 || excludeCurrent)
            return false;
        cueID = m_markers[0].id;
        point = 0;
        return true;
    case ZkMusicSync_ExitCue:
        cueID = m_markers[m_markerCount - 1].id;
        point = static_cast<int32_t>(active);
        return true;
    default:
        return false;
    }
    if (found > active)
        return false;
    point = static_cast<int32_t>(found);
    return true;
}

void CZkMusicSegment::RandomCue(int32_t position, bool skipEntry, ZkUniqueID filter, ZkUniqueID& cueID,
                                int32_t& cuePosition) const
{
    cueID = m_markerCount > 0 ? m_markers[0].id : 0;
    cuePosition = 0;
    if (m_markerCount < 2)
        return;
    uint32_t first = 0;
    while (first < m_markerCount && m_markers[first].position - Entry() < position)
        ++first;
    if (skipEntry && first == 0)
        first = 1;
    const uint32_t end = m_markerCount - 1; // the exit cue is no candidate
    const auto candidate = [&](uint32_t index)
    { return filter == 0 || m_markers[index].id == filter || index == 0; };
    uint32_t count = 0;
    for (uint32_t index = first; index < end; ++index)
        count += candidate(index) ? 1 : 0;
    if (count == 0)
        return;
    uint32_t pick = ZK::ZkLcg64::Engine().RandomIndex(count);
    for (uint32_t index = first; index < end; ++index)
    {
        if (!candidate(index))
            continue;
        if (pick-- == 0)
        {
            cueID = m_markers[index].id;
            cuePosition = m_markers[index].position - Entry();
            return;
        }
    }
}

uint32_t CZkMusicSegment::CountCues(ZkUniqueID id) const
{
    uint32_t count = 0;
    for (uint32_t index = 0; index < m_markerCount; ++index)
        count += m_markers[index].id == id ? 1 : 0;
    return count;
}

void CZkMusicSegment::CountGridLines(int32_t start, int32_t length, uint32_t& beats, uint32_t& bars,
                                     uint32_t& gridLines) const
{
    beats = bars = gridLines = 0;
    int64_t from = start;
    int64_t span = length;
    const int64_t active = ActiveLength();
    if (from + span > active)
        span = active - from;
    if (from < 0)
    {
        span += from;
        from = 0;
    }
    if (span <= 0)
        return;
    const ZkMusicGrid& grid = EffectiveGrid();
    const auto count = [&](int64_t period, int64_t origin) -> uint32_t
    {
        if (period <= 0)
            return 0;
        const int64_t x = period + FloorMod(from - origin + period, period) - 1;
        return CountInWindow(x, span, period);
    };
    beats = count(grid.beat, 0);
    bars = count(grid.bar, 0);
    gridLines = count(grid.period, grid.offset);
}

uint32_t CZkMusicSegment::NotifyMarkersInWindow(int32_t start, int32_t length, ZkPlayingID playingID) const
{
    return ForEachMarkerInWindow(start, length,
                                 [&](const ZkMusicMarker& marker)
                                 {
                                     if (g_pPlayingMgr == nullptr)
                                         return;
                                     ZkSegmentInfo info{};
                                     g_pPlayingMgr->NotifyMusicCallback(playingID, info, marker.name);
                                 });
}
} // namespace ZK::MusicEngine
