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

// An independent model of the arithmetic: output j reads position 0x10000 + sum of steps in a
// stream whose frame -1 is 0 (fresh history), interpolated in double precision.
inline std::vector<double> ModelFixedStep(const std::vector<float>& stream, uint32_t step, size_t outputs)
{
    std::vector<double> result;
    uint64_t position = 0x10000;
    for (size_t j = 0; j < outputs; ++j)
    {
        const uint64_t k = position >> 16;
        if (k >= stream.size())
            break;
        const double previous = k == 0 ? 0.0 : stream[k - 1];
        result.push_back(previous + (stream[k] - previous) * static_cast<double>(position & 0xFFFF) / 65536.0);
        position += step;
    }
    return result;
}

// A model of a pitch glide's read positions, written from its definition: after each output frame
// the counter advances by the increment, and the step that follows the frame is (current x 1024 +
// (target - current) x counter) >> 10 in unsigned 32-bit arithmetic, with the advanced counter;
// once the counter has reached 1024 the step is the target. Positions are in 1/65536 of an input
// frame from the first sample of the stream.
class GlideModel
{
public:
    GlideModel(int32_t from, int32_t to, uint32_t increment) : from_(from), to_(to), increment_(increment) {}

    // The position of the next output frame; then the model moves past that frame.
    uint64_t Next()
    {
        const uint64_t here = position_;
        uint32_t step = static_cast<uint32_t>(to_);
        if (counter_ < 1024)
        {
            counter_ += increment_;
            step = (static_cast<uint32_t>(from_) * 1024u + (static_cast<uint32_t>(to_) - static_cast<uint32_t>(from_)) * counter_) >> 10;
        }
        position_ += step;
        return here;
    }

private:
    int32_t from_;
    int32_t to_;
    uint32_t increment_;
    uint32_t counter_ = 0;
    uint64_t position_ = 0; // the first output frame reads input frame 0 exactly
};

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
