// The media format record a source hands to its resampler: sample rate, channel configuration and
// the format word whose bits 0-5 give the bits per sample (16: 16-bit signed integers, interleaved;
// 32: 32-bit floats, planar). Other bits of the word belong to the sources.
// Threading and ownership: a plain value type.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

struct ZkAudioFormat
{
    static constexpr uint32_t kBitsPerSampleMask = 0x3F;

    uint32_t sampleRate = 0;
    ZkChannelConfig channelConfig;
    uint32_t formatBits = 0;

    uint32_t BitsPerSample() const { return formatBits & kBitsPerSampleMask; }
};
