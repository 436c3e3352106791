// The device's scheduling pass: which stream the next transfer serves. The device is not started:
// the test runs each pass itself, over fake streams whose readiness, deadline and priority it sets.
#include "StreamTestSupport.h"

#include "Platform/PlatformClock.h"

#include <vector>

namespace
{
using namespace ZkStreamTest;

constexpr int64_t kCountsPerMs = ZK::Platform::kPerformanceFrequencyHz / 1000;

class StreamScheduler : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // Every fake is "destroyed by its client" so the device can free it.
        for (FakeTaskBase* stream : m_streams)
            stream->ClientDestroy();
        ASSERT_TRUE(m_device->ClearStreamsOnStop());
        m_device->Destroy();
    }

    struct StreamSetup
    {
        bool automatic;
        bool ready;
        bool needsIO;
        float deadlineMs;
        uint8_t priority;
        int64_t waitedMs; // since its last request
    };

    FakeTaskBase* Add(const StreamSetup& setup, bool caching = false)
    {
        FakeTaskBase* stream;
        if (caching)
        {
            IZkAutomaticStream* ignored = nullptr;
            stream = static_cast<FakeTaskBase*>(m_device->CreateCachingStream(nullptr, 1, 4096, setup.priority, ignored));
        }
        else if (setup.automatic)
        {
            IZkAutomaticStream* ignored = nullptr;
            ZkAutomaticStreamHeuristics heuristics{};
            heuristics.priority = setup.priority;
            stream = static_cast<FakeTaskBase*>(m_device->CreateAutomaticStream(nullptr, ZK_NoCacheID, heuristics, nullptr, ignored));
        }
        else
        {
            IZkStandardStream* ignored = nullptr;
            stream = static_cast<FakeTaskBase*>(m_device->CreateStandardStream(nullptr, ZK_OpenModeRead, ignored));
        }
        if (!stream)
        {
            ADD_FAILURE() << "the fake device made no stream";
            return nullptr;
        }
        stream->SetReady(setup.ready, setup.needsIO);
        stream->state.deadlineMs = setup.deadlineMs;
        stream->SetPriority(setup.priority);
        stream->SetRequestTime(ZK::Platform::PerformanceCounter() - setup.waitedMs * kCountsPerMs);
        m_streams.push_back(stream);
        return stream;
    }

    MemoryScope m_memory;
    FakeDevice* m_device = NewFakeDevice();
    std::vector<FakeTaskBase*> m_streams;
};

