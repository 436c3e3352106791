// StopAll heard during a segment of four clips, one per beat: what sounded before the stop is
// there, every sample after the frame of the stop is silent (the stop's fade is 0), none of the
// later clips starts, and the play's end-of-event callback comes once.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <algorithm>
#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kBeatFrames = 24000; // 120 bpm at 48 kHz

class MusicStopAllHeard : public FirstSound
{
protected:
    // Clips of 100 ms of a 1 kHz tone at the start of each beat of a bar, after a 250 ms pre-entry.
    static std::string Description()
    {
        std::string clips;
        for (int beat = 0; beat < 4; ++beat)
            clips += std::string(beat ? ", " : "") + R"({"subtrack": 0, "source": 401, "position_ms": )" +
                     std::to_string(250 + 500 * beat) + R"(.0, "duration_ms": 100.0})";
        return R"({"name": "StopAll.bnk", "media": [{"id": 401, "wave": {"rate": 48000, "channels": 1, "frames": 4800,
                    "parts": [{"tone": 1000, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "music_track", "id": 600, "bus": "Master Audio Bus", "sources": [{"source": 401}],
                 "clips": [)" + clips + R"(]},
                {"type": "music_segment", "id": 500, "children": [600], "duration_ms": 2750.0,
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 1, "position_ms": 250.0}, {"id": 3, "position_ms": 2250.0}]},
                {"type": "action", "id": 700, "action": "play", "target": 500},
                {"type": "event", "id": "Play_Bar", "actions": [700]}]}]})";
    }

    void SetUp() override
    {
        FirstSound::SetUp();
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("StopAll.bnk", Description()));
    }
    void TearDown() override
    {
        ZK::MusicEngine::Term();
        FirstSound::TearDown();
    }

    static void OnEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++static_cast<MusicStopAllHeard*>(info->cookie)->ends;
    }

    float Loudest(size_t fromFrame, size_t toFrame) const
    {
        float loudest = 0.0f;
        for (size_t at = fromFrame * channels; at < std::min(toFrame * channels, captured.size()); ++at)
            loudest = std::max(loudest, std::fabs(captured[at]));
        return loudest;
    }

    void BeforeBanksLoad() override { ASSERT_EQ(ZK::MusicEngine::Init(nullptr), ZK_Success); }

    int ends = 0;
};

TEST_F(MusicStopAllHeard, StopAllSilencesTheSegmentAndNoLaterClipStarts)
{
    ASSERT_NO_FATAL_FAILURE(Start("StopAll.bnk"));

    ASSERT_NE(PostEvent("Play_Bar", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u);
    // The first beat with its clip, and half the second beat before its clip.
    const uint32_t beforeStop = (kBeatFrames + kBeatFrames / 2) / kFrames;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(beforeStop));
    ZK::SoundEngine::StopAll(kEmitter);
    // Past the bar's last clip and the segment's end.
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3 * 48000 / kFrames));

    const size_t stopFrame = size_t{beforeStop} * kFrames;
    EXPECT_GT(Loudest(0, stopFrame), 0.3f) << "the segment sounded before the stop";
    EXPECT_EQ(Loudest(stopFrame + kFrames, captured.size()), 0.0f) << "silent from the frame after the stop on";
    EXPECT_EQ(ends, 1) << "one end-of-event callback";
}
} // namespace
