// The spatial worker as a thread of its own: the engine side on the test thread, the worker, and a
// thread playing the virtual clock, for a thousand updates with eight objects, none of the bed's
// frames lost or repeated; a stream that stops signalling loses the device; a worker that cannot
// start fails the set-up; Term joins the worker, whose apartment set-up was paired, and gives back
// every block of the rings and records.
#include "SpatialSinkTestSupport.h"

#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"

#include <Platform/PlatformClock.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace ZkSpatialTest;

namespace
{
constexpr uint16_t kSmallFrames = 256;
constexpr uint32_t kDeadlineMs = 5000;

class ThreadedSpatialWorker : public SpatialSinkTest
{
protected:
    void SetUp() override
    {
        SpatialSinkTest::SetUp();
        CZkSinkCoreAudio::SetWorkerOnCaller(false);
    }
};

// Blocks held per memory pool, counted by allocation hooks over the system allocator.
std::atomic<int64_t> g_liveBlocks[32];
std::atomic<int64_t>& Live(ZkMemoryId memId)
{
    return g_liveBlocks[(memId & ZkMemID_CategoryMask) % 32];
}
void* CountingMalloc(ZkMemoryId memId, size_t size)
{
    void* block = ZkMemoryTest::SystemMalloc(memId, size);
    if (block != nullptr)
        ++Live(memId);
    return block;
}
void* CountingMalign(ZkMemoryId memId, size_t size, uint32_t alignment)
{
    void* block = ZkMemoryTest::SystemMalign(memId, size, alignment);
    if (block != nullptr)
        ++Live(memId);
    return block;
}
void* CountingRealloc(ZkMemoryId memId, void* block, size_t size)
{
    void* moved = ZkMemoryTest::SystemRealloc(memId, block, size);
    if (block == nullptr && moved != nullptr)
        ++Live(memId);
    return moved;
}
void* CountingReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment)
{
    void* moved = ZkMemoryTest::SystemReallocAligned(memId, block, size, alignment);
    if (block == nullptr && moved != nullptr)
        ++Live(memId);
    return moved;
}
void CountingFree(ZkMemoryId memId, void* block)
{
    if (block != nullptr)
        --Live(memId);
    ZkMemoryTest::SystemFree(memId, block);
}

class ThreadedSpatialWorkerMemory : public ThreadedSpatialWorker
{
protected:
    void Configure(ZkMemSettings& settings) override
    {
        settings = ZkMemoryTest::SettingsWithAllocationHooks(&CountingMalloc, &CountingMalign, &CountingRealloc,
                                                             &CountingReallocAligned, &CountingFree);
    }
};

// Threads of this process whose name is the worker's (cut to the kernel's 15 characters).
uint32_t WorkerThreads()
{
    uint32_t found = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name == std::string(CZkSinkCoreAudio::kWorkerName).substr(0, 15))
            ++found;
    }
    return found;
}

// Spins (yielding) until the condition holds or the deadline passes.
template <typename Condition>
bool AwaitCondition(Condition condition, uint32_t deadlineMs = kDeadlineMs)
{
    const int64_t end = ZK::Platform::PerformanceCounter() + int64_t{deadlineMs} * 1'000'000;
    while (!condition())
    {
        if (ZK::Platform::PerformanceCounter() > end)
            return false;
        ZK::Platform::YieldProcessor();
    }
    return true;
}

