// CZkGroupSubscriber: how an object that selects by a switch or state group (switch containers,
// music switch nodes) follows that group. It registers with the switch manager (switch groups) or
// with the state manager (state groups) and is told of every new value through OnGroupValueChanged;
// GetGroupValue reads a group's current value for a game object.
//
// Threading: audio thread, under the global engine lock. A subscriber may register and unregister
// from inside its own notification (both managers defer or tolerate it).
// Ownership: the subscriber belongs to the object that embeds it; the managers keep pointers only.
// Its destructor unregisters it, so no manager is left pointing at a destroyed subscriber.
#pragma once

#include "ZkAudiolib/Common/GameSyncs/ZkGameSyncTypes.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter;
class CZkRegisteredObj;

class CZkGroupSubscriber
{
public:
    CZkGroupSubscriber() = default;
    virtual ~CZkGroupSubscriber();
    CZkGroupSubscriber(const CZkGroupSubscriber&) = delete;
    CZkGroupSubscriber& operator=(const CZkGroupSubscriber&) = delete;

    // A new value of the group: for a game object (key.gameObject) or for all (the global key).
    // filter, when given, tells which keys hold a more specific value and are not concerned.
    virtual void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter) = 0;

    // The state manager's current state (kind 1; the object is not used), else the switch value of
    // the group for the object.
    static ZkUniqueID GetGroupValue(CZkRegisteredObj* object, ZkUniqueID groupID, uint32_t kind);

    // Leaves both managers, then follows groupID: group 0 follows nothing (1); kind 0 subscribes to
    // the switch group, kind 1 to the state group; another kind is 31.
    ZKRESULT Register(ZkUniqueID groupID, uint32_t kind);
    // Leaves both managers; the state manager's result.
    ZKRESULT Unregister();
};
} // namespace ZK::SoundEngine
