// Where a segment is entered for an entering side (ZkMusicTransitionSides.h), in segment time:
//   kind 0        the entry cue (0);
//   kinds 1 and 4 the position the scheduling supplies (the source's position, or a saved one);
//   kind 2        a random cue at or after that position, the entry cue among the candidates;
//   kind 3        the same without the entry cue;
//   other kinds   the entry cue.
// Kinds 2 and 3 draw among the cues of the side's cue filter, or, with use-source-cue, of the cue
// the scheduling supplies (0: any), from the engine's generator. cueID receives the marker the
// entry lies on (0 for a supplied position).
//
// Threading: engine thread (the random draw uses the engine's generator). Ownership: none.
#pragma once

#include "MusicEngine/Contexts/ZkMusicTransitionSides.h"

namespace ZK::MusicEngine
{
int32_t EntryPointFor(const CZkMusicSegment& segment, const ZkMusicEnterSide& entry, int32_t suppliedPosition,
                      ZkUniqueID suppliedCue, ZkUniqueID& cueID);

// Where a segment is left for a leaving side: the first sync point of its kind after segment time 0
// (with its cue filter). Kinds that find nothing there (a grid kind in a segment shorter than its
// unit, custom cues in a segment without any, the entry cue, unknown codes) leave at the exit cue,
// so that the next segment always has a place. cueID receives the marker it lies on (0 for grid kinds).
int32_t ExitPointFor(const CZkMusicSegment& segment, const ZkMusicLeaveSide& leave, ZkUniqueID& cueID);
} // namespace ZK::MusicEngine
