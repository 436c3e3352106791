// A stop of everything a game object plays, heard during a segment of four clips, one per beat:
// StopAll (no fade) and an event's stop of all of the object's sounds with a 200 ms fade. What
// sounded before the stop is there, the fade's frames fall, every sample after the fade is silent
// (none of the later clips starts), and the play's end-of-event callback comes once, when the fade
// is over rather than at the segment's end.
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <algorithm>
#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kBeatFrames = 24000; // 120 bpm at 48 kHz
constexpr uint32_t kFadeMs = 200;

class MusicStopAllHeard : public MusicHeard
{
protected:
    MusicStopAllHeard() : MusicHeard("StopAll.bnk", &Description) {}

    // Clips of 100 ms of a 1 kHz tone at the start of each beat of a bar, after a 250 ms pre-entry;
    // an event whose action stops everything the posting object plays, with a fade.
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
                {"type": "event", "id": "Play_Bar", "actions": [700]},
                {"type": "action", "id": 701, "action": "stop", "scope": 5, "props": {"fade_time": )" +
               std::to_string(kFadeMs) + R"(}},
                {"type": "event", "id": "Stop_Everything_Fading", "actions": [701]}]}]})";
    }

    static void OnEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        auto& self = *static_cast<MusicStopAllHeard*>(info->cookie);
        if (type == ZkCallbackType_EndOfEvent)
            self.endFrames.push_back(self.frameOffsets.size());
    }

    // The loudest sample of either channel in capture frame index.
    float FramePeak(size_t index) const
    {
        float loudest = 0.0f;
        const size_t end = std::min((index + 1) * kFrames * channels, captured.size());
        for (size_t at = index * kFrames * channels; at < end; ++at)
            loudest = std::max(loudest, std::fabs(captured[at]));
        return loudest;
    }


    std::vector<size_t> endFrames; // the frame count when each end-of-event callback came
};

TEST_F(MusicStopAllHeard, AStopOfTheObjectSilencesTheSegmentAfterItsFadeAndNoLaterClipStarts)
{
    struct Case
    {
        const char* what;
        bool fading;     // the event's stop with its fade, or StopAll
        size_t fadeFrames; // frames of the fade: ceil(200 ms / (1024 / 48 kHz)) = 10
    };
    const Case cases[] = {
        {"StopAll", false, 0},
        {"a stop of everything the object plays, fading for 200 ms", true, 10},
    };
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    for (const Case& c : cases)
    {
        captured.clear();
        frameOffsets.clear();
        endFrames.clear();
        ASSERT_NE(PostEvent("Play_Bar", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u) << c.what;
        // The second beat's clip (36000 to 40800) sounds when the stop comes.
        const uint32_t beforeStop = (kBeatFrames + kBeatFrames / 2 + 2000) / kFrames;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(beforeStop));
        // The capture begins with the first sound: frames count from there.
        const size_t stopFrame = frameOffsets.size();
        if (c.fading)
            ASSERT_NE(PostEvent("Stop_Everything_Fading", kEmitter), 0u) << c.what;
        else
            ZK::SoundEngine::StopAll(kEmitter);
        // Past the bar's last clip and the segment's end.
        ASSERT_NO_FATAL_FAILURE(RenderFrames(3 * 48000 / kFrames));

        ASSERT_GT(stopFrame, 0u) << c.what;
        EXPECT_GT(FramePeak(stopFrame - 1), 0.3f) << c.what << ": the second clip sounds when the stop comes";
        // The second clip sounds to the end of the third frame after the stop.
        for (size_t frame = stopFrame + 1; frame < stopFrame + std::min<size_t>(c.fadeFrames, 3); ++frame)
        {
            EXPECT_GT(FramePeak(frame), 0.0f) << c.what << ": frame " << frame << " sounds in the fade";
            EXPECT_LT(FramePeak(frame), FramePeak(frame - 1)) << c.what << ": frame " << frame << " falls";
        }
        for (size_t frame = stopFrame + std::max<size_t>(c.fadeFrames, 1); frame < frameOffsets.size(); ++frame)
            EXPECT_EQ(FramePeak(frame), 0.0f) << c.what << ": frame " << frame << " is silent";
        ASSERT_EQ(endFrames.size(), 1u) << c.what << ": one end-of-event callback";
        EXPECT_LE(endFrames[0], stopFrame + c.fadeFrames + 1) << c.what << ": the play ends with its fade";
    }
}
} // namespace
