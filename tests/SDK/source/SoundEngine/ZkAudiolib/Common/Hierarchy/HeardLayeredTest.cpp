// Layered containers heard through the running engine (offline rendering, the capture of the main
// output). Two looping tones of distinct frequencies (750 and 1500 Hz, whole periods in every
// 1024-sample frame, so a single-frequency correlation over frames separates them) play as the
// children of a layered container whose layer crossfades them by a game parameter; the same media
// played by sounds outside the container give each child's level alone.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/SineLfoModel.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkLayerPlayContext.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kLowHz = 750;
constexpr uint32_t kHighHz = 1500;
constexpr ZkUniqueID kCrossfade = 7001;
constexpr ZkUniqueID kSecondCrossfade = 7002;
constexpr ZkUniqueID kVolumeParam = 7003;
constexpr ZkUniqueID kContainer = 260;
constexpr ZkUniqueID kPlayLayered = 960;
constexpr ZkUniqueID kPlayLowAlone = 961;
constexpr ZkUniqueID kPlayHighAlone = 962;
constexpr ZkGameObjectID kOther = 8;
// Frames after a post (or a change) before a level is read: the voices have started and their
// gain ramps are over.
constexpr uint32_t kSettleFrames = 4;
constexpr uint32_t kMeasureFrames = 4;

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// The linear curves of the layer: the low tone from 1 to 0, the high one from 0 to 1 over 0-100.
const char* kFalling = R"([[0, 1], [100, 0]])";
const char* kRising = R"([[0, 0], [100, 1]])";

class HeardLayered : public FirstSound
{
protected:
    // The bank: the two tones as children 250 and 251 of the layered container, with the layers
    // given (JSON list), and as sounds 252 and 253 outside it; extraItems (each followed by a
    // comma) come first, lastItems (each after a comma) last.
    void WriteBank(const std::string& layers, bool continuous, const std::string& extraItems = "",
                   const std::string& lastItems = "")
    {
        auto tone = [](ZkUniqueID id, uint32_t hz) {
            return R"({"id": )" + std::to_string(id) + R"(, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": )" +
                   std::to_string(hz) + R"(, "of": )" + std::to_string(hz) + R"(}, "parts": [{"tone": )" +
                   std::to_string(hz) + R"(, "amp": 0.5}]}})";
        };
        const std::string bank = R"({"name": "HeardLayered.bnk", "media": [)" + tone(140, kLowHz) + ", " +
                                 tone(141, kHighHz) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
                                 extraItems + R"(
                {"type": "sound", "id": 250, "media": 140, "props": {"loop_count": 0}},
                {"type": "sound", "id": 251, "media": 141, "props": {"loop_count": 0}},
                {"type": "sound", "id": 252, "media": 140, "props": {"loop_count": 0}},
                {"type": "sound", "id": 253, "media": 141, "props": {"loop_count": 0}},
                {"type": "layered", "id": 260, "children": [250, 251], "continuous": )" +
                                 std::string(continuous ? "true" : "false") + R"(, "layers": )" + layers + R"(},
                {"type": "group", "id": 240, "bus": "Effects", "children": [260, 252, 253]},
                {"type": "action", "id": 360, "action": "play", "target": 260},
                {"type": "action", "id": 361, "action": "play", "target": 252},
                {"type": "action", "id": 362, "action": "play", "target": 253},
                {"type": "event", "id": 960, "actions": [360]},
                {"type": "event", "id": 961, "actions": [361]},
                {"type": "event", "id": 962, "actions": [362]})" + lastItems + "]}]}";
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HeardLayered.bnk", bank));
    }

    // One layer crossfading the two children by kCrossfade; extra keys go into the layer.
    static std::string CrossfadeLayer(const std::string& extra = "")
    {
        return R"([{"id": 4001, "crossfade": 7001, "associations": [{"child": 250, "points": )" + std::string(kFalling) +
               R"(}, {"child": 251, "points": )" + kRising + "}]" + extra + "}]";
    }

    void StartWithBank()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("HeardLayered.bnk", bank), ZK_Success);
        ASSERT_EQ(RegisterGameObj(kOther, "Other"), ZK_Success);
    }

    std::vector<float> Left() const
    {
        std::vector<float> left;
        for (size_t i = 0; i < captured.size(); i += channels)
            left.push_back(captured[i]);
        return left;
    }

    // The amplitude of a tone of hz over count samples from start.
    static double ToneAmplitude(const std::vector<float>& left, size_t start, size_t count, uint32_t hz)
    {
        double re = 0.0;
        double im = 0.0;
        for (size_t i = start; i < start + count && i < left.size(); ++i)
        {
            re += left[i] * std::cos(2.0 * kPi * hz * static_cast<double>(i) / kRate);
            im += left[i] * std::sin(2.0 * kPi * hz * static_cast<double>(i) / kRate);
        }
        return 2.0 * std::sqrt(re * re + im * im) / static_cast<double>(count);
    }

    struct Levels
    {
        double low;
        double high;
    };

    // Renders a settled stretch and reads both tones' amplitudes over it.
    Levels Listen()
    {
        RenderFrames(kSettleFrames);
        captured.clear();
        RenderFrames(kMeasureFrames);
        const std::vector<float> left = Left();
        return Levels{ToneAmplitude(left, 0, left.size(), kLowHz), ToneAmplitude(left, 0, left.size(), kHighHz)};
    }

    // Stops everything and lets the voices go.
    void Silence()
    {
        StopAll();
        RenderFrames(4);
        captured.clear();
    }

    // Each tone's amplitude alone (its sound outside the container).
    Levels Alone()
    {
        Levels alone{};
        EXPECT_NE(PostEvent(kPlayLowAlone, kEmitter), 0u);
        alone.low = Listen().low;
        Silence();
        EXPECT_NE(PostEvent(kPlayHighAlone, kEmitter), 0u);
        alone.high = Listen().high;
        Silence();
        return alone;
    }

    // A level measured against the curve's value times the level alone: within 0.1 dB above
    // -40 dB, -96 dB or lower where the curve is 0.
    static void ExpectLevel(double heard, double alone, double curve, const std::string& what)
    {
        if (curve == 0.0)
        {
            EXPECT_LE(heard, alone * std::pow(10.0, -96.0 / 20.0)) << what;
            return;
        }
        EXPECT_NEAR(Db(heard / alone), Db(curve), 0.1) << what;
    }

    // Both tones' amplitudes in each of the first `frames` frames after posting event.
    std::vector<Levels> FramesAfterPost(ZkUniqueID event, uint32_t frames)
    {
        captured.clear();
        EXPECT_NE(PostEvent(event, kEmitter), 0u);
        RenderFrames(frames);
        const std::vector<float> left = Left();
        std::vector<Levels> levels;
        for (size_t frame = 0; frame < frames; ++frame)
            levels.push_back(Levels{ToneAmplitude(left, frame * kFrames, kFrames, kLowHz),
                                    ToneAmplitude(left, frame * kFrames, kFrames, kHighHz)});
        Silence();
        return levels;
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }

    static CZkLayeredContainerNode* Container()
    {
        auto* node = static_cast<CZkLayeredContainerNode*>(g_pObjectIndex->GetNodePtrAndAddRef(kContainer, false));
        if (node != nullptr)
            node->Release(); // the bank keeps it
        return node;
    }
};