TEST_F(StreamScheduler, ChoiceTable)
{
    struct Case
    {
        const char* what;
        std::vector<StreamSetup> streams; // in creation order: the list holds them newest first
        int expected;              // index into streams, or -1 for none
    };
    const Case cases[] = {
        {"nothing ready", {{true, false, true, 10, 50, 0}}, -1},
        {"ready but nothing needs I/O", {{true, true, false, 10, 50, 0}}, -1},
        {"nearer deadline: 20 ms before 50 ms", {{true, true, true, 50, 50, 0}, {true, true, true, 20, 50, 0}}, 1},
        {"nearer deadline whatever the list order", {{true, true, true, 20, 50, 0}, {true, true, true, 50, 50, 0}}, 0},
        {"starving: higher priority", {{true, true, true, 0, 80, 0}, {true, true, true, 0, 50, 0}}, 0},
        {"starving: higher priority, other order", {{true, true, true, 0, 50, 0}, {true, true, true, 0, 80, 0}}, 1},
        {"starving, equal priority: waited longer", {{true, true, true, 0, 50, 500}, {true, true, true, 0, 50, 10}}, 0},
        {"starving, equal priority: waited longer, other order", {{true, true, true, 0, 50, 10}, {true, true, true, 0, 50, 500}}, 1},
        {"starving beats a deadline", {{true, true, true, 0, 10, 0}, {true, true, true, 5, 90, 0}}, 0},
        {"standard request before a full automatic stream",
         {{false, true, true, 1000, 10, 0}, {true, true, false, 0, 100, 0}}, 0},
        {"not ready is passed over", {{true, true, true, 50, 50, 0}, {true, false, true, 1, 50, 0}}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<FakeTaskBase*> made;
        for (const StreamSetup& setup : c.streams)
            made.push_back(Add(setup));
        const ZkScheduledStream chosen = m_device->ScheduleNext();
        EXPECT_EQ(chosen.Stream(), c.expected < 0 ? nullptr : made[static_cast<size_t>(c.expected)]);
        if (c.expected >= 0)
        {
            EXPECT_EQ(chosen.DeadlineMs(), c.streams[static_cast<size_t>(c.expected)].deadlineMs);
        }
        for (FakeTaskBase* stream : made)
            stream->SetReady(false, false); // out of the way of the next case
    }
}

TEST_F(StreamScheduler, PausedAutomaticStreamsLeaveStandardRequestsServed)
{
    Add({true, true, true, 0, 100, 900});
    FakeTaskBase* standard = Add({false, true, true, 400, 10, 0});
    m_device->PauseAutomaticStreams();
    EXPECT_EQ(m_device->ScheduleNext().Stream(), standard);
    standard->SetReady(false, false);
    EXPECT_EQ(m_device->ScheduleNext().Stream(), nullptr) << "automatic streams wait for memory";
    m_device->ResumeAutomaticStreams();
    EXPECT_NE(m_device->ScheduleNext().Stream(), nullptr);
}

TEST_F(StreamScheduler, DestroyedStreamsAreFreedByThePassOnceNothingIsInFlight)
{
    FakeTaskBase* kept = Add({true, true, true, 5, 50, 0});
    FakeTaskBase* gone = Add({true, true, true, 1, 50, 0});
    gone->state.canBeDestroyed = false; // a transfer is still in flight
    gone->ClientDestroy();
    EXPECT_EQ(m_device->ScheduleNext().Stream(), kept) << "a stream being destroyed is never served";
    gone->state.canBeDestroyed = true;
    m_streams.pop_back();
    EXPECT_EQ(m_device->ScheduleNext().Stream(), kept); // the pass frees it (ASan would see a leak)
}

TEST_F(StreamScheduler, CachingStreamsRunOnlyWhenNothingElseNeedsIO)
{
    FakeTaskBase* caching = Add({true, true, true, 10, 40, 0}, true);
    FakeTaskBase* ordinary = Add({true, true, true, 10, 40, 0});
    EXPECT_EQ(m_device->ScheduleNext().Stream(), ordinary);
    ordinary->SetReady(true, false);
    EXPECT_EQ(m_device->ScheduleNext().Stream(), caching);
}

TEST_F(StreamScheduler, PinnedBytesLimitStopsTheLowerPriorityCachingStream)
{
    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.pinnedBytesLimit = 6000; // room for one cache of 4096 bytes
    FakeDevice* limited = NewFakeDevice();
    ASSERT_EQ(limited->Init(settings, 0), ZK_Success);
    std::swap(limited, m_device);

    FakeTaskBase* low = Add({true, true, false, 0, 10, 0}, true);
    low->state.bufferedBytes = 4096; // its cache is full
    FakeTaskBase* high = Add({true, true, true, 0, 90, 0}, true);
    high->state.bufferedBytes = 0;
    EXPECT_EQ(m_device->ScheduleNext().Stream(), high);
    EXPECT_EQ(low->state.stopCachingCount, 1);
    EXPECT_EQ(low->state.lastStopCachingBytes, 4096u);
    EXPECT_EQ(high->state.stopCachingCount, 0);
    EXPECT_EQ(m_device->PinnedBytesInUse(), 0u);

    std::swap(limited, m_device);
    for (FakeTaskBase* stream : m_streams)
        stream->ClientDestroy();
    m_streams.clear();
    limited->Destroy();
}

TEST_F(StreamScheduler, CachingCandidateStopsItselfWhenNothingLowerCanMakeRoom)
{
    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.pinnedBytesLimit = 6000;
    FakeDevice* limited = NewFakeDevice();
    ASSERT_EQ(limited->Init(settings, 0), ZK_Success);
    std::swap(limited, m_device);

    FakeTaskBase* higher = Add({true, true, false, 0, 90, 0}, true);
    higher->state.bufferedBytes = 4096;
    FakeTaskBase* lower = Add({true, true, true, 0, 10, 0}, true);
    EXPECT_EQ(m_device->ScheduleNext().Stream(), nullptr);
    EXPECT_EQ(higher->state.stopCachingCount, 0);
    EXPECT_EQ(lower->state.stopCachingCount, 1);
    EXPECT_EQ(m_device->PinnedBytesInUse(), 4096u);

    std::swap(limited, m_device);
    for (FakeTaskBase* stream : m_streams)
        stream->ClientDestroy();
    m_streams.clear();
    limited->Destroy();
}

TEST_F(StreamScheduler, ReleasingMemoryKillsTheLowestPriorityReadyStreamCachingFirst)
{
    FakeTaskBase* ordinary = Add({true, true, true, 0, 5, 0});
    FakeTaskBase* cachingLow = Add({true, true, false, 0, 20, 0}, true);
    FakeTaskBase* cachingHigh = Add({true, true, false, 0, 60, 0}, true);
    EXPECT_FALSE(m_device->ReleaseMemoryForStream(false, 100)) << "only the requesting device kills";
    EXPECT_TRUE(m_device->ReleaseMemoryForStream(true, 50));
    EXPECT_EQ(cachingLow->state.killCount.load(), 1);
    EXPECT_EQ(cachingHigh->state.killCount.load(), 0);
    EXPECT_EQ(ordinary->state.killCount.load(), 0) << "no ordinary stream while a caching one was killed";
    EXPECT_FALSE(m_device->ReleaseMemoryForStream(true, 5)) << "nothing below priority 5";
}
} // namespace
