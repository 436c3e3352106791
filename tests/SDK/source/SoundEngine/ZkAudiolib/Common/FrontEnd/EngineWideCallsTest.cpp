// The engine-wide and output calls on the ring, without the engine's start: each call's checks and
// the message it leaves (its type and the fields it carries, with the copies of names, marker texts,
// angles and custom data), the calls that answer at once, and every call before the engine exists.
#include "FrontEndFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkOutputCalls.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

using namespace ZkFrontEndTest;

namespace
{
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr float kInfinity = std::numeric_limits<float>::infinity();
const float kNaN = std::nanf("");
const float kFrontAngles[] = {30.0f, 110.0f, 150.0f};

struct PostCase
{
    std::string name;
    std::function<ZKRESULT()> call;
    ZKRESULT expected;
    uint16_t type; // of the message a success leaves
};

void CaptureNothing(ZkAudioBuffer&, ZkOutputDeviceID, void*) {}

class EngineWideCalls : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        ResetEngineLimits();
    }
    void TearDown() override
    {
        ResetEngineLimits();
        FrontEndTest::TearDown();
    }
    // Each call's result, and one message of its type for a success, none for a refusal.
    void Expect(const std::vector<PostCase>& cases)
    {
        for (const PostCase& c : cases)
        {
            SCOPED_TRACE(c.name);
            recorder.messages.clear();
            EXPECT_EQ(c.call(), c.expected);
            ReadMessages();
            if (c.expected != ZK_Success)
            {
                EXPECT_TRUE(recorder.messages.empty());
                continue;
            }
            ASSERT_EQ(recorder.messages.size(), 1u);
            EXPECT_EQ(TypeOf(recorder.messages[0]), c.type);
            ReleaseMessageHoldings(recorder.messages[0].data()); // the copies it carries
        }
    }
};

TEST_F(EngineWideCalls, EveryPostingCallAnswers2BeforeTheEngineExists)
{
    const ZkOutputSettings settings;
    const std::vector<std::pair<std::string, std::function<ZKRESULT()>>> calls = {
        {"RenderAudio", [] { return RenderAudio(); }},
        {"Suspend", [] { return Suspend(); }},
        {"WakeupFromSuspend", [] { return WakeupFromSuspend(); }},
        {"SetOfflineRendering", [] { return SetOfflineRendering(true); }},
        {"SetRandomSeed", [] { return SetRandomSeed(3); }},
        {"MuteBackgroundMusic", [] { return MuteBackgroundMusic(true); }},
        {"RemoveOutput", [] { return RemoveOutput(5); }},
        {"SetOutputVolume", [] { return SetOutputVolume(5, 0.5f); }},
        {"SetPanningRule", [] { return SetPanningRule(ZkPanningRule_Headphones); }},
        {"SetSpeakerAngles", [] { return SetSpeakerAngles(kFrontAngles, 3, 0.0f); }},
        {"SetBusConfig", [] { return SetBusConfig(12, ZkChannelConfig::FromMask(3)); }},
        {"SetMixer", [] { return SetMixer(12, 5); }},
        {"StartOutputCapture", [] { return StartOutputCapture(L"mix.wav"); }},
        {"AddOutputCaptureMarker", [] { return AddOutputCaptureMarker("mark"); }},
        {"GetPanningRule", [] {
             ZkPanningRule rule;
             return GetPanningRule(rule);
         }},
        {"RegisterBusMeteringCallback", [] { return RegisterBusMeteringCallback(12, nullptr, ZkMeteringFlag_Peak); }},
    };
    for (const auto& [name, call] : calls)
        EXPECT_EQ(call(), ZK_Fail) << name;
    EXPECT_EQ(AddOutput(settings), ZK_MainOutputNotReady);
    EXPECT_EQ(RegisterCaptureCallback(&CaptureNothing), ZK_MainOutputNotReady);
    EXPECT_EQ(GetSpeakerConfiguration().word, 0u);
    EXPECT_EQ(GetOutputID(5, 7), 0x0000000700000005u) << "no look-up before the engine runs";
    EXPECT_EQ(GetOutputID(ZkUniqueID{0}, 0), 0u);
    EXPECT_EQ(GetOutputID(static_cast<const char*>(nullptr), 7), 0x0000000700000000u) << "a null name is id 0";
    EXPECT_EQ(GetBufferTick(), 0u);
    EXPECT_EQ(GetSampleTick(), 0u);
}