TEST_F(HeardLayered, EachChildSoundsAtItsCurveTimesItsLevelAloneForGlobalAndObjectValues)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(CrossfadeLayer(), false));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const Levels alone = Alone();
    ASSERT_GT(alone.low, 0.1);
    ASSERT_GT(alone.high, 0.1);
    for (const bool perObject : {false, true})
    {
        for (const float value : {0.0f, 25.0f, 50.0f, 75.0f, 100.0f})
        {
            if (perObject)
            {
                // The object's own value wins over a different global one.
                ASSERT_EQ(SetRTPCValue(kCrossfade, 100.0f - value), ZK_Success);
                ASSERT_EQ(SetRTPCValue(kCrossfade, value, kEmitter), ZK_Success);
            }
            else
            {
                ASSERT_EQ(SetRTPCValue(kCrossfade, value), ZK_Success);
            }
            ASSERT_NE(PostEvent(kPlayLayered, kEmitter), 0u);
            const Levels heard = Listen();
            const std::string what = std::string(perObject ? "object" : "global") + " value " + std::to_string(value);
            ExpectLevel(heard.low, alone.low, 1.0 - value / 100.0, what + ", the falling child");
            ExpectLevel(heard.high, alone.high, value / 100.0, what + ", the rising child");
            Silence();
        }
        ASSERT_EQ(ResetRTPCValue(kCrossfade, kEmitter), ZK_Success);
    }
}

