// ZkTransitionUser: whoever receives the values of a running transition (game-parameter ramps,
// state changes, property and instance fades). The transition calls TransUpdateValue once per audio
// frame with the kind it was created with, the new value, and whether it is the final one.
//
// Threading: called on the audio thread from CZkTransitionMgr::ProcessTransitions (or its Term),
// under the global engine lock. A user may remove itself from the transition inside the call.
// Ownership: the transition does not own its users.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkTransitionUser
{
public:
    virtual void TransUpdateValue(uint32_t kind, float value, bool done) = 0;

protected:
    ~ZkTransitionUser() = default;
};
} // namespace ZK::SoundEngine
