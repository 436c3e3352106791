// The angle functions of positioning in their fast polynomial forms. The rest of the engine expects
// these exact results (within 0.033 rad of the true acos and asin, 0.005 rad of atan), so callers
// must not replace them by the library functions.
//
// Threading and ownership: pure functions.
#pragma once

#include <cmath>

namespace ZK::SoundEngine
{
constexpr float kZkPi = 3.1415927f;
constexpr float kZkHalfPi = 1.5707964f;
constexpr float kZkRadiansToDegrees = 57.295776f;

namespace FastAngleDetail
{
// (((((84.31466 t - 242.71996) t + 262.81305) t - 131.11235) t + 29.66154) t - 1.4518384) t
inline float Polynomial(float t)
{
    return (((((84.31466f * t - 242.71996f) * t + 262.81305f) * t - 131.11235f) * t + 29.66154f) * t - 1.4518384f) * t;
}
} // namespace FastAngleDetail

// acos(c) for c in [-1, 1].
inline float ZkFastAcos(float c)
{
    const float a = 1.5379527f - FastAngleDetail::Polynomial(std::fabs(c));
    return c >= 0.0f ? a : kZkPi - a;
}

// asin(t) for t in [0, 1].
inline float ZkFastAsin(float t) { return FastAngleDetail::Polynomial(t) + 0.0328437f; }

// atan(z) for |z| < 1. For |z| >= 1 the form is pi/2 - atan(1/z), which is atan(z) for z >= 1 and
// atan(z) + pi for z <= -1: the azimuth step, which knows the signs of both sides, shifts it back.
inline float ZkFastAtan(float z)
{
    if (std::fabs(z) < 1.0f)
        return z / (1.0f + 0.28f * z * z);
    return kZkHalfPi - z / (z * z + 0.28f);
}
} // namespace ZK::SoundEngine
