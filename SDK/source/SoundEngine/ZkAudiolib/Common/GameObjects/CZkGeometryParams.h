// CZkGeometryParams: the geometry of a game object's emitter against its listeners: one ray per
// emitter position and routed listener (distance, angles, obstruction, occlusion), recomputed when
// the emitter is dirty (each tick, CZkRegistryMgr::UpdatePositions) or when a game parameter bound
// to a built-in parameter of the object is read (CZkGameObject::UseBuiltInParam). From the nearest
// ray towards a listener of the dry routing it pushes the built-in parameters that are in use
// (distance, azimuth, elevation, cone angles, obstruction, occlusion) into the game-parameter
// manager for the object. Voices read the rays for panning and attenuation.
//
// A ray producer (hook) may add rays of its own before the standard rays are made.
//
// Threading: audio thread, under the global engine lock. Update is not re-entered: a game-parameter
// subscriber that reads a built-in value while the push runs sees the rays of this update.
// Ownership: a component of its game object (memory pool 4); owns its ray and flag arrays (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGeometryParams;

// Built-in parameter types (the rows of CZkRTPCMgr::SetBuiltInValue).
enum ZkBuiltInParam : uint32_t
{
    ZkBuiltInParam_Distance = 1,
    ZkBuiltInParam_Azimuth = 2,
    ZkBuiltInParam_Elevation = 3,
    ZkBuiltInParam_EmitterAngle = 4,
    ZkBuiltInParam_Obstruction = 5,
    ZkBuiltInParam_Occlusion = 6,
    ZkBuiltInParam_ListenerAngle = 7,
    ZkBuiltInParam_ProducedObstruction = 8,
    ZkBuiltInParam_ProducedOcclusion = 9,
    ZkBuiltInParam_Last = 9,
};

class CZkGeometryParams final : public CZkListedComponent<CZkGeometryParams>
{
public:
    // Adds rays of its own (AppendRay) before the standard rays are made.
    using RayProducer = void (*)(CZkGameObject* owner, CZkGeometryParams& geometry);
    static constexpr float kNoRayDistance = 1.0e10f;

    CZkGeometryParams() = default;
    ~CZkGeometryParams() override;

    // Rebuilds the rays and pushes the built-in parameters in use; clears the emitter's dirty bit.
    void Update();
    // Copies the standard rays into output (occlusion-like 0, cone 1, filters 0) and returns the
    // smallest distance (kNoRayDistance without rays). A ray that cannot be appended is skipped.
    float CollectRays(ZK::ZkArray<ZkRay>& output) const;

    // Appends a ray and its flags; false (nothing appended) out of memory.
    bool AppendRay(const ZkRay& ray, uint8_t flags);
    void SetRayProducer(RayProducer producer) { m_producer = producer; }

    uint32_t RayCount() const { return m_rays.Length(); }
    const ZkRay& Ray(uint32_t index) const { return m_rays[index]; }
    uint8_t RayFlags(uint32_t index) const { return m_flags[index]; }

    // Bit (type - 1) per built-in parameter in use.
    uint16_t BuiltInMask() const { return m_builtInMask; }
    // True when the bit was not set yet.
    bool UseBuiltIn(uint32_t type);
    void ClearBuiltInMask() { m_builtInMask = 0; }

private:
    struct Nearest;
    void Account(uint32_t rayIndex, bool tracking, Nearest& nearest) const;
    void PushBuiltIns(const Nearest& nearest);

    ZK::ZkArray<ZkRay> m_rays;
    ZK::ZkArray<uint8_t> m_flags;
    RayProducer m_producer = nullptr;
    uint16_t m_builtInMask = 0;
    bool m_updating = false;
};
} // namespace ZK::SoundEngine
