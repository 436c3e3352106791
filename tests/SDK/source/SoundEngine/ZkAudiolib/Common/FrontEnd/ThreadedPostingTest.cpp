// The posting calls under concurrency: four game threads post game-parameter values, events and
// custom messages while an engine thread reads the frames and dispatches them to the real handlers,
// in a ring small enough that writers also drain it. Nothing may be lost or reordered within a
// thread, and every post takes its own playing id, which the playing manager registers and, once
// the engine has read its message, forgets.
#include "FrontEndFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlayingMgrFixture.h"

#include "Platform/PlatformEvent.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

using namespace ZkFrontEndTest;

namespace
{
constexpr uint32_t kWriters = 4;
constexpr uint32_t kPostsPerWriter = 3000;
constexpr uint32_t kPostsPerFrame = 25;
constexpr uint32_t kCustomID = 0xC0DE;
constexpr ZkUniqueID kEvent = 0xE7u;

ZkUniqueID ParameterOf(uint32_t writer)
{
    return 0x1000u + writer;
}

// Checked by the custom handler, under the global engine lock.
struct Order
{
    std::array<uint32_t, kWriters> next{};
    uint32_t faults = 0;
};
Order g_order;

struct CustomPost
{
    uint32_t customID;
    uint32_t writer;
    uint32_t sequence;
};

void CheckOrder(uint32_t, const uint8_t* payload, uint32_t bytes)
{
    uint32_t writer = kWriters;
    uint32_t sequence = 0;
    if (bytes == 8)
    {
        std::memcpy(&writer, payload, 4);
        std::memcpy(&sequence, payload + 4, 4);
    }
    if (writer >= kWriters || sequence != g_order.next[writer])
    {
        ++g_order.faults;
        return;
    }
    ++g_order.next[writer];
}

class ThreadedPosting : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        ZkPlayingTest::CreatePlayingManager();
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_events.Term();
        ZkPlayingTest::DestroyPlayingManager();
        FrontEndTest::TearDown();
    }
};
} // namespace

TEST_F(ThreadedPosting, FourThreadsPostWhileTheEngineReadsAndNothingIsLostOrReordered)
{
    UseEngine(CZkMessageRing::kMinimumCapacityBytes * 8);
    g_order = Order{};
    ASSERT_EQ(m_events.AddCustomHandler(kCustomID, &CheckOrder), ZK_Success);
    AddEvent(kEvent);
    ZK::Platform::ZkEvent wake;
    ASSERT_TRUE(wake.Init(ZK::Platform::EventReset::Auto));
    std::atomic<bool> quit{false};

    std::thread engine([&] {
        ZK::MemoryMgr::InitForThread();
        while (!quit.load(std::memory_order_acquire))
        {
            wake.Wait(5);
            ZK::Platform::ZkScopedLock guard(g_EngineLock);
            bool deviceChanged = false;
            m_events.ProcessMessages(deviceChanged);
        }
        ZK::MemoryMgr::TermForThread();
    });
    std::vector<std::thread> writers;
    std::array<std::vector<ZkPlayingID>, kWriters> playingIDs;
    for (uint32_t writer = 0; writer < kWriters; ++writer)
    {
        writers.emplace_back([&, writer] {
            ZK::MemoryMgr::InitForThread();
            for (uint32_t sequence = 0; sequence < kPostsPerWriter; ++sequence)
            {
                m_events.Ring().Post(ZkMessage_Custom, CustomPost{kCustomID, writer, sequence});
                SetRTPCValue(ParameterOf(writer), static_cast<float>(sequence));
                playingIDs[writer].push_back(PostEvent(kEvent, writer));
                if (sequence % kPostsPerFrame == 0)
                    m_events.Ring().EndFrame(&wake);
            }
            m_events.Ring().EndFrame(&wake);
            ZK::MemoryMgr::TermForThread();
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    m_events.Ring().EndFrame(&wake);
    quit.store(true, std::memory_order_release);
    wake.Set();
    engine.join();
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        bool deviceChanged = false;
        m_events.ProcessMessages(deviceChanged);
    }
    wake.Term();

    EXPECT_EQ(g_order.faults, 0u);
    for (uint32_t writer = 0; writer < kWriters; ++writer)
    {
        EXPECT_EQ(g_order.next[writer], kPostsPerWriter) << "writer " << writer;
        ZkRTPCKey key = ZkRTPCKey::Global();
        float value = -1.0f;
        ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(ParameterOf(writer), key, value));
        EXPECT_EQ(value, static_cast<float>(kPostsPerWriter - 1)) << "the writer's last value is applied last";
    }
    std::vector<ZkPlayingID> all;
    for (const std::vector<ZkPlayingID>& ids : playingIDs)
    {
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end())) << "one thread's playing ids only grow";
        all.insert(all.end(), ids.begin(), ids.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "no playing id is shared";
    EXPECT_EQ(all.front(), 1u) << "and none is 0 (refused)";
    EXPECT_EQ(all.back(), kWriters * kPostsPerWriter);
    EXPECT_EQ(g_pPlayingMgr->PlayingIDCount(), 0u) << "every post's playing id ended once the engine read it";
    EXPECT_EQ(m_eventObjects[0]->RefCount(), 1u) << "every message gave its event reference back";
    EXPECT_TRUE(m_events.Ring().IsEmpty());
}
