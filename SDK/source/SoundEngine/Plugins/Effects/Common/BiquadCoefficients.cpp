#include "BiquadCoefficients.h"

#include <cmath>

namespace
{
constexpr float kPi = 3.1415927f;
constexpr float kSqrt2 = 1.4142135f;
} // namespace

BiquadCoefficients ComputeButterworthLowPass(float cutoffHz, float sampleRateHz)
{
    const float k = 1.0f / std::tan(kPi / sampleRateHz * cutoffHz);
    const float kSquared = k * k;
    const float n = 1.0f / (k * kSqrt2 + 1.0f + kSquared);
    BiquadCoefficients c;
    c.b0 = n;
    c.b1 = 2.0f * n;
    c.b2 = n;
    c.a1 = (1.0f - kSquared) * 2.0f * n;
    c.a2 = (1.0f - k * kSqrt2 + kSquared) * n;
    return c;
}

BiquadCoefficients ComputeButterworthHighPass(float cutoffHz, float sampleRateHz)
{
    const float k = std::tan(kPi / sampleRateHz * cutoffHz);
    const float kSquared = k * k;
    const float n = 1.0f / (kSquared + 1.0f + k * kSqrt2);
    BiquadCoefficients c;
    c.b0 = n;
    c.b1 = -2.0f * n;
    c.b2 = n;
    c.a1 = -2.0f * n * (1.0f - kSquared);
    c.a2 = (kSquared + 1.0f - k * kSqrt2) * n;
    return c;
}
