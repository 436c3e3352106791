#include "MusicEngine/ZkMusicEntryPoint.h"

namespace ZK::MusicEngine
{
namespace
{
constexpr uint32_t kEntryCue = 0;
constexpr uint32_t kEntrySuppliedPosition = 1;
constexpr uint32_t kEntryRandomCue = 2;
constexpr uint32_t kEntryRandomCueNotEntry = 3;
constexpr uint32_t kEntrySavedPosition = 4;
} // namespace

int32_t EntryPointFor(const CZkMusicSegment& segment, const ZkMusicEnterSide& entry, int32_t suppliedPosition,
                      ZkUniqueID suppliedCue, ZkUniqueID& cueID)
{
    switch (entry.entryKind)
    {
    case kEntrySuppliedPosition:
    case kEntrySavedPosition:
        cueID = 0;
        return suppliedPosition;
    case kEntryRandomCue:
    case kEntryRandomCueNotEntry:
    {
        int32_t position = 0;
        segment.RandomCue(suppliedPosition, entry.entryKind == kEntryRandomCueNotEntry,
                          entry.useSourceCue ? suppliedCue : entry.cue, cueID, position);
        return position;
    }
    case kEntryCue:
    default:
        cueID = segment.MarkerCount() > 0 ? segment.Marker(0).id : 0;
        return 0;
    }
}

int32_t ExitPointFor(const CZkMusicSegment& segment, const ZkMusicLeaveSide& leave, ZkUniqueID& cueID)
{
    cueID = leave.cueFilter;
    int32_t point = 0;
    if (segment.NextSyncPoint(leave.syncKind, 0, true, cueID, point))
        return point;
    cueID = segment.MarkerCount() > 0 ? segment.Marker(segment.MarkerCount() - 1).id : 0;
    return segment.ActiveLength();
}
} // namespace ZK::MusicEngine
