// The running engine with the game's banks: the Init bank's master bus replaces the placeholder main
// device by one on "System", the volume parameters start at their defaults, every event the game
// posts is loaded, and the output calls that wait for the main output answer once it runs.
#include "EngineWithBanksFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include <ZK/SoundEngine/Common/ZkOutputCalls.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

namespace
{
using namespace ZkEngineLifeTest;

constexpr ZkUniqueID kMusicVolume = 1006694123;
constexpr ZkUniqueID kEffectsVolume = 1564184899;

uint32_t g_captures = 0;
void CountCapture(ZkAudioBuffer&, ZkOutputDeviceID, void*)
{
    ++g_captures;
}

ZkOutputDeviceID MainDeviceID()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    const CZkOutputDevice* main = CZkOutputDeviceMgr::GetMainDevice();
    return main != nullptr ? main->OutputID() : ~ZkOutputDeviceID{0};
}

TEST_F(EngineWithBanks, TheInitBankPutsTheMainDeviceOnSystem)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        const CZkOutputDevice* main = CZkOutputDeviceMgr::GetMainDevice();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(main->ShareSetID(), CZkOutputDeviceMgr::kSystemShareSetID);
        EXPECT_TRUE(main->RunsRealSink()) << "the virtual speakers' sink";
        EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Ready);
        EXPECT_EQ(CZkOutputDeviceMgr::DeviceCount(), 1u) << "the placeholder is gone";
    }
    const ZkOutputDeviceID main = MainDeviceID();
    EXPECT_NE(main, 0u);
    EXPECT_EQ(GetOutputID(ZkUniqueID{0}, 0), main) << "the defaults resolve to the main device";
    EXPECT_EQ(GetOutputID("System", 0), main);
    EXPECT_EQ(GetOutputID(5, 7), 0x0000000700000005u) << "no look-up when both ids are given";
}

TEST_F(EngineWithBanks, TheMainDeviceTakesItsSinkFromTheSystemObjectOfTheInitBank)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    EXPECT_TRUE(g_pObjectIndex->Table(ZkIndexKind::AudioDevices).Contains(CZkOutputDeviceMgr::kSystemShareSetID));
    const CZkOutputDevice* main = CZkOutputDeviceMgr::GetMainDevice();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->SinkPluginID(), CZkOutputDevice::kSystemSinkPluginID) << "the object's plug-in";
    EXPECT_TRUE(main->RunsRealSink());
}

TEST_F(EngineWithBanks, TheVolumeParametersStartAtTheirDefaults)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    for (ZkUniqueID parameter : {kMusicVolume, kEffectsVolume})
    {
        float value = 0.0f;
        Query::RTPCValue_type type = Query::RTPCValue_Global;
        EXPECT_EQ(Query::GetRTPCValue(parameter, ZK_ALL_GAME_OBJECTS, 0, value, type), ZK_Success);
        EXPECT_EQ(value, 100.0f) << parameter;
        EXPECT_EQ(type, Query::RTPCValue_Default) << parameter;
    }
}

TEST_F(EngineWithBanks, EveryEventTheGamePostsIsLoaded)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    const std::vector<ZkUniqueID> events = GameEventIDs();
    ASSERT_GT(events.size(), 30u);
    for (ZkUniqueID id : events)
    {
        CZkIndexedObject* event = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, id);
        EXPECT_NE(event, nullptr) << id;
        if (event != nullptr)
            event->Release();
    }
}

TEST_F(EngineWithBanks, TheOutputGettersAnswerForTheMainDevice)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    EXPECT_EQ(GetSpeakerConfiguration().NumChannels(), 2u) << "the virtual speakers are stereo";
    ZkPanningRule rule = ZkPanningRule_Headphones;
    EXPECT_EQ(GetPanningRule(rule), ZK_Success);
    EXPECT_EQ(rule, ZkPanningRule_Speakers);
    uint32_t count = 0;
    float height = 0.0f;
    EXPECT_EQ(GetSpeakerAngles(nullptr, count, height), ZK_Success);
    EXPECT_GE(count, 3u);
    ZkChannelConfig config;
    ZK::Zk3DAudioSinkCapabilities capabilities;
    EXPECT_EQ(GetOutputDeviceConfiguration(MainDeviceID(), config, capabilities), ZK_Success);
    EXPECT_EQ(config.NumChannels(), 2u);
    EXPECT_EQ(GetOutputDeviceConfiguration(0x1234, config, capabilities), ZK_Fail) << "no such device";
    EXPECT_EQ(GetSpeakerConfiguration(0x1234).word, 0u);
}

