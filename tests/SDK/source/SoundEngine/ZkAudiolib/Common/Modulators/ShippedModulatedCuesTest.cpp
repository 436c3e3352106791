// The game's two modulated cues from the shipped banks, each posted alone on a registered object
// through the running engine (offline rendering, capture callback): the airship engine's 4 Hz
// throb (a voice's sine LFO on its volume through the curve (0, -12 dB), (1, 0 dB)) and the
// rubble's fade (a voice's envelope through (0, -96 dB), (1, 0 dB) that stops the sound). Each
// frame's level is compared with the cue's media, as the bank stores it, times the modulators'
// numpy model: within 0.2 dB.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;

constexpr ZkUniqueID kEngineCue = 3826206711u;
constexpr ZkUniqueID kRubbleCue = 853173628u;
constexpr uint32_t kRubbleEnd = 960 + 14400 + 48000 + 28800; // attack, decay, sustain, release
constexpr double kLfoStart = 0.5; // a sine LFO's value before its first frame

std::string ModelScript() { return std::string(KP_SOURCE_DIR) + "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/"; }

class ShippedModulatedCues : public FirstSound
{
protected:
    // Plays the cue alone; the link's line (offset, scale) is read while it plays.
    void Play(ZkUniqueID event, uint32_t frames, uint32_t& ends)
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Main.bnk", bank), ZK_Success);
        ASSERT_NE(PostEvent(event, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
        const ZK::SoundEngine::CZkPlayingInstance* play = CZkActiveInstances::First();
        ASSERT_NE(play, nullptr);
        ASSERT_NE(play->ModulatorLinks().links, nullptr) << "the cue's modulator is linked";
        const auto& entries = play->ModulatorLinks().links->Head()->entries;
        ASSERT_EQ(entries.Length(), 1u);
        m_offset = entries[0].offset;
        m_scale = entries[0].scale;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(frames - 1));
    }

    // The first sample frame of the capture's first frame that holds sound.
    size_t StartOfSound() const
    {
        for (size_t frame = 0; frame < frameOffsets.size(); ++frame)
        {
            const size_t end = frame + 1 < frameOffsets.size() ? frameOffsets[frame + 1] : captured.size() / channels;
            for (size_t k = frameOffsets[frame]; k < end; ++k)
            {
                if (captured[k * channels] != 0.0f)
                    return frameOffsets[frame];
            }
        }
        return 0;
    }

    // The heard and modelled level of each whole frame of the media.
    std::vector<std::vector<double>> Levels(const char* media, const std::vector<double>& gains) const
    {
        const std::filesystem::path raw = m_folder.Path() / "capture.f32";
        const std::filesystem::path gainFile = m_folder.Path() / "gains.f64";
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(captured.data()), static_cast<std::streamsize>(captured.size() * 4));
        std::ofstream(gainFile, std::ios::binary)
            .write(reinterpret_cast<const char*>(gains.data()), static_cast<std::streamsize>(gains.size() * 8));
        return ZkModulatorTest::NumberLines(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + ModelScript() + "shipped_cue_levels.py\" \"" + std::string(KP_SOURCE_DIR) +
            "/Trindle_Ostrel/Banks/Main.bnk\" " + media + " \"" + raw.string() + "\" " + std::to_string(channels) + " " +
            std::to_string(StartOfSound()) + " \"" + gainFile.string() + "\" " + std::to_string(kFrames)));
    }

    static std::vector<std::vector<double>> Model(const std::string& cases)
    {
        return ZkModulatorTest::NumberLines(
            ZkEngineTest::RunCommand("/usr/bin/python3 \"" + ModelScript() + "modulator_model.py\" '" + cases + "'"));
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }

    double m_offset = 0.0;
    double m_scale = 0.0;
};

TEST_F(ShippedModulatedCues, TheEngineThrobsAt4HzAsItsModelDoes)
{
    constexpr uint32_t kBuffers = 50; // the cue lasts 1 s: 46 whole frames
    uint32_t ends = 0;
    ASSERT_NO_FATAL_FAILURE(Play(kEngineCue, kBuffers, ends));
    EXPECT_NEAR(20.0 * std::log10(m_offset), -12.0, 0.05);
    const auto model = Model("[{\"kind\": \"lfo\", \"waveform\": 0, \"smoothing\": 0, \"pulse_width\": 0, \"phase\": 0, "
                             "\"attack\": 0, \"depth\": 100, \"frequency\": 4, \"seed\": 0, \"audio\": false, "
                             "\"frames\": 1024, \"buffers\": " + std::to_string(kBuffers) + "}]");
    ASSERT_EQ(model.size(), kBuffers);
    std::vector<double> gains;
    for (uint32_t frame = 0; frame < kBuffers; ++frame)
    {
        const double from = m_offset + m_scale * (frame == 0 ? kLfoStart : model[frame - 1][0]);
        const double to = m_offset + m_scale * model[frame][0];
        for (uint32_t k = 0; k < kFrames; ++k)
            gains.push_back(from + (to - from) * k / kFrames);
    }
    const auto levels = Levels("Media/airship_engine", gains);
    ASSERT_GE(levels.size(), 40u);
    double quietest = 0.0, loudest = -999.0;
    for (size_t frame = 0; frame < levels.size(); ++frame)
    {
        if (levels[frame][1] < -60.0)
            continue; // the media's own fade-in and fade-out ends
        EXPECT_NEAR(levels[frame][0], levels[frame][1], 0.2) << "frame " << frame;
        quietest = std::min(quietest, levels[frame][0]);
        loudest = std::max(loudest, levels[frame][0]);
    }
    EXPECT_GT(loudest - quietest, 6.0) << "a throb that is heard";
    EXPECT_EQ(ends, 1u);
}

TEST_F(ShippedModulatedCues, TheRubbleFadesByItsEnvelopeAndStopsAtItsEnd)
{
    constexpr uint32_t kBuffers = kRubbleEnd / kFrames + 6;
    uint32_t ends = 0;
    ASSERT_NO_FATAL_FAILURE(Play(kRubbleCue, kBuffers, ends));
    EXPECT_NEAR(20.0 * std::log10(m_offset), -96.0, 0.05);
    const auto model = Model(R"([{"kind": "envelope", "attack": 960, "curve": 0.5, "decay": 14400, "sustain": 0.4,
                                  "release": 28800, "release_frame": 63360, "start_level": 0, "start_offset": 0,
                                  "audio": true, "frames": 1024, "buffers": )" + std::to_string(kBuffers) + "}]");
    std::vector<double> gains;
    for (const auto& line : model)
        gains.push_back(m_offset + m_scale * line[0]);
    gains.resize(kRubbleEnd); // stopped at the envelope's end: silence after it
    const auto levels = Levels("Media/tower_reward", gains);
    ASSERT_GE(levels.size(), size_t{kRubbleEnd / kFrames + 2}) << "the media outlasts the envelope";
    for (size_t frame = 0; frame < kRubbleEnd / kFrames; ++frame)
    {
        if (levels[frame][1] < -60.0)
            continue;
        EXPECT_NEAR(levels[frame][0], levels[frame][1], 0.2) << "frame " << frame;
    }
    for (size_t frame = kRubbleEnd / kFrames + 2; frame < levels.size(); ++frame)
        EXPECT_EQ(levels[frame][0], -999.0) << "silent after its stop, frame " << frame;
    EXPECT_EQ(ends, 1u) << "one end-of-event callback";
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
}
} // namespace
