// A music segment heard end to end: its play action makes a root sequence, the segment's track
// context starts each clip's playing instance at its sample, the voices render them and the
// capture callback keeps every sample. numpy places the clips' media at their track times from the
// writer's description and compares sample by sample within 1e-4, at the level the engine gives
// a mono voice at 0 dB on the master bus at 0 dB (segment_heard.py); a clip one sample early or
// late misses by more than 1e-2. The clips go straight to the master bus (the game's Music bus
// carries its volume curve).
#include "SDK/source/SoundEngine/MusicEngine/MusicModel.h"
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>

namespace
{
using namespace ZkFirstSoundTest;

// Tempo 120 in 4/4 at 48 kHz: a beat is 24000 samples, a bar 96000.
constexpr uint32_t kPreEntry = 12000;   // 250 ms
constexpr uint32_t kActive = 384000;    // four bars
constexpr uint32_t kPostExit = 24000;   // 500 ms
constexpr uint32_t kSegmentEnd = kPreEntry + kActive + kPostExit;
constexpr double kLevelTolerance = 1e-4;

class MusicSegmentHeard : public MusicHeard
{
protected:
    MusicSegmentHeard() : MusicHeard("Segment.bnk", &Description) {}

    static std::string Description()
    {
        auto tone = [](int id, int hz, double amp, int frames) {
            return R"({"id": )" + std::to_string(id) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" +
                   std::to_string(frames) + R"(, "parts": [{"tone": )" + std::to_string(hz) + R"(, "amp": )" +
                   std::to_string(amp) + "}]}}";
        };
        return R"({"name": "Segment.bnk", "media": [)" + tone(401, 1000, 0.5, 4800) + ", " + tone(402, 1500, 0.4, 4800) +
               ", " + tone(403, 700, 0.5, 4800) + ", " + tone(404, 2000, 0.3, 2400) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 450, "media": 404, "bus": "Master Audio Bus"},
                {"type": "action", "id": 451, "action": "play", "target": 450},
                {"type": "event", "id": 452, "actions": [451]},
                {"type": "music_track", "id": 600, "bus": "Master Audio Bus",
                 "sources": [{"source": 401}, {"source": 402}, {"source": 403}],
                 "clips": [
                   {"subtrack": 0, "source": 401, "position_ms": 0.0, "duration_ms": 100.0},
                   {"subtrack": 0, "source": 402, "position_ms": 500.0, "end_trim_ms": 100.0, "duration_ms": 100.0},
                   {"subtrack": 0, "source": 403, "position_ms": 1000.0, "start_trim_ms": 30.0, "duration_ms": 100.0},
                   {"subtrack": 0, "source": 0, "event": 452, "position_ms": 1200.0, "duration_ms": 0.0}]},
                {"type": "music_segment", "id": 500, "bus": "Master Audio Bus", "children": [600], "duration_ms": 8750.0, )" +
               SegmentTiming() + R"(},
                {"type": "action", "id": 700, "action": "play", "target": 500},
                {"type": "event", "id": "Play_Segment", "actions": [700]},
                {"type": "music_track", "id": 610, "bus": "Master Audio Bus",
                 "clips": [{"subtrack": 0, "source": 0, "event": 452, "position_ms": 1000.0, "start_trim_ms": 100.0,
                            "end_trim_ms": 600.0, "duration_ms": 0.0}]},
                {"type": "music_segment", "id": 510, "children": [610], "duration_ms": 8750.0,
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 11, "position_ms": 250.0}, {"id": 13, "position_ms": 8250.0}]},
                {"type": "action", "id": 710, "action": "play", "target": 510},
                {"type": "event", "id": "Play_EventClipSegment", "actions": [710]},)" +
               FastOrSlow(520, 2.0) + ", " + FastOrSlow(530, 0.1) + R"(,
                {"type": "music_track", "id": 640, "bus": "Master Audio Bus", "sources": [{"source": 401}],
                 "clips": [{"subtrack": 0, "source": 401, "position_ms": 0.0, "duration_ms": 100.0}]},
                {"type": "music_segment", "id": 540, "children": [640], "duration_ms": 300.0,
                 "markers": [{"id": 31, "position_ms": 0.0}, {"id": 33, "position_ms": 200.0}]},
                {"type": "action", "id": 740, "action": "play", "target": 540},
                {"type": "event", "id": "Play_Short", "actions": [740]},
                {"type": "music_track", "id": 650, "bus": "Master Audio Bus",
                 "sources": [{"source": 401}, {"source": 402}, {"source": 403}],
                 "clips": [
                   {"subtrack": 0, "source": 401, "position_ms": 100.0, "duration_ms": 100.0},
                   {"subtrack": 0, "source": 402, "position_ms": 1200.0, "end_trim_ms": 200.0, "duration_ms": 100.0},
                   {"subtrack": 0, "source": 403, "position_ms": 2550.0, "end_trim_ms": 200.0, "duration_ms": 100.0}]},
                {"type": "music_segment", "id": 550, "children": [650], "duration_ms": 3000.0,
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 41, "position_ms": 250.0}, {"id": 42, "position_ms": 1250.0, "name": "Custom"},
                             {"id": 43, "position_ms": 2500.0}]},
                {"type": "action", "id": 750, "action": "play", "target": 550},
                {"type": "event", "id": "Play_Seekable", "actions": [750]}]}]})";

    }

    // Segment 500's grid and cues, which music_model.py reads too: tempo 120 in 4/4, grid lines
    // every second from 250 ms after the entry, the entry cue at 250 ms, a custom cue at 2250 ms,
    // the exit cue at 8250 ms.
    static std::string SegmentTiming()
    {
        return R"("grid": {"tempo": 120.0, "beats_per_bar": 4, "beat_value": 4, "period_ms": 1000.0, "offset_ms": 250.0,
                           "own": 1},
                 "markers": [{"id": 1, "position_ms": 250.0}, {"id": 2, "position_ms": 2250.0, "name": "Custom"},
                             {"id": 3, "position_ms": 8250.0}])";
    }

    // Segment id (its track id + 100, its event "Play_<id>") playing the first clip (1000 Hz, 100 ms)
    // at the playback speed (property 54).
    static std::string FastOrSlow(int id, double speed)
    {
        const std::string track = std::to_string(id + 100);
        return R"({"type": "music_track", "id": )" + track + R"(, "bus": "Master Audio Bus", "sources": [{"source": 401}],
                 "clips": [{"subtrack": 0, "source": 401, "position_ms": 0.0, "duration_ms": 100.0}]},
                {"type": "music_segment", "id": )" + std::to_string(id) + R"(, "children": [)" + track +
               R"(], "duration_ms": 8750.0, "props": {"54": )" + std::to_string(speed) + R"(},
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 21, "position_ms": 250.0}, {"id": 23, "position_ms": 8250.0}]},
                {"type": "action", "id": )" + std::to_string(id + 200) + R"(, "action": "play", "target": )" +
               std::to_string(id) + R"(},
                {"type": "event", "id": "Play_)" + std::to_string(id) + R"(", "actions": [)" + std::to_string(id + 200) + "]}";
    }



    // The end of the event and the music notifications, each with the frame count when it came.
    static void OnEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        auto& self = *static_cast<MusicSegmentHeard*>(info->cookie);
        if (type == ZkCallbackType_EndOfEvent)
            self.endFrames.push_back(self.frameOffsets.size());
        else if (type == ZkCallbackType_MusicPlaybackEvent)
            self.playbackNotifications.push_back(static_cast<ZkPlayingCallbackInfo*>(info)->playingID);
        else if (type >= ZkCallbackType_MusicBeat && type <= ZkCallbackType_MusicUserCue)
        {
            const char* cue = static_cast<ZkMusicPointCallbackInfo*>(info)->cueName;
            self.musicPoints.push_back({self.frameOffsets.size(), type, cue != nullptr ? cue : ""});
        }
    }

    // The oracle's largest difference, where it lies, and the last audible sample frame: the capture
    // as the segment's play, heard from its track time seekTo on from sample frame seekAt, with
    // every clip placed shift samples later than its track time.
    void Judge(double& maxError, long& worst, long& lastAudible, int segment = 500, long seekAt = -1, long seekTo = 0,
               int shift = 0)
    {
        std::istringstream output(RunModel(
            "segment_heard.py",
            std::to_string(segment) +
                (seekAt >= 0 ? " --seek " + std::to_string(seekAt) + " " + std::to_string(seekTo) : std::string()) +
                " --shift " + std::to_string(shift)));
        output >> maxError >> worst >> lastAudible;
        EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
    }

    struct MusicPoint
    {
        size_t frame;
        uint32_t type;
        std::string cueName;
    };
    std::vector<size_t> endFrames; // the frame count when each end-of-event callback came
    std::vector<MusicPoint> musicPoints;
    std::vector<ZkPlayingID> playbackNotifications; // the playing id of each music notification
};

