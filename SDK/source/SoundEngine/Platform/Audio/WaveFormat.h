// WaveFormat: the sample format of an endpoint stream, laid out as the WAVE format record: a base
// part (tag, channels, rate, byte rate, block size, bits) and, for the extensible tag with 22
// extra bytes, the valid bits, the speaker mask and the sample kind. The layer only ever offers
// 32-bit float formats; callers may build others to ask for them.
//
// Threading and ownership: a plain value type; formats the layer hands out live in task memory.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
enum class SampleSubFormat : uint32_t
{
    Pcm = 1,
    IeeeFloat = 3,
};

struct WaveFormat
{
    static constexpr uint16_t kTagPcm = 1;
    static constexpr uint16_t kTagIeeeFloat = 3;
    static constexpr uint16_t kTagExtensible = 0xFFFE;
    static constexpr uint16_t kExtensibleExtraBytes = 22;

    uint16_t formatTag = kTagExtensible;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = kExtensibleExtraBytes;
    // Extensible part: meaningful only with kTagExtensible and 22 extra bytes.
    uint16_t validBitsPerSample = 0;
    uint32_t channelMask = 0;
    SampleSubFormat subFormat = SampleSubFormat::IeeeFloat;
};

// The speaker mask of the usual layout of a channel count (1: centre, 2: front pair, 3: front pair
// and LFE, 4: quad with side pair, 5: 4.1, 6: 5.1, 7: 6.1, 8: 7.1); 0 for other counts.
uint32_t StandardChannelMask(uint32_t channels);
// An extensible 32-bit float format; a mask of 0 takes the standard mask of the channel count.
WaveFormat MakeFloatFormat(uint32_t sampleRate, uint16_t channels, uint32_t channelMask = 0);
// A plain (not extensible) 32-bit float format.
WaveFormat MakePlainFloatFormat(uint32_t sampleRate, uint16_t channels);
bool IsExtensible(const WaveFormat& format);
// 32-bit float samples, plain or extensible.
bool IsFloat32(const WaveFormat& format);
// Block size and byte rate follow the channels, bits and rate again.
void RecomputeByteRates(WaveFormat& format);
// A copy in task memory; null when out of memory.
WaveFormat* CopyFormatToTaskMemory(const WaveFormat& format);
} // namespace ZK::Platform
