// ZkTruePeakFilter: the 4x oversampling interpolation filter of ITU-R BS.1770-4 (48 taps, four
// phases of 12) that true-peak meters run over each channel: for every input position it
// interpolates the four sub-sample values and keeps the smallest and the largest seen.
//
// A channel keeps the last 12 samples of the previous frame as its history, so an interpolated
// peak that straddles two frames is found exactly as one inside a frame.
//
// Threading and ownership: stateless functions over the caller's arrays.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine::ZkTruePeakFilter
{
constexpr uint32_t kTaps = 12;
constexpr uint32_t kPhases = 4;

// Runs every 12-sample window of history (kTaps samples) followed by samples[0..count) through the
// four phases, widening [lowest, highest]; then history takes the last 12 samples of that sequence.
void Run(float* history, const float* samples, uint32_t count, float& lowest, float& highest);
} // namespace ZK::SoundEngine::ZkTruePeakFilter
