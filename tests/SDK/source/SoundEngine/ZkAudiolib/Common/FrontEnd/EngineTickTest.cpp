// The engine tick on the caller's thread: the frames it renders (offline frame time with the
// fraction carried, what the output takes, one frame after a long stall), the global callbacks at
// their stages, the render step's flush-to-zero mode, the end of a game frame with and without an
// engine thread.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <xmmintrin.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

// A format whose frame time is a power of two: 32 frames of 1024 samples per second, so frame times
// in whole binary fractions give exact frame counts.
constexpr uint32_t kRate = 32768;
constexpr uint16_t kFrames = 1024;
constexpr float kOneFrameSeconds = 0.03125f;

std::vector<uint32_t> g_locations;

void RecordLocation(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation location, void*)
{
    g_locations.push_back(location);
}

class EngineTick : public ZkEngineTest::EngineMemoryTest
{
protected:
    static constexpr uint32_t kRingBytes = 16 * 1024;
    static constexpr uint32_t kTickStages = ZK::ZkGlobalCallbackLocation_Begin |
                                            ZK::ZkGlobalCallbackLocation_PreProcessMessages |
                                            ZK::ZkGlobalCallbackLocation_PostMessagesProcessed |
                                            ZK::ZkGlobalCallbackLocation_BeginRender |
                                            ZK::ZkGlobalCallbackLocation_EndRender | ZK::ZkGlobalCallbackLocation_End;

    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        m_savedSettings = GetEngineSettings();
        SetAudioFormatGlobals(kRate, kFrames);
        ASSERT_EQ(m_events.Init(kRingBytes), ZK_Success);
        g_pEventMgr = &m_events;
        g_locations.clear();
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_events.Term();
        GlobalCallbacks::Clear();
        CZkOutputDeviceMgr::TermDevices();
        EngineWakeEvent::Destroy();
        g_offlineRendering.store(0);
        SetAudioFormatGlobals(48000, 1024);
        GetEngineSettings() = m_savedSettings;
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }

    void RenderOffline(float frameTimeSeconds)
    {
        g_offlineRendering.store(1);
        m_events.SetOfflineFrameTimeSeconds(frameTimeSeconds);
    }
    void PostAMessage() { ASSERT_TRUE(m_events.Ring().Post(ZkMessage_SetRandomSeed, ZkRandomSeedMessage{7})); }
    void RecordStages() { ASSERT_EQ(GlobalCallbacks::Register(&RecordLocation, kTickStages, nullptr, 0), ZK_Success); }
    uint32_t Ticks() const
    {
        uint32_t ticks = 0;
        for (uint32_t location : g_locations)
            ticks += location == ZK::ZkGlobalCallbackLocation_Begin ? 1 : 0;
        return ticks;
    }

    EventManager m_events;
    ZkInitSettings m_savedSettings;
};

TEST_F(EngineTick, OfflineEachRenderTakesTheFrameTimesFramesCarryingTheFraction)
{
    const struct
    {
        float seconds;
        std::vector<uint32_t> frames; // per RenderAudio
    } cases[] = {
        {0.046875f, {1, 2, 1, 2}},                  // 1.5 frames each
        {0.01171875f, {0, 0, 1, 0, 0, 1, 0, 1}},    // 0.375 frames each
        {kOneFrameSeconds * 3, {3, 3}},
    };
    for (const auto& c : cases)
    {
        RenderOffline(c.seconds);
        for (uint32_t expected : c.frames)
        {
            const uint32_t before = m_events.frameCounter;
            EXPECT_EQ(m_events.EndFrame(false), ZK_Success);
            EXPECT_EQ(m_events.frameCounter - before, expected) << c.seconds;
        }
        // The next case starts without a fraction: a frame time of 0 renders what the output takes
        // (no device takes anything) and forgets the fraction.
        RenderOffline(0.0f);
        const uint32_t before = m_events.frameCounter;
        m_events.EndFrame(false);
        EXPECT_EQ(m_events.frameCounter, before);
    }
}

TEST_F(EngineTick, OfflineTheEnginesOwnTicksDoNothing)
{
    RenderOffline(kOneFrameSeconds);
    RecordStages();
    PostAMessage();
    m_events.Tick(false);
    EXPECT_TRUE(g_locations.empty());
    EXPECT_EQ(m_events.frameCounter, 0u);
    EXPECT_FALSE(m_events.Ring().IsEmpty());
}

TEST_F(EngineTick, WithNoDeviceTakingBuffersALongStallRendersOneFrame)
{
    // No device consumes buffers, so the clock decides; the first tick comes after "forever".
    m_events.Tick(true);
    EXPECT_EQ(m_events.frameCounter, 1u);
}

TEST_F(EngineTick, TheCallbacksRunAtTheirStagesInOrder)
{
    RecordStages();
    RenderOffline(kOneFrameSeconds);
    PostAMessage();
    m_events.EndFrame(false);
    const std::vector<uint32_t> oneFrame = {2, 4, 8, 16, 32, 64};
    EXPECT_EQ(g_locations, oneFrame);

    // Two frames: the second has no new message, so its game objects are not flushed again.
    g_locations.clear();
    RenderOffline(kOneFrameSeconds * 2);
    PostAMessage();
    m_events.EndFrame(false);
    const std::vector<uint32_t> twoFrames = {2, 4, 8, 16, 32, 4, 16, 32, 64};
    EXPECT_EQ(g_locations, twoFrames);

    // No frame to render: the messages are still applied, between the tick's start and end only.
    g_locations.clear();
    RenderOffline(0.0f);
    PostAMessage();
    m_events.EndFrame(false);
    const std::vector<uint32_t> noFrame = {2, 64};
    EXPECT_EQ(g_locations, noFrame);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
}

TEST_F(EngineTick, TheRenderStepRunsWithFlushToZeroAndTheModeIsRestored)
{
    static unsigned int inside = 0;
    const unsigned int original = _mm_getcsr();
    for (const unsigned int before : {original & ~0x8040u, original | 0x8000u})
    {
        _mm_setcsr(before);
        inside = 0;
        EventManager::RenderPassNoDenormals([] {
            inside = _mm_getcsr();
            return ZK_Success;
        });
        EXPECT_NE(inside & 0x8000u, 0u) << "flush-to-zero inside the render step";
        EXPECT_EQ(_mm_getcsr(), before) << "the previous mode after it";
    }
    _mm_setcsr(original);
}

TEST_F(EngineTick, WithoutAnEngineThreadASynchronousRenderTicksOnTheCaller)
{
    GetEngineSettings().engineThread = 0;
    RecordStages();
    PostAMessage();
    EXPECT_EQ(m_events.EndFrame(false), ZK_Success);
    EXPECT_EQ(Ticks(), 0u) << "a frame without synchronous rendering only waits";
    EXPECT_FALSE(m_events.Ring().IsEmpty());
    EXPECT_EQ(m_events.EndFrame(true), ZK_Success);
    EXPECT_EQ(Ticks(), 1u);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
}

TEST_F(EngineTick, ARenderWithNothingQueuedDoesNotWakeTheEngineThread)
{
    ASSERT_TRUE(EngineWakeEvent::Create());
    GetEngineSettings().engineThread = 1;
    m_events.EndFrame(true);
    EXPECT_FALSE(EngineWakeEvent::Get().Wait(0));
    PostAMessage();
    m_events.EndFrame(true);
    EXPECT_TRUE(EngineWakeEvent::Get().Wait(0));
    EXPECT_EQ(m_events.frameCounter, 0u) << "the engine thread ticks, not the caller";
}
} // namespace