TEST_F(MusicSegmentHeard, ClipsSoundAtTheirTrackTimesAndTheSegmentEndsAfterItsPostExit)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(PostEvent("Play_Segment", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u);
    const uint32_t segmentFrames = (kSegmentEnd + kFrames - 1) / kFrames;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(segmentFrames + 8));
    ASSERT_EQ(channels, 2u);

    double maxError = 1.0;
    long worst = -1;
    long lastAudible = -1;
    ASSERT_NO_FATAL_FAILURE(Judge(maxError, worst, lastAudible));
    EXPECT_LT(maxError, kLevelTolerance) << "worst at sample frame " << worst;
    // The comparison places: against the clips one sample early or late, the same capture misses.
    for (int shift : {-1, 1})
    {
        double misplaced = 0.0;
        ASSERT_NO_FATAL_FAILURE(Judge(misplaced, worst, lastAudible, 500, -1, 0, shift));
        EXPECT_GT(misplaced, 1e-2) << "clips placed " << shift << " sample off";
    }
    ASSERT_EQ(endFrames.size(), 1u) << "one end-of-event callback";
    // The play ends in the tick of the frame that holds exit + post-exit, before that frame renders:
    // every clip has ended long before, the segment context is the last part of the play.
    EXPECT_EQ(endFrames[0], kSegmentEnd / kFrames);
}

