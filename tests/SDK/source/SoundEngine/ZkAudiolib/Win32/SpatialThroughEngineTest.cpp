// Spatial output through the engine (no engine thread, the virtual endpoint and its spatial client
// on manual clocks): a writer-made Init.bnk whose "System" share set enables spatial audio puts the
// main device in spatial mode; a mono, unpositioned tone reaches the endpoint through the
// passthrough mix under a stereo master bus, and the bed's static objects under a 7.1.4 one. A
// "System" share set with a parameter block shorter than its 12 bytes is refused (7); a stream that
// stops signalling loses the device, which is set up again in spatial mode with a new worker.
#include "SpatialSinkTestSupport.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"
#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <Platform/PlatformClock.h>

#include <cmath>
#include <fstream>

namespace
{
using namespace ZkEngineLifeTest;
using ZkOutputTest::g_statusEvents;
using ZkOutputTest::RecordStatus;

constexpr wchar_t kEndpoint[] = L"{virtual}.spatial";
constexpr ZkGameObjectID kEmitter = 7;
constexpr uint32_t kFrames = 1024;
constexpr const char* kEnableSpatial = "01 0C F1 63 2D 0C F1 63 2D 01 20 00"; // 7.1.4, limit 32

// Init.bnk of the test: the System share set with its parameter block, a master bus of a channel
// configuration, and a bank with a 1 kHz mono tone on it.
std::string InitDescription(const std::string& data, uint32_t masterConfig)
{
    return R"({"name": "SpatialInit.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
        {"type": "audio_device", "id": "System", "plugin": 11403271, "data": ")" + data + R"("},
        {"type": "bus", "id": "Master Audio Bus", "device": "System", "channel_config": )" +
           std::to_string(masterConfig) + R"(}]}]})";
}

std::string ToneDescription()
{
    return R"({"name": "SpatialTone.bnk",
        "media": [{"id": 100, "wave": {"rate": 48000, "channels": 1, "frames": 48000, "parts": [{"tone": 1000, "amp": 0.5}]}}],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
          {"type": "sound", "id": 200, "media": 100, "bus": "Master Audio Bus"},
          {"type": "action", "id": 300, "action": "play", "target": 200},
          {"type": "event", "id": "Play_Tone", "actions": [300]}]}]})";
}

// The RMS of the tail of a signal (its last frames, where the tone plays steadily).
double Rms(const std::vector<float>& samples, size_t stride, size_t offset, size_t last)
{
    double sum = 0.0;
    size_t count = 0;
    for (size_t frame = samples.size() / stride - last; frame < samples.size() / stride; ++frame, ++count)
        sum += double(samples[frame * stride + offset]) * samples[frame * stride + offset];
    return count != 0 ? std::sqrt(sum / count) : 0.0;
}

class SpatialThroughEngine : public EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        ZK::Platform::VirtualEndpointSettings speakers;
        speakers.id = kEndpoint;
        speakers.friendlyName = L"Spatial speakers";
        m_audio->AddEndpoint(speakers);
        ZK::Platform::VirtualSpatialSettings spatial;
        spatial.maxDynamicObjects = 64;
        m_audio->SetSpatial(kEndpoint, spatial);
        settings.engineThread = 0;
        CZkSinkCoreAudio::SetWorkerOnCaller(true);
        g_statusEvents.clear();
        ASSERT_EQ(m_io.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        ASSERT_EQ(m_io.AddBasePath(m_folder.Path().wstring().c_str()), ZK_Success);
        Write("SpatialTone.bnk", ToneDescription());
    }
    void TearDown() override
    {
        Term();
        m_io.Term();
        CZkSinkCoreAudio::SetWorkerOnCaller(false);
        CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(nullptr);
        EngineLifeTest::TearDown();
    }
    void Write(const char* name, const std::string& description)
    {
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(description);
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }
    // The engine on the test's Init bank; the main device's sink.
    CZkSinkCoreAudio* Start(uint32_t masterConfig)
    {
        Write("SpatialInit.bnk", InitDescription(kEnableSpatial, masterConfig));
        EXPECT_EQ(Init(&settings, &platformSettings), ZK_Success);
        CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(&RecordStatus);
        ZkBankID bank = 0;
        EXPECT_EQ(LoadBank("SpatialInit.bnk", bank), ZK_Success);
        EXPECT_EQ(LoadBank("SpatialTone.bnk", bank), ZK_Success);
        EXPECT_EQ(RenderAudio(true), ZK_Success);
        return MainSink();
    }
    static CZkSinkCoreAudio* MainSink()
    {
        CZkOutputDevice* device = CZkOutputDeviceMgr::GetMainDevice();
        return device != nullptr ? dynamic_cast<CZkSinkCoreAudio*>(device->Sink()) : nullptr;
    }
    // Frames of the engine: the clocks play one buffer, the worker's pass runs, the engine ticks.
    void Frames(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i)
        {
            m_audio->Advance(kFrames);
            if (CZkSinkCoreAudio* sink = MainSink(); sink != nullptr && sink->IsSpatial() && !sink->HasWorker())
                sink->ServiceSpatialStream(0);
            ASSERT_EQ(RenderAudio(true), ZK_Success);
        }
    }

    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
    ZkSoundFixtures::ScratchFolder m_folder;
};