// A child's voice is mixed at its curve's level from its very first frame, not ramped to it from
// full level: frame by frame after the post, each child is its curve's value times its level alone
// in the same frame after its own post.
TEST_F(HeardLayered, EachChildIsAtItsCurvesLevelFromItsFirstFrame)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(CrossfadeLayer(), false));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    constexpr uint32_t kFramesHeard = 4;
    const std::vector<Levels> lowAlone = FramesAfterPost(kPlayLowAlone, kFramesHeard);
    const std::vector<Levels> highAlone = FramesAfterPost(kPlayHighAlone, kFramesHeard);
    for (const float value : {25.0f, 75.0f})
    {
        ASSERT_EQ(SetRTPCValue(kCrossfade, value), ZK_Success);
        RenderFrames(1);
        const std::vector<Levels> heard = FramesAfterPost(kPlayLayered, kFramesHeard);
        bool started = false;
        for (size_t frame = 0; frame < kFramesHeard; ++frame)
        {
            if (lowAlone[frame].low < 0.01 || highAlone[frame].high < 0.01)
            {
                EXPECT_FALSE(started) << "the tones alone sound in every frame after their start";
                continue;
            }
            started = true;
            const std::string what = "value " + std::to_string(value) + ", frame " + std::to_string(frame);
            ExpectLevel(heard[frame].low, lowAlone[frame].low, 1.0 - value / 100.0, what + ", the falling child");
            ExpectLevel(heard[frame].high, highAlone[frame].high, value / 100.0, what + ", the rising child");
        }
        EXPECT_TRUE(started);
    }
}

TEST_F(HeardLayered, AChangeWhilePlayingMovesBothLevelsAndARampMovesThemFrameByFrame)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(CrossfadeLayer(), false));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const Levels alone = Alone();
    ASSERT_EQ(SetRTPCValue(kCrossfade, 0.0f), ZK_Success);
    ASSERT_NE(PostEvent(kPlayLayered, kEmitter), 0u);
    Listen();
    ASSERT_EQ(SetRTPCValue(kCrossfade, 25.0f, kEmitter), ZK_Success);
    const Levels changed = Listen();
    ExpectLevel(changed.low, alone.low, 0.75, "the falling child after the change");
    ExpectLevel(changed.high, alone.high, 0.25, "the rising child after the change");

    // A 1000 ms ramp from 25 to 100: the value climbs 75 over 1000 ms of frames, and each frame's
    // levels lie on the curves at the value of that frame.
    ASSERT_EQ(SetRTPCValue(kCrossfade, 100.0f, kEmitter, 1000), ZK_Success);
    captured.clear();
    RenderFrames(60);
    const std::vector<float> left = Left();
    const double perFrame = 75.0 / (1000.0 * kRate / 1000.0 / kFrames);
    std::vector<double> values;
    for (size_t frame = 0; frame + 1 < left.size() / kFrames; ++frame)
    {
        const double low = ToneAmplitude(left, frame * kFrames, kFrames, kLowHz) / alone.low;
        const double high = ToneAmplitude(left, frame * kFrames, kFrames, kHighHz) / alone.high;
        // Linear curves that add up to 1 at every value of the parameter.
        EXPECT_NEAR(low + high, 1.0, 0.02) << "frame " << frame;
        values.push_back(100.0 * high);
    }
    ASSERT_GT(values.size(), 50u);
    for (size_t frame = 4; frame < 44; ++frame)
        EXPECT_NEAR(values[frame] - values[frame - 1], perFrame, 0.35 * perFrame) << "frame " << frame;
    EXPECT_NEAR(values.back(), 100.0, 0.5) << "the ramp ends on the last value";
}

TEST_F(HeardLayered, AVolumeBindingOnTheLayerLowersBothChildrenBySixDecibels)
{
    // Parameter 7003 drives the layer's volume (property 0, in dB): 0 at 0, -6 at 100.
    const std::string binding =
        R"(, "rtpc": [{"parameter": 7003, "target": 0, "curve": 1, "points": [[0, 0], [100, -6]]}])";
    ASSERT_NO_FATAL_FAILURE(WriteBank(CrossfadeLayer(binding), false));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(SetRTPCValue(kCrossfade, 50.0f), ZK_Success);
    ASSERT_EQ(SetRTPCValue(kVolumeParam, 0.0f), ZK_Success);
    ASSERT_NE(PostEvent(kPlayLayered, kEmitter), 0u);
    const Levels full = Listen();
    // Set while playing: the change reaches the playing children.
    ASSERT_EQ(SetRTPCValue(kVolumeParam, 100.0f), ZK_Success);
    const Levels lowered = Listen();
    EXPECT_NEAR(Db(lowered.low / full.low), -6.0, 0.1);
    EXPECT_NEAR(Db(lowered.high / full.high), -6.0, 0.1);
    Silence();
    // Set before the play: the children gather it as they start.
    ASSERT_NE(PostEvent(kPlayLayered, kEmitter), 0u);
    const Levels gathered = Listen();
    EXPECT_NEAR(Db(gathered.low / full.low), -6.0, 0.1);
    EXPECT_NEAR(Db(gathered.high / full.high), -6.0, 0.1);
}