// An event clip has no source (its source duration is 0) but may have trims that give it a length.
// Entered after its start (here by a seek into it), the source position of a clip entered in its
// middle is taken modulo the source length: for an event clip that is position 0, and its event
// is posted at once.
TEST_F(MusicSegmentHeard, AnEventClipEnteredInItsMiddleByASeekPostsItsEventAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(PostEvent("Play_EventClipSegment", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float sample) { return sample == 0.0f; }))
        << "the event clip starts at 1100 ms";
    // Segment time 1050 ms is track time 1300 ms: 200 ms into the event clip (1100 to 1600 ms).
    ASSERT_EQ(SeekOnEvent("Play_EventClipSegment", kEmitter, 1050), ZK_Success);
    const size_t seekSample = captured.size();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    const auto loudest = std::max_element(captured.begin() + static_cast<std::ptrdiff_t>(seekSample), captured.end(),
                                          [](float a, float b) { return std::fabs(a) < std::fabs(b); });
    ASSERT_NE(loudest, captured.end());
    EXPECT_NEAR(std::fabs(*loudest), 0.3 * kCentreGain, 0.01) << "the clip's event plays its sound";
}

// Segment 550: pre-entry 250 ms, cues at segment times 0 and 1000 ms (track 12000 and 60000), the
// exit at 2250 ms (track 120000), the end at track 144000. Its clips sound at track samples 4800 to
// 9600 (in the pre-entry), 57600 to 72000 (the 1500 Hz source wrapping; the middle cue lies in it)
// and 122400 to 136800 (in the post-exit). Seeked while the middle clip sounds, the play goes on
// at once from the segment time asked for (in milliseconds or as a fraction of the active length,
// snapped to the nearest cue but the exit when asked), a clip entered in its middle from the
// matching source position, and ends at the segment's end; a position at or past the end stops it
// in the frame of the seek.
TEST_F(MusicSegmentHeard, ASeekGoesOnFromTheSegmentTimeAskedForAndEndsAtTheSegmentsEnd)
{
    constexpr uint32_t kSeekFrame = 60;
    constexpr long kSeekEnd = 144000;
    struct Case
    {
        const char* what;
        int32_t ms;     // a seek in milliseconds, or
        float fraction; // (ms < 0 and fraction >= 0) a seek by a fraction of the active length
        bool snap;
        long trackTime; // where the play goes on (kSeekEnd: it stops)
    };
    const Case cases[] = {
        {"before the pre-entry: the whole pre-entry", -1000, -1.0f, false, 0},
        {"300 ms snapped: the entry cue", 300, -1.0f, true, 12000},
        {"1100 ms snapped: the middle cue, inside the wrapping clip", 1100, -1.0f, true, 60000},
        {"a fraction of 0.5: inside the wrapping clip", -1, 0.5f, false, 66000},
        {"a fraction of 0.3 snapped: the middle cue", -1, 0.3f, true, 60000},
        {"a fraction of 1.0: the exit cue, the post-exit only", -1, 1.0f, false, 120000},
        {"the segment's end: the play stops", 2750, -1.0f, false, kSeekEnd},
        {"past the end: the play stops", 5000, -1.0f, false, kSeekEnd},
    };
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    for (const Case& c : cases)
    {
        captured.clear();
        frameOffsets.clear();
        endFrames.clear();
        ASSERT_NE(PostEvent("Play_Seekable", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kSeekFrame));
        const std::vector<float> before = Left();
        ASSERT_GT(std::fabs(*std::max_element(before.end() - 64, before.end(), [](float a, float b) {
                      return std::fabs(a) < std::fabs(b);
                  })),
                  0.1f)
            << c.what << ": the middle clip sounds";
        const ZKRESULT seek = c.ms >= 0 || c.fraction < 0.0f
                                  ? SeekOnEvent("Play_Seekable", kEmitter, c.ms, c.snap)
                                  : SeekOnEvent("Play_Seekable", kEmitter, c.fraction, c.snap);
        ASSERT_EQ(seek, ZK_Success) << c.what;
        const auto seekAt = static_cast<long>(captured.size() / channels);
        const size_t seekFrames = frameOffsets.size();
        const long remaining = kSeekEnd - c.trackTime;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>(remaining / kFrames + 8)));
        double maxError = 1.0;
        long worst = -1;
        long lastAudible = -1;
        ASSERT_NO_FATAL_FAILURE(Judge(maxError, worst, lastAudible, 550, seekAt, c.trackTime));
        EXPECT_LT(maxError, kLevelTolerance) << c.what << ": worst at sample frame " << worst;
        ASSERT_EQ(endFrames.size(), 1u) << c.what << ": one end-of-event callback";
        // The play ends in the tick of the frame that holds the segment's end, before it renders;
        // a stop by the seek ends it once the (silent) frame of the seek has rendered.
        EXPECT_EQ(endFrames[0], seekFrames + (remaining > 0 ? static_cast<size_t>(remaining / kFrames) : 1u)) << c.what;
    }
}

