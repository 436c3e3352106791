// Effect objects heard end to end: the engine renders offline onto the base sink with the game's
// Init.bnk and a bank of the test, the capture callback keeps the main output, and the test gain
// effect (parameter 0 multiplies its input) runs on a sound's slot (type-16 share sets), on a bus
// slot (a type-17 custom effect) and on the output device (SetOutputDeviceEffect). Each level is
// the peak of a 1 kHz tone (48 samples a period: the peak sample is the amplitude), compared with
// the same tone played without an effect; the gain each case expects comes from its description.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/TestEffectPlugins.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace
{
using namespace ZkFirstSoundTest;
using namespace ZkEffectTest;

constexpr ZkUniqueID kLevel = 900;       // a game parameter from 0 to 100, at 50 unless a case moves it
constexpr ZkGameObjectID kOther = 8;
constexpr double kToleranceDb = 0.05;

struct HeardCase
{
    const char* what;
    std::string effect; // the share set's initial values and subscriptions
    double gain;
};

const std::string kGainPlugin = std::to_string(kGainKey);

std::string Curve(int kind, double top)
{
    return R"({"parameter": 900, "combine": )" + std::to_string(kind) +
           R"(, "target": 0, "curve": 1, "points": [[0, 0], [100, )" + std::to_string(top) + "]]}";
}

std::string Initial(int kind, double value)
{
    return R"({"param": 0, "kind": )" + std::to_string(kind) + R"(, "value": )" + std::to_string(value) + "}";
}

const HeardCase kCases[] = {
    {"initial 0.5 of kind 3 alone", R"("initial": [)" + Initial(3, 0.5) + "]", 0.5},
    {"times a curve x / 100 at 50", R"("initial": [)" + Initial(3, 0.5) + R"(], "rtpc": [)" + Curve(3, 1) + "]", 0.25},
    {"kind 2 adds", R"("initial": [)" + Initial(2, 0.25) + R"(], "rtpc": [)" + Curve(2, 0.5) + "]", 0.5},
    {"kind 4 leaves the initial value out", R"("initial": [)" + Initial(4, 0.25) + R"(], "rtpc": [)" + Curve(4, 1) + "]",
     0.5},
    {"kind 1: the raw value", R"("initial": [)" + Initial(1, 0.9) + R"(], "rtpc": [)" + Curve(1, 0.8) + "]", 0.4},
};
constexpr uint32_t kCaseCount = sizeof(kCases) / sizeof(kCases[0]);

class EffectsHeard : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(Description());
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / "Effects.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }

    // Sound 400 + i plays the tone through share set 500 + i (event "Case<i>"); sound 399 plays it
    // plainly ("Plain"); sound 398 is on the bus "Fx", whose slot 0 holds custom effect 600
    // ("OnBus"); sound 397 loops, plainly ("Loop"); sound 396 loops through share set 602, whose
    // parameter 0 (initial 0.5, kind 3) follows the groups "Mood" (immediate) and "Weather" (500 ms
    // transitions): 0.5 in "Tense" and "Storm", 1.0 in "Calm" and "Clear" ("StateLoop"). Event
    // "BypassSlot0" bypasses slot 0 of sound 400 for its game object.
    static std::string Description()
    {
        std::string items = R"({"type": "bus", "id": "Fx", "parent": "Effects", "effects": [{"slot": 0, "id": 600}]},
            {"type": "custom_effect", "id": 600, "plugin": )" + kGainPlugin + R"(, "data_f32": [0.5]},
            {"type": "shareset", "id": 601, "plugin": )" + kGainPlugin + R"(, "data_f32": [0.25]},
            {"type": "sound", "id": 399, "media": 100, "bus": "Effects"},
            {"type": "action", "id": 299, "action": "play", "target": 399},
            {"type": "event", "id": "Plain", "actions": [299]},
            {"type": "sound", "id": 398, "media": 100, "bus": "Fx"},
            {"type": "action", "id": 298, "action": "play", "target": 398},
            {"type": "event", "id": "OnBus", "actions": [298]},
            {"type": "sound", "id": 397, "media": 100, "bus": "Effects", "props": {"loop_count": 0}},
            {"type": "action", "id": 297, "action": "play", "target": 397},
            {"type": "event", "id": "Loop", "actions": [297]},
            {"type": "action", "id": 296, "action": "node_slot", "target": 400, "flag": 1, "slot": 1},
            {"type": "event", "id": "BypassSlot0", "actions": [296]},
            {"type": "state", "id": 700, "values": [[0, 0.5]]},
            {"type": "state", "id": 701, "values": [[0, 1.0]]},
            {"type": "shareset", "id": 602, "plugin": )" + kGainPlugin + R"(, "initial": [{"param": 0, "kind": 3, "value": 0.5}],
             "states": {"properties": [[0, 3]], "groups": [{"id": "Mood", "states": [["Tense", 700], ["Calm", 701]]},
                                                          {"id": "Weather", "states": [["Storm", 700], ["Clear", 701]]}]}},
            {"type": "sound", "id": 396, "media": 100, "bus": "Effects", "props": {"loop_count": 0},
             "effects_override": 1, "effects": [{"slot": 0, "id": 602, "shareset": 1}]},
            {"type": "action", "id": 295, "action": "play", "target": 396},
            {"type": "event", "id": "StateLoop", "actions": [295]})";
        for (uint32_t i = 0; i < kCaseCount; ++i)
        {
            const std::string n = std::to_string(i);
            items += R"(, {"type": "shareset", "id": 50)" + n + R"(, "plugin": )" + kGainPlugin + ", " + kCases[i].effect +
                     R"(}, {"type": "sound", "id": 40)" + n +
                     R"(, "media": 100, "bus": "Effects", "effects_override": 1, "effects": [{"slot": 0, "id": 50)" + n +
                     R"(, "shareset": 1}]}, {"type": "action", "id": 30)" + n + R"(, "action": "play", "target": 40)" + n +
                     R"(}, {"type": "event", "id": "Case)" + n + R"(", "actions": [30)" + n + "]}";
        }
        return R"({"name": "Effects.bnk", "media": [{"id": 100, "wave": {"rate": 48000, "channels": 1, "frames": 12000,
                       "parts": [{"tone": 1000, "amp": 0.5}]}}],
                   "chunks": [{"tag": "BKHD"}, {"tag": "STMG", "volume_threshold": -80.0, "max_voices": 64,
                                "second_voice_limit": 64, "state_groups": [{"id": "Mood", "default_time": 0},
                                                                           {"id": "Weather", "default_time": 500}]},
                              {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
               items + "]}]}";
    }

    void StartWithEffects()
    {
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeEffect, kTestCompany, kGainNumber,
                                                                  &GainEffect::Create, &GainParams::Create, nullptr),
                  ZK_Success);
        ASSERT_EQ(SetOfflineRenderingFrameTime(static_cast<float>(kFrames) / kRate), ZK_Success);
        ASSERT_EQ(SetOfflineRendering(true), ZK_Success);
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success);
        ASSERT_EQ(LoadBank("Effects.bnk", bank), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        ASSERT_EQ(RegisterCaptureCallback(&Capture, 0, this), ZK_Success);
        ASSERT_EQ(RegisterGameObj(kEmitter, "Emitter"), ZK_Success);
        ASSERT_EQ(RegisterGameObj(kOther, "Other"), ZK_Success);
        ASSERT_EQ(SetRTPCValue(kLevel, 50.0f), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
    }

    // The peak of the capture of an event on an object, played to its end.
    float PeakOf(const char* event, ZkGameObjectID object = kEmitter)
    {
        captured.clear();
        EXPECT_NE(PostEvent(event, object), 0u) << event;
        RenderFrames(16);
        return Peak(0, captured.size());
    }
    float Peak(size_t first, size_t end) const
    {
        float peak = 0.0f;
        for (size_t i = first; i < end && i < captured.size(); ++i)
            peak = std::max(peak, std::fabs(captured[i]));
        return peak;
    }
    // The peak of one delivered frame (index into frameOffsets).
    float FramePeak(size_t frame) const
    {
        const size_t first = frameOffsets.at(frame) * channels;
        const size_t end = frame + 1 < frameOffsets.size() ? frameOffsets[frame + 1] * channels : captured.size();
        return Peak(first, end);
    }
    static double Db(double ratio) { return 20.0 * std::log10(ratio); }

    // With the plain loop playing, call gives a gain of 0.25 from the frame rendered next.
    template <typename Call>
    void ExpectTheNextFrameAtQuarterGain(float plain, Call call)
    {
        captured.clear();
        frameOffsets.clear();
        ASSERT_NE(PostEvent("Loop", kEmitter), 0u);
        RenderFrames(4);
        ASSERT_EQ(call(), ZK_Success);
        RenderFrames(2);
        ASSERT_GE(frameOffsets.size(), 6u);
        EXPECT_NEAR(Db(FramePeak(3) / plain), 0.0, kToleranceDb) << "before the call";
        EXPECT_NEAR(Db(FramePeak(4) / plain), Db(0.25), kToleranceDb) << "the first frame after it";
        StopAll();
        RenderFrames(2);
    }
};

