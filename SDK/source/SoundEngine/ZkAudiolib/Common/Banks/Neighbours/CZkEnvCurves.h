// CZkEnvCurves (declaration only): the six environment curves (two groups of three) that an Init
// bank's "ENVS" chunk sets, each with its enabled flag.
//
// Threading: set by the bank thread, read by the audio thread. Ownership: the engine's singleton
// (g_pEnvCurves); the curves own copies of their points.
#pragma once

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

    // Not built yet: 4, nothing copied.
    ZKRESULT Set(uint32_t, uint32_t, uint16_t, const ZkCurvePoint*, uint8_t) { return ZK_NotImplemented; }

    uint8_t curveEnabled[kGroups][kCurvesPerGroup] = {};
};

// Null until the environment curves exist.
inline CZkEnvCurves* g_pEnvCurves = nullptr;
} // namespace ZK::SoundEngine
