// CZkPlaylistContainerNode (declaration only): the playlist containers (node category 2), whose
// play history a reset-playlist action clears for one game object or for all. No playlist
// container exists yet (nothing creates one), so a node of category 2 is never found.
//
// Threading: engine thread, under the global engine lock. Ownership: the object index's
// references.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

namespace ZK::SoundEngine
{
class CZkPlaylistContainerNode : public CZkPlayableNode
{
public:
    // The play history of the game object (null: every history). Not built yet: nothing.
    void ResetHistory(CZkGameObject*) {}
};
} // namespace ZK::SoundEngine