TEST_F(EngineWithBanks, OutputsBusesAndCaptureCallbacks)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    ZkOutputDeviceID added = 99;
    ZkOutputSettings defaults;
    EXPECT_EQ(AddOutput(defaults, &added), ZK_Success);
    EXPECT_EQ(added, 0u) << "share set 0 and device 0";
    const ZkGameObjectID listener = 5;
    EXPECT_EQ(AddOutput(defaults, nullptr, &listener, 0), ZK_InvalidParameter);
    ZkOutputSettings unknown;
    unknown.audioDeviceShareSetID = 0x4242;
    EXPECT_EQ(AddOutput(unknown), ZK_InvalidID);
    EXPECT_EQ(ReplaceOutput(defaults, 0x5555), ZK_DeviceNotFound);

    EXPECT_EQ(SetBusDevice("Master Audio Bus", "System"), ZK_Success);
    EXPECT_EQ(SetBusDevice("Music", "System"), ZK_InvalidParameter) << "a bus with a parent";
    EXPECT_EQ(SetBusDevice("No Such Bus", "System"), ZK_InvalidID);
    EXPECT_EQ(SetBusDevice("Master Audio Bus", "No Such Device"), ZK_InvalidID);

    int cookie = 0;
    EXPECT_EQ(RegisterCaptureCallback(nullptr), ZK_InvalidParameter);
    EXPECT_EQ(RegisterCaptureCallback(&CountCapture, 0, &cookie), ZK_Success);
    EXPECT_EQ(RegisterCaptureCallback(&CountCapture, 0, &cookie), ZK_Success);
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        EXPECT_EQ(CZkOutputDeviceMgr::GetMainDevice()->CaptureNodeCount(), 1u) << "a pair is kept once";
    }
    EXPECT_EQ(RegisterCaptureCallback(&CountCapture, 0x1234, &cookie), ZK_Fail) << "no such device";
    EXPECT_EQ(UnregisterCaptureCallback(&CountCapture, 0, &cookie), ZK_Success);
    EXPECT_EQ(UnregisterCaptureCallback(&CountCapture, 0, &cookie), ZK_Success) << "also when none matched";
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        EXPECT_EQ(CZkOutputDeviceMgr::GetMainDevice()->CaptureNodeCount(), 0u);
    }
    EXPECT_EQ(RegisterOutputDeviceMeteringCallback(0, nullptr, ZkMeteringFlag_Peak), ZK_Success);
}

TEST_F(EngineWithBanks, BeforeTheInitBankTheGateWaitsAndAnswers92)
{
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    // Only the placeholder main device: the gate gives the engine its rounds, then gives up.
    EXPECT_EQ(AddOutput(ZkOutputSettings{}), ZK_MainOutputNotReady);
    ZkPanningRule rule = ZkPanningRule_Speakers;
    EXPECT_EQ(GetPanningRule(rule), ZK_Fail);
    EXPECT_EQ(GetSpeakerConfiguration().word, 0u);
}

TEST_F(EngineWithBanks, AnOutputAskedForBeforeTheMainOutputRunsWaitsForIt)
{
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success) << "its master bus asks for the main output";
    EXPECT_EQ(AddOutput(ZkOutputSettings{}), ZK_Success) << "the gate let the engine start it";
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    EXPECT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Ready);
}

TEST_F(EngineWithBanks, AfterAFailedMainOutputTheGateAnswers92)
{
    ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
    // A main output on a share set no bank defines falls back to "System": not what was asked for.
    ZkReplaceMainOutputMessage replace{};
    replace.settings.audioDeviceShareSetID = 0x4242;
    ASSERT_TRUE(g_pEventMgr->Ring().Post(ZkMessage_ReplaceMainOutput, replace));
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ASSERT_EQ(CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::MainOutput_Failed);
    }
    EXPECT_EQ(AddOutput(ZkOutputSettings{}), ZK_MainOutputNotReady);
    ZkPanningRule rule = ZkPanningRule_Speakers;
    EXPECT_EQ(GetPanningRule(rule), ZK_Fail);
}
} // namespace
