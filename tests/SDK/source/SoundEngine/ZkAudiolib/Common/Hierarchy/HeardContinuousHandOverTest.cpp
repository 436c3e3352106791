// What an item of a continuous playlist hands on to the next, through the running engine (offline
// rendering): with a delay of 200 ms between items of 100 ms (transition kind 3), the path player
// of the playlist and a note-scope LFO of its sounds live on through the gap, so the second item
// starts where their clocks have taken them since the first item's start, not at their beginnings.
// The items play a constant media, so every captured sample is the LFO's gain at that sample (the
// modulator's numpy model through the link curve); the path's offset is read from the playing
// item at every frame and compared with the straight line of its vertices.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kItemSamples = 4800; // 100 ms
constexpr uint32_t kGapSamples = 9600;  // the 200 ms of the transition
// The path: x from 0 to 100 over 2100 ms, that is 100 frames of the engine's 21 ms.
constexpr double kPathUnitsPerFrame = 100.0 / (2100.0 / 21.0);
// A sine LFO at phase 0 stands at its centre before its first frame: 0.5 at full depth.
constexpr double kLfoStart = 0.5;

class HeardContinuousHandOver : public FirstSound
{
protected:
    // Two playlists of two items each: 233 of sounds whose volume follows a 2 Hz LFO of scope 1
    // (-12 dB at its foot, 0 dB at its top), 234 whose own positioning moves its sounds along a path.
    void SetUp() override
    {
        FirstSound::SetUp();
        const std::string media = std::to_string(kItemSamples);
        const std::string playlistKeys = R"("continuous": true, "transition_kind": 3, "transition_time": 200)";
        const std::string lfoCurve = R"("rtpc": [{"parameter": 420, "parameter_type": 2, "target": 0,
                                                  "points": [[0, -12], [1, 0]]}])";
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HandOver.bnk", R"({"name": "HandOver.bnk",
            "media": [{"id": 130, "wave": {"rate": 48000, "channels": 1, "frames": )" + media + R"(,
                                           "parts": [{"tone": 0, "amp": 0.5, "phase": 90}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "lfo", "id": 420, "props": {"scope": 1, "lfo_frequency": 2.0, "lfo_depth": 100, "lfo_attack": 0}},
                {"type": "sound", "id": 250, "media": 130, )" + lfoCurve + R"(},
                {"type": "sound", "id": 251, "media": 130, )" + lfoCurve + R"(},
                {"type": "playlist", "id": 233, "children": [250, 251], )" + playlistKeys + R"(},
                {"type": "sound", "id": 252, "media": 130},
                {"type": "sound", "id": 253, "media": 130},
                {"type": "playlist", "id": 234, "children": [252, 253], )" + playlistKeys + R"(,
                 "positioning": 35, "path": {"mode": 2, "vertices": [[0, 0, 0, 2100], [100, 0, 0, 0]], "items": [[0, 2]]}},
                {"type": "group", "id": 240, "bus": "Effects", "children": [233, 234]},
                {"type": "action", "id": 333, "action": "play", "target": 233},
                {"type": "event", "id": "Play_Modulated", "actions": [333]},
                {"type": "action", "id": 334, "action": "play", "target": 234},
                {"type": "event", "id": "Play_Moving", "actions": [334]}]}]})"));
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("HandOver.bnk", bank), ZK_Success);
    }

    // The first sample frame of each run of sound (the gap between items is silent; a panned item
    // may leave one channel silent).
    std::vector<size_t> ItemStarts() const
    {
        std::vector<size_t> starts;
        bool quiet = true;
        for (size_t k = 0; k < captured.size() / channels; ++k)
        {
            bool sounds = false;
            for (uint32_t c = 0; c < channels; ++c)
                sounds = sounds || captured[k * channels + c] != 0.0f;
            if (sounds && quiet)
                starts.push_back(k);
            quiet = !sounds;
        }
        return starts;
    }

    // The LFO's value at the end of each frame from its start, by the modulator's numpy model.
    static std::vector<double> LfoModel(uint32_t buffers)
    {
        const auto lines = ZkModulatorTest::NumberLines(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/modulator_model.py\" "
            "'[{\"kind\": \"lfo\", \"waveform\": 0, \"smoothing\": 0, \"pulse_width\": 0, \"phase\": 0, "
            "\"attack\": 0, \"depth\": 100, \"frequency\": 2.0, \"seed\": 0, \"audio\": false, \"frames\": 1024, "
            "\"buffers\": " + std::to_string(buffers) + "}]'"));
        std::vector<double> values;
        for (const auto& line : lines)
            values.push_back(line.empty() ? 0.0 : line[0]);
        return values;
    }
};

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// The LFO's gain at each sample from the first item's start: control rate, so each frame ramps
// from the value of the frame before to its own; the link curve makes gain = offset + scale x value
// from -12 dB at 0 to 0 dB at 1. The second item joins the instance the first item started,
// which the play of the second item kept alive through the gap: its gain goes on from the first
// item's start. Without that, a new instance would start over at its centre.
TEST_F(HeardContinuousHandOver, TheSecondItemHearsTheLfoOfTheFirstRunOnThroughTheGap)
{
    constexpr uint32_t kBuffers = 24;
    ASSERT_NE(PostEvent("Play_Modulated", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kBuffers));
    const std::vector<size_t> starts = ItemStarts();
    ASSERT_EQ(starts.size(), 2u);
    ASSERT_EQ(starts[0] % kFrames, 0u) << "the first item starts with a frame";
    EXPECT_NEAR(static_cast<double>(starts[1] - starts[0]), kItemSamples + kGapSamples, 2.0 * kFrames);

    const std::vector<double> model = LfoModel(kBuffers);
    ASSERT_EQ(model.size(), kBuffers);
    const double offset = std::pow(10.0, -12.0 / 20.0);
    auto gain = [offset](double value) { return offset + (1.0 - offset) * value; };
    // The level of the media and the mix, the same for both items: the first sample over the
    // LFO's gain there.
    const double level = captured[starts[0] * channels] / gain(kLfoStart);
    auto expected = [&](size_t k) {
        const size_t frame = (k - starts[0]) / kFrames;
        const double from = gain(frame == 0 ? kLfoStart : model[frame - 1]);
        const double to = gain(model[frame]);
        return level * (from + (to - from) * static_cast<double>((k - starts[0]) % kFrames) / kFrames);
    };
    // The whole frames of each item: the second item's first frame is the one after it starts.
    const size_t secondFrame = (starts[1] - starts[0] + kFrames - 1) / kFrames;
    struct Span
    {
        const char* item;
        size_t first, end; // sample frames
    };
    const Span spans[] = {{"first", starts[0], starts[0] + (kItemSamples / kFrames) * kFrames},
                          {"second", starts[0] + secondFrame * kFrames, starts[1] + kItemSamples}};
    for (const Span& span : spans)
    {
        ASSERT_LE(span.end, captured.size() / channels);
        double worst = 0.0;
        size_t at = 0;
        for (size_t k = span.first; k < span.end - (span.end - span.first) % kFrames; ++k)
        {
            const double strays = std::fabs(Db(captured[k * channels]) - Db(expected(k)));
            if (strays > worst)
                worst = strays, at = k;
        }
        EXPECT_LE(worst, 0.1) << span.item << " item: " << worst << " dB from the model at " << at - starts[0]
                              << " samples after the first item's start";
    }
}