TEST_F(EffectsHeard, EachDrivenKindGivesTheGainItsDescriptionComputes)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEffects());
    const float plain = PeakOf("Plain");
    ASSERT_GT(plain, 0.1f);
    for (uint32_t i = 0; i < kCaseCount; ++i)
    {
        SCOPED_TRACE(kCases[i].what);
        const float heard = PeakOf(("Case" + std::to_string(i)).c_str());
        EXPECT_NEAR(Db(heard / plain), Db(kCases[i].gain), kToleranceDb);
    }
}

TEST_F(EffectsHeard, AGameParameterOfOneObjectChangesOnlyThatObjectsLevel)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEffects());
    const float plain = PeakOf("Plain");
    ASSERT_EQ(SetRTPCValue(kLevel, 100.0f, kOther), ZK_Success);
    EXPECT_NEAR(Db(PeakOf("Case1", kEmitter) / plain), Db(0.25), kToleranceDb) << "the global 50";
    EXPECT_NEAR(Db(PeakOf("Case1", kOther) / plain), Db(0.5), kToleranceDb) << "its own 100";
}

TEST_F(EffectsHeard, ACustomEffectOnABusSlotAndADeviceEffectSetAtRunTime)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEffects());
    const float plain = PeakOf("Plain");
    EXPECT_NEAR(Db(PeakOf("OnBus") / plain), Db(0.5), kToleranceDb) << "the custom effect's block gain";

    // The bus's slot 1 takes share set 601 (gain 0.25) at run time, after the custom effect's 0.5.
    ASSERT_EQ(SetBusEffect("Fx", 1, 601), ZK_Success);
    EXPECT_NEAR(Db(PeakOf("OnBus") / plain), Db(0.5 * 0.25), kToleranceDb) << "both bus slots";
    ASSERT_EQ(SetBusEffect("Fx", 1, 0), ZK_Success);
    EXPECT_NEAR(Db(PeakOf("OnBus") / plain), Db(0.5), kToleranceDb) << "slot 1 emptied again";

    // The device's slot 0 takes share set 601 (gain 0.25) while a loop plays.
    ExpectTheNextFrameAtQuarterGain(plain, [] { return SetOutputDeviceEffect(0, 0, 601); });
    ASSERT_EQ(SetOutputDeviceEffect(0, 0, 0), ZK_Success);
}

