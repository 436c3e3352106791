// The system output on the machine's ALSA endpoints. Without a sound card (CI) the sink cannot
// open the default PCM: the main device waits on the base sink and the pacing thread drives the
// engine, which goes on without failing. On alsa-lib's "null" PCM the system sink runs as on a
// card (no pacing asserted: the null PCM plays nothing); ALSA offers no spatial sound, so a sink
// asked for it is told "not enabled" and runs plain.
#include "SpatialSinkTestSupport.h"

#include <ZK/SoundEngine/Common/ZkPlatformDevices.h>

#include <Platform/Audio/AlsaEndpoints.h>

using namespace ZkSinkTest;

namespace
{
class ThreadedAlsaSystemOutput : public SystemSinkTest
{
protected:
    void SetUp() override
    {
        SystemSinkTest::SetUp();
        InstallEndpointProvider(nullptr); // ALSA's
    }
    bool AddsSpeakers() const override { return false; }
};

TEST_F(ThreadedAlsaSystemOutput, WithoutASoundCardTheMainDeviceFallsBackAndThePacingThreadDrivesTheEngine)
{
    if (AlsaHasSoundCard())
        GTEST_SKIP() << "this machine has a sound card";
    ASSERT_EQ(CZkOutputDeviceMgr::StartPacingThread(), ZK_Success);
    CZkOutputDevice* main = StartMainOutput();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(main->RunsRealSink());
    EXPECT_EQ(main->GetState(), CZkOutputDevice::State_OnBaseSink);
    ASSERT_FALSE(g_statusEvents.empty());
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_Initialization);
    EXPECT_EQ(g_statusEvents[0].result, ZK_Fail) << "the default PCM did not open";
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Ready)
        << "the device is on the share set it asked for: the engine's start goes on";

    EXPECT_EQ(CZkOutputDeviceMgr::UpdateDeviceStates(false), 1u) << "the base sink takes a buffer per tick";
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle());
    for (int wakes = 0; wakes < 3; ++wakes)
        ASSERT_TRUE(EngineWakeEvent::Get().Wait(5000)) << "the pacing thread woke the engine";
}

TEST_F(ThreadedAlsaSystemOutput, TheSystemSinkPlaysOnTheNullPcm)
{
    CZkOutputDevice* device = StartMainOutput(Settings(0, GetIDFromString(L"null")));
    CZkSinkCoreAudio* sink = SinkOf(device);
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(device->MainMixConfig(), kStereo);
    EXPECT_FALSE(sink->Resamples());
    Tone tone;
    uint32_t rendered = 0;
    for (int tick = 0; tick < 8; ++tick)
        rendered += Tick(device, tone);
    EXPECT_GT(rendered, 0u);
    EXPECT_FALSE(sink->HasErrorLatched());
    EXPECT_TRUE(device->RunsRealSink());
}

TEST_F(ThreadedAlsaSystemOutput, ASinkAskedForSpatialAudioOnTheNullPcmIsToldItIsNotEnabledAndRunsPlain)
{
    const uint32_t null = GetIDFromString(L"null");
    EXPECT_EQ(GetDeviceSpatialAudioSupport(null), ZK_NotImplemented) << "no dynamic objects";
    ZkSpatialTest::SpatialSink sink({}, {}, null);
    ASSERT_EQ(sink.result, ZK_Success);
    EXPECT_FALSE(sink->IsSpatial());
    EXPECT_EQ(sink.config, kStereo);
    ASSERT_EQ(sink.context.messages.size(), 1u);
    EXPECT_EQ(sink.context.messages[0].text, "Microsoft Spatial Sound not enabled by user.");
    EXPECT_EQ(sink.context.messages[0].level, 1u);
}
} // namespace
