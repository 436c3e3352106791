#include "ZkFilterCutoff.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace
{
constexpr float kLinearBranchEnd = 30.0f;
constexpr float kLinearHzPerValue = 433.33334f;
constexpr float kLinearBaseHz = 7000.0f;
constexpr float kLowestCutoffHz = 16.797443f;

// 16.797443 x 2^((100 - v) x 0.124328129): the exponent is built directly in a float's bit pattern
// (1042939.9375 = 0.124328129 x 2^23) and the mantissa's 2^x is a second-order polynomial.
float ExponentialBranchHz(float value)
{
    const float pattern = (100.0f - value) * 1042939.9375f + 1065353216.0f;
    const uint32_t bits = static_cast<uint32_t>(static_cast<int64_t>(pattern));
    const float mantissa = std::bit_cast<float>((bits & 0x7FFFFFu) | 0x3F800000u);
    const float exponent = std::bit_cast<float>(bits & 0xFF800000u);
    return ((0.32518977f * mantissa + 0.020805772f) * mantissa + 0.65304345f) * exponent * kLowestCutoffHz;
}

float CurveHz(float value)
{
    if (value < kLinearBranchEnd)
        return (kLinearBranchEnd - value) * kLinearHzPerValue + kLinearBaseHz;
    return ExponentialBranchHz(value);
}
} // namespace

float LowPassValueToHz(float value, float sampleRateHz)
{
    return std::min(CurveHz(value), kFilterCutoffCapOfSampleRate * sampleRateHz);
}

float HighPassValueToHz(float value, float sampleRateHz)
{
    return std::min(CurveHz(100.0f - value), kFilterCutoffCapOfSampleRate * sampleRateHz);
}
