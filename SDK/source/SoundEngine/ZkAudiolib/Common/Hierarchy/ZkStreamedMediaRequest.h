// ZkStreamedMediaRequest: what a node is asked when an event is pinned in the stream cache: the
// media references it would stream, and the switch and state groups that decide which of them.
// The node appends the references of what would play with the current group values to the active
// list (the collection's "active" flag set) and those of what would not to the inactive list, and
// the groups it depends on to the group list as (group id << 32) | group type (0 switch, 1 state).
// One group may be given a value that overrides its current one (group id 0: none).
//
// Threading: engine thread, under the pinned-events lock. Ownership: the lists belong to the
// caller; they point at media references the nodes own, valid while the nodes are not destroyed.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRegisteredObj;
struct ZkMediaRef;

struct ZkStreamedMediaRequest
{
    ZK::ZkArray<const ZkMediaRef*>& active;
    ZK::ZkArray<const ZkMediaRef*>& inactive;
    ZK::ZkArray<uint64_t>& groups;
    CZkRegisteredObj* gameObject; // null: no game object (the groups' global values)
    ZkUniqueID overrideGroupID;   // 0: no override
    ZkUniqueID overrideValue;

    static uint64_t GroupEntry(ZkUniqueID groupID, uint32_t groupType)
    {
        return uint64_t{groupID} << 32 | groupType;
    }
};
} // namespace ZK::SoundEngine
