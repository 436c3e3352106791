// The audio buffer pool's lock-free lists under four audio threads taking and releasing blocks of
// shared channel counts: a block is never handed to two holders at once.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using ZK::SoundEngine::AudioBufferPool;
using ZkEngineTest::EngineMemoryTest;

using ThreadedAudioBufferPool = EngineMemoryTest;

TEST_F(ThreadedAudioBufferPool, ABlockHasOneHolderAtATime)
{
    constexpr uint16_t kFrames = 64;
    constexpr uint32_t kThreads = 4;
    constexpr uint32_t kRounds = 20000;
    AudioBufferPool::Init();
    AudioBufferPool::SetFramesPerBuffer(kFrames);
    std::atomic<uint32_t> faults{0};

    std::vector<std::thread> threads;
    for (uint32_t thread = 0; thread < kThreads; ++thread)
    {
        threads.emplace_back([&, thread] {
            ZK::MemoryMgr::InitForThread();
            for (uint32_t round = 0; round < kRounds; ++round)
            {
                ZkAudioBuffer held[3];
                for (uint32_t slot = 0; slot < 3; ++slot)
                {
                    held[slot].channelConfig = ZkChannelConfig::Anonymous(1 + (round + slot) % 2);
                    if (AudioBufferPool::GetCachedBuffer(held[slot]) != ZK_Success)
                        faults.fetch_add(1);
                    // Mark the whole first channel as ours; another holder would overwrite it.
                    const float mark = static_cast<float>(thread * 4 + slot);
                    for (uint32_t frame = 0; frame < kFrames; ++frame)
                        held[slot].GetChannel(0)[frame] = mark;
                }
                for (uint32_t slot = 0; slot < 3; ++slot)
                {
                    const float mark = static_cast<float>(thread * 4 + slot);
                    for (uint32_t frame = 0; frame < kFrames; ++frame)
                    {
                        if (held[slot].GetChannel(0)[frame] != mark)
                        {
                            faults.fetch_add(1);
                            break;
                        }
                    }
                    AudioBufferPool::ReleaseCachedBuffer(held[slot]);
                }
            }
            ZK::MemoryMgr::TermForThread();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(faults.load(), 0u);
    // Reuse bounds the blocks: at most what all threads hold at once, for each channel count.
    EXPECT_LE(AudioBufferPool::CachedBlocks(1) + AudioBufferPool::CachedBlocks(2), kThreads * 3 * 2);
    AudioBufferPool::Flush();
    AudioBufferPool::SetFramesPerBuffer(AudioBufferPool::kDefaultFramesPerBuffer);
}
