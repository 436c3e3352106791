// A music track's volume LFO heard through its clips: the track context starts the track's
// modulators for its play, and every clip it starts sounds through them, as a sound's voice sounds
// through its own LFO (the modulators' numpy model through the link curve's line). The clips are a
// constant (0 Hz) media, so every captured sample over the same segment played without the LFO is
// the modulation's gain at that sample. The LFO runs once for the track's play: the second clip
// goes on from the phase the first one left, and the modulator ends with the track context.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/SineLfoModel.h"
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::CZkModulatorInstance;

// 30 frames of the LFO: the first clip's 400 ms and most of the second's.
constexpr uint32_t kBuffers = 30;

class MusicTrackModulatorHeard : public MusicHeard
{
protected:
    MusicTrackModulatorHeard() : MusicHeard("TrackLfo.bnk", &Description) {}

    // Two segments of the same two clips (0-400 ms and 400-800 ms of a constant media, no pre-entry
    // or post-exit): 500 on a track whose volume a 4 Hz LFO drives from -12 dB (trough) to 0 dB
    // (crest), 510 on a plain track.
    static std::string Description()
    {
        auto segment = [](int id, const std::string& rtpc) {
            const std::string track = std::to_string(id + 100);
            return R"({"type": "music_track", "id": )" + track + R"(, "bus": "Master Audio Bus", "sources": [{"source": 401}],
                 "clips": [{"subtrack": 0, "source": 401, "position_ms": 0.0, "duration_ms": 400.0},
                           {"subtrack": 0, "source": 401, "position_ms": 400.0, "duration_ms": 400.0}])" + rtpc + R"(},
                {"type": "music_segment", "id": )" + std::to_string(id) + R"(, "children": [)" + track + R"(],
                 "duration_ms": 800.0, "markers": [{"id": )" + std::to_string(id + 1) + R"(, "position_ms": 0.0},
                                                   {"id": )" + std::to_string(id + 2) + R"(, "position_ms": 800.0}]},
                {"type": "action", "id": )" + std::to_string(id + 200) + R"(, "action": "play", "target": )" +
                   std::to_string(id) + R"(},
                {"type": "event", "id": "Play_)" + std::to_string(id) + R"(", "actions": [)" + std::to_string(id + 200) + "]}";
        };
        return R"({"name": "TrackLfo.bnk",
            "media": [{"id": 401, "wave": {"rate": 48000, "channels": 1, "seconds": 0.5,
                                           "parts": [{"tone": 0, "amp": 0.5, "phase": 90}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "lfo", "id": 420, "props": {"scope": 0, "lfo_frequency": 4.0, "lfo_depth": 100, "lfo_attack": 0}},)" +
               segment(500, R"(, "rtpc": [{"parameter": 420, "parameter_type": 2, "target": 0, "points": [[0, -12], [1, 0]]}])") +
               ",\n" + segment(510, "") + "]}]}";
    }


    // Channel 0 by engine frame, from the first frame that holds sound on.
    std::vector<std::vector<float>> AudibleFrames() const
    {
        const std::vector<float> left = Left();
        size_t first = 0;
        while (first < left.size() && left[first] == 0.0f)
            ++first;
        std::vector<std::vector<float>> frames;
        for (size_t at = first - first % kFrames; at + kFrames <= left.size(); at += kFrames)
            frames.emplace_back(left.begin() + static_cast<std::ptrdiff_t>(at),
                                left.begin() + static_cast<std::ptrdiff_t>(at + kFrames));
        return frames;
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }
};

double Db(double ratio) { return 20.0 * std::log10(ratio); }

TEST_F(MusicTrackModulatorHeard, TheTracksLfoShapesItsClipsFrameLevelsAndEndsWithTheTrackContext)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(PostEvent("Play_510", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kBuffers + 4));
    const std::vector<std::vector<float>> plain = AudibleFrames();
    ASSERT_GE(plain.size(), size_t{kBuffers});
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20)); // the plain segment has ended
    captured.clear();

    uint32_t ends = 0;
    ASSERT_NE(PostEvent("Play_500", kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    // The LFO the track context runs, held to look at it after the play.
    const ZK::SoundEngine::CZkPlayingInstance* clip = CZkActiveInstances::First();
    ASSERT_NE(clip, nullptr);
    const ZK::SoundEngine::CZkModulatorLinks* links = clip->ContextModulatorLinks();
    ASSERT_NE(links, nullptr) << "the clip sounds through its track context's links";
    ASSERT_NE(links->Head(), nullptr);
    CZkModulatorInstance* lfo = links->Head()->instance;
    lfo->AddRef();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kBuffers + 2));
    const std::vector<std::vector<float>> modulated = AudibleFrames();
    ASSERT_GE(modulated.size(), size_t{kBuffers});

    const std::vector<double> values = ZkModulatorTest::SineLfoValues(4.0, kBuffers);
    ASSERT_EQ(values.size(), kBuffers);
    const ZkModulatorTest::LinkLine line{std::pow(10.0, -12.0 / 20.0)}; // -12 dB at 0, 0 dB at 1
    double lowest = 1.0;
    for (uint32_t frame = 0; frame < kBuffers; ++frame)
    {
        double sum = 0.0;
        uint32_t count = 0;
        for (uint32_t k = 0; k < kFrames; ++k)
        {
            if (plain[frame][k] == 0.0f)
                continue;
            sum += modulated[frame][k] / plain[frame][k];
            ++count;
        }
        ASSERT_GT(count, 0u) << "frame " << frame;
        const double level = sum / count;
        const double expected = ZkModulatorTest::FrameMeanGain(values, line, frame);
        EXPECT_NEAR(Db(level), Db(expected), 0.5) << "frame " << frame;
        lowest = std::min(lowest, level);
    }
    EXPECT_LT(lowest, 0.35) << "the LFO reaches down towards -12 dB";

    // Past the segment's end: the track context went, its links with it, and the LFO with them.
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
    EXPECT_EQ(ends, 1u);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
    EXPECT_EQ(lfo->Users(), 0) << "no links hold the LFO any more";
    EXPECT_EQ(lfo->State(), ZK::SoundEngine::ZkModulatorState_Stopped);
    EXPECT_EQ(ZK::SoundEngine::g_pModulatorMgr->InstanceCount(), 0u);
    lfo->Release();
}
} // namespace
