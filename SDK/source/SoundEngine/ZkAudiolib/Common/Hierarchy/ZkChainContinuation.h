// ZkChainContinuation: how a play continues along its play chain once its current item is done:
// the walk that finds the next item from the chain's top, and the run-time play that launches it.
//
// The walk pops the items that are finished: an item of a child-context container (a switch or
// layered container handing one chain on to several children) gives its chain reference back, and
// when it was the last one the chain that came into that container takes over; a playlist item
// asks its playlist for the next entry, and is popped when its loops are done (the path's depth
// falls back to the next continuous level above). An empty chain is released.
//
// Threading: audio thread, under the global engine lock.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkPlayingInstance;

// The next item a chain plays.
struct ZkChainNext
{
    CZkHierarchyNode* node = nullptr; // a reference held for the caller
    uint8_t transitionKind = 0;       // of the playlist that selected it
    float transitionTimeMs = 0.0f;    // kinds 1 to 3 only
};

namespace ZkChainContinuation
{
// Transition kinds of a continuous playlist.
constexpr uint8_t kTransitionNone = 0;
constexpr uint8_t kTransitionOverlap = 1;
constexpr uint8_t kTransitionCrossFade = 2;
constexpr uint8_t kTransitionDelay = 3;
constexpr uint8_t kTransitionOnEnd = 4;
constexpr uint8_t kTransitionTriggerRate = 5;

// Finds the next item from the chain's top and writes its index at the path's playlist level
// (depth - 1; nothing is written at depth 0, where the level is not recorded). True with next;
// false when the chain ends (the chain is then released and null).
bool ResolveNext(CZkPlayChain*& chain, ZkPlayPath& path, CZkGameObject* object, ZkPlayingID playingID,
                 ZkChainNext& next);
// Pops the chain's top item, a child-context container's: its chain reference is handed over, and
// when it was the container's last the chain that came into the container takes chain's place.
void PopContextItem(CZkPlayChain*& chain);
// Pops the chain's top item, a playlist's; the path's depth falls back to the continuous level
// above it.
void PopPlaylistItem(CZkPlayChain& chain, ZkPlayPath& path);
// Queues a run-time play of node with record (its chain and path go with it), due delaySamples
// from now, fading in over fadeInMs; it never runs inside this call. from (the item that queues
// it, or null) hands on its path player and scope-1 modulators, and its pause: a play due a frame
// or more later waits paused while from is paused. 1; 52 or 2 when it could not be queued.
ZKRESULT QueuePlay(CZkHierarchyNode* node, const PlayLaunchParams& record, uint32_t delaySamples, ZkTimeMs fadeInMs,
                   CZkPlayingInstance* from);
// The item that record (its chain, path, game object and playing id; its references stay the
// caller's) played could not start: the chain's next item is queued after the least lead.
ZKRESULT QueueAfterFailure(const PlayLaunchParams& record);
// The least delay of an item that follows one that ended early or failed: a frame beyond the
// look-ahead frames a run-time play keeps in its offset, so it is due in a later frame.
uint32_t MinimumLeadSamples();
} // namespace ZkChainContinuation
} // namespace ZK::SoundEngine
