// The deferred-command queue is the one path from the render side's threads back into instances:
// reports queued from another thread while the engine thread applies the queue all arrive, through
// the queue's block and the single nodes beyond it.
#include "PlaybackFixture.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"

#include <atomic>
#include <thread>

namespace
{
using namespace ZkPlaybackTest;

using ThreadedDeferredCommands = PlaybackTest;

TEST_F(ThreadedDeferredCommands, ReportsFromAnotherThreadWhileTheEngineAppliesThem)
{
    EXPECT_EQ(CZkActiveInstances::Init(), ZK_Fail)
        << "the block is made; the renderer needs a stream manager";
    PlatformAudio::DestroyDefaultObject();
    CZkPlayingInstance* instance = Make(LoadSound(200));
    constexpr uint32_t kReports = 5000;
    std::atomic<bool> flushing{false};
    std::atomic<bool> done{false};
    std::thread render(
        [&]
        {
            // Reports start only once the engine side is applying the queue, so the two overlap
            // however the threads are scheduled.
            while (!flushing.load(std::memory_order_acquire))
                std::this_thread::yield();
            ZK::MemoryMgr::InitForThread();
            for (uint32_t report = 0; report < kReports; ++report)
                CZkActiveInstances::PostCommand(instance, CZkPlayingInstance::kCommandEndNotice, 0, 1.0f);
            ZK::MemoryMgr::TermForThread();
            done.store(true, std::memory_order_release);
        });
    uint32_t flushes = 0;
    do
    {
        CZkActiveInstances::FlushCommands();
        ++flushes;
        flushing.store(true, std::memory_order_release);
    } while (!done.load(std::memory_order_acquire));
    render.join();
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 0u);
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusEndNotice) != 0);
    EXPECT_GT(flushes, 0u);
}
} // namespace
