// Fast decibel conversions used for every gain on the audio thread: ZkFastPow10 (10^v) and
// ZkFastLinToDB (linear gain to decibels). Both work on the bits of single-precision floats with a
// short polynomial for the mantissa, so they need no library call and no division by a variable.
//
// Accuracy: ZkFastPow10 within 0.25 % of 10^v; ZkFastLinToDB within 0.02 dB of
// 20 log10(w) for positive normal w. Their exact results (the polynomials below) are what the rest
// of the engine expects, so callers must not replace them by the library functions.
//
// Threading and ownership: pure functions.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>

namespace ZK::SoundEngine
{
// Below this exponent 10^v is taken as 0 (the float would be denormal or zero).
constexpr float kFastPow10Floor = -37.0f;
// Decibels to the exponent of ZkFastPow10: gain = ZkFastPow10(dB * kDecibelsToPow10).
constexpr float kDecibelsToPow10 = 0.05f;

// 10^v. 0 for v below -37; +infinity where the result is beyond the float range; NaN stays NaN.
inline float ZkFastPow10(float v)
{
    if (v < kFastPow10Floor)
        return 0.0f;
    // log2(10) * 2^23 scales v into the exponent field; 127 << 23 is the exponent bias.
    const float scaled = v * 27866352.0f + 1065353216.0f;
    if (!(scaled < 2147483648.0f))
        return scaled != scaled ? scaled : std::numeric_limits<float>::infinity();
    const uint32_t n = static_cast<uint32_t>(static_cast<int32_t>(scaled));
    const float mantissa = std::bit_cast<float>((n & 0x007FFFFFu) | 0x3F800000u);
    const float power = std::bit_cast<float>(n & 0xFF800000u);
    return ((0.32518977f * mantissa + 0.020805772f) * mantissa + 0.65304345f) * power;
}

// 20 log10(w) for w > 0 (the sign of w is ignored; 0 gives about -764.6).
inline float ZkFastLinToDB(float w)
{
    const uint32_t bits = std::bit_cast<uint32_t>(w);
    const int32_t exponent = static_cast<int32_t>((bits >> 23) & 0xFFu);
    const float m = std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u);
    const float mPlusOne = m + 1.0f;
    return (m * m * m - 1.0f) * 1.1581186f / (mPlusOne * mPlusOne * mPlusOne) * 20.0f +
           static_cast<float>(exponent - 127) * 6.0206003f;
}

// Decibels to linear gain (0 below -740 dB).
inline float ZkDecibelsToLinear(float decibels) { return ZkFastPow10(decibels * kDecibelsToPow10); }
} // namespace ZK::SoundEngine
