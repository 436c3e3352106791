// The render pass's job path: with the game's job callback the voice pipelines run as a
// "ZK::Voice" job and the buses level by level as "ZK::Bus" jobs, here split among worker threads
// of the test; the capture is the same, bit for bit, as the inline render of the same posts, also
// where two voices feed one bus (the bus sums its voices in the order the inline pass does). Each
// job runs with flush-to-zero, the render pass's own floating-point mode.
#include "FirstSoundFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <xmmintrin.h>

#include <cstring>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kWorkers = 3;

struct JobLog
{
    std::mutex lock;
    std::set<std::string> names;
    std::atomic<uint32_t> calls{0};
    std::atomic<uint32_t> itemsLeavingFlushToZero{0};
};
JobLog* g_log = nullptr;

// Every item runs once, on a worker thread: the range is dealt out one item at a time.
void RunOnWorkers(void* data, uint32_t first, uint32_t end, uint32_t granularity, ZK::SoundEngine::ZkJobFunction job,
                  uint32_t reserved, const char* name)
{
    EXPECT_EQ(granularity, 1u);
    EXPECT_EQ(reserved, 0u);
    {
        std::lock_guard<std::mutex> guard(g_log->lock);
        g_log->names.insert(name);
    }
    ++g_log->calls;
    std::atomic<uint32_t> next{first};
    auto work = [&] {
        // The worker's own mode is the standard one: the job sets the render pass's.
        _mm_setcsr(_mm_getcsr() & ~0x8040u);
        for (uint32_t item = next++; item < end; item = next++)
        {
            job(data, item, item + 1);
            if ((_mm_getcsr() & 0x8000u) != 0)
                ++g_log->itemsLeavingFlushToZero; // the job must restore the worker's mode
        }
    };
    std::thread workers[kWorkers];
    for (std::thread& worker : workers)
        worker = std::thread(work);
    for (std::thread& worker : workers)
        worker.join();
}

class ThreadedJobRender : public FirstSound
{
protected:
    // The capture of three tones posted together (two on the Effects bus, one on the Music bus, one
    // level of two buses), rendered with or without the job callback.
    std::vector<float> Render(bool withJobs)
    {
        settings.jobCallback = withJobs ? &RunOnWorkers : nullptr;
        EXPECT_NO_FATAL_FAILURE(Start());
        EXPECT_EQ(CZkAudioRenderer::HasJobCallback(), withJobs);
        EXPECT_NE(PostEvent("Play_Tone48", kEmitter), 0u);
        EXPECT_NE(PostEvent("Play_Tone44", kEmitter), 0u);
        EXPECT_NO_FATAL_FAILURE(RenderFrames(2));
        EXPECT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
        EXPECT_NO_FATAL_FAILURE(RenderFrames(14));
        Term();
        EXPECT_FALSE(CZkAudioRenderer::HasJobCallback()) << "the engine's end forgets the callback";
        return captured;
    }
};

TEST_F(ThreadedJobRender, TheJobPathRendersTheSameSamplesAsTheInlinePath)
{
    JobLog log;
    g_log = &log;
    const std::vector<float> inline_ = Render(false);
    EXPECT_EQ(log.calls.load(), 0u);
    const std::vector<float> jobs = Render(true);
    g_log = nullptr;

    EXPECT_EQ(log.names, (std::set<std::string>{"ZK::Voice", "ZK::Bus"}));
    EXPECT_EQ(log.itemsLeavingFlushToZero.load(), 0u);
    ASSERT_EQ(jobs.size(), inline_.size());
    ASSERT_EQ(jobs.size(), 16u * kFrames * 2);
    size_t audible = 0;
    for (size_t i = 0; i < jobs.size(); ++i)
    {
        ASSERT_EQ(std::memcmp(&jobs[i], &inline_[i], sizeof(float)), 0) << "sample " << i;
        audible += jobs[i] != 0.0f ? 1 : 0;
    }
    EXPECT_GT(audible, jobs.size() / 2);
}
} // namespace
