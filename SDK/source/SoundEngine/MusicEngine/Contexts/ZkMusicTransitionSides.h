// ZkMusicTransitionSides: the two halves of a move from one segment to the next, as the chain
// contexts place it. The leaving side says where the playing segment is left (its sync point, with
// a cue filter) and how it fades out or plays on through its post-exit; the entering side says where
// the next segment is entered (an entry kind and cue) and how it fades in or plays its pre-entry.
// A transition rule gives both sides; a rule's transition segment gives its own entering side
// (entered at its entry cue) and leaving side (left at its exit cue), so that one placement serves
// both hops through it.
//
// Threading: plain values, engine thread. Ownership: nothing held.
#pragma once

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/ZkMusicTransitionRule.h"

namespace ZK::MusicEngine
{
struct ZkMusicLeaveSide
{
    uint32_t syncKind = ZkMusicSync_ExitCue;
    ZkUniqueID cueFilter = 0; // 0: any cue
    ZkMusicFade fadeOut;
    bool playPostExit = false;
};

struct ZkMusicEnterSide
{
    uint32_t entryKind = 0; // 0 the entry cue; see EntryPointFor
    ZkUniqueID cue = 0;     // the random-cue filter of entry kinds 2 and 3
    bool useSourceCue = false;
    ZkMusicFade fadeIn;
    bool playPreEntry = false;
};

inline ZkMusicLeaveSide LeaveSideOf(const ZkMusicTransitionRule& rule)
{
    return {rule.SyncKind(), rule.sourceCue, rule.sourceFade, rule.PlaysPostExit()};
}

inline ZkMusicEnterSide EnterSideOf(const ZkMusicTransitionRule& rule)
{
    return {rule.EntryKind(), rule.destinationCue, rule.UsesSourceCue(), rule.destinationFade, rule.PlaysPreEntry()};
}

inline ZkMusicLeaveSide LeaveSideOf(const ZkMusicTransitionSegment& segment)
{
    return {ZkMusicSync_ExitCue, 0, segment.fadeOut, segment.playPostExit};
}

inline ZkMusicEnterSide EnterSideOf(const ZkMusicTransitionSegment& segment)
{
    return {0, 0, false, segment.fadeIn, segment.playPreEntry};
}
} // namespace ZK::MusicEngine
