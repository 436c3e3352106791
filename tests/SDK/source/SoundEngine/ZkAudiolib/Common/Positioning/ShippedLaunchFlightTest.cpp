// The game's first launch cue from the shipped banks, posted alone on a registered object through
// the running engine (offline rendering, capture callback), with a default listener at the origin
// as the game registers one. Its node's path carries the sound from (-1000, 0, 500), left of the
// listener, to (1000, 0, 500) in 1500 ms (72 frames of the engine's 21 ms), and its attenuation
// lowers it linearly from 0 dB at 0 to -18 dB at 2000: each frame's level on each channel follows
// launch_flight_model.py (the cue's media as the bank stores it, the path, the attenuation, the
// panning and the one-frame matrix ramp) within 0.5 dB.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/MainDevicePanning.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include <sstream>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::g_pSharedItemArray;

constexpr ZkUniqueID kLaunchCue = 3643286168u;
constexpr ZkGameObjectID kDefaultListener = 1;
constexpr uint32_t kPathFrames = 72; // ceil(1500 ms / 21 ms)
constexpr double kSilent = -999.0;

std::string ModelScript()
{
    return std::string(KP_SOURCE_DIR) + "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/launch_flight_model.py";
}

class ShippedLaunchFlight : public FirstSound
{
protected:
    // The first sample frame of the capture's first frame that holds sound.
    size_t StartOfSound() const
    {
        for (size_t frame = 0; frame < frameOffsets.size(); ++frame)
        {
            const size_t end = frame + 1 < frameOffsets.size() ? frameOffsets[frame + 1] : captured.size() / channels;
            for (size_t k = frameOffsets[frame] * channels; k < end * channels; ++k)
            {
                if (captured[k] != 0.0f)
                    return frameOffsets[frame];
            }
        }
        return 0;
    }

    // Heard left, heard right, modelled left, modelled right, per whole frame of the media.
    std::vector<std::vector<double>> Levels() const
    {
        const ZkPositioningTest::DevicePanning panning = ZkPositioningTest::MainDevicePanning();
        const std::filesystem::path raw = m_folder.Path() / "capture.f32";
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(captured.data()), static_cast<std::streamsize>(captured.size() * 4));
        std::ostringstream json;
        json << R"({"bank": ")" << KP_SOURCE_DIR << R"(/Trindle_Ostrel/Banks/Main.bnk", "media": "Media/launch_1", )"
             << R"("capture": ")" << raw.string() << R"(", "channels": )" << channels << R"(, "start": )" << StartOfSound()
             << R"(, "frame": )" << kFrames << R"(, "from": [-1000, 0, 500], "to": [1000, 0, 500], "frames": )" << kPathFrames
             << R"(, "curve": [0, 0, 2000, -18], "rule": )" << panning.rule << R"(, "angles": [)" << panning.angles[0] << ", "
             << panning.angles[1] << ", " << panning.angles[2] << "]}";
        return ZkModulatorTest::NumberLines(
            ZkEngineTest::RunCommand("/usr/bin/python3 \"" + ModelScript() + "\" '" + json.str() + "'"));
    }
};

TEST_F(ShippedLaunchFlight, EachFramesLevelsFollowThePathTheAttenuationAndThePanning)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("Main.bnk", bank), ZK_Success);
    ASSERT_EQ(RegisterGameObj(kDefaultListener, "Default Listener"), ZK_Success);
    ASSERT_EQ(SetDefaultListeners(&kDefaultListener, 1), ZK_Success);
    ASSERT_NE(PostEvent(kLaunchCue, kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    ASSERT_NE(g_pSharedItemArray, nullptr);
    ASSERT_EQ(g_pSharedItemArray->Count(), 1u) << "the play runs a player of its own";
    const ZK::SoundEngine::CZkPositionPath* player = g_pSharedItemArray->Player(0);
    EXPECT_EQ(player->VertexEndFrame() - player->VertexStartFrame(), kPathFrames);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(89));
    EXPECT_EQ(CZkActiveInstances::First(), nullptr) << "the cue has ended";
    EXPECT_EQ(g_pSharedItemArray->Count(), 0u) << "and left its player";

    const auto levels = Levels();
    ASSERT_GE(levels.size(), 80u) << "the media outlasts the flight";
    ASSERT_GT(channels, 1u);
    for (size_t frame = 0; frame < levels.size(); ++frame)
    {
        for (size_t channel = 0; channel < 2; ++channel)
        {
            const double heard = levels[frame][channel];
            const double model = levels[frame][2 + channel];
            if (model == kSilent) // beyond the speaker's side the other channel is not fed at all
            {
                EXPECT_EQ(heard, kSilent) << "frame " << frame << ", channel " << channel;
            }
            else if (model > -60.0)
            {
                EXPECT_NEAR(heard, model, 0.5) << "frame " << frame << ", channel " << channel;
            }
        }
    }
    // From the left to the right.
    EXPECT_EQ(levels.front()[1], kSilent);
    EXPECT_GT(levels.front()[0], -30.0);
    EXPECT_EQ(levels[kPathFrames][0], kSilent);
    EXPECT_GT(levels[kPathFrames][1], -30.0);
}
} // namespace