// The continuous mode's cases: which children a play starts, and how they follow the parameters.
TEST_F(HeardLayered, AContinuousPlayStartsAndStopsChildrenAsTheParametersCrossTheirRanges)
{
    // The low tone sounds from 50 to 100 of the first parameter (constant 0 below, a rise at 50);
    // the high tone has a single point on the first layer (no range: it always plays, its gain the
    // point's 0.5) and a range of 40-100 on a second layer.
    const std::string layers = R"([
        {"id": 4001, "crossfade": 7001, "associations": [
            {"child": 250, "points": [[0, 0, 9], [50, 1, 4], [100, 0, 9]]},
            {"child": 251, "points": [[0, 0.5]]}]},
        {"id": 4002, "crossfade": 7002, "associations": [
            {"child": 251, "points": [[0, 0, 9], [40, 1, 9], [100, 1, 9]]}]}])";
    ASSERT_NO_FATAL_FAILURE(WriteBank(layers, true));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    const Levels alone = Alone();
    struct Step
    {
        const char* what;
        float first;
        float second;
        bool lowSounds;
        bool highSounds;
    };
    const Step steps[] = {
        {"both outside their ranges", 20.0f, 0.0f, false, false},
        {"the first parameter in the low tone's range", 60.0f, 0.0f, true, false},
        {"the second in the high tone's range too", 60.0f, 50.0f, true, true},
        {"the first back outside", 20.0f, 50.0f, false, true},
        {"the second back outside", 20.0f, 10.0f, false, false},
    };
    ASSERT_EQ(SetRTPCValue(kCrossfade, steps[0].first), ZK_Success);
    ASSERT_EQ(SetRTPCValue(kSecondCrossfade, steps[0].second), ZK_Success);
    uint32_t ends = 0;
    ASSERT_NE(PostEvent(kPlayLayered, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
    for (const Step& step : steps)
    {
        ASSERT_EQ(SetRTPCValue(kCrossfade, step.first), ZK_Success);
        ASSERT_EQ(SetRTPCValue(kSecondCrossfade, step.second), ZK_Success);
        const Levels heard = Listen();
        if (step.lowSounds)
            EXPECT_GT(heard.low, 0.5 * alone.low) << step.what;
        else
            EXPECT_LT(heard.low, 0.001 * alone.low) << step.what;
        if (step.highSounds)
            EXPECT_NEAR(Db(heard.high / alone.high), Db(0.5), 0.1) << step.what << ": the single point's gain";
        else
            EXPECT_LT(heard.high, 0.001 * alone.high) << step.what;
    }
    EXPECT_EQ(ends, 0u) << "the context keeps the event alive while nothing sounds";
    ASSERT_EQ(Container()->ContextCount(), 1u);
    EXPECT_TRUE(Container()->IsUpdatedEachFrame()) << "a continuous play joins the nodes updated each frame";

    // Stopping everything on the object ends the context and the event, once.
    StopAll(kEmitter);
    RenderFrames(4);
    EXPECT_EQ(Container()->ContextCount(), 0u);
    EXPECT_EQ(CZkActiveInstances::PlayContextCount(), 0u);
    EXPECT_EQ(ends, 1u);
    EXPECT_FALSE(Container()->IsUpdatedEachFrame()) << "and leaves them with its play";
    EXPECT_EQ(CZkLayerPlayContext::PoolBlockCount(), 0u) << "the idle engine keeps no block of contexts";
}

TEST_F(HeardLayered, AChildStartsInAContinuousPlayWithinTwoFramesOfEnteringItsRange)
{
    // Only the low tone has a range (50-100); the high one, on no layer, plays throughout.
    const std::string layers = R"([{"id": 4001, "crossfade": 7001, "associations": [
            {"child": 250, "points": [[0, 0, 9], [50, 1, 4], [100, 0, 9]]}]}])";
    ASSERT_NO_FATAL_FAILURE(WriteBank(layers, true));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(SetRTPCValue(kCrossfade, 20.0f), ZK_Success);
    ASSERT_NE(PostEvent(kPlayLayered, kEmitter), 0u);
    RenderFrames(4);
    captured.clear();
    // The change is applied at the next frame's tick: that frame is frame 0 of the capture.
    ASSERT_EQ(SetRTPCValue(kCrossfade, 60.0f), ZK_Success);
    RenderFrames(6);
    const std::vector<float> left = Left();
    size_t first = left.size() / kFrames;
    for (size_t frame = 0; frame < left.size() / kFrames; ++frame)
    {
        EXPECT_GT(ToneAmplitude(left, frame * kFrames, kFrames, kHighHz), 0.1) << "the high tone plays on, frame " << frame;
        if (first == left.size() / kFrames && ToneAmplitude(left, frame * kFrames, kFrames, kLowHz) > 0.01)
            first = frame;
    }
    EXPECT_LE(first, 1u) << "the low tone started in frame " << first << " after the change";
    EXPECT_GT(ToneAmplitude(left, 4 * kFrames, kFrames, kLowHz), 0.1);
    StopAll();
    RenderFrames(2);
}

