// The K-weighting stages and their running sum of squares.
#include "ZkAudiolib/Common/Metering/ZkKWeighting.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
// Angular frequencies in radians per second (2 pi f) of the two stages.
constexpr double kHighPassOmega = 238.76105;
constexpr double kShelfOmega = 9443.0;
// Shelf gain A (+4 dB as 10^(4/40)) and 2 sqrt(A) alpha / sin w.
constexpr double kShelfA = 1.2589254;
constexpr double kShelfAlphaTerm = 1.5803077;
// Samples filtered per step on the stack.
constexpr uint32_t kChunk = 256;

ZkBiquad Normalised(double b0, double b1, double b2, double a0, double a1, double a2)
{
    return ZkBiquad{static_cast<float>(b0 / a0), static_cast<float>(b1 / a0), static_cast<float>(b2 / a0),
                    static_cast<float>(a1 / a0), static_cast<float>(a2 / a0)};
}
} // namespace

void ZkBiquad::Run(float* state, const float* in, float* out, uint32_t count) const
{
    float s1 = state[0];
    float s2 = state[1];
    for (uint32_t i = 0; i < count; ++i)
    {
        const float x = in[i];
        const float y = b0 * x + s1;
        s1 = b1 * x - a1 * y + s2;
        s2 = b2 * x - a2 * y;
        out[i] = y;
    }
    state[0] = s1;
    state[1] = s2;
}

ZkKWeighting ZkKWeighting::ForSampleRate(uint32_t sampleRate)
{
    ZkKWeighting k;
    const double rate = sampleRate != 0 ? static_cast<double>(sampleRate) : 48000.0;

    const double w1 = kHighPassOmega / rate;
    const double alpha = std::sin(w1);
    const double c1 = std::cos(w1);
    k.highPass = Normalised((1.0 + c1) / 2.0, -(1.0 + c1), (1.0 + c1) / 2.0, 1.0 + alpha, -2.0 * c1, 1.0 - alpha);

    const double w2 = kShelfOmega / rate;
    const double c2 = std::cos(w2);
    const double term = kShelfAlphaTerm * std::sin(w2);
    const double a = kShelfA;
    k.shelf = Normalised(a * ((a + 1.0) + (a - 1.0) * c2 + term), -2.0 * a * ((a - 1.0) + (a + 1.0) * c2),
                         a * ((a + 1.0) + (a - 1.0) * c2 - term), (a + 1.0) - (a - 1.0) * c2 + term,
                         2.0 * ((a - 1.0) - (a + 1.0) * c2), (a + 1.0) - (a - 1.0) * c2 - term);
    return k;
}

float ZkKWeighting::SumOfSquares(float* highPassState, float* shelfState, const float* samples, uint32_t count) const
{
    float filtered[kChunk];
    float sum = 0.0f;
    for (uint32_t done = 0; done < count; done += kChunk)
    {
        const uint32_t n = std::min(kChunk, count - done);
        highPass.Run(highPassState, samples + done, filtered, n);
        shelf.Run(shelfState, filtered, filtered, n);
        for (uint32_t i = 0; i < n; ++i)
            sum += filtered[i] * filtered[i];
    }
    return sum;
}
} // namespace ZK::SoundEngine
