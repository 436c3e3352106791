// The engine's start and end through the interface: the defaults, the refusals before the memory
// and stream managers exist, the settings written back, a second Init on a running engine, the
// location-1024 callbacks, the threads while the engine runs, and Term from any state.
#include "EngineLifeFixture.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>

namespace
{
using namespace ZkEngineLifeTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

uint32_t g_initCalls = 0;
void CountInit(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void*)
{
    ++g_initCalls;
}

// Whether no manager of the engine exists.
bool NoManagerLeft()
{
    return g_pObjectIndex == nullptr && g_pRTPCMgr == nullptr && g_pBankManager == nullptr &&
           g_pPlayingMgr == nullptr && g_pPlayPositionRepository == nullptr && g_pRegistryMgr == nullptr &&
           g_pModulatorMgr == nullptr && g_pTransitionMgr == nullptr && g_pSharedItemArray == nullptr &&
           g_pSwitchMgr == nullptr && g_pStateMgr == nullptr && g_pEventMgr == nullptr && g_pMidiPostMgr == nullptr;
}

bool NoEngineThreadLeft()
{
    return !HasThreadNamed("ZK::EventManage") && !HasThreadNamed("ZK::BankManager") && !HasThreadNamed("ZK Suspended");
}

class SoundEngineStart : public EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        g_initCalls = 0;
    }
    void TearDown() override
    {
        GlobalCallbacks::Clear();
        EngineLifeTest::TearDown();
    }
    void RegisterInitCallback()
    {
        ASSERT_EQ(GlobalCallbacks::Register(&CountInit, ZK::ZkGlobalCallbackLocation_Init, nullptr, 0), ZK_Success);
    }
};

TEST(SoundEngineWithoutMemory, InitRefusesWithoutTheMemoryManager)
{
    ASSERT_FALSE(ZK::MemoryMgr::IsInitialized());
    EXPECT_EQ(Init(nullptr, nullptr), ZK_MemoryMgrNotInitialized);
    EXPECT_FALSE(IsInitialized());
    Term();
    Term();
}

TEST_F(SoundEngineStart, InitRefusesWithoutTheStreamManagerAndStillCallsTheInitCallbacks)
{
    RegisterInitCallback();
    DestroyStreamManager();
    EXPECT_EQ(Init(&settings, &platformSettings), ZK_StreamMgrNotInitialized);
    EXPECT_FALSE(IsInitialized());
    EXPECT_EQ(g_initCalls, 1u);
    EXPECT_TRUE(NoManagerLeft());
}

TEST_F(SoundEngineStart, TheDefaultSettings)
{
    ZkInitSettings defaults;
    defaults.reservedE = 77;
    defaults.messageRingSize = 5;
    GetDefaultInitSettings(defaults);
    EXPECT_EQ(defaults.reservedE, 77u) << "the defaults leave it alone";
    EXPECT_EQ(defaults.assertHook, nullptr);
    EXPECT_EQ(defaults.sharedItemCapacity, 255u);
    EXPECT_EQ(defaults.messageRingSize, 0x40000u);
    EXPECT_EQ(defaults.gameSyncPreparation, 0u);
    EXPECT_EQ(defaults.lookAheadFrames, 1u);
    EXPECT_EQ(defaults.samplesPerFrame, 1024u);
    EXPECT_EQ(defaults.reservedA, 0x100000u);
    EXPECT_EQ(defaults.mainOutput.audioDeviceShareSetID, 0u);
    EXPECT_EQ(defaults.mainOutput.idDevice, 0u);
    EXPECT_EQ(defaults.tickTimeoutMs, 1000u);
    EXPECT_EQ(defaults.bankThread, 1u);
    EXPECT_EQ(defaults.engineThread, 1u);
    EXPECT_EQ(defaults.pluginFolder, nullptr);
    EXPECT_EQ(defaults.reservedC, 1.0f);
    EXPECT_EQ(defaults.reservedD, 1u);
    EXPECT_EQ(defaults.bankReadBufferSize, 0x8000u);
    EXPECT_EQ(defaults.reservedF, 16.0f);

    ZkPlatformInitSettings platform;
    GetDefaultPlatformInitSettings(platform);
    EXPECT_EQ(platform.numRefillBuffers, 4u);
    EXPECT_EQ(platform.sampleRate, 48000u);
    EXPECT_EQ(platform.engineThread.priority, 1);
    EXPECT_EQ(platform.engineThread.affinityMask, 0u);
    EXPECT_EQ(platform.engineThread.stackSize, 0x20000u);
}

