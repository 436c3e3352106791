// Device states driven tick by tick: how many buffers the devices want, the suspend fade and the
// wake-up, a lost main device retried at the start of every second, the endpoint notifications,
// and the buffer durations at both ends (0 ms, and a buffer longer than a second).
#include "OutputTestSupport.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

using namespace ZkOutputTest;

namespace
{
constexpr uint32_t kBufferMs = 21;      // 1024 frames at 48 kHz
constexpr uint32_t kUnforcedFrame = 10; // 10 % (1000 / 21) is not among the first 4 buffers
constexpr uint32_t kForcedFrame = 47;   // 47 % 47 = 0

class DeviceStates : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        g_pEventMgr = &m_events;
        m_events.frameCounter = kUnforcedFrame;
    }
    void TearDown() override
    {
        OutputTest::TearDown();
        g_pEventMgr = nullptr;
    }
    static uint32_t Update() { return CZkOutputDeviceMgr::UpdateDeviceStates(false); }

    EventManager m_events;
};

TEST_F(DeviceStates, ADrivingMainDeviceSaysHowManyBuffersAndWithoutDevicesNothingRenders)
{
    EXPECT_EQ(Update(), 0u) << "no device";
    CZkOutputDevice* main = StartMainOutput();
    ASSERT_TRUE(main->DrivesEngine());
    g_sinkScript.buffers = 3;
    EXPECT_EQ(Update(), 3u);
    EXPECT_FALSE(CZkOutputDeviceMgr::IsIdle());
    g_sinkScript.buffers = 0;
    EXPECT_EQ(Update(), 0u);
}

// A suspension fades the output to silence over two buffer durations, then every device waits on
// the base sink; the wake-up puts them back at once.
TEST_F(DeviceStates, SuspendFadesOverTwoBuffersThenWaitsOnTheBaseSinkAndWakesAtOnce)
{
    for (const bool render : {false, true})
    {
        SCOPED_TRACE(render);
        CZkOutputDevice* main = StartMainOutput();
        EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(true, render, 0), ZK_PartialSuccess);
        EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Suspending);
        EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 2 * kBufferMs);
        EXPECT_EQ(CZkOutputDeviceMgr::CurrentOutputGain(), 0.0f);
        EXPECT_EQ(CZkOutputDeviceMgr::PreviousOutputGain(), 1.0f) << "the next frame ramps from 1 to 0";
        EXPECT_EQ(Update(), 1u);
        EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), kBufferMs);
        EXPECT_EQ(Update(), 1u);
        EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 0u);
        EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Suspending);
        EXPECT_TRUE(main->RunsRealSink());

        Update();
        EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Suspended);
        EXPECT_FALSE(main->RunsRealSink());
        EXPECT_EQ(main->GetState(), CZkOutputDevice::State_OnBaseSink);
        EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle()) << "the pacing thread drives";
        EXPECT_EQ(CZkOutputDeviceMgr::RendersWhileSuspended(), render);
        EXPECT_EQ(CZkOutputDeviceMgr::ShouldWakeEngine(), render);
        EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(true, render, 0), ZK_PartialSuccess) << "already suspended";

        g_statusEvents.clear();
        EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(false, true, 0), ZK_Success);
        EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Running);
        EXPECT_EQ(CZkOutputDeviceMgr::CurrentOutputGain(), 1.0f);
        EXPECT_TRUE(main->RunsRealSink()) << "started again at once";
        EXPECT_EQ(main->GetState(), CZkOutputDevice::State_Running);
        ASSERT_EQ(g_statusEvents.size(), 1u);
        EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_Initialization);
        EXPECT_TRUE(CZkOutputDeviceMgr::ShouldWakeEngine());
        EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(false, true, 0), ZK_PartialSuccess) << "already running";
        CZkOutputDeviceMgr::TermDevices();
    }
}

TEST_F(DeviceStates, ALongerDelayOrAReversalKeepsTheLargerCountdown)
{
    StartMainOutput();
    EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(true, false, 100), ZK_PartialSuccess);
    EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 100u);
    EXPECT_EQ(Update(), 1u);
    EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 100u - kBufferMs);
    EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(false, true, 30), ZK_PartialSuccess);
    EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_WakingUp);
    EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 100u - kBufferMs);
    g_sinkScript.buffers = 10;
    EXPECT_EQ(Update(), 10u);
    EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 0u) << "waking: the countdown ends";
    Update();
    EXPECT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Running);
    EXPECT_EQ(CZkOutputDeviceMgr::CurrentOutputGain(), 1.0f);
}

