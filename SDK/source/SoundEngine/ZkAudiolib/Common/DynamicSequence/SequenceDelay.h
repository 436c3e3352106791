// The delay of a sequence's item in samples at the engine's rate: delay x rate / 1000 with a 64-bit
// product (a 32-bit one wraps above 89,478 ms at 48 kHz), truncated toward 0 and clamped to the
// largest 32-bit count.
//
// Threading and ownership: a pure function of the engine's sample rate.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cstdint>
#include <limits>

namespace ZK::SoundEngine::SequenceDelay
{
inline uint32_t ToSamples(uint32_t delayMs, uint32_t sampleRate)
{
    const uint64_t samples = static_cast<uint64_t>(delayMs) * sampleRate / 1000u;
    return samples > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                          : static_cast<uint32_t>(samples);
}

inline uint32_t ToSamples(uint32_t delayMs) { return ToSamples(delayMs, ZkAudioSettings::SampleRate()); }
} // namespace ZK::SoundEngine::SequenceDelay
