// CZkEnvCurves: the six environment curves that an Init bank's "ENVS" chunk sets, in two groups of
// three (group 0 obstruction, group 1 occlusion; curve 0 of each is a volume curve, read as linear
// gain), each with the enabled flag the bank gives and an in-use flag set once points are stored.
//
// Threading: Set and Term run under the global engine lock (bank loading, engine term); the render
// side reads the curves under the same lock. Ownership: the engine's one object, reached through
// g_pEnvCurves while the active instances are initialised; each curve owns its points (pool 0).
#pragma once

#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEnvCurves
{
public:
    static constexpr uint32_t kGroups = 2;
    static constexpr uint32_t kCurvesPerGroup = 3;
    static constexpr uint32_t kVolumeCurve = 0;

    CZkEnvCurves() = default;
    ~CZkEnvCurves() { Term(); }
    CZkEnvCurves(const CZkEnvCurves&) = delete;
    CZkEnvCurves& operator=(const CZkEnvCurves&) = delete;

    // Replaces the curve by count points and scaling; the volume curve's scaling is then normalised
    // (CZkCurve::NormaliseVolumeScaling). 1; 31 for no points (the curve is left empty); 52 when the
    // points cannot be stored (empty, not in use).
    ZKRESULT Set(uint32_t group, uint32_t curve, uint16_t count, const ZkCurvePoint* points, uint8_t scaling);
    // Frees the six curves.
    void Term();

    const CZkCurve& Curve(uint32_t group, uint32_t curve) const { return m_slots[group][curve].curve; }
    bool InUse(uint32_t group, uint32_t curve) const { return m_slots[group][curve].inUse != 0; }
    bool IsEnabled(uint32_t group, uint32_t curve) const { return curveEnabled[group][curve] != 0; }

    // The bank's enabled flag of each curve (written by the "ENVS" reader).
    uint8_t curveEnabled[kGroups][kCurvesPerGroup] = {};

private:
    struct Slot
    {
        CZkCurve curve;
        uint32_t inUse = 0;
    };
    Slot m_slots[kGroups][kCurvesPerGroup];
};

// The engine's environment curves; null while the active instances are not initialised.
extern CZkEnvCurves* g_pEnvCurves;
} // namespace ZK::SoundEngine
