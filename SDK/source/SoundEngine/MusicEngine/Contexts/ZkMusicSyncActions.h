// What happens to the sync actions of a chain item (ZkMusicSyncAction): creation, the run when the
// music reaches them, and the settling when the item can no longer reach them.
//
// A held state change (kind 1) takes effect when its time is reached; an item that will not reach
// it (cut or faded out early, or its segment paused) applies it at once; a chain that is cleared
// gives it back to the music engine, which lets another playing context hold it or applies it. A
// stinger's action (kind 0) only marks where the stinger lies on the timeline: running or settling
// it frees it, the stinger itself is the play record's.
//
// Threading: engine thread only, under the global engine lock. Ownership: the actions are the
// item's (pool 0) until they are run or taken out.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::MusicEngine
{
struct ZkMusicChainItem;
struct ZkMusicSyncAction;

// A new action at the front of the item's list at the item's segment time: 1, or 2 out of memory.
ZKRESULT PushSyncAction(ZkMusicChainItem& item, int64_t time, uint32_t kind, void* target);
// Gives an action that is on no list back to the pool.
void FreeSyncAction(ZkMusicSyncAction* action);
// Runs and frees every action of the item whose time lies before end (the item's segment time at
// the end of the frame).
void RunSyncActionsBefore(ZkMusicChainItem& item, int64_t end);
// Applies the item's held state changes now and frees their actions; stinger actions stay.
void ApplyHeldStateChangesOf(ZkMusicChainItem& item);
// Moves the item's held state changes onto the front of list.
void TakeHeldStateChanges(ZkMusicChainItem& item, ZkMusicSyncAction*& list);
// Hands every held state change of the list back to the music engine and frees the list.
void GiveBackHeldStateChanges(ZkMusicSyncAction* list);
} // namespace ZK::MusicEngine