TEST_F(EffectsHeard, ASoundsEffectSetWhilePlayingAndASlotBypassedForOneObject)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEffects());
    const float plain = PeakOf("Plain");
    // The playing loop's slot 0 takes share set 601 (gain 0.25).
    ExpectTheNextFrameAtQuarterGain(plain, [] { return SetActorMixerEffect(397, 0, 601); });

    ASSERT_NE(PostEvent("BypassSlot0", kEmitter), 0u);
    EXPECT_NEAR(Db(PeakOf("Case0", kEmitter) / plain), 0.0, kToleranceDb) << "bypassed for this object";
    EXPECT_NEAR(Db(PeakOf("Case0", kOther) / plain), Db(0.5), kToleranceDb) << "still processed for the other";
}

TEST_F(EffectsHeard, StateGroupsDriveTheParameterAtOnceOrFrameByFrame)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEffects());
    const float plain = PeakOf("Plain");
    ASSERT_EQ(SetState("Mood", "Tense"), ZK_Success);
    ASSERT_EQ(SetState("Weather", "Clear"), ZK_Success);
    captured.clear();
    frameOffsets.clear();
    ASSERT_NE(PostEvent("StateLoop", kEmitter), 0u);
    RenderFrames(4);
    EXPECT_NEAR(Db(FramePeak(3) / plain), Db(0.5 * 0.5), kToleranceDb) << "initial 0.5 times Tense's 0.5";

    // Weather goes to Storm over 500 ms: 24 frames of 1024 samples at 48 kHz (21.3 ms each).
    ASSERT_EQ(SetState("Weather", "Storm"), ZK_Success);
    const size_t start = frameOffsets.size();
    RenderFrames(30);
    std::vector<double> levels;
    for (size_t frame = start; frame < frameOffsets.size(); ++frame)
        levels.push_back(Db(FramePeak(frame) / plain));
    size_t moving = 0;
    for (size_t i = 1; i < levels.size(); ++i)
    {
        EXPECT_LE(levels[i], levels[i - 1] + 1e-4) << "frame " << i << " never rises";
        moving += levels[i] < levels[i - 1] - 1e-3 ? 1u : 0u;
    }
    EXPECT_GE(moving, 22u) << "the level moves frame by frame";
    EXPECT_LE(moving, 24u) << "and stops after ceil(500 / 21.3) = 24 frames";
    EXPECT_NEAR(levels.back(), Db(0.5 * 0.5 * 0.5), kToleranceDb) << "Storm's 0.5 at the end";
    StopAll();
    RenderFrames(2);
}

