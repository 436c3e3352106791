// Modulators heard end to end, through the running engine with offline rendering: a 1 kHz tone
// whose pitch follows a 5 Hz sine LFO through a curve from -100 to +100 cents (the play's pitch
// against the LFO's numpy model, the captured frequency of each frame from its zero crossings), and
// envelopes that stop what they modulate when they end (one voice, or every voice of a game
// object's instance), each play's end-of-event callback once.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::CZkNodeInstanceBase;

constexpr uint32_t kVibratoFrames = 24; // 0.51 s: two and a half periods of 5 Hz

class ModulatorHeard : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(R"({"name": "Modulated.bnk",
            "media": [{"id": 110, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": 250, "of": 1000},
                                           "parts": [{"tone": 1000, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 210, "media": 110, "bus": "Effects", "props": {"loop_count": 0}, "rtpc": [
                    {"parameter": 400, "parameter_type": 2, "target": 2, "points": [[0, -100], [1, 100]]}]},
                {"type": "lfo", "id": 400, "props": {"scope": 0, "lfo_frequency": 5.0, "lfo_depth": 100,
                                                     "lfo_attack": 0}},
                {"type": "sound", "id": 211, "media": 110, "bus": "Effects", "props": {"loop_count": 0}, "rtpc": [
                    {"parameter": 401, "parameter_type": 2, "target": 0, "points": [[0, -96], [1, 0]]}]},
                {"type": "envelope", "id": 401, "props": {"scope": 0, "stop_playback": 1, "env_attack_time": 0,
                    "env_decay_time": 0, "env_sustain_level": 100, "env_sustain_time": 0.5, "env_release_time": 0}},
                {"type": "sound", "id": 212, "media": 110, "bus": "Effects", "props": {"loop_count": 0}, "rtpc": [
                    {"parameter": 402, "parameter_type": 2, "target": 0, "points": [[0, -96], [1, 0]]}]},
                {"type": "envelope", "id": 402, "props": {"scope": 2, "stop_playback": 1, "env_attack_time": 0,
                    "env_decay_time": 0, "env_sustain_level": 100, "env_sustain_time": 0.5, "env_release_time": 0}},
                {"type": "action", "id": 310, "action": "play", "target": 210},
                {"type": "event", "id": "Play_Vibrato", "actions": [310]},
                {"type": "action", "id": 311, "action": "play", "target": 211},
                {"type": "event", "id": "Play_VoiceEnvelope", "actions": [311]},
                {"type": "action", "id": 312, "action": "play", "target": 212},
                {"type": "event", "id": "Play_ObjectEnvelope", "actions": [312]}]}]})");
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / "Modulated.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }

    void StartWithModulators()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Modulated.bnk", bank), ZK_Success);
    }

    // One line per frame of a numpy program's output, split into numbers.
    static std::vector<std::vector<double>> Lines(const std::string& command)
    {
        return ZkModulatorTest::NumberLines(ZkEngineTest::RunCommand(command));
    }

    static std::string Script(const char* name)
    {
        return "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
               "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/" + name + "\" ";
    }

    // The first frame of the capture (in delivered frames) from which channel 0 stays silent.
    size_t SilentFrom() const
    {
        size_t lastAudible = 0;
        for (size_t frame = 0; frame < frameOffsets.size(); ++frame)
        {
            const size_t end = frame + 1 < frameOffsets.size() ? frameOffsets[frame + 1] : captured.size() / channels;
            for (size_t k = frameOffsets[frame]; k < end; ++k)
            {
                if (std::fabs(captured[k * channels]) > 1e-4f)
                    lastAudible = frame + 1;
            }
        }
        return lastAudible;
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }
};

