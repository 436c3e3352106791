// CZkGeometryParams (declaration only): the geometry of a game object's emitter towards its
// listeners (rays, distances, angles) and its built-in parameter mask. It comes with positioning;
// until then Init answers ZK_NotImplemented (4), so no geometry is created and dirty emitters stay
// dirty.
//
// Threading: audio thread, under the global engine lock. Ownership: its game object's (pool 4).
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

namespace ZK::SoundEngine
{
class CZkEmitter;

class CZkGeometryParams final : public CZkListedComponent<CZkGeometryParams>
{
public:
    ZKRESULT Init(ZkGameObjectID) override { return ZK_NotImplemented; }
    ZKRESULT Update() { return ZK_NotImplemented; }
    ZKRESULT ClearBuiltInMask() { return ZK_NotImplemented; }
    // Marks built-in type `type` in use and, when it is new or the emitter is dirty, recomputes
    // the geometry, pushes the built-in values and clears the emitter's dirty bit.
    ZKRESULT UseBuiltInParam(uint32_t /*type*/, CZkEmitter& /*emitter*/) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