// Where the master bus's mix goes: a stereo bus is the passthrough mix the endpoint plays; a 7.1.4
// bus is the main mix, the bed of static objects. Either way the tone keeps its power (0.5 peak).
TEST_F(SpatialThroughEngine, TheMasterBusReachesThePassthroughOrTheBedByItsLayout)
{
    struct Case
    {
        const char* name;
        uint32_t masterConfig;
        bool toEndpoint;
    };
    const Case cases[] = {{"stereo master bus: passthrough", 0x3102, true},
                          {"7.1.4 master bus: the bed", 0x2D63F10C, false}};
    for (const Case& row : cases)
    {
        SCOPED_TRACE(row.name);
        CZkSinkCoreAudio* sink = Start(row.masterConfig);
        ASSERT_NE(sink, nullptr);
        ASSERT_TRUE(sink->IsSpatial());
        ASSERT_EQ(RegisterGameObj(kEmitter, "Emitter"), ZK_Success);
        ASSERT_NE(PostEvent("Play_Tone", kEmitter), 0u);
        ASSERT_NO_FATAL_FAILURE(Frames(24));
        const ZK::Platform::VirtualEndpointCapture endpoint = m_audio->Capture(kEndpoint);
        const ZK::Platform::VirtualSpatialCapture spatial = m_audio->SpatialCapture(kEndpoint);
        const size_t tail = 8 * kFrames;
        double endpointPower = 0.0;
        for (uint32_t channel = 0; channel < 2; ++channel)
            endpointPower += std::pow(Rms(endpoint.written, 2, channel, tail), 2);
        double bedPower = 0.0;
        for (const ZK::Platform::VirtualObjectCapture& object : spatial.objects)
            if (object.type != ZK::Platform::kAudioObjectTypeDynamic && !object.samples.empty())
                bedPower += std::pow(Rms(object.samples, 1, 0, tail), 2);
        const double tonePower = 0.5 * 0.5 / 2;
        EXPECT_NEAR(row.toEndpoint ? endpointPower : bedPower, tonePower, tonePower * 0.01);
        EXPECT_LT(row.toEndpoint ? bedPower : endpointPower, 1e-9) << "the other path is silent";
        if (row.toEndpoint)
        {
            EXPECT_NEAR(Rms(endpoint.written, 2, 0, tail), Rms(endpoint.written, 2, 1, tail), 1e-6) << "centred";
        }
        Term();
        m_audio->SetSpatial(kEndpoint, ZK::Platform::VirtualSpatialSettings{64});
    }
}

// A "System" share set whose parameter data is shorter than the 12-byte block: the block is not
// read past its end, the object's read answers 7 and so does the bank's load.
TEST_F(SpatialThroughEngine, ASystemShareSetWithAShortParameterBlockIsRefused)
{
    Write("ShortInit.bnk", InitDescription("01 0C F1 63 2D", 0x3102));
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ZkBankID bank = 0;
    EXPECT_EQ(LoadBank("ShortInit.bnk", bank), ZK_InvalidFile);
}

class ThreadedSpatialThroughEngine : public SpatialThroughEngine
{
protected:
    void SetUp() override
    {
        SpatialThroughEngine::SetUp();
        CZkSinkCoreAudio::SetWorkerOnCaller(false);
    }
};

// The stream sends no event for 50 ms: the worker latches the error, the device is reported lost
// at the next tick (status 2) and set up again (status 0), in spatial mode, with a worker of its own.
TEST_F(ThreadedSpatialThroughEngine, AStreamSilentFor50msLosesTheDeviceWhichComesBackSpatial)
{
    CZkSinkCoreAudio* first = Start(0x2D63F10C);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->IsSpatial());
    ASSERT_TRUE(first->HasWorker());
    const int64_t deadline = ZK::Platform::PerformanceCounter() + 5'000'000'000;
    while (!first->HasErrorLatched())
    {
        ASSERT_LT(ZK::Platform::PerformanceCounter(), deadline) << "the worker's wait ended";
        ZK::Platform::YieldProcessor();
    }
    g_statusEvents.clear();
    m_audio->Advance(kFrames);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    ASSERT_EQ(g_statusEvents.size(), 1u);
    EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_DeviceLost);
    EXPECT_EQ(MainSink(), nullptr) << "on the base sink";

    g_pEventMgr->frameCounter = 47; // among the first buffers of a second: a forced update
    m_audio->Advance(4 * kFrames);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    ASSERT_EQ(g_statusEvents.size(), 2u);
    EXPECT_EQ(g_statusEvents[1].event, ZkAudioDeviceEvent_Initialization);
    EXPECT_EQ(g_statusEvents[1].result, ZK_Success);
    CZkSinkCoreAudio* again = MainSink();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->IsSpatial());
    EXPECT_TRUE(again->HasWorker());
}
} // namespace
