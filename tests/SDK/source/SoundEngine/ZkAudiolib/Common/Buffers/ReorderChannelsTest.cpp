// The final mix's reorder into interleaved device order, through pool memory.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using ZK::SoundEngine::AudioBufferPool;
using ZkEngineTest::EngineMemoryTest;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;

namespace
{
class ReorderChannels : public EngineMemoryTest
{
protected:
    static constexpr uint16_t kFrames = 8;

    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        AudioBufferPool::Init();
        AudioBufferPool::SetFramesPerBuffer(kFrames);
    }
    void TearDown() override
    {
        AudioBufferPool::Flush();
        AudioBufferPool::SetFramesPerBuffer(AudioBufferPool::kDefaultFramesPerBuffer);
        EngineMemoryTest::TearDown();
    }

    // A pool buffer whose stored (pipeline) channel c holds 100 * c + frame.
    static ZkAudioBuffer PlanarBuffer(ZkChannelConfig config, uint16_t validFrames)
    {
        ZkAudioBuffer buffer;
        buffer.channelConfig = config;
        buffer.maxFrames = kFrames;
        EXPECT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
        for (uint32_t c = 0; c < config.NumChannels(); ++c)
            for (uint16_t j = 0; j < kFrames; ++j)
                buffer.GetChannel(c)[j] = static_cast<float>(100 * c + j);
        buffer.validFrames = validFrames;
        buffer.state = ZK_DataReady;
        return buffer;
    }
};

struct ReorderCase
{
    const char* name;
    ZkChannelConfig config;
    std::vector<uint32_t> storedChannelOfEachPosition;
};
} // namespace

TEST_F(ReorderChannels, InterleavesEachPositionFromItsStoredChannel)
{
    ZkChannelConfig stereoWithLfe = ZkChannelConfig::FromMask(0x3 | 0x8);
    const ReorderCase cases[] = {
        // Stored FL FR FC SL SR LFE; the device wants FL FR FC LFE SL SR.
        {"5.1", ZkChannelConfig::FromMask(0x60F), {0, 1, 2, 5, 3, 4}},
        // LFE without a centre: FL FR LFE in both orders.
        {"2.1", stereoWithLfe, {0, 1, 2}},
        {"stereo", ZkChannelConfig::FromMask(0x3), {0, 1}},
    };
    constexpr uint16_t kValid = 5;
    for (const ReorderCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        ZkAudioBuffer buffer = PlanarBuffer(c.config, kValid);
        ASSERT_EQ(buffer.ReorderChannelsLfeLast(), ZK_Success);
        const uint32_t channels = c.config.NumChannels();
        ASSERT_EQ(channels, c.storedChannelOfEachPosition.size());
        EXPECT_EQ(buffer.validFrames, kValid);
        EXPECT_EQ(buffer.state, ZK_DataReady);
        EXPECT_EQ(buffer.channelConfig, c.config);
        const float* samples = static_cast<const float*>(buffer.data);
        for (uint16_t j = 0; j < kValid; ++j)
            for (uint32_t p = 0; p < channels; ++p)
                EXPECT_EQ(samples[j * channels + p], static_cast<float>(100 * c.storedChannelOfEachPosition[p] + j))
                    << "frame " << j << " position " << p;
        AudioBufferPool::ReleaseCachedBuffer(buffer);
    }
}

TEST_F(ReorderChannels, OutOfMemoryLeavesTheBufferAsItWas)
{
    ZkAudioBuffer buffer = PlanarBuffer(ZkChannelConfig::FromMask(0x60F), 4);
    const ZkAudioBuffer before = buffer;
    FaultInjection::FailFrom(ZkMemID_Processing, 1);
    EXPECT_EQ(buffer.ReorderChannelsLfeLast(), ZK_InsufficientMemory);
    FaultInjection::Disarm();
    EXPECT_EQ(buffer.data, before.data);
    EXPECT_EQ(buffer.maxFrames, before.maxFrames);
    EXPECT_EQ(buffer.validFrames, before.validFrames);
    EXPECT_EQ(buffer.channelConfig, before.channelConfig);
    EXPECT_EQ(buffer.GetChannel(5)[3], 503.0f);
    AudioBufferPool::ReleaseCachedBuffer(buffer);
}
