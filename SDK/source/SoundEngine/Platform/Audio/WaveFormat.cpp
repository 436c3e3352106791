#include "Platform/Audio/WaveFormat.h"

#include "Platform/Audio/TaskMemory.h"

#include <new>

namespace ZK::Platform
{
namespace
{
constexpr uint16_t kFloatBits = 32;
constexpr uint32_t kStandardMasks[] = {0x0, 0x4, 0x3, 0xB, 0x603, 0x607, 0x60F, 0x637, 0x63F};
} // namespace

uint32_t StandardChannelMask(uint32_t channels)
{
    return channels < sizeof(kStandardMasks) / sizeof(kStandardMasks[0]) ? kStandardMasks[channels] : 0;
}

void RecomputeByteRates(WaveFormat& format)
{
    format.blockAlign = static_cast<uint16_t>(format.channels * (format.bitsPerSample / 8));
    format.averageBytesPerSecond = format.samplesPerSecond * format.blockAlign;
}

WaveFormat MakeFloatFormat(uint32_t sampleRate, uint16_t channels, uint32_t channelMask)
{
    WaveFormat format;
    format.formatTag = WaveFormat::kTagExtensible;
    format.channels = channels;
    format.samplesPerSecond = sampleRate;
    format.bitsPerSample = kFloatBits;
    format.extraSize = WaveFormat::kExtensibleExtraBytes;
    format.validBitsPerSample = kFloatBits;
    format.channelMask = channelMask != 0 ? channelMask : StandardChannelMask(channels);
    format.subFormat = SampleSubFormat::IeeeFloat;
    RecomputeByteRates(format);
    return format;
}

WaveFormat MakePlainFloatFormat(uint32_t sampleRate, uint16_t channels)
{
    WaveFormat format = MakeFloatFormat(sampleRate, channels);
    format.formatTag = WaveFormat::kTagIeeeFloat;
    format.extraSize = 0;
    format.validBitsPerSample = 0;
    format.channelMask = 0;
    return format;
}

bool IsExtensible(const WaveFormat& format)
{
    return format.formatTag == WaveFormat::kTagExtensible && format.extraSize >= WaveFormat::kExtensibleExtraBytes;
}

bool IsFloat32(const WaveFormat& format)
{
    if (format.bitsPerSample != kFloatBits)
        return false;
    if (IsExtensible(format))
        return format.subFormat == SampleSubFormat::IeeeFloat;
    return format.formatTag == WaveFormat::kTagIeeeFloat;
}

WaveFormat* CopyFormatToTaskMemory(const WaveFormat& format)
{
    void* block = AllocateTaskMemory(sizeof(WaveFormat));
    return block != nullptr ? new (block) WaveFormat(format) : nullptr;
}
} // namespace ZK::Platform
