// The true-peak interpolation filter: the coefficients of ITU-R BS.1770-4, Annex 2.
#include "ZkAudiolib/Common/Metering/ZkTruePeakFilter.h"

#include <algorithm>

namespace ZK::SoundEngine::ZkTruePeakFilter
{
namespace
{
constexpr float kCoefficients[kPhases][kTaps] = {
    {0.0017089843750f, 0.0109863281250f, -0.0196533203125f, 0.0332031250000f, -0.0594482421875f, 0.1373291015625f,
     0.9721679687500f, -0.1022949218750f, 0.0476074218750f, -0.0266113281250f, 0.0148925781250f, -0.0083007812500f},
    {-0.0291748046875f, 0.0292968750000f, -0.0517578125000f, 0.0891113281250f, -0.1665039062500f, 0.4650878906250f,
     0.7797851562500f, -0.2003173828125f, 0.1015625000000f, -0.0582275390625f, 0.0330810546875f, -0.0189208984375f},
    {-0.0189208984375f, 0.0330810546875f, -0.0582275390625f, 0.1015625000000f, -0.2003173828125f, 0.7797851562500f,
     0.4650878906250f, -0.1665039062500f, 0.0891113281250f, -0.0517578125000f, 0.0292968750000f, -0.0291748046875f},
    {-0.0083007812500f, 0.0148925781250f, -0.0266113281250f, 0.0476074218750f, -0.1022949218750f, 0.9721679687500f,
     0.1373291015625f, -0.0594482421875f, 0.0332031250000f, -0.0196533203125f, 0.0109863281250f, 0.0017089843750f},
};

// The four interpolated values of one window (its kTaps samples, oldest first).
void Window(const float* window, float& lowest, float& highest)
{
    for (const float(&phase)[kTaps] : kCoefficients)
    {
        float value = 0.0f;
        for (uint32_t tap = 0; tap < kTaps; ++tap)
            value += phase[tap] * window[tap];
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
}
} // namespace

void Run(float* history, const float* samples, uint32_t count, float& lowest, float& highest)
{
    // The history joined to the first samples: every window that reaches into the history.
    float joined[2 * kTaps];
    const uint32_t head = std::min(count, kTaps);
    std::copy(history, history + kTaps, joined);
    std::copy(samples, samples + head, joined + kTaps);
    for (uint32_t start = 0; start <= head; ++start)
        Window(joined + start, lowest, highest);
    // Then the windows inside the frame.
    for (uint32_t start = 1; start + kTaps <= count; ++start)
        Window(samples + start, lowest, highest);

    if (count >= kTaps)
    {
        std::copy(samples + count - kTaps, samples + count, history);
        return;
    }
    std::copy(joined + head, joined + head + kTaps, history);
}
} // namespace ZK::SoundEngine::ZkTruePeakFilter
