// ZkKWeighting: the K-weighting of loudness meters as two second-order stages in cascade, both in
// the audio-cookbook form: a high-pass near 38 Hz (alpha = sin w) that removes what the ear barely
// hears, then a +4 dB high shelf near 1.5 kHz for the head's effect on high frequencies.
//
// Threading and ownership: the coefficients are a plain value; each channel keeps its own state
// (two words per stage), owned by its meter.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkBiquad
{
    // Normalised by a0: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
    float b0 = 1.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;

    // Filters samples in place through state (two words, transposed direct form II).
    void Run(float* state, const float* in, float* out, uint32_t count) const;
};

struct ZkKWeighting
{
    static constexpr uint32_t kStateWords = 2; // per stage and channel

    ZkBiquad highPass;
    ZkBiquad shelf;

    // The two stages for a sample rate in Hz.
    static ZkKWeighting ForSampleRate(uint32_t sampleRate);
    // The sum of squares of the K-weighted samples; the two stage states carry over between calls.
    float SumOfSquares(float* highPassState, float* shelfState, const float* samples, uint32_t count) const;
};
} // namespace ZK::SoundEngine
