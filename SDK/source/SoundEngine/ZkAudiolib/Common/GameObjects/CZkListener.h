// CZkListener (declaration only): the component of a game object that is used as a listener
// (position and orientation with a rotation frame, scaling, spatialization). It comes with
// positioning; until then Init answers ZK_NotImplemented (4), so no listener is ever created, and
// its operations answer 4.
//
// Threading: audio thread, under the global engine lock. Ownership: its game object's (pool 4).
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

namespace ZK::SoundEngine
{
class CZkListener final : public CZkListedComponent<CZkListener>
{
public:
    ZKRESULT Init(ZkGameObjectID) override { return ZK_NotImplemented; }
    ZKRESULT SetTransform(const ZkChannelEmitter&) { return ZK_NotImplemented; }
    ZKRESULT SetScalingFactor(float) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