// A play whose playing id asked for every musical point hears its callbacks in the same run as its
// clips: each in the frame that holds its point, in report order, and only those, as
// music_model.py computes them from the segment's grid and cues (bars of 96000 samples, beats of
// 24000, grid lines every 48000 from 12000 after the entry); the play's first frame starts at
// segment time -12000 (the pre-entry). The custom cue carries its name.
TEST_F(MusicSegmentHeard, TheMusicCallbacksComeInTheFramesOfTheirPointsWhileTheClipsSound)
{
    constexpr uint32_t kMusicPoints = ZkCallbackType_MusicBeat | ZkCallbackType_MusicBar |
                                      ZkCallbackType_MusicSegmentEntry | ZkCallbackType_MusicSegmentExit |
                                      ZkCallbackType_MusicGrid | ZkCallbackType_MusicUserCue;
    constexpr uint32_t kRendered = kSegmentEnd / kFrames + 8;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(PostEvent("Play_Segment", kEmitter, kMusicPoints | ZkCallbackType_EndOfEvent, &OnEnd, this), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kRendered));

    double maxError = 1.0;
    long worst = -1;
    long lastAudible = -1;
    ASSERT_NO_FATAL_FAILURE(Judge(maxError, worst, lastAudible));
    EXPECT_LT(maxError, kLevelTolerance) << "worst at sample frame " << worst;
    EXPECT_EQ(endFrames.size(), 1u) << "one end-of-event callback";

    std::vector<std::pair<size_t, uint32_t>> expected;
    for (const std::string& line : ZkMusicTest::RunModel(R"({"rate": 48000, "segment": {)" + SegmentTiming() +
                                                         R"(}, "callbacks": {"start": -12000, "frame": 1024, "frames": )" +
                                                         std::to_string(kRendered) + "}}"))
    {
        std::istringstream in(line);
        std::string tag;
        size_t frame = 0;
        uint32_t type = 0;
        if (in >> tag >> frame >> type && tag == "callback")
            expected.emplace_back(frame, type);
    }
    std::vector<std::pair<size_t, uint32_t>> heard;
    for (const MusicPoint& point : musicPoints)
    {
        heard.emplace_back(point.frame, point.type);
        if (point.type == ZkCallbackType_MusicUserCue)
        {
            EXPECT_EQ(point.cueName, "Custom") << "frame " << point.frame;
        }
    }
    EXPECT_EQ(heard, expected);
}