// The shipped Init.bnk describes the output as the "System" audio-device share set; what the main
// device plays (here on the base sink, rendering offline) is the same, sample for sample, as without
// the object.
class ShippedSystemDevice : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        // Init.bnk's description without its audio-device item, written beside the test's bank.
        std::ifstream in(std::string(KP_SOURCE_DIR) + "/SoundProject/Init.json");
        std::string description((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t item = description.find(R"({"type": "audio_device")");
        ASSERT_NE(item, std::string::npos);
        description.erase(item, description.find('\n', item) + 1 - item);
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(description);
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / "InitWithoutDevice.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }
    // The first frames of the 1 kHz tone, the engine started on the Init bank given.
    std::vector<float> CaptureWith(const char* initBank)
    {
        EXPECT_EQ(Init(&settings, &platformSettings), ZK_Success);
        EXPECT_EQ(SetOfflineRenderingFrameTime(static_cast<float>(kFrames) / kRate), ZK_Success);
        EXPECT_EQ(SetOfflineRendering(true), ZK_Success);
        ZkBankID bank = 0;
        EXPECT_EQ(LoadBank(initBank, bank), ZK_Success);
        EXPECT_EQ(LoadBank("FirstSound.bnk", bank), ZK_Success);
        RenderFrames(1);
        {
            using ZK::SoundEngine::ZkIndexKind;
            sawObject = ZK::SoundEngine::g_pObjectIndex->Table(ZkIndexKind::AudioDevices)
                            .Contains(ZK::SoundEngine::CZkOutputDeviceMgr::kSystemShareSetID);
        }
        EXPECT_EQ(RegisterCaptureCallback(&Capture, 0, this), ZK_Success);
        EXPECT_EQ(RegisterGameObj(kEmitter, "Emitter"), ZK_Success);
        captured.clear();
        EXPECT_NE(PostEvent("Play_Tone48", kEmitter), 0u);
        RenderFrames(8);
        std::vector<float> samples = captured;
        Term();
        return samples;
    }
    bool sawObject = false;
};

TEST_F(ShippedSystemDevice, TheMainDeviceComesFromTheSystemObjectAndSoundsTheSameAsWithout)
{
    const std::vector<float> with = CaptureWith("Init.bnk");
    EXPECT_TRUE(sawObject) << "the shipped bank holds the System object";
    const std::vector<float> without = CaptureWith("InitWithoutDevice.bnk");
    EXPECT_FALSE(sawObject);
    ASSERT_FALSE(with.empty());
    EXPECT_GT(*std::max_element(with.begin(), with.end()), 0.1f) << "the tone was heard";
    EXPECT_TRUE(with == without) << "bit-identical";
}
} // namespace