TEST_F(SoundEngineStart, GetAudioSettingsBeforeInitLeavesItsRecordAlone)
{
    ::ZkAudioSettings audio;
    audio.samplesPerFrame = 3;
    audio.sampleRate = 5;
    EXPECT_EQ(GetAudioSettings(audio), ZK_Fail);
    EXPECT_EQ(audio.samplesPerFrame, 3u);
    EXPECT_EQ(audio.sampleRate, 5u);
}

TEST_F(SoundEngineStart, TermBeforeInitAndTwiceDoesNothingHarmful)
{
    Term();
    Term();
    EXPECT_FALSE(IsInitialized());
    EXPECT_TRUE(NoManagerLeft());
    EXPECT_EQ(EngineBlocks(), 0);
}

TEST_F(SoundEngineStart, InitWithNullRecordsStartsWithTheDefaults)
{
    ASSERT_EQ(Init(nullptr, nullptr), ZK_Success);
    EXPECT_TRUE(IsInitialized());
    EXPECT_EQ(GetEngineSettings().messageRingSize, 0x40000u);
    EXPECT_EQ(GetEngineSettings().samplesPerFrame, 1024u);
    EXPECT_EQ(GetEngineSettings().bankThread, 1u);
    EXPECT_EQ(GetEngineSettings().engineThread, 1u);
    ASSERT_NE(g_pEventMgr, nullptr);
    EXPECT_EQ(g_pEventMgr->Ring().Capacity(), 0x40000u);
    ::ZkAudioSettings audio;
    ASSERT_EQ(GetAudioSettings(audio), ZK_Success);
    EXPECT_EQ(audio.samplesPerFrame, 1024u);
    EXPECT_EQ(audio.sampleRate, 48000u);
    EXPECT_EQ(g_pSharedItemArray->MaxPlayers(), 255u);
    Term();
    EXPECT_FALSE(IsInitialized());
    EXPECT_TRUE(NoManagerLeft());
    EXPECT_EQ(EngineBlocks(), 0);
}

// The engine with all of its threads, started and ended as the game does.
using ThreadedSoundEngineStart = SoundEngineStart;

TEST_F(ThreadedSoundEngineStart, TheEnginesThreadsRunWhileItRunsAndNoneAfterTerm)
{
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    EXPECT_TRUE(HasThreadNamed("ZK::EventManage"));
    EXPECT_TRUE(HasThreadNamed("ZK::BankManager"));
    EXPECT_TRUE(HasThreadNamed("ZK Suspended"));
    for (int frame = 0; frame < 3; ++frame)
    {
        EXPECT_EQ(SetRandomSeed(frame + 1), ZK_Success);
        EXPECT_EQ(RenderAudio(), ZK_Success);
    }
    Term();
    EXPECT_TRUE(NoEngineThreadLeft());
}

TEST_F(SoundEngineStart, TheCallersRecordsHoldTheEffectiveSettings)
{
    settings.sharedItemCapacity = 0;
    settings.engineThread = 0;
    platformSettings.numRefillBuffers = 1;
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    EXPECT_EQ(platformSettings.numRefillBuffers, 4u) << "raised to 4 below 2";
    EXPECT_EQ(GetPlatformInitSettings().numRefillBuffers, 4u);
    EXPECT_EQ(settings.engineThread, 0u);
    EXPECT_EQ(g_pSharedItemArray->MaxPlayers(), 255u) << "0 players means the default";
    EXPECT_FALSE(HasThreadNamed("ZK::EventManage")) << "no engine thread asked for";
}

