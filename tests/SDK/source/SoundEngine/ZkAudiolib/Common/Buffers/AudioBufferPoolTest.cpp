// The audio buffer pool: reuse per channel count, full-frame blocks, odd shapes that bypass the
// lists, frame-size changes, out of memory and Flush.
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
class BufferPool : public EngineMemoryTest
{
protected:
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

    static ZkAudioBuffer Buffer(uint32_t channels, uint16_t maxFrames = kFrames)
    {
        ZkAudioBuffer buffer;
        buffer.channelConfig = ZkChannelConfig::Anonymous(channels);
        buffer.maxFrames = maxFrames;
        return buffer;
    }

    static constexpr uint16_t kFrames = 256;
};
} // namespace

TEST_F(BufferPool, ReleasedBlocksAreReusedForTheSameChannelCountOnly)
{
    ZkAudioBuffer stereo = Buffer(2);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(stereo), ZK_Success);
    void* stereoData = stereo.data;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(stereoData) % 16, 0u) << "samples after a 32-byte header of a 16-aligned block";
    stereo.validFrames = 100;
    AudioBufferPool::ReleaseCachedBuffer(stereo);
    EXPECT_EQ(stereo.data, nullptr);
    EXPECT_EQ(stereo.maxFrames, 0u);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 1u);

    FaultInjection::CountOnly(ZkMemID_Processing);
    ZkAudioBuffer mono = Buffer(1);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(mono), ZK_Success);
    EXPECT_EQ(FaultInjection::CountedAllocations(), 1u) << "no block for one channel yet";
    ZkAudioBuffer stereoAgain = Buffer(2);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(stereoAgain), ZK_Success);
    EXPECT_EQ(FaultInjection::CountedAllocations(), 1u) << "the stereo block comes from its list";
    EXPECT_EQ(stereoAgain.data, stereoData);
    EXPECT_EQ(stereoAgain.validFrames, 0u);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 0u);

    // The whole block is usable: write every sample of both channels.
    for (uint32_t channel = 0; channel < 2; ++channel)
        for (uint32_t frame = 0; frame < kFrames; ++frame)
            stereoAgain.GetChannel(channel)[frame] = 1.0f;
    AudioBufferPool::ReleaseCachedBuffer(stereoAgain);
    AudioBufferPool::ReleaseCachedBuffer(mono);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(1), 1u);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 1u);
    AudioBufferPool::Flush();
    EXPECT_EQ(AudioBufferPool::CachedBlocks(1), 0u);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 0u);
}

TEST_F(BufferPool, ShortRequestsGetAFullFrameBlock)
{
    ZkAudioBuffer buffer = Buffer(3, 10);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
    EXPECT_EQ(buffer.maxFrames, kFrames);
    AudioBufferPool::ReleaseCachedBuffer(buffer);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(3), 1u);
}

TEST_F(BufferPool, OddShapesBypassTheLists)
{
    struct Case
    {
        uint32_t channels;
        uint16_t maxFrames;
    };
    for (const Case& c : {Case{9, kFrames}, Case{12, kFrames}, Case{2, kFrames * 2}})
    {
        ZkAudioBuffer buffer = Buffer(c.channels, c.maxFrames);
        ASSERT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
        EXPECT_EQ(buffer.maxFrames, c.maxFrames);
        buffer.GetChannel(c.channels - 1)[c.maxFrames - 1] = 0.5f; // the last sample is inside the block
        AudioBufferPool::ReleaseCachedBuffer(buffer);
        for (uint32_t channels = 1; channels <= 8; ++channels)
            EXPECT_EQ(AudioBufferPool::CachedBlocks(channels), 0u) << c.channels << " x " << c.maxFrames;
    }
}

TEST_F(BufferPool, BlocksOfAnOldFrameSizeAreFreedNotCached)
{
    ZkAudioBuffer buffer = Buffer(2);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
    AudioBufferPool::SetFramesPerBuffer(512);
    AudioBufferPool::ReleaseCachedBuffer(buffer);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 0u);
    ZkAudioBuffer larger = Buffer(2, kFrames);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(larger), ZK_Success);
    EXPECT_EQ(larger.maxFrames, 512u);
    AudioBufferPool::ReleaseCachedBuffer(larger);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 1u);
}

TEST_F(BufferPool, AReleaseGoesByTheBlocksOwnShape)
{
    ZkAudioBuffer buffer = Buffer(1);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
    buffer.channelConfig = ZkChannelConfig::Anonymous(6); // relabelled while it held the block
    AudioBufferPool::ReleaseCachedBuffer(buffer);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(6), 0u) << "a mono block must never serve six channels";
    EXPECT_EQ(AudioBufferPool::CachedBlocks(1), 1u);
}

TEST_F(BufferPool, OutOfMemoryAndEmptyRequests)
{
    ZkAudioBuffer buffer = Buffer(2);
    {
        FaultInjection::ScopedAllocationFailure failure(ZkMemID_Processing, 1);
        EXPECT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_InsufficientMemory);
    }
    EXPECT_EQ(buffer.data, nullptr) << "the buffer keeps no data";
    ZkAudioBuffer none = Buffer(0);
    EXPECT_EQ(AudioBufferPool::GetCachedBuffer(none), ZK_InvalidParameter);
    EXPECT_EQ(none.data, nullptr);
    AudioBufferPool::ReleaseCachedBuffer(none); // nothing to give back
    EXPECT_EQ(none.maxFrames, 0u);
}

// The final mix's reorder into interleaved device order, through pool memory.
namespace
{
// A pool buffer of kFrames frames whose stored (pipeline) channel c holds 100 * c + frame.
ZkAudioBuffer PlanarPoolBuffer(ZkChannelConfig config, uint16_t frames, uint16_t validFrames)
{
    ZkAudioBuffer buffer;
    buffer.channelConfig = config;
    buffer.maxFrames = frames;
    EXPECT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
    for (uint32_t c = 0; c < config.NumChannels(); ++c)
        for (uint16_t j = 0; j < frames; ++j)
            buffer.GetChannel(c)[j] = static_cast<float>(100 * c + j);
    buffer.validFrames = validFrames;
    buffer.state = ZK_DataReady;
    return buffer;
}

struct ReorderCase
{
    const char* name;
    ZkChannelConfig config;
    std::vector<uint32_t> storedChannelOfEachPosition;
};
} // namespace

TEST_F(BufferPool, ReorderInterleavesEachPositionFromItsStoredChannel)
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
        ZkAudioBuffer buffer = PlanarPoolBuffer(c.config, kFrames, kValid);
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

TEST_F(BufferPool, ReorderOutOfMemoryLeavesTheBufferAsItWas)
{
    ZkAudioBuffer buffer = PlanarPoolBuffer(ZkChannelConfig::FromMask(0x60F), kFrames, 4);
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