TEST_F(ThreadedSpatialWorker, AThousandUpdatesWithEightObjectsLoseAndRepeatNoFrameOfTheBed)
{
    SetAudioFormatGlobals(kEngineRate, kSmallFrames);
    // The clock thread paces the stream; a loaded machine may hold it back past 50 ms, which is
    // not what this test is about.
    CZkSinkCoreAudio::SetWorkerWaitMs(kDeadlineMs);
    constexpr uint32_t kBuffers = 1000;
    constexpr uint32_t kObjects = 8;
    SpatialSink sink;
    ASSERT_TRUE(sink->IsSpatial());
    ASSERT_TRUE(sink->HasWorker());

    std::atomic<bool> done{false};
    std::atomic<bool> clockStalled{false};
    std::thread clock([&] {
        for (uint32_t update = 1; !done.load(); ++update)
        {
            m_system->Advance(kSmallFrames);
            if (!m_system->WaitForSpatialUpdates(kSpeakers, update, kDeadlineMs))
            {
                clockStalled = true;
                return;
            }
        }
    });

    std::vector<OwnedBuffer> blocks;
    std::vector<ZkAudioObject> list(kObjects);
    for (uint32_t i = 0; i < kObjects; ++i)
        blocks.emplace_back(ZkChannelConfig::FromMask(0x4), kSmallFrames);
    ZkAudioObjects objects{list.data(), kObjects, kObjects};
    OwnedBuffer bed(kBed, kSmallFrames);
    uint32_t rendered = 0;
    uint64_t counter = 0;
    while (rendered < kBuffers && !clockStalled)
    {
        uint32_t buffers = 0;
        ASSERT_EQ(sink->IsDataNeeded(buffers), ZK_Success) << "after " << rendered << " buffers";
        if (buffers == 0)
        {
            ASSERT_TRUE(sink.context.WaitForWake(kDeadlineMs)) << "the worker wakes the engine";
            continue;
        }
        for (uint32_t b = 0; b < buffers && rendered < kBuffers; ++b, ++rendered)
        {
            for (uint32_t k = 0; k < kSmallFrames; ++k)
            {
                ++counter;
                for (uint32_t channel = 0; channel < 12; ++channel)
                    bed.Channel(channel)[k] = static_cast<float>(counter);
            }
            for (uint32_t i = 0; i < kObjects; ++i)
            {
                std::fill(blocks[i].samples.begin(), blocks[i].samples.end(), static_cast<float>(i + 1));
                list[i].buffer = blocks[i].buffer;
                list[i].key = 100 + i;
                list[i].position = ZkAudioObjectPosition{static_cast<float>(i), 0.0f, 1.0f};
            }
            sink->Consume(&bed.buffer, nullptr, &objects, ZkRamp(1.0f, 1.0f));
        }
        sink->DataReady();
    }
    ASSERT_TRUE(AwaitCondition([&] { return sink->BedFreeFrames() == kSmallFrames * 4u; })) << "the bed drains";
    done = true;
    clock.join();
    ASSERT_FALSE(clockStalled) << "every update ended";
    EXPECT_FALSE(sink->HasErrorLatched());

    const VirtualSpatialCapture capture = Spatial();
    for (uint32_t position = 0; position < 12; ++position)
    {
        SCOPED_TRACE(position);
        const VirtualObjectCapture* object = StaticObject(capture, kBedTypes[position]);
        ASSERT_NE(object, nullptr);
        uint64_t expected = 1;
        for (float sample : object->samples)
        {
            if (sample == 0.0f)
                continue; // an update the bed could not fill
            ASSERT_EQ(sample, static_cast<float>(expected)) << "frame " << expected;
            ++expected;
        }
        EXPECT_EQ(expected - 1, uint64_t{kBuffers} * kSmallFrames) << "every frame rendered, once";
    }
    EXPECT_GE(capture.updateFrames.size(), kBuffers);
    const auto dynamic = DynamicObjects(capture);
    for (uint32_t i = 0; i < kObjects; ++i)
        EXPECT_EQ(std::count(dynamic[i]->samples.begin(), dynamic[i]->samples.end(), static_cast<float>(i + 1)),
                  static_cast<std::ptrdiff_t>(kBuffers) * kSmallFrames);
}

