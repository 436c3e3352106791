// The platform settings kept by the engine, the platform audio start-up with the audio format
// globals and the engine thread's wake-up event, the renderer's start and end, and the engine
// thread's apartment with the end of the devices.
#include "OutputTestSupport.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/StubStreamMgr.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <Platform/PlatformCom.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <thread>

using namespace ZkOutputTest;

namespace
{
class PlatformAudio : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        ZK::IZkStreamMgr::m_pStreamMgr = &m_streamMgr;
    }
    void TearDown() override
    {
        CZkOutputDeviceMgr::TermDevices(); // the renderer's start began the pacing thread
        CZkAudioRenderer::Term();
        ZK::IZkStreamMgr::m_pStreamMgr = nullptr;
        StorePlatformInitSettings(nullptr);
        GetEngineSettings().samplesPerFrame = 1024;
        ZK::ZkRuntimeEnvironmentMgr::Instance()->ApplyAvxPermission(1);
        OutputTest::TearDown();
    }

    ZkEngineTest::StubStreamMgr m_streamMgr;
};

TEST_F(PlatformAudio, DefaultsAndARefillCountBelowTwoStoredAsFour)
{
    ZkPlatformInitSettings defaults;
    EXPECT_EQ(FillDefaultPlatformInitSettings(defaults), ZK_NotImplemented);
    EXPECT_EQ(defaults.windowHandle, nullptr) << "no window on Linux";
    EXPECT_EQ(defaults.engineThread.priority, 1);
    EXPECT_EQ(defaults.outputThread.priority, 1);
    EXPECT_EQ(defaults.bankThread.priority, 0);
    EXPECT_EQ(defaults.outputThread.stackSize, 0x20000u);
    EXPECT_EQ(defaults.outputThread.affinityMask, 0u);
    EXPECT_EQ(defaults.numRefillBuffers, 4u);
    EXPECT_EQ(defaults.sampleRate, 48000u);
    EXPECT_EQ(defaults.enableAvx, 1u);
    EXPECT_EQ(defaults.uMaxSystemAudioObjects, 128u);

    ZkPlatformInitSettings mine = defaults;
    mine.numRefillBuffers = 1;
    mine.sampleRate = 44100;
    StorePlatformInitSettings(&mine);
    EXPECT_EQ(mine.numRefillBuffers, 4u) << "the caller sees what was kept";
    EXPECT_EQ(GetPlatformInitSettings().numRefillBuffers, 4u);
    EXPECT_EQ(GetPlatformInitSettings().sampleRate, 44100u);
    mine.numRefillBuffers = 2;
    StorePlatformInitSettings(&mine);
    EXPECT_EQ(GetPlatformInitSettings().numRefillBuffers, 2u);
    StorePlatformInitSettings(nullptr);
    EXPECT_EQ(GetPlatformInitSettings().sampleRate, 48000u);
}

TEST_F(PlatformAudio, StartUpNeedsARateAndAFrameSize)
{
    ZkPlatformInitSettings settings = GetPlatformInitSettings();
    settings.sampleRate = 0;
    StorePlatformInitSettings(&settings);
    EXPECT_EQ(InitPlatformAudio(), ZK_InvalidParameter);
    settings.sampleRate = 48000;
    StorePlatformInitSettings(&settings);
    GetEngineSettings().samplesPerFrame = 0;
    EXPECT_EQ(InitPlatformAudio(), ZK_InvalidParameter);
    GetEngineSettings().samplesPerFrame = 0x10000;
    EXPECT_EQ(InitPlatformAudio(), ZK_InvalidParameter) << "frames per buffer are 16-bit";
    EXPECT_FALSE(EngineWakeEvent::IsCreated());
}

// The renderer's start runs to its end: the kernels, the managers' check, the notification
// factory, the plug-in registry, the playing-voice lists, the panning tables, and the pacing thread
// with the placeholder main device (which sets the wake-up event from its own thread).
using ThreadedPlatformAudio = PlatformAudio;

TEST_F(ThreadedPlatformAudio, StartUpSetsTheAudioGlobalsAndTheWakeEventAndStartsTheRenderer)
{
    ZkPlatformInitSettings settings = GetPlatformInitSettings();
    settings.sampleRate = 44100;
    settings.enableAvx = 0;
    StorePlatformInitSettings(&settings);
    GetEngineSettings().samplesPerFrame = 512;
    PluginRegistry::Term();
    EXPECT_EQ(InitPlatformAudio(), ZK_Success);
    EXPECT_EQ(ZkAudioSettings::SampleRate(), 44100u);
    EXPECT_EQ(ZkAudioSettings::FramesPerBuffer(), 512u);
    EXPECT_EQ(ZkAudioSettings::BufferDurationMs(), 11u);
    EXPECT_EQ(ZkAudioSettings::EngineThreadTimeoutMs(), 2u);
    EXPECT_EQ(ZkAudioSettings::BlockFrames(), 120u);
    EXPECT_EQ(ZkAudioSettings::BlocksPerBuffer(), 4u);
    EXPECT_FALSE(ZK::ZkRuntimeEnvironmentMgr::Instance()->IsFeatureSupported(ZK::ZK_SIMD_AVX_FAMILY));
    EXPECT_TRUE(EngineWakeEvent::IsCreated());
    EXPECT_NE(PluginRegistry::GetPluginEntry(0xB50007), nullptr) << "the registry has the built-in list";
    EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u) << "the placeholder main device";
    EXPECT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Play, nullptr), ZK_Success) << "the voice lists have their block";
    ZkVoiceLists::RemoveInstance(nullptr);

    CZkOutputDeviceMgr::TermDevices();
    CZkAudioRenderer::Term();
    EXPECT_FALSE(EngineWakeEvent::IsCreated()) << "the renderer's end closes the event";
    EXPECT_EQ(PluginRegistry::PluginCount(), 0u);
}

TEST_F(ThreadedPlatformAudio, TheRendererNeedsTheMemoryAndStreamManagers)
{
    ZK::IZkStreamMgr::m_pStreamMgr = nullptr;
    EXPECT_EQ(InitRenderer(), ZK_Fail);
    ZK::IZkStreamMgr::m_pStreamMgr = &m_streamMgr;
    EXPECT_EQ(InitRenderer(), ZK_Success);
}

// The engine thread's own set-up and tear-down, on a thread of its own.

TEST_F(ThreadedPlatformAudio, TheEngineThreadPairsItsApartmentAndEndsTheDevices)
{
    std::thread engine([] {
        ZK::MemoryMgr::InitForThread();
        InitAudioThreadCOM();
        InitAudioThreadCOM();
        EXPECT_EQ(ZK::Platform::ApartmentInitCount(), 1u) << "once per thread";
        EXPECT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0), nullptr, 0), ZK_Success);
        TermAudioThreadCOM();
        EXPECT_EQ(ZK::Platform::ApartmentInitCount(), 0u);
        EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 0u);
        ZK::MemoryMgr::TermForThread();
    });
    engine.join();
}
} // namespace
