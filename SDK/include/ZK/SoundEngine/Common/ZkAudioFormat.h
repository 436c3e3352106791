// The format record of a source's samples: sample rate, channel configuration and the format word
// (bits 0-5 bits per sample: 16 for 16-bit signed integers, interleaved, 32 for 32-bit floats,
// planar; bits 6-15 the block align; bits 16-18 a sample-type field; the bits above belong to the
// sources). A source plug-in that sets bit 18 leaves the block align to its host, which derives it
// from the channel count.
// Threading and ownership: a plain value type.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

struct ZkAudioFormat
{
    static constexpr uint32_t kBitsPerSampleMask = 0x3F;
    static constexpr uint32_t kBlockAlignShift = 6;
    static constexpr uint32_t kBlockAlignMask = 0x3FF;
    static constexpr uint32_t kDeriveBlockAlign = 1u << 18;

    uint32_t sampleRate = 0;
    ZkChannelConfig channelConfig;
    uint32_t formatBits = 0;

    uint32_t BitsPerSample() const { return formatBits & kBitsPerSampleMask; }
    uint32_t BlockAlign() const { return (formatBits >> kBlockAlignShift) & kBlockAlignMask; }
    void SetBlockAlign(uint32_t blockAlign)
    {
        formatBits = (formatBits & ~(kBlockAlignMask << kBlockAlignShift)) | (blockAlign & kBlockAlignMask) << kBlockAlignShift;
    }
};