TEST_F(ModulatorHeard, APitchFollowingA5HzSineLfoIsHeardFrameByFrame)
{
    ASSERT_NO_FATAL_FAILURE(StartWithModulators());
    ASSERT_NE(PostEvent("Play_Vibrato", kEmitter), 0u);
    std::vector<float> pitch;
    for (uint32_t frame = 0; frame < kVibratoFrames; ++frame)
    {
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        const ZK::SoundEngine::CZkPlayingInstance* play = CZkActiveInstances::First();
        ASSERT_NE(play, nullptr);
        pitch.push_back(play->ValueSlot(CZkNodeInstanceBase::kSlotPitch));
    }

    // The LFO's model: one value per frame of 1024 samples (a sine from phase 0 at full depth).
    const auto model = Lines(Script("modulator_model.py") +
                             "'[{\"kind\": \"lfo\", \"waveform\": 0, \"smoothing\": 0, \"pulse_width\": 0, "
                             "\"phase\": 0, \"attack\": 0, \"depth\": 100, \"frequency\": 5, \"seed\": 0, "
                             "\"audio\": false, \"frames\": 1024, \"buffers\": " +
                             std::to_string(kVibratoFrames) + "}]'");
    ASSERT_EQ(model.size(), kVibratoFrames);
    std::vector<double> expectedHz;
    for (uint32_t frame = 0; frame < kVibratoFrames; ++frame)
    {
        const float cents = -100.0f + 200.0f * static_cast<float>(model[frame][0]);
        EXPECT_NEAR(pitch[frame], cents, 1e-3f) << "frame " << frame;
        expectedHz.push_back(1000.0 * std::exp2(cents / 1200.0));
    }

    const std::filesystem::path raw = m_folder.Path() / "vibrato.f32";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(captured.data()), static_cast<std::streamsize>(captured.size() * 4));
    const auto heard = Lines(Script("block_frequencies.py") + "\"" + raw.string() + "\" " + std::to_string(channels) +
                             " " + std::to_string(kRate) + " " + std::to_string(kFrames));
    ASSERT_EQ(heard.size(), kVibratoFrames);
    // The first frame starts within the frame; from the second on, each frame is heard between the
    // pitch of the frame before and its own.
    for (uint32_t frame = 1; frame < kVibratoFrames; ++frame)
    {
        const double low = std::min(expectedHz[frame - 1], expectedHz[frame]) - 1.0;
        const double high = std::max(expectedHz[frame - 1], expectedHz[frame]) + 1.0;
        EXPECT_GE(heard[frame][0], low) << "frame " << frame << " pitch " << pitch[frame] << " model " << expectedHz[frame];
        EXPECT_LE(heard[frame][0], high) << "frame " << frame;
    }
    const auto [lowest, highest] = std::minmax_element(heard.begin() + 1, heard.end());
    EXPECT_LT((*lowest)[0], 960.0) << "the vibrato reaches down";
    EXPECT_GT((*highest)[0], 1040.0) << "and up";
}

TEST_F(ModulatorHeard, AnEnvelopeThatStopsPlaybackEndsItsVoicesAtItsEnd)
{
    struct Case
    {
        const char* what;
        const char* event;
        uint32_t plays;
    };
    const Case cases[] = {
        {"a voice's envelope", "Play_VoiceEnvelope", 1},
        {"a game object's envelope, two voices", "Play_ObjectEnvelope", 2},
    };
    // 0.5 s of sustain: the envelope ends in frame 24 (from 0).
    const size_t endFrame = static_cast<size_t>(std::ceil(0.5 * kRate / kFrames));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(StartWithModulators());
        uint32_t ends = 0;
        for (uint32_t play = 0; play < c.plays; ++play)
            ASSERT_NE(PostEvent(c.event, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>(endFrame) - 2));
        EXPECT_EQ(ends, 0u) << "playing while the envelope sustains";
        EXPECT_EQ(CZkActiveInstances::ActiveCount(), c.plays);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(6));
        EXPECT_EQ(ends, c.plays) << "each play's end, once";
        EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
        const size_t silentFrom = SilentFrom();
        EXPECT_GE(silentFrom, endFrame - 1);
        EXPECT_LE(silentFrom, endFrame + 2);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
        EXPECT_EQ(ends, c.plays);
        Term();
    }
}
} // namespace