TEST_F(EngineWideCalls, TheEngineWideControlsLeaveTheirMessages)
{
    UseRecorder();
    Expect({
        {"suspend", [] { return Suspend(true); }, ZK_Success, ZkMessage_Suspend},
        {"wake up", [] { return WakeupFromSuspend(); }, ZK_Success, ZkMessage_Suspend},
        {"offline on", [] { return SetOfflineRendering(true); }, ZK_Success, ZkMessage_OfflineRendering},
        {"frame time", [] { return SetOfflineRenderingFrameTime(0.01f); }, ZK_Success, ZkMessage_OfflineRendering},
        {"infinite frame time", [] { return SetOfflineRenderingFrameTime(kInfinity); }, ZK_NotFinite, 0},
        {"seed", [] { return SetRandomSeed(77); }, ZK_Success, ZkMessage_SetRandomSeed},
        {"mute", [] { return MuteBackgroundMusic(true); }, ZK_Success, ZkMessage_MuteBackgroundMusic},
    });
    Suspend(true);
    const Bytes suspend = ReadOne();
    EXPECT_EQ(ReadAt<uint32_t>(suspend, 4), 0u) << "no delay";
    EXPECT_EQ(ReadAt<uint16_t>(suspend, 8), 1u);
    EXPECT_EQ(ReadAt<uint16_t>(suspend, 10), 1u) << "render anyway";
    WakeupFromSuspend();
    const Bytes wake = ReadOne();
    EXPECT_EQ(ReadAt<uint16_t>(wake, 8), 0u);
    EXPECT_EQ(ReadAt<uint16_t>(wake, 10), 1u);
    SetOfflineRenderingFrameTime(0.25f);
    const Bytes frameTime = ReadOne();
    EXPECT_EQ(ReadAt<uint16_t>(frameTime, 4), 0u) << "selector 0: the frame time";
    EXPECT_EQ(ReadAt<float>(frameTime, 8), 0.25f);
    SetOfflineRendering(true);
    const Bytes offline = ReadOne();
    EXPECT_EQ(ReadAt<uint16_t>(offline, 4), 1u);
    EXPECT_EQ(ReadAt<uint16_t>(offline, 6), 1u);
}

TEST_F(EngineWideCalls, TheOutputCallsCheckTheirArgumentsAndLeaveTheirMessages)
{
    UseRecorder();
    const float twoAngles[] = {30.0f, 110.0f};
    const float tooClose[] = {30.0f, 32.0f, 150.0f};
    const float infinite[] = {30.0f, kInfinity, 150.0f};
    Expect({
        {"remove", [] { return RemoveOutput(0x500000001); }, ZK_Success, ZkMessage_RemoveOutput},
        {"volume", [] { return SetOutputVolume(0, 0.5f); }, ZK_Success, ZkMessage_SetOutputVolume},
        {"volume not finite", [] { return SetOutputVolume(0, kNaN); }, ZK_NotFinite, 0},
        {"panning", [] { return SetPanningRule(ZkPanningRule_Headphones, 9); }, ZK_Success, ZkMessage_SetPanningRule},
        {"angles", [] { return SetSpeakerAngles(kFrontAngles, 3, 10.0f); }, ZK_Success, ZkMessage_SetSpeakerAngles},
        {"null angles", [] { return SetSpeakerAngles(nullptr, 3, 0.0f); }, ZK_InvalidParameter, 0},
        {"two angles", [&] { return SetSpeakerAngles(twoAngles, 2, 0.0f); }, ZK_InvalidParameter, 0},
        {"infinite angle", [&] { return SetSpeakerAngles(infinite, 3, 0.0f); }, ZK_NotFinite, 0},
        {"height not finite", [] { return SetSpeakerAngles(kFrontAngles, 3, kNaN); }, ZK_NotFinite, 0},
        {"angles the panning refuses", [&] { return SetSpeakerAngles(tooClose, 3, 0.0f); }, ZK_InvalidParameter, 0},
        {"bus config", [] { return SetBusConfig("Music", ZkChannelConfig::FromMask(3)); }, ZK_Success,
         ZkMessage_SetBusConfig},
        {"bus config null name", [] { return SetBusConfig(static_cast<const char*>(nullptr), ZkChannelConfig{}); },
         ZK_InvalidID, 0},
        {"bus effect", [] { return SetBusEffect(L"Music", 2, 55); }, ZK_Success, ZkMessage_SetNodeEffect},
        {"bus effect id 0", [] { return SetBusEffect(ZkUniqueID{0}, 2, 55); }, ZK_InvalidID, 0},
        {"node effect", [] { return SetActorMixerEffect(31, 1, 55); }, ZK_Success, ZkMessage_SetNodeEffect},
        {"device effect", [] { return SetOutputDeviceEffect(0, 3, 55); }, ZK_Success, ZkMessage_SetOutputDeviceEffect},
        {"mixer", [] { return SetMixer("Music", 66); }, ZK_Success, ZkMessage_SetMixer},
        {"mixer null name", [] { return SetMixer(static_cast<const wchar_t*>(nullptr), 66); }, ZK_InvalidID, 0},
        {"capture", [] { return StartOutputCapture(L"mix.wav"); }, ZK_Success, ZkMessage_OutputCapture},
        {"capture empty name", [] { return StartOutputCapture(L""); }, ZK_InvalidParameter, 0},
        {"capture null name", [] { return StartOutputCapture(nullptr); }, ZK_InvalidParameter, 0},
        {"capture stop", [] { return StopOutputCapture(); }, ZK_Success, ZkMessage_OutputCapture},
        {"marker", [] { return AddOutputCaptureMarker("here"); }, ZK_Success, ZkMessage_OutputCaptureMarker},
        {"empty marker", [] { return AddOutputCaptureMarker(""); }, ZK_InvalidParameter, 0},
        {"custom data", [] { return SendPluginCustomGameData(3, 4, ZK::ZkPluginTypeEffect, 0, 9, "abc", 3); },
         ZK_Success, ZkMessage_PluginCustomGameData},
    });

    SetSpeakerAngles(kFrontAngles, 3, 10.0f, 0x700000005);
    const Bytes angles = ReadOne();
    const auto* copy = ReadAt<const float*>(angles, 4);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, kFrontAngles) << "a copy travels";
    EXPECT_EQ(std::memcmp(copy, kFrontAngles, sizeof(kFrontAngles)), 0);
    EXPECT_EQ(ReadAt<uint32_t>(angles, 12), 3u);
    EXPECT_EQ(ReadAt<float>(angles, 16), 10.0f);
    EXPECT_EQ(ReadAt<ZkOutputDeviceID>(angles, 20), 0x700000005u);
    ReleaseMessageHoldings(angles.data());

    SetBusEffect("Music", 2, 55);
    const Bytes effect = ReadOne();
    EXPECT_EQ(ReadAt<uint32_t>(effect, 4), GetIDFromString("Music"));
    EXPECT_EQ(ReadAt<uint32_t>(effect, 8), 2u);
    EXPECT_EQ(ReadAt<uint32_t>(effect, 12), 55u);
    EXPECT_EQ(ReadAt<uint32_t>(effect, 16), 1u) << "is-bus";

    StartOutputCapture(L"mix.wav");
    const Bytes capture = ReadOne();
    EXPECT_STREQ(ReadAt<const wchar_t*>(capture, 4), L"mix.wav");
    ReleaseMessageHoldings(capture.data());
}

