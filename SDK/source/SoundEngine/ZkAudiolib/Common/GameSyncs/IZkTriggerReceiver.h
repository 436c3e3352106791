// IZkTriggerReceiver: what receives the triggers the game posts (the interactive-music engine's
// playback contexts). Registered with CZkStateMgr::RegisterTriggerTarget.
//
// Threading: called on the audio thread while the state manager walks its trigger list; a receiver
// must not unregister from inside the call.
// Ownership: the state manager keeps a pointer only; the receiver unregisters before it goes.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class IZkTriggerReceiver
{
public:
    virtual void OnTrigger(ZkUniqueID triggerID) = 0;

protected:
    ~IZkTriggerReceiver() = default;
};
} // namespace ZK::SoundEngine