// A 4 Hz LFO bound on the layer's volume (-12 dB at its trough, 0 dB at its crest) in a continuous
// play: the context starts it for the play and the children's voices follow it frame by frame, as
// a sound's voice follows its own LFO (the modulators' numpy model through the binding's line).
// The LFO of each child's voice (scope 0) and one LFO for the whole game object (scope 2), read
// from the bank before the container or after it.
TEST_F(HeardLayered, AnLfoOnTheLayersVolumeMovesBothChildrenOfAContinuousPlay)
{
    constexpr uint32_t kBuffers = 30;
    const std::vector<double> lfo = ZkModulatorTest::SineLfoValues(4.0, kBuffers);
    ASSERT_EQ(lfo.size(), kBuffers);
    const ZkModulatorTest::LinkLine line{std::pow(10.0, -12.0 / 20.0)}; // -12 dB at 0, 0 dB at 1
    const std::string binding =
        R"(, "rtpc": [{"parameter": 4200, "parameter_type": 2, "target": 0, "points": [[0, -12], [1, 0]]}])";
    struct Case
    {
        int scope;
        bool lfoFirst;
    };
    for (const Case& c : {Case{0, true}, Case{2, true}, Case{0, false}, Case{2, false}})
    {
        const std::string what = "scope " + std::to_string(c.scope) + (c.lfoFirst ? ", LFO first" : ", LFO last");
        SCOPED_TRACE(what);
        const std::string item = R"({"type": "lfo", "id": 4200, "props": {"scope": )" + std::to_string(c.scope) +
                                 R"(, "lfo_frequency": 4.0, "lfo_depth": 100, "lfo_attack": 0}})";
        ASSERT_NO_FATAL_FAILURE(
            WriteBank(CrossfadeLayer(binding), true, c.lfoFirst ? item + "," : "", c.lfoFirst ? "" : "," + item));
        ASSERT_NO_FATAL_FAILURE(StartWithBank());
        const Levels alone = Alone();
        ASSERT_EQ(SetRTPCValue(kCrossfade, 50.0f), ZK_Success);
        ASSERT_NE(PostEvent(kPlayLayered, kEmitter), 0u);
        RenderFrames(kBuffers + 1);
        const std::vector<float> left = Left();
        const size_t first = left.size() - size_t{kBuffers + 1} * kFrames;
        // From the children's second frame: in its first, a voice's gain fades in from where it
        // starts to its crossfade gain.
        double lowest = 1.0;
        for (uint32_t frame = 1; frame < kBuffers; ++frame)
        {
            const double expected = ZkModulatorTest::FrameMeanGain(lfo, line, frame);
            const size_t at = first + size_t{frame} * kFrames;
            const double low = ToneAmplitude(left, at, kFrames, kLowHz) / (0.5 * alone.low);
            const double high = ToneAmplitude(left, at, kFrames, kHighHz) / (0.5 * alone.high);
            EXPECT_NEAR(Db(low), Db(expected), 0.5) << "the falling child, frame " << frame;
            EXPECT_NEAR(Db(high), Db(expected), 0.5) << "the rising child, frame " << frame;
            lowest = std::min(lowest, low);
        }
        EXPECT_LT(lowest, 0.35) << "the LFO reaches down towards -12 dB";

        // The play's end takes the voices' LFOs with it (an object's LFO lives with its object).
        StopAll(kEmitter);
        RenderFrames(4);
        EXPECT_EQ(Container()->ContextCount(), 0u);
        if (c.scope == 0)
        {
            EXPECT_EQ(ZK::SoundEngine::g_pModulatorMgr->InstanceCount(), 0u) << "no instance of the LFO is left";
        }
        Term();
    }
}
} // namespace
