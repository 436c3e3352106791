// The device's I/O thread: it starts named "ZK::IOThread" inside the memory manager's thread
// set-up, sleeps until a stream needs I/O, asks for one transfer at a time while a slot is free,
// and ends on stop once every stream is gone. Every step waits on events or joins, never on time.
#include "StreamTestSupport.h"

#include "Platform/PlatformEvent.h"

#include <pthread.h>

#include <atomic>
#include <string>
#include <thread>

namespace
{
using namespace ZkStreamTest;
using ZK::Platform::EventReset;
using ZK::Platform::ZkEvent;

class ThreadedIOThread : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_performed.Init(EventReset::Auto));
        ASSERT_TRUE(m_release.Init(EventReset::Auto));
    }

    ZkDeviceSettings Settings(uint32_t maxTransfers)
    {
        ZkDeviceSettings settings = DefaultDeviceSettings();
        settings.maxTransfersInFlight = maxTransfers;
        return settings;
    }

    MemoryScope m_memory;
    ZkEvent m_performed;
    ZkEvent m_release;
};

TEST_F(ThreadedIOThread, StartsNamedAndWakesForWork)
{
    FakeDevice* device = NewFakeDevice();
    std::string threadName;
    device->onPerformIO = [&](FakeDevice& self)
    {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        threadName = name;
        self.RemoveStandardStream(); // the request is served: no more work
        m_performed.Set();
    };
    ASSERT_EQ(device->Init(Settings(8), 0), ZK_Success);
    EXPECT_TRUE(device->IsRunning());

    device->AddStandardStream();
    ASSERT_TRUE(m_performed.Wait());
    EXPECT_EQ(threadName, "ZK::IOThread");

    device->Stop();
    EXPECT_FALSE(device->IsRunning());
    EXPECT_EQ(device->LastExitCode(), 0);
    device->Destroy();
}

TEST_F(ThreadedIOThread, OneSlotGatesTheNextTransferUntilTheFirstEnds)
{
    FakeDevice* device = NewFakeDevice();
    std::atomic<int> calls{0};
    std::atomic<bool> firstEnded{false};
    std::atomic<bool> calledTooEarly{false};
    device->onPerformIO = [&](FakeDevice& self)
    {
        const int call = ++calls;
        if (call > 1 && !firstEnded.load())
            calledTooEarly = true;
        if (call == 1)
            self.BeginTransfer(); // stays in flight until the test ends it
        else
            self.RemoveStandardStream();
        m_performed.Set();
    };
    ASSERT_EQ(device->Init(Settings(1), 0), ZK_Success);

    device->AddStandardStream(); // work stays signalled throughout
    ASSERT_TRUE(m_performed.Wait());
    EXPECT_EQ(device->TransfersInFlight(), 1u);
    EXPECT_FALSE(device->FreeSlot());
    firstEnded = true;
    device->EndTransfer();
    ASSERT_TRUE(m_performed.Wait());
    EXPECT_EQ(calls.load(), 2);
    EXPECT_FALSE(calledTooEarly.load()) << "PerformIO ran while the only slot was taken";
    device->Destroy();
}

TEST_F(ThreadedIOThread, PausedAutomaticStreamsDoNotWakeTheThreadUntilResumed)
{
    FakeDevice* device = NewFakeDevice();
    std::atomic<bool> paused{false};
    std::atomic<bool> standardPending{false};
    std::atomic<bool> wokeWhilePaused{false};
    ZkEvent standardDone;
    ASSERT_TRUE(standardDone.Init(EventReset::Auto));
    device->onPerformIO = [&](FakeDevice& self)
    {
        if (standardPending.exchange(false))
        {
            self.RemoveStandardStream();
            standardDone.Set();
            return;
        }
        if (paused.load())
            wokeWhilePaused = true;
        self.RemoveAutomaticStream();
        m_performed.Set();
    };
    ASSERT_EQ(device->Init(Settings(8), 0), ZK_Success);

    paused = true;
    device->PauseAutomaticStreams();
    device->AddAutomaticStream();
    // A standard request still wakes the thread while automatic streams are paused; had the
    // automatic one woken it, the transfer would have seen the pause.
    standardPending = true;
    device->AddStandardStream();
    ASSERT_TRUE(standardDone.Wait());
    paused = false;
    device->ResumeAutomaticStreams();
    ASSERT_TRUE(m_performed.Wait());
    EXPECT_FALSE(wokeWhilePaused.load());
    EXPECT_FALSE(device->AutomaticStreamsPaused());
    device->Destroy();
}

TEST_F(ThreadedIOThread, StopKillsLiveStreamsAndEndsOnceTheirOwnersDestroyedThem)
{
    FakeDevice* device = NewFakeDevice();
    ASSERT_EQ(device->Init(Settings(8), 0), ZK_Success);
    IZkStandardStream* client = nullptr;
    auto* stream = static_cast<FakeTaskBase*>(device->CreateStandardStream(nullptr, ZK_OpenModeRead, client));
    ASSERT_NE(stream, nullptr);

    std::thread destroyer(
        [&]
        {
            ZK::MemoryMgr::InitForThread();
            device->Destroy(); // waits for the I/O thread, which waits for the stream
            ZK::MemoryMgr::TermForThread();
        });
    while (stream->state.killCount.load() == 0)
        ZK::Platform::YieldProcessor(); // the stopping thread kills the stream it cannot free
    client->Destroy();
    destroyer.join(); // ends only when the thread freed the stream and stopped
}

TEST_F(ThreadedIOThread, PriorityRules)
{
    ZkDeviceSettings settings = Settings(8);
    settings.threadPriority = ZK::Platform::kThreadPriorityUnchanged;
    FakeDevice* kept = NewFakeDevice();
    EXPECT_EQ(kept->Init(settings, 0), ZK_Success);
    kept->Destroy();

    settings.threadPriority = 7; // not a priority of the engine's scale: refused
    FakeDevice* refused = NewFakeDevice();
    EXPECT_EQ(refused->Init(settings, 0), ZK_Fail);
    EXPECT_FALSE(refused->IsRunning());
    refused->Destroy();
}

TEST_F(ThreadedIOThread, InitRefusesBadSettingsBeforeStartingAnything)
{
    struct Case
    {
        const char* what;
        void (*change)(ZkDeviceSettings&);
    };
    const Case cases[] = {
        {"granularity 0", [](ZkDeviceSettings& s) { s.granularity = 0; }},
        {"negative target with I/O memory", [](ZkDeviceSettings& s) { s.ioMemoryBytes = 65536; s.targetBufferMs = -1.0f; }},
        {"deferred with 0 transfers", [](ZkDeviceSettings& s) { s.schedulerKind = 2; s.maxTransfersInFlight = 0; }},
        {"deferred with 1025 transfers", [](ZkDeviceSettings& s) { s.schedulerKind = 2; s.maxTransfersInFlight = 1025; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ZkDeviceSettings settings = Settings(8);
        c.change(settings);
        FakeDevice* device = NewFakeDevice();
        EXPECT_EQ(device->Init(settings, 0), ZK_InvalidParameter);
        EXPECT_FALSE(device->IsRunning());
        device->Destroy();
    }
    ZkDeviceSettings settings = Settings(1024);
    settings.schedulerKind = 2;
    FakeDevice* device = NewFakeDevice();
    EXPECT_EQ(device->Init(settings, 0), ZK_Success) << "1024 transfers are allowed";
    device->Destroy();
}
} // namespace
