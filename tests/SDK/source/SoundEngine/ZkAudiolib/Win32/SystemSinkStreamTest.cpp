// The system sink through an output device on the virtual endpoint's manual clock: the tone the
// device renders reaches the endpoint as exactly those interleaved frames (numpy judges level,
// frequency and continuity), the rate conversion by the endpoint or by the engine's resampler, the
// buffer duration, silent frames, a failed buffer call and the lost device that follows.
#include "SystemSinkTestSupport.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

using namespace ZkSinkTest;

namespace
{
constexpr double kToneHz = 1000.0;
constexpr double kToneLevelDb = -9.0309; // 0.5 amplitude: 20 log10(0.5 / sqrt 2)
constexpr uint32_t kTicks = 40;

TEST_F(SystemSinkTest, ATonePlaysThroughTheDeviceAsExactlyTheFramesRenderedWithoutAGap)
{
    CZkOutputDevice* device = StartMainOutput();
    ASSERT_NE(SinkOf(device), nullptr);
    ASSERT_TRUE(device->DrivesEngine());
    EXPECT_EQ(device->MainMixConfig(), kStereo) << "the endpoint's own layout";
    Tone tone;
    EXPECT_EQ(Tick(device, tone), 4u) << "an empty endpoint buffer of 4 engine buffers";
    for (uint32_t tick = 1; tick < kTicks; ++tick)
    {
        m_system->Advance(kFrames);
        EXPECT_EQ(Tick(device, tone), 1u) << "one buffer played, one buffer of room";
    }
    const VirtualEndpointCapture capture = m_system->Capture(kSpeakers);
    EXPECT_EQ(capture.channels, 2u);
    EXPECT_EQ(capture.sampleRate, kEngineRate);
    ASSERT_EQ(capture.releases.size(), kTicks + 3);
    for (const VirtualRelease& release : capture.releases)
    {
        EXPECT_EQ(release.frames, kFrames);
        EXPECT_EQ(release.flags, 0u);
    }
    ASSERT_EQ(capture.written.size(), tone.expected.size());
    EXPECT_EQ(capture.written, tone.expected) << "the frames rendered, bit for bit, interleaved";
    EXPECT_EQ(capture.underrunFrames, 0u);
    EXPECT_EQ(capture.played.size(), (kTicks - 1) * kFrames * 2u) << "what the clock played";

    const ToneJudgement judged = JudgeTone(capture.written, 2, kEngineRate, 1, "system_sink_tone");
    ASSERT_GT(judged.frames, 0u) << "numpy ran";
    EXPECT_NEAR(judged.frequency, kToneHz, static_cast<double>(kEngineRate) / judged.frames);
    EXPECT_NEAR(judged.levelDb, kToneLevelDb, 0.01);
    EXPECT_LT(judged.residualDb, -60.0) << "no gap or repeat across the clock's steps";
}

// The endpoint keeps 44.1 kHz. When it converts the engine's rate itself, one initialisation at
// 48 kHz with automatic conversion is all; when it refuses, the stream runs at 44.1 kHz and the
// engine's resampler fills whole endpoint refills (endpoint frames / refill buffers).
TEST_F(SystemSinkTest, AnEndpointAtAnotherRateConvertsItselfOrTheEnginesResamplerDoes)
{
    for (const bool refuse : {false, true})
    {
        VirtualEndpointSettings endpoint = Speakers();
        endpoint.id = refuse ? L"refuses" : L"converts";
        endpoint.mixRate = 44100;
        m_system->AddEndpoint(endpoint);
        VirtualEndpointPolicy policy;
        policy.refuseAutoConversion = refuse;
        m_system->SetPolicy(endpoint.id, policy);
    }
    for (const bool refuse : {false, true})
    {
        SCOPED_TRACE(refuse);
        const std::wstring id = refuse ? L"refuses" : L"converts";
        CZkOutputDevice* device = StartMainOutput(Settings(0, GetIDFromString(id.c_str())));
        CZkSinkCoreAudio* sink = SinkOf(device);
        ASSERT_NE(sink, nullptr);

        VirtualEndpointCapture capture = m_system->Capture(id);
        ASSERT_GE(capture.initializeCalls.size(), 1u);
        const VirtualInitializeCall& first = capture.initializeCalls[0];
        EXPECT_EQ(first.flags, 0x88040000u) << "event, automatic conversion, default quality";
        EXPECT_EQ(first.format.samplesPerSecond, kEngineRate);
        EXPECT_EQ(first.format.averageBytesPerSecond, kEngineRate * 8);
        if (!refuse)
        {
            EXPECT_EQ(capture.initializeCalls.size(), 1u);
            EXPECT_FALSE(sink->Resamples());
            CZkOutputDeviceMgr::TermDevices();
            continue;
        }
        ASSERT_EQ(capture.initializeCalls.size(), 2u);
        EXPECT_EQ(capture.initializeCalls[1].flags, kStreamFlagEventCallback);
        EXPECT_EQ(capture.initializeCalls[1].format.samplesPerSecond, 44100u);
        ASSERT_TRUE(sink->Resamples());
        EXPECT_EQ(sink->EndpointBufferFrames(), 3764u) << "853,332 x 100 ns at 44.1 kHz, rounded up";
        EXPECT_EQ(sink->ResampledFrames(), 3764u / 4);

        Tone tone;
        for (uint32_t tick = 0; tick < 2 * kTicks; ++tick)
        {
            Tick(device, tone);
            m_system->Advance(sink->ResampledFrames());
        }
        EXPECT_FALSE(sink->HasErrorLatched()) << "every refill fitted in the endpoint's room";
        capture = m_system->Capture(id);
        EXPECT_EQ(capture.sampleRate, 44100u);
        ASSERT_FALSE(capture.releases.empty());
        for (const VirtualRelease& release : capture.releases)
            EXPECT_EQ(release.frames, sink->ResampledFrames()) << "whole resampled buffers";
        const ToneJudgement judged = JudgeTone(capture.written, 2, 44100, 0, "system_sink_resampled");
        ASSERT_GT(judged.frames, 0u) << "numpy ran";
        EXPECT_NEAR(judged.frequency, kToneHz, 44100.0 / judged.frames) << "the tone's pitch at the endpoint's rate";
        EXPECT_NEAR(judged.levelDb, kToneLevelDb, 0.1);
        EXPECT_LT(judged.residualDb, -40.0) << "continuous: linear interpolation's error only";
        CZkOutputDeviceMgr::TermDevices();
    }
}

// E = 1024 x 10^7 / 48000 truncated = 213,333; the duration is the refill buffers' worth of E,
// raised by E at a time to the endpoint's minimum period.
TEST_F(SystemSinkTest, TheBufferDurationIsTheRefillBuffersRaisedToTheMinimumPeriod)
{
    struct Case
    {
        uint16_t refillBuffers;
        int64_t minimumPeriod;
        int64_t duration;
    };
    const Case cases[] = {
        {4, 100'000, 4 * 213'333},
        {4, 1'000'000, 5 * 213'333},
        {2, 100'000, 2 * 213'333},
        {2, 500'000, 3 * 213'333},
    };
    const auto idOf = [](const Case& row) {
        return L"period " + std::to_wstring(row.minimumPeriod) + L" " + std::to_wstring(row.refillBuffers);
    };
    for (const Case& row : cases)
    {
        VirtualEndpointSettings endpoint = Speakers();
        endpoint.id = idOf(row);
        endpoint.minimumPeriod = row.minimumPeriod;
        m_system->AddEndpoint(endpoint);
    }
    for (const Case& row : cases)
    {
        SCOPED_TRACE(row.minimumPeriod);
        ZkPlatformInitSettings platform = GetPlatformInitSettings();
        platform.numRefillBuffers = row.refillBuffers;
        StorePlatformInitSettings(&platform);
        VirtualEndpointSettings endpoint;
        endpoint.id = idOf(row);
        ASSERT_NE(SinkOf(StartMainOutput(Settings(0, GetIDFromString(endpoint.id.c_str())))), nullptr);
        const VirtualEndpointCapture capture = m_system->Capture(endpoint.id);
        ASSERT_EQ(capture.initializeCalls.size(), 1u);
        EXPECT_EQ(capture.initializeCalls[0].bufferDuration, row.duration);
        EXPECT_EQ(capture.initializeCalls[0].flags, kStreamFlagEventCallback);
        EXPECT_EQ(ZkAudioSettings::EngineThreadTimeoutMs(), 42u) << "two buffers of 21 ms";
        CZkOutputDeviceMgr::TermDevices();
    }
    EXPECT_EQ(CZkSinkCoreAudio::BufferDuration(1024, 48000, 4, 0), 853'332);
}

TEST_F(SystemSinkTest, AFrameWithNothingWrittenReleasesAWholeBufferFlaggedSilent)
{
    CZkOutputDevice* device = StartMainOutput();
    device->EndFrame();
    const VirtualEndpointCapture capture = m_system->Capture(kSpeakers);
    ASSERT_EQ(capture.releases.size(), 1u);
    EXPECT_EQ(capture.releases[0].frames, kFrames);
    EXPECT_EQ(capture.releases[0].flags, kBufferFlagSilent);
    EXPECT_EQ(capture.written, std::vector<float>(2 * kFrames, 0.0f));
}

// A buffer call that fails once latches the error; the next update reports the device lost and
// moves it to the base sink; the next forced update opens it again (events 2, then 0).
TEST_F(SystemSinkTest, AFailedGetBufferReportsTheDeviceLostThenOpensItAgainAtTheNextForcedUpdate)
{
    EventManager events;
    g_pEventMgr = &events;
    events.frameCounter = 10; // not among the first buffers of a second: no retry
    VirtualEndpointPolicy policy;
    policy.failGetBufferAtCall = 3;
    m_system->SetPolicy(kSpeakers, policy);
    CZkOutputDevice* device = StartMainOutput();
    g_statusEvents.clear();
    Tone tone;
    EXPECT_EQ(Tick(device, tone), 4u);
    EXPECT_TRUE(SinkOf(device)->HasErrorLatched());
    EXPECT_TRUE(g_statusEvents.empty()) << "reported at the next update";

    Tick(device, tone);
    ASSERT_EQ(g_statusEvents.size(), 1u);
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_DeviceLost);
    EXPECT_EQ(g_statusEvents[0].result, ZK_Success);
    EXPECT_FALSE(device->RunsRealSink());
    EXPECT_TRUE(CZkOutputDeviceMgr::IsIdle()) << "the pacing thread drives while it waits";

    events.frameCounter = 47; // 47 % (1000 / 21) = 0: a forced update
    m_system->Advance(4 * kFrames);
    Tick(device, tone);
    ASSERT_EQ(g_statusEvents.size(), 2u);
    EXPECT_EQ(g_statusEvents[1].event, ZkAudioDeviceEvent_Initialization);
    EXPECT_EQ(g_statusEvents[1].result, ZK_Success);
    EXPECT_TRUE(device->RunsRealSink());
    EXPECT_FALSE(SinkOf(device)->HasErrorLatched());
    EXPECT_EQ(m_system->Capture(kSpeakers).openStreams, 1u) << "the first stream was released";
    g_pEventMgr = nullptr;
}

// An endpoint that disappears, or whose padding cannot be read, is reported lost at the next
// update, without a crash and without another write to it.
TEST_F(SystemSinkTest, AnEndpointThatDisappearsOrFailsItsPaddingIsReportedLost)
{
    for (const wchar_t* id : {L"vanishing", L"no padding"})
    {
        VirtualEndpointSettings endpoint = Speakers();
        endpoint.id = id;
        m_system->AddEndpoint(endpoint);
    }
    for (const bool disappear : {true, false})
    {
        SCOPED_TRACE(disappear);
        const std::wstring id = disappear ? L"vanishing" : L"no padding";
        CZkOutputDevice* device = StartMainOutput(Settings(0, GetIDFromString(id.c_str())));
        ASSERT_NE(SinkOf(device), nullptr);
        const uint32_t releases = static_cast<uint32_t>(m_system->Capture(id).releases.size());
        if (disappear)
        {
            m_system->InvalidateEndpoint(id);
            uint32_t buffers = 7;
            EXPECT_EQ(SinkOf(device)->IsDataNeeded(buffers), ZK_Fail);
        }
        else
        {
            VirtualEndpointPolicy policy;
            policy.failPaddingAtCall = m_system->Capture(id).paddingCalls + 1;
            m_system->SetPolicy(id, policy);
        }
        g_statusEvents.clear();
        EventManager events;
        events.frameCounter = 10;
        g_pEventMgr = &events;
        Tone tone;
        Tick(device, tone);
        ASSERT_FALSE(g_statusEvents.empty());
        EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_DeviceLost);
        EXPECT_FALSE(device->RunsRealSink());
        EXPECT_EQ(m_system->Capture(id).releases.size(), releases);
        g_pEventMgr = nullptr;
        CZkOutputDeviceMgr::TermDevices();
    }
}
} // namespace
