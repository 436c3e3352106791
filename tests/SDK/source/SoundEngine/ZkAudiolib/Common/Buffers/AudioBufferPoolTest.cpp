// The audio buffer pool: reuse per channel count, full-frame blocks, odd shapes that bypass the
// lists, frame-size changes, out of memory and Flush.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"

#include <gtest/gtest.h>

#include <cstdint>

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
