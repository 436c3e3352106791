// The managers the engine creates and ticks before their contents exist: the modulator manager's
// life and its answers over no modulators, the shared item array's capacity, and the MIDI post
// manager's frame callback; each one's out-of-memory answer.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

namespace
{
using namespace ZK::SoundEngine;
namespace Fault = ZK::MemoryMgr::FaultInjection;

class EngineManagerShells : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
    }
    void TearDown() override
    {
        Fault::Disarm();
        CZkMidiPostMgr::Destroy();
        GlobalCallbacks::Clear();
        g_pEventMgr = nullptr;
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }
};

TEST_F(EngineManagerShells, TheModulatorManagerRunsItsFramesOverNoModulators)
{
    CZkModulatorMgr manager;
    EXPECT_FALSE(manager.HasEngine());
    ASSERT_EQ(manager.Init(), ZK_Success);
    EXPECT_TRUE(manager.HasEngine());
    EXPECT_EQ(manager.Init(), ZK_Success) << "a second Init keeps the engine";
    manager.Update();
    EXPECT_EQ(manager.InstanceCount(), 0u);
    EXPECT_EQ(manager.TargetCount(), 0u);
    float value = 5.0f;
    EXPECT_FALSE(manager.GetValue(12, ZkRTPCKey{}, value));
    EXPECT_EQ(value, 5.0f);
    EXPECT_FALSE(manager.IsModulator(12));
    EXPECT_EQ(manager.StopForKey(12, ZkRTPCKey{}), ZK_Fail) << "an unknown modulator stops nothing";
    manager.TermInstances();
    EXPECT_FALSE(manager.HasEngine());
    manager.Update();
    ASSERT_EQ(manager.Init(), ZK_Success);
    manager.Term();
    EXPECT_FALSE(manager.HasEngine());

    Fault::FailNth(CZkModulatorMgr::kEnginePool, 1);
    EXPECT_EQ(manager.Init(), ZK_InsufficientMemory);
    EXPECT_FALSE(manager.HasEngine());
}

TEST_F(EngineManagerShells, TheSharedItemArrayHoldsTheSettingsNumberOfPlayers)
{
    CZkSharedItemArray players;
    players.Clear();
    ASSERT_EQ(players.Init(0), ZK_Success);
    EXPECT_EQ(players.MaxPlayers(), CZkSharedItemArray::kDefaultMaxPlayers);
    EXPECT_EQ(players.Capacity(), 255u);
    ASSERT_EQ(players.Init(12), ZK_Success);
    EXPECT_EQ(players.MaxPlayers(), 12u);
    players.ForEachActive(1);
    EXPECT_EQ(players.Count(), 0u);
    players.Term();
    EXPECT_EQ(players.Capacity(), 0u);

    Fault::FailNth(CZkSharedItemArray::kSlotsPool, 1);
    EXPECT_EQ(players.Init(12), ZK_InsufficientMemory);
    EXPECT_EQ(players.Capacity(), 0u);
}

TEST_F(EngineManagerShells, TheMidiPostManagerKeepsItsFrameClockInItsLocation16Callback)
{
    EventManager events;
    g_pEventMgr = &events;
    events.frameCounter = 9;
    CZkMidiPostMgr* manager = CZkMidiPostMgr::Create();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(g_pMidiPostMgr, manager);
    EXPECT_EQ(CZkMidiPostMgr::Create(), manager) << "one manager";
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_BeginRender), 1u);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_BeginRender);
    const uint64_t tenthFrame = uint64_t{ZK::SoundEngine::ZkAudioSettings::FramesPerBuffer()} * 10;
    EXPECT_EQ(manager->FrameSampleTime(), tenthFrame);
    EXPECT_EQ(manager->ExecuteActionOnPlayingID(0, 0), ZK_Success) << "no target to stop";
    CZkMidiPostMgr::Destroy();
    EXPECT_EQ(g_pMidiPostMgr, nullptr);
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_BeginRender), 0u);
    CZkMidiPostMgr::Destroy();
}

TEST_F(EngineManagerShells, AMidiPostManagerThatCannotBeMadeLeavesNothing)
{
    // The manager, then the callback list's storage: both come from pool 0.
    for (uint32_t nth = 1; nth <= 2; ++nth)
    {
        Fault::FailNth(CZkMidiPostMgr::kPool, nth);
        EXPECT_EQ(CZkMidiPostMgr::Create(), nullptr) << nth;
        EXPECT_EQ(g_pMidiPostMgr, nullptr);
        EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_BeginRender), 0u);
        Fault::Disarm();
    }
}
} // namespace