// The path's player starts with the first item and moves one unit a frame: after the k-th frame
// from the post the tick has stepped it to k + 1 units. The second item takes it over from the
// play that kept it through the gap, so its offset goes on along the same line; the frame it joins
// in, the join steps the player at the next frame at once (one unit further). Without the hand-over
// a player of its own would start the path again at x = 0.
TEST_F(HeardContinuousHandOver, TheSecondItemTakesThePathOnWhereTheGapLeftIt)
{
    constexpr uint32_t kBuffers = 22;
    ASSERT_NE(PostEvent("Play_Moving", kEmitter), 0u);
    // After each frame: the playing item's node and its offset (none in the gap).
    struct Frame
    {
        ZkUniqueID node = 0;
        double offset = 0.0;
    };
    std::vector<Frame> frames;
    for (uint32_t frame = 0; frame < kBuffers; ++frame)
    {
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        const ZK::SoundEngine::CZkPlayingInstance* play = ZK::SoundEngine::CZkActiveInstances::First();
        frames.push_back(play != nullptr ? Frame{play->GetNodeID(), play->AutomationOffset(0)} : Frame{});
    }
    ASSERT_EQ(frames[0].node, 252u) << "the first item starts in the first frame, with the player";
    uint32_t played[2] = {};
    for (size_t frame = 0; frame < frames.size(); ++frame)
    {
        if (frames[frame].node == 0)
            continue;
        const bool second = frames[frame].node == 253;
        const bool joins = second && frames[frame - 1].node != 253;
        ++played[second ? 1 : 0];
        EXPECT_NEAR(frames[frame].offset, static_cast<double>(frame + 1 + (joins ? 1 : 0)) * kPathUnitsPerFrame, 1e-3)
            << (second ? "second" : "first") << " item, frame " << frame << " from the post";
    }
    EXPECT_GE(played[0], 4u);
    EXPECT_GE(played[1], 4u);
}
} // namespace
