// Fast trigonometry of the panning code: polynomial sine, cosine, arctangent, arcsine and square
// root. They replace library calls on the per-direction paths (VBAP gains, narrowing of virtual
// points) and are part of the panning results: speaker vectors and projections are computed with
// them, so a layout's triangles and gains depend on these exact formulas.
//
// Accuracy: sine and cosine within about 1e-3 on [-pi, pi]; arctangent within about 5e-3 rad; the
// arcsine polynomial is 0.033 at 0 and 1.538 at 1 (not exact at the ends, by design of the fit);
// the square-root polynomial is meant for powers in [0, 1].
//
// Threading and ownership: pure functions.
#pragma once

#include <cmath>

namespace ZkPanMath
{
constexpr float kPi = 3.14159265f;
constexpr float kHalfPi = 1.57079633f;
constexpr float kTwoPi = 6.28318531f;
constexpr float kDegreesToRadians = 0.017453294f;
constexpr float kRadiansToDegrees = 57.295776f;
// 2^-23: gains below it count as silence; also the epsilon of pairwise panning.
constexpr float kGainEpsilon = 1.1920929e-7f;

// Parabolic sine with one refinement step; x in [-pi, pi].
inline float FastSin(float x)
{
    float s = 1.2732395f * x - 0.4052847f * x * std::fabs(x);
    s += 0.225f * (s * std::fabs(s) - s);
    return s;
}

// Cosine by the sine of the shifted angle, kept inside [-pi, pi]; x in [-pi, pi].
inline float FastCos(float x)
{
    return x <= kHalfPi ? FastSin(x + kHalfPi) : FastSin(x - 3.0f * kHalfPi);
}

inline float FastAtan2(float y, float x)
{
    if (x == 0.0f)
    {
        if (y > 0.0f)
            return kHalfPi;
        if (y < 0.0f)
            return -kHalfPi;
        return 0.0f;
    }
    const float t = y / x;
    if (std::fabs(t) < 1.0f)
    {
        float angle = t / (1.0f + 0.28f * t * t);
        if (x < 0.0f)
            angle += (y < 0.0f) ? -kPi : kPi;
        return angle;
    }
    float angle = kHalfPi - t / (t * t + 0.28f);
    if (y < 0.0f)
        angle -= kPi;
    return angle;
}

// Polynomial arcsine of |value| (clamped to 1), with the sign of value.
inline float FastAsin(float value)
{
    float g = std::fabs(value);
    if (g > 1.0f)
        g = 1.0f;
    const float r = ((((((84.31466f * g - 242.71996f) * g + 262.81305f) * g - 131.11235f) * g + 29.66154f) * g -
                      1.4518384f) * g + 0.0328437f);
    return value < 0.0f ? -r : r;
}

// Polynomial square root of a power in [0, 1].
inline float FastSqrtUnit(float v)
{
    return ((((((37.939247f - 11.209858f * v) * v - 50.8083f) * v + 34.484993f) * v - 12.930046f) * v + 3.447074f) * v +
            0.07175691f);
}

// Wraps an azimuth into [-pi, pi] and an elevation into [-pi/2, pi/2] by whole turns and half turns.
inline void WrapAngles(float& azimuth, float& elevation)
{
    while (azimuth > kPi)
        azimuth -= kTwoPi;
    while (azimuth < -kPi)
        azimuth += kTwoPi;
    while (elevation > kHalfPi)
        elevation -= kPi;
    while (elevation < -kHalfPi)
        elevation += kPi;
}
} // namespace ZkPanMath