// Unplugging the main endpoint: reported lost, moved to the base sink, the pacing thread drives,
// a new start is tried at the start of every second and reported when it succeeds.
TEST_F(DeviceStates, ALostMainDeviceIsRetriedAtTheStartOfEverySecond)
{
    CZkOutputDevice* main = StartMainOutput();
    g_statusEvents.clear();
    g_sinkScript.dataNeededResult = ZK_Fail;
    EXPECT_EQ(Update(), 0u);
    ASSERT_EQ(g_statusEvents.size(), 1u);
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_DeviceLost);
    EXPECT_EQ(g_statusEvents[0].result, ZK_Success);
    EXPECT_FALSE(main->RunsRealSink());
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle());
    EXPECT_EQ(Update(), 1u) << "the base sink asks for one buffer per tick";
    EXPECT_EQ(g_sinkLog.created, 1u) << "no retry outside the first buffers of a second";

    g_sinkScript.dataNeededResult = ZK_Success;
    m_events.frameCounter = kForcedFrame;
    g_sinkScript.initResult = ZK_Fail;
    EXPECT_EQ(Update(), 1u);
    EXPECT_EQ(g_sinkLog.created, 2u) << "retried";
    EXPECT_FALSE(main->RunsRealSink());
    ASSERT_EQ(g_statusEvents.size(), 2u);
    EXPECT_EQ(g_statusEvents[1].result, ZK_Fail) << "the failed start is reported";

    g_sinkScript.initResult = ZK_Success;
    g_sinkScript.buffers = 2;
    EXPECT_EQ(Update(), 2u);
    EXPECT_TRUE(main->RunsRealSink());
    ASSERT_EQ(g_statusEvents.size(), 3u);
    EXPECT_EQ(g_statusEvents[2].event, ZkAudioDeviceEvent_Initialization);
    EXPECT_EQ(g_statusEvents[2].result, ZK_Success);
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle()) << "it drives from the next update on";
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRefresh);
    m_events.frameCounter = kUnforcedFrame;
    EXPECT_EQ(Update(), 2u);
    EXPECT_FALSE(CZkOutputDeviceMgr::IsIdle());
}

TEST_F(DeviceStates, QueuedEndpointNotificationsTurnTheRetryOffForThatUpdate)
{
    CZkOutputDevice* main = StartMainOutput();
    main->SetDeviceLost();
    m_events.frameCounter = kForcedFrame;
    CZkOutputDeviceMgr::RaiseNotificationCounter();
    const uint32_t created = g_sinkLog.created;
    Update();
    EXPECT_EQ(g_sinkLog.created, created) << "the notifications were read instead";
    Update();
    EXPECT_EQ(g_sinkLog.created, created + 1);
    EXPECT_TRUE(main->RunsRealSink());
}

TEST_F(DeviceStates, ABufferShorterThanAMillisecondCountsAs21)
{
    SetAudioFormatGlobals(48000, 32);
    EXPECT_EQ(ZkAudioSettings::BufferDurationMs(), 0u);
    StartMainOutput();
    EXPECT_EQ(CZkOutputDeviceMgr::SetSuspended(true, false, 0), ZK_PartialSuccess);
    EXPECT_EQ(CZkOutputDeviceMgr::CountdownMs(), 2 * 21u);
}

// 65,535 frames at 48 kHz last 1,365 ms: "1000 / duration" is 0, and the retry test must not divide
// by it. Every update of such a device counts as the start of a second.
TEST_F(DeviceStates, ABufferLongerThanASecondStillRetriesWithoutDividingByZero)
{
    SetAudioFormatGlobals(48000, 65535);
    EXPECT_EQ(ZkAudioSettings::BufferDurationMs(), 1365u);
    CZkOutputDevice* main = StartMainOutput();
    main->SetDeviceLost();
    m_events.frameCounter = kUnforcedFrame;
    EXPECT_EQ(Update(), 0u) << "the lost device leaves the engine to the pacing thread";
    const uint32_t created = g_sinkLog.created;
    EXPECT_EQ(Update(), 1u);
    EXPECT_EQ(g_sinkLog.created, created + 1) << "retried although frame 10 is not a second's start";
    EXPECT_TRUE(main->RunsRealSink());
}

TEST_F(DeviceStates, InitPendingDevicesPutsEveryStartedDeviceOnTheBaseSink)
{
    CZkOutputDevice* main = StartMainOutput();
    EXPECT_EQ(CZkOutputDeviceMgr::InitPendingDevices(false), ZK_Success);
    EXPECT_EQ(main->GetState(), CZkOutputDevice::State_OnBaseSink);
    EXPECT_FALSE(main->RunsRealSink());
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle());
    EXPECT_FALSE(CZkOutputDeviceMgr::RendersWhileSuspended());
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_ProcessingPlugins, 1);
        main->SetState(CZkOutputDevice::State_Lost);
        EXPECT_EQ(CZkOutputDeviceMgr::InitPendingDevices(true), ZK_InsufficientMemory);
    }
    EXPECT_FALSE(CZkOutputDeviceMgr::IsIdle());
    EXPECT_NE(main->Sink(), nullptr) << "the device kept its sink";
}
} // namespace