// A seek reports where it moved the play: snapped to the nearest cue, the segment position that the
// playing id reads back is the cue's (segment 550: cues at 0 and 1000 ms, the exit at 2250 ms),
// and each seek comes with one music notification for the playing id.
TEST_F(MusicSegmentHeard, ASeekReportsThePositionItMovedToSnappedToTheNearestCueWhenAsked)
{
    struct Case
    {
        const char* what;
        int32_t ms;     // a seek in milliseconds, or
        float fraction; // (ms < 0) a seek by a fraction of the active length
        bool snap;
        int32_t positionMs; // read back after the frame of the seek
    };
    const Case cases[] = {
        {"1100 ms", 1100, -1.0f, false, 1100},
        {"1100 ms snapped: the middle cue", 1100, -1.0f, true, 1000},
        {"400 ms snapped: the entry cue", 400, -1.0f, true, 0},
        {"a fraction of 0.4", -1, 0.4f, false, 900},
        {"a fraction of 0.4 snapped: the middle cue", -1, 0.4f, true, 1000},
    };
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    for (const Case& c : cases)
    {
        const ZkPlayingID id = PostEvent("Play_Seekable", kEmitter,
                                         ZkPostFlag_RecordSegmentInfo | ZkCallbackType_MusicPlaybackEvent, &OnEnd, this);
        ASSERT_NE(id, 0u) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
        const auto notificationsBefore = std::count(playbackNotifications.begin(), playbackNotifications.end(), id);
        const ZKRESULT seek = c.ms >= 0 ? SeekOnEvent("Play_Seekable", kEmitter, c.ms, c.snap, id)
                                        : SeekOnEvent("Play_Seekable", kEmitter, c.fraction, c.snap, id);
        ASSERT_EQ(seek, ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
        ZkSegmentInfo info;
        ASSERT_EQ(ZK::MusicEngine::GetPlayingSegmentInfo(id, info, false), ZK_Success) << c.what;
        EXPECT_EQ(info.positionMs, c.positionMs) << c.what;
        EXPECT_EQ(std::count(playbackNotifications.begin(), playbackNotifications.end(), id) - notificationsBefore, 1)
            << c.what;
        // A seek past the end stops the play in the frame of the seek.
        ASSERT_EQ(SeekOnEvent("Play_Seekable", kEmitter, 5000, false, id), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    }
}

// The play's speed (property 54, clamped to 0.25..4) moves every clip's pitch by 1200 x log2(speed)
// cents and the music's time with it: the first clip (1000 Hz for 4800 samples at speed 1) sounds
// at 1000 x speed Hz for 4800 / speed samples.
TEST_F(MusicSegmentHeard, ThePlaybackSpeedMovesThePitchAndTheLengthOfTheClips)
{
    struct Case
    {
        const char* event;
        double speed; // as played
    };
    const Case cases[] = {{"Play_520", 2.0}, {"Play_530", 0.25}};
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    for (const Case& c : cases)
    {
        captured.clear();
        frameOffsets.clear();
        ASSERT_NE(PostEvent(c.event, kEmitter), 0u) << c.event;
        const auto length = static_cast<size_t>(4800 / c.speed);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>(length / kFrames + 3)));
        // Sign changes of channel 0 over the clip, inside its first and last sample.
        size_t changes = 0;
        for (size_t i = 2; i < length - 1; ++i)
            changes += (captured[i * channels] < 0.0f) != (captured[(i - 1) * channels] < 0.0f) ? 1 : 0;
        const double hz = static_cast<double>(changes) / 2.0 / (static_cast<double>(length - 3) / kRate);
        EXPECT_NEAR(hz, 1000.0 * c.speed, static_cast<double>(kRate) / static_cast<double>(length)) << c.event;
        float after = 0.0f;
        for (size_t i = length + 2; i < length + 200 && i * channels < captured.size(); ++i)
            after = std::max(after, std::fabs(captured[i * channels]));
        EXPECT_LT(after, 1e-6f) << c.event << ": the clip lasts 4800 / speed samples";
    }
}

