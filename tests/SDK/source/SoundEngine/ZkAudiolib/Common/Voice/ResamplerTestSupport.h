// What the resampler tests share: formats, input and output blocks over test-owned memory, the
// kernel tables this processor can run, and a fixture with the memory manager running.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <ZkAudiolib/Common/Voice/ZkResampler.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ResamplerTest
{
constexpr uint32_t kEngineRate = 48000;

inline ZkAudioFormat Format(uint32_t rate, ZkChannelConfig config, uint32_t bits)
{
    ZkAudioFormat format;
    format.sampleRate = rate;
    format.channelConfig = config;
    format.formatBits = bits;
    return format;
}

inline std::vector<int16_t> RandomShorts(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> distribution(-32768, 32767);
    std::vector<int16_t> samples(count);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(distribution(generator));
    return samples;
}

// An output block over its own memory.
struct OutputBlock
{
    std::vector<float> samples;
    ZkAudioBuffer buffer;
    OutputBlock(uint32_t channels, uint16_t frames) : samples(channels * static_cast<size_t>(frames), -7.0f)
    {
        buffer.AttachData(samples.data(), frames, ZkChannelConfig::Anonymous(channels));
        buffer.validFrames = 0;
    }
    float At(uint32_t channel, uint32_t frame) const { return samples[channel * static_cast<size_t>(buffer.maxFrames) + frame]; }
};

// A 16-bit interleaved or float planar input block over given memory.
inline ZkAudioBuffer InputBlock(void* data, ZkChannelConfig config, uint16_t frames)
{
    ZkAudioBuffer buffer;
    buffer.AttachData(data, frames, config);
    return buffer;
}

// The scalar reference, the SSE table and, where this processor has it, the AVX2 table.
inline std::vector<ZkResamplerKernels::KernelTable> RunnableTables()
{
    std::vector<ZkResamplerKernels::KernelTable> tables{ZkResamplerKernels::kScalarTable, ZkResamplerKernels::MakeSseTable()};
    const uint32_t flags = ZK::ZkRuntimeEnvironmentMgr::FlagsFromReport(ZK::ZkCpuidReport::ReadProcessor());
    if ((flags & (ZK::ZK_SIMD_AVX2 | ZK::ZK_SIMD_FMA)) == (ZK::ZK_SIMD_AVX2 | ZK::ZK_SIMD_FMA))
        tables.push_back(ZkResamplerKernels::MakeAvx2Table());
    return tables;
}

// The memory manager running, and one resampler after Init.
class Resampler : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        resampler.Init();
    }
    void TearDown() override
    {
        resampler.Term();
        EngineMemoryTest::TearDown();
    }
    CZkResampler resampler;
};
} // namespace ResamplerTest
