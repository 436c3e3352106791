// The WAVE header of an output capture: a RIFF/WAVE file whose format chunk is the extensible form
// (format tag 0xFFFE) with the channel count, rate, sample size and speaker mask of a channel
// configuration, followed by the "data" chunk header. The capture writer builds the 68-byte form
// with provisional sizes (RIFF size 0xFFFFFFFF, data size 0) and patches both at close. A shorter
// engine form of 52 bytes carries the engine's channel configuration word in place of the
// extension. Every bit of a sample counts as valid.
//
// Threading and ownership: pure functions over the caller's buffer.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

namespace ZK::SoundEngine::ZkWaveHeader
{
constexpr uint32_t kExtensibleHeaderBytes = 68;
constexpr uint32_t kEngineHeaderBytes = 52;
constexpr uint32_t kMaxHeaderBytes = kExtensibleHeaderBytes;
// Sample format 1: 16-bit integer samples; any other: 32-bit float samples.
constexpr uint32_t kSampleFormatInt16 = 1;
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kExtensibleDataSizeOffset = 64;
// The RIFF size counts everything after the "WAVE" tag that precedes the samples: 60 bytes of the
// extensible form, plus the data and the marker chunks.
constexpr uint32_t kExtensibleRiffOverhead = kExtensibleHeaderBytes - 8;

uint16_t BlockAlign(uint32_t sampleFormat, ZkChannelConfig config);

// Writes the header into out (at least kMaxHeaderBytes) and returns its length (68, or 52 for the
// engine form).
uint32_t Build(uint32_t sampleRate, uint32_t sampleFormat, bool engineForm, ZkChannelConfig config, uint8_t* out);
} // namespace ZK::SoundEngine::ZkWaveHeader