TEST_F(EngineWideCalls, ACopyThatCannotBeMadeDropsTheMessage)
{
    UseRecorder();
    const std::vector<std::pair<ZkMemoryId, std::function<ZKRESULT()>>> calls = {
        {ZkMemID_Default, [] { return SetSpeakerAngles(kFrontAngles, 3, 0.0f); }},
        {ZkMemID_Default, [] { return StartOutputCapture(L"mix.wav"); }},
        {ZkMemID_Default, [] { return AddOutputCaptureMarker("here"); }},
        {ZkMemID_Processing, [] { return SendPluginCustomGameData(3, 4, ZK::ZkPluginTypeEffect, 0, 9, "abc", 3); }},
    };
    for (const auto& [pool, call] : calls)
    {
        recorder.messages.clear();
        Fault::FailFrom(pool, 1);
        EXPECT_EQ(call(), ZK_InsufficientMemory);
        Fault::Disarm();
        ReadMessages();
        EXPECT_TRUE(recorder.messages.empty());
    }
}

TEST_F(EngineWideCalls, TheSynchronousCallsActAtOnce)
{
    EXPECT_EQ(SetMaxNumVoicesLimit(0), ZK_InvalidParameter);
    EXPECT_EQ(SetMaxNumVoicesLimit(40), ZK_Success);
    EXPECT_EQ(GetMaxNumVoicesLimit(), 40u);
    EXPECT_EQ(SetVolumeThreshold(0.1f), ZK_InvalidParameter);
    EXPECT_EQ(SetVolumeThreshold(kNaN), ZK_NotFinite);
    EXPECT_EQ(RegisterAudioDeviceStatusCallback(nullptr), ZK_Success);
    EXPECT_EQ(UnregisterAudioDeviceStatusCallback(), ZK_Success);
    EXPECT_FALSE(GetBackgroundMusicMute());
    UseEngine();
    EXPECT_EQ(RegisterBusMeteringCallback(12, nullptr, ZkMeteringFlag_Peak), ZK_Fail) << "no playing manager";
}
} // namespace
