// ZkRTPCTransitionLink: ties a running transition to the game-parameter value of one key. It is the
// transition's user: each frame it writes the transition's value into the key's slot of its
// parameter's tree and notifies the parameter's subscribers; a reset link drops the key's value when
// its transition ends.
//
// Threading: audio thread, under the global engine lock (called from the transition frame pass).
// Ownership: owned by its parameter entry's link list (memory pool 0); it frees itself when its
// transition delivers the final value.
#pragma once

#include "ZkAudiolib/Common/Parameters/CZkTransition.h"
#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK::SoundEngine
{
struct ZkRTPCParamEntry;

class ZkRTPCTransitionLink final : public ZkTransitionUser
{
public:
    ZkRTPCTransitionLink(ZkRTPCParamEntry* owner, const ZkRTPCKey& linkKey) : entry(owner), key(linkKey) {}

    void TransUpdateValue(uint32_t kind, float value, bool done) override;

    ZkRTPCParamEntry* entry;
    CZkTransition* transition = nullptr;
    ZkRTPCKey key;
    uint32_t resetFlag = 0; // 1: the key's value is dropped when the transition ends
    ZkRTPCTransitionLink* next = nullptr;
};
} // namespace ZK::SoundEngine
