// ZkMusicSyncAction: something placed on the music timeline at a sync point inside a chain item: a
// stinger (kind 0) or a held state change (kind 1). The item keeps them in a list, new ones at the
// front; a switch transition that cuts the timeline takes the later ones back (MoveActionsAfter)
// and places them again.
//
// Threading: engine thread only. Ownership: the list that holds it (pool 0).
#pragma once

#include <cstdint>

namespace ZK::MusicEngine
{
struct ZkMusicSyncAction
{
    static constexpr uint32_t kStinger = 0;
    static constexpr uint32_t kStateChange = 1;

    int64_t time = 0; // segment time inside the item
    uint32_t kind = kStinger;
    void* target = nullptr; // the stinger record or the held state change
    ZkMusicSyncAction* next = nullptr;
};
} // namespace ZK::MusicEngine
