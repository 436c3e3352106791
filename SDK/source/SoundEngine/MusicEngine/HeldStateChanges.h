// Held state changes: a change of a state group that the playing music wants in time is held by the
// playing context whose next sync point for the group comes first, as a sync action in the chain
// item where that point lies (ZkMusicStateChangeHook). At the point the change is posted again as a
// state message that skips the hook (ApplyHeldStateChange), so the next tick applies it. A context
// that can no longer hold a change gives it back (RescheduleStateChange): another playing context
// takes it over, or it is posted at once.
//
// The newest request of a group wins: a change posted marks every older pending change of its group
// done, and a done change is never posted, wherever it is still held.
//
// Threading: engine thread only, inside the tick under the global engine lock.
// Ownership: the records are MusicEngineState's; the contexts only point at them from their sync
// actions. Once the music state is released (the engine's end) a held record is gone, and both
// calls do nothing.
#pragma once

#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::MusicEngine
{
struct PendingStateChange;

// The playing, unpaused top-level context that offers the earliest sync point for the group, and
// its answer; on equal times the first in list order. context is null when none found one.
struct SyncPointChoice
{
    CZkMusicTimelineContext* context = nullptr;
    SyncPointAnswer answer;
};
SyncPointChoice FindEarliestSyncPoint(ZkUniqueID stateGroup);

// Whether the choice lies beyond the frame about to be rendered: only then is a change worth
// holding (a point inside that frame could not be met more exactly than by applying it now).
bool IsWorthHolding(const SyncPointChoice& choice);

// The sync point of a held change is reached, or the change must take effect at once.
void ApplyHeldStateChange(PendingStateChange& record);
// The context that held the change gives it back unapplied.
void RescheduleStateChange(PendingStateChange& record);
} // namespace ZK::MusicEngine