// A stop of the playing id with a fade silences the segment after the fade (200 ms, ceil(200 /
// 21.3) = 10 frames), its frame levels falling, no clip starts afterwards, and the play ends once,
// with the fade. The stop goes down from the output buses: it reaches the play through segment
// 500's own bus (its track routes to the bus too, so the clips fade with their own stop as well).
TEST_F(MusicSegmentHeard, AStopWithAFadeSilencesTheSegmentAfterTheFade)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    const ZkPlayingID id = PostEvent("Play_Segment", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this);
    ASSERT_NE(id, 0u);
    // The wrapping clip sounds from sample 24000 to 33600: stop it while it plays.
    ASSERT_NO_FATAL_FAILURE(RenderFrames(25));
    StopPlayingID(id, 200, ZkCurveInterpolation_Linear);
    // Past the end of the segment: no later clip may sound.
    ASSERT_NO_FATAL_FAILURE(RenderFrames(400));
    const std::vector<float> peaks = FramePeaks();
    for (size_t frame = 26; frame < 32; ++frame)
        EXPECT_LT(peaks[frame], peaks[frame - 1] + 1e-4f) << "frame " << frame << " falls";
    for (size_t frame = 25 + 10; frame < peaks.size(); ++frame)
        EXPECT_EQ(peaks[frame], 0.0f) << "frame " << frame << " is silent";
    ASSERT_EQ(endFrames.size(), 1u) << "one end-of-event callback";
    EXPECT_LE(endFrames[0], 25u + 10u + 1u) << "the play ends with its fade";
}

// A pause of the playing id silences the music and holds its time; the resume takes it on from
// where it stood: the clip that sounded plays the rest of its length.
TEST_F(MusicSegmentHeard, APauseHoldsTheMusicAndAResumeGoesOnFromThere)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    const ZkPlayingID id = PostEvent("Play_Segment", kEmitter);
    ASSERT_NE(id, 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(25));
    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, id);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
    ExecuteActionOnPlayingID(ZkActionOnEventType_Resume, id);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(30));
    const std::vector<float> peaks = FramePeaks();
    for (size_t frame = 27; frame < 45; ++frame)
        EXPECT_EQ(peaks[frame], 0.0f) << "frame " << frame << " is silent while paused";
    // The wrapping clip (9600 samples) is heard for its whole length, before and after the pause.
    size_t audible = 0;
    // (The next clip comes 20 frames later than it would have: from frame 68.)
    for (size_t frame = 20; frame < 60; ++frame)
        audible += peaks[frame] > 0.1f ? 1 : 0;
    EXPECT_NEAR(static_cast<double>(audible), 9600.0 / kFrames, 2.0) << "frames in which the clip sounds";
}

// Out of memory at any allocation of the post and of the frame that starts the play and its clip
// (the root, its play record, the chain and its items, the segment and track contexts, the
// actions, the clip instance): the play goes without leaving a context behind, and a post that
// answered a playing id gets its end-of-event callback once.
TEST_F(MusicSegmentHeard, OutOfMemoryWhileStartingAPlayOrAClipLeavesNothingAndEndsThePlayOnce)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    auto startFrame = [this](bool& posted) {
        endFrames.clear();
        posted = PostEvent("Play_Short", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this) != 0;
        RenderFrames(1);
    };
    bool posted = false;
    Fault::CountOnly(ZkMemID_Default);
    startFrame(posted);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_TRUE(posted);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
    ASSERT_EQ(endFrames.size(), 1u) << "without a failure";
    ASSERT_GT(allocations, 5u);
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        Fault::FailNth(ZkMemID_Default, n);
        startFrame(posted);
        Fault::Disarm();
        ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
        EXPECT_EQ(endFrames.size(), posted ? 1u : 0u) << "allocation " << n;
        EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr) << "allocation " << n;
    }
}
} // namespace