// No event from the stream for 50 ms: the worker latches the error and the sink reports the device
// lost at the next tick.
TEST_F(ThreadedSpatialWorker, AStreamSilentFor50msLosesTheDevice)
{
    SpatialSink sink;
    ASSERT_TRUE(sink->HasWorker());
    uint32_t buffers = 0;
    ASSERT_TRUE(AwaitCondition([&] { return sink->HasErrorLatched(); }));
    EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Fail);
}

// On the virtual system's real-time clock the stream asks for updates at its own pace and the
// worker keeps up, without the error a silent stream latches.
TEST_F(ThreadedSpatialWorker, TheRealTimeClockPacesTheWorker)
{
    SpatialSink sink;
    ASSERT_TRUE(sink->HasWorker());
    m_system->StartRealTimeClock(5);
    OwnedBuffer bed(kBed);
    for (uint32_t update = 1; update <= 10; ++update)
    {
        uint32_t buffers = 0;
        ASSERT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
        for (uint32_t b = 0; b < buffers; ++b)
            sink->Consume(&bed.buffer, nullptr, nullptr, ZkRamp(1.0f, 1.0f));
        if (buffers != 0)
            sink->DataReady();
        ASSERT_TRUE(m_system->WaitForSpatialUpdates(kSpeakers, update, kDeadlineMs));
    }
    m_system->StopRealTimeClock();
    EXPECT_FALSE(sink->HasErrorLatched());
    const VirtualSpatialCapture capture = Spatial();
    uint64_t frames = 0;
    for (uint32_t updateFrames : capture.updateFrames)
        frames += updateFrames;
    EXPECT_GT(frames, 0u) << "the clock played frames";
}

TEST_F(ThreadedSpatialWorker, AWorkerThatCannotStartFailsTheSetUp)
{
    ZkPlatformInitSettings settings;
    FillDefaultPlatformInitSettings(settings);
    settings.outputThread.priority = 7; // not on the engine's scale: refused
    StorePlatformInitSettings(&settings);
    SpatialSink sink;
    EXPECT_EQ(sink.result, ZK_Fail);
    ASSERT_EQ(sink.context.messages.size(), 1u);
    EXPECT_EQ(sink.context.messages[0].text, "Microsoft Spatial Sound: Could not create worker thread.");
    EXPECT_EQ(sink.context.messages[0].level, 2u);
    EXPECT_FALSE(sink->IsSpatial());
}

TEST_F(ThreadedSpatialWorkerMemory, TermJoinsTheWorkerAndGivesEverythingBack)
{
    CZkMMDeviceNotifier::AcquireShared();
    const int64_t before[2] = {Live(ZkMemID_Default).load(), Live(ZkMemID_Processing).load()};
    {
        SpatialSink sink;
        ASSERT_TRUE(sink->HasWorker());
        EXPECT_EQ(WorkerThreads(), 1u);
        EXPECT_GT(Live(ZkMemID_Default).load(), before[0]) << "the bed ring";
        EXPECT_GT(Live(ZkMemID_Processing).load(), before[1]) << "the records";
        OwnedBuffer block(ZkChannelConfig::FromMask(0x4));
        ZkAudioObject one;
        one.buffer = block.buffer;
        one.key = 5;
        ZkAudioObjects objects{&one, 1, 1};
        OwnedBuffer bed(kBed);
        sink->Consume(&bed.buffer, nullptr, &objects, ZkRamp(1.0f, 1.0f));
        sink->DataReady();
        m_system->Advance(kFrames);
        EXPECT_TRUE(m_system->WaitForSpatialUpdates(kSpeakers, 1, kDeadlineMs));
    }
    EXPECT_EQ(WorkerThreads(), 0u) << "the worker has left";
    EXPECT_EQ(CZkSinkCoreAudio::LastWorkerApartmentCount(), 0u) << "its apartment set-up was paired";
    EXPECT_EQ(Live(ZkMemID_Default).load(), before[0]) << "pool 0: the bed and the object's ring";
    EXPECT_EQ(Live(ZkMemID_Processing).load(), before[1]) << "pool 5: the records";
}
} // namespace