TEST_F(SoundEngineStart, ASecondInitOnARunningEngineChangesNothingAndStillCallsTheInitCallbacks)
{
    RegisterInitCallback();
    settings.messageRingSize = 64 * 1024;
    // Without the engine thread: no frame renders meanwhile (a frame's end empties the buffer pool).
    settings.engineThread = 0;
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    EXPECT_EQ(g_initCalls, 1u);
    // State the second Init would destroy if it ran its first steps: a voice buffer on its free list,
    // a value the game set (priority 0), the settings copies the threads read.
    ZkAudioBuffer buffer;
    buffer.channelConfig = ZkChannelConfig::FromMask(0x3);
    ASSERT_EQ(AudioBufferPool::GetCachedBuffer(buffer), ZK_Success);
    AudioBufferPool::ReleaseCachedBuffer(buffer);
    ASSERT_EQ(AudioBufferPool::CachedBlocks(2), 1u);
    ASSERT_EQ(SetVolumeThreshold(-30.0f), ZK_Success);

    ZkInitSettings other;
    GetDefaultInitSettings(other);
    other.messageRingSize = 128 * 1024;
    other.engineThread = 1;
    ZkPlatformInitSettings otherPlatform;
    GetDefaultPlatformInitSettings(otherPlatform);
    otherPlatform.sampleRate = 44100;
    EXPECT_EQ(Init(&other, &otherPlatform), ZK_Fail);
    EXPECT_EQ(g_initCalls, 2u);
    EXPECT_TRUE(IsInitialized());
    EXPECT_EQ(GetEngineSettings().messageRingSize, 64u * 1024);
    EXPECT_EQ(GetEngineSettings().engineThread, 0u);
    EXPECT_EQ(GetPlatformInitSettings().sampleRate, 48000u);
    EXPECT_EQ(other.messageRingSize, 128u * 1024) << "nothing written back either";
    EXPECT_EQ(AudioBufferPool::CachedBlocks(2), 1u);
    EXPECT_EQ(SetVolumeThresholdFromBank(-60.0f, kBankSettingPriority), ZK_Success);
    EXPECT_EQ(GetVolumeThresholdDB(), -30.0f) << "the game's value keeps its priority";
}

TEST_F(SoundEngineStart, AFailedInitHasTerminatedEverythingBeforeItsInitCallbacks)
{
    RegisterInitCallback();
    settings.messageRingSize = 52;
    EXPECT_EQ(Init(&settings, &platformSettings), ZK_InvalidParameter) << "a ring of 52 bytes or less";
    EXPECT_EQ(g_initCalls, 0u) << "Term emptied the lists first";
    EXPECT_FALSE(IsInitialized());
    EXPECT_TRUE(NoManagerLeft());
    EXPECT_TRUE(NoEngineThreadLeft());
    EXPECT_EQ(EngineBlocks(), 0);
}

TEST_F(SoundEngineStart, EveryAllocationFailureDuringInitLeavesTheEngineTerminated)
{
    // Without an engine thread every allocation of Init happens on this thread, in the same order.
    settings.engineThread = 0;
    for (uint8_t bankThread : {0, 1})
    {
        settings.bankThread = bankThread;
        Fault::CountOnly(Fault::kAnyPool);
        const ZKRESULT complete = Init(&settings, &platformSettings);
        const uint32_t allocations = Fault::CountedAllocations();
        Fault::Disarm();
        Term();
        ASSERT_GT(allocations, 10u);
        uint32_t outOfMemory = 0;
        for (uint32_t nth = 1; nth <= allocations; ++nth)
        {
            Fault::FailNth(Fault::kAnyPool, nth);
            const ZKRESULT result = Init(&settings, &platformSettings);
            Fault::Disarm();
            outOfMemory += result == ZK_InsufficientMemory ? 1 : 0;
            if (result != ZK_Success)
            {
                EXPECT_FALSE(IsInitialized()) << nth;
                EXPECT_TRUE(NoManagerLeft()) << nth;
                EXPECT_EQ(EngineBlocks(), 0) << nth;
            }
            Term();
            EXPECT_EQ(EngineBlocks(), 0) << "allocation " << nth << " of " << allocations;
        }
        EXPECT_GT(outOfMemory, 0u);
        EXPECT_EQ(complete, ZK_Success);
    }
}

using ZkProcessTest::kMappingsAreTheEnginesOwn;

TEST_F(SoundEngineStart, AHundredStartsAndEndsLeaveNoBlockAndNoMapping)
{
    size_t mappings = 0;
    for (int cycle = 0; cycle < 100; ++cycle)
    {
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success) << cycle;
        Term();
        ASSERT_EQ(EngineBlocks(), 0) << cycle;
        // The first cycles let the C library settle its own caches (thread stacks, arenas).
        if (cycle == 4)
            mappings = MappingCount();
    }
    if (kMappingsAreTheEnginesOwn)
    {
        EXPECT_EQ(MappingCount(), mappings);
    }
    EXPECT_TRUE(NoEngineThreadLeft());
}
} // namespace
