// CZkListenerRouting (declaration only): which listeners a game object's emitter is heard by, its
// dry level per listener and its aux sends. It comes with positioning; until then Init answers
// ZK_NotImplemented (4), so no routing is ever created and every object follows the default
// listeners (none yet).
//
// Threading: audio thread, under the global engine lock. Ownership: its game object's (pool 4).
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

namespace ZK::SoundEngine
{
class CZkListenerRouting final : public CZkListedComponent<CZkListenerRouting>
{
public:
    ZKRESULT Init(ZkGameObjectID) override { return ZK_NotImplemented; }
    // Whether the routing's listener set holds the id. Not built: no routing exists to ask.
    bool HasListener(ZkGameObjectID) const { return false; }
};
} // namespace ZK::SoundEngine
