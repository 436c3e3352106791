// Playlists heard end to end: a playlist container's play action makes a root playlist context, which
// appends the walk's segments as they come, leaves each at its exit point and enters the next as
// the transition rule says. numpy places each segment's media where the play should have put it
// (playlist_heard.py) and compares sample by sample within 1e-4; the same capture against entries
// one sample early or late misses by more than 1e-2. Fades are judged on the frame levels.
//
// Segments A, B, C and the transition segment T: entry cue at 100 ms, exit cue 500 ms later, 200 ms
// of post-exit, one clip of a tone of their own over the whole segment, tempo 120 (a bar of 2 s,
// longer than the segment). F is the same with a 1 s active part and 300 ms of post-exit; X has no
// cue (no context can play it); Z's entry and exit cues lie at the same place and it has no track.
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/MusicEngineState.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

namespace
{
using namespace ZkFirstSoundTest;

constexpr long kPre = 4800;     // 100 ms
constexpr long kActive = 24000; // 500 ms
constexpr long kPost = 9600;    // 200 ms
constexpr long kFadeActive = 48000;
constexpr double kLevelTolerance = 1e-4;

constexpr int kA = 500, kB = 510, kC = 520, kT = 530, kF = 540, kX = 550, kZ = 560;

// A segment of one track with one clip of the tone over the whole segment (track id = id + 100,
// media id = id + 1000).
std::string Segment(int id, long activeMs, long postMs)
{
    const long durationMs = 100 + activeMs + postMs;
    const std::string track = std::to_string(id + 100);
    const std::string media = std::to_string(id + 1000);
    return R"({"type": "music_track", "id": )" + track + R"(, "bus": "Master Audio Bus", "sources": [{"source": )" + media +
           R"(}], "clips": [{"subtrack": 0, "source": )" + media + R"(, "position_ms": 0.0, "duration_ms": )" +
           std::to_string(durationMs) + R"(.0}]},
        {"type": "music_segment", "id": )" + std::to_string(id) + R"(, "children": [)" + track +
           R"(], "duration_ms": )" + std::to_string(durationMs) + R"(.0, "grid": {"tempo": 120.0, "own": 1},
         "markers": [{"id": )" + std::to_string(id + 1) + R"(, "position_ms": 100.0}, {"id": )" + std::to_string(id + 3) +
           R"(, "position_ms": )" + std::to_string(100 + activeMs) + R"(.0}]})";
}

std::string Tone(int id, int hz, long ms)
{
    return R"({"id": )" + std::to_string(id + 1000) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" +
           std::to_string(ms * 48) + R"(, "parts": [{"tone": )" + std::to_string(hz) + R"(, "amp": 0.3}]}})";
}

// A playlist container (its event "Play_<id>") with its rules and its root group.
std::string Playlist(int id, const std::string& rules, const std::string& root)
{
    return R"({"type": "music_playlist", "id": )" + std::to_string(id) + R"(, "bus": "Master Audio Bus", "rules": [)" + rules +
           R"(], "playlist": )" + root + R"(},
        {"type": "action", "id": )" + std::to_string(id + 50) + R"(, "action": "play", "target": )" + std::to_string(id) + R"(},
        {"type": "event", "id": "Play_)" + std::to_string(id) + R"(", "actions": [)" + std::to_string(id + 50) + "]}";
}

// A group of leaves naming the segments, in a selection mode, repeated.
std::string Group(int mode, int repeat, const std::vector<int>& segments)
{
    std::string items;
    int leaf = 1;
    for (int segment : segments)
        items += (items.empty() ? "" : ", ") + std::string(R"({"segment": )") + std::to_string(segment) + R"(, "id": )" +
                 std::to_string(leaf++) + "}";
    return R"({"id": 99, "mode": )" + std::to_string(mode) + R"(, "repeat": )" + std::to_string(repeat) +
           R"(, "items": [)" + items + "]}";
}

// A rule from any segment to any, leaving at the sync kind with the fade-out (ms, offset ms; a
// linear curve).
std::string Rule(int sync, int fadeMs = 0, int fadeOffsetMs = 0, int postExit = 0, int preEntry = 0)
{
    return R"({"source": {"sync": )" + std::to_string(sync) + R"(, "curve": 4, "fade_time": )" + std::to_string(fadeMs) +
           R"(, "offset": )" + std::to_string(fadeOffsetMs) + R"(, "post_exit": )" + std::to_string(postExit) +
           R"(}, "destination": {"pre_entry": )" + std::to_string(preEntry) + "}}";
}

constexpr int kSequenceStep = 0;
constexpr int kSequenceContinuous = 1;
constexpr int kExitCue = 7;

class MusicPlaylistHeard : public MusicHeard
{
protected:
    MusicPlaylistHeard() : MusicHeard("Playlist.bnk", &Description) {}

    static std::string Description()
    {
        const std::string ab = Group(kSequenceStep, 1, {kA, kB});
        return R"({"name": "Playlist.bnk", "media": [)" + Tone(kA, 440, 800) + ", " + Tone(kB, 660, 800) + ", " +
               Tone(kC, 990, 800) + ", " + Tone(kT, 1320, 800) + ", " + Tone(kF, 550, 1400) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [)" +
               Segment(kA, 500, 200) + ", " + Segment(kB, 500, 200) + ", " + Segment(kC, 500, 200) + ", " +
               Segment(kT, 500, 200) + ", " + Segment(kF, 1000, 300) + R"(,
                {"type": "music_segment", "id": 550, "duration_ms": 800.0},
                {"type": "music_segment", "id": 560, "duration_ms": 100.0,
                 "markers": [{"id": 561, "position_ms": 50.0}, {"id": 563, "position_ms": 50.0}]}, )" +
               Playlist(900, Rule(kExitCue), Group(kSequenceContinuous, 2, {kA, kB, kC})) + ", " +
               Playlist(901, Rule(kExitCue, 0, 0, 1, 1), ab) + ", " +
               // Exit kinds that find nothing in A: a custom cue (A has none), the entry cue (time
               // 0 is skipped), the next bar (longer than A) and an unknown code.
               Playlist(902, Rule(5), ab) + ", " + Playlist(903, Rule(6), ab) + ", " + Playlist(904, Rule(2), ab) +
               ", " + Playlist(905, Rule(9), ab) + ", " +
               // A plain rule first (the fallback), then A to B through T.
               Playlist(906, Rule(kExitCue) + R"(, {"sources": [500], "destinations": [510], "source": {"sync": 7},
                                                    "segment": {"id": 530}})",
                        ab) +
               ", " + Playlist(907, Rule(kExitCue, 500, 100), Group(kSequenceStep, 1, {kF})) + ", " +
               Playlist(908, Rule(kExitCue, 2000, 0), Group(kSequenceStep, 1, {kF})) + ", " +
               Playlist(909, Rule(kExitCue), Group(kSequenceStep, 1, {kX, kA})) + ", " +
               Playlist(910, Rule(kExitCue), Group(kSequenceStep, 1, {kA, kX, kB})) + ", " +
               Playlist(911, Rule(kExitCue), Group(kSequenceStep, 0, {kZ})) + ", " +
               // B fades in over 200 ms from its entry cue.
               Playlist(912, R"({"source": {"sync": 7}}, {"sources": [500], "destinations": [510], "source": {"sync": 7},
                                 "destination": {"fade_time": 200, "curve": 4}})",
                        ab) +
               ", " + Playlist(913, Rule(kExitCue, 0, 0, 1, 1), Group(kSequenceContinuous, 3, {kA})) + "]}]}";
    }

    struct Piece
    {
        int segment;
        long origin; // the capture sample frame of its segment time 0
        long from;   // heard from this segment time
        long until;  // to this one
    };

    // The model's largest difference and where it lies, with every piece but the first shift
    // samples later.
    double Judge(const std::vector<Piece>& pieces, long& worst, long& lastAudible, int shift = 0)
    {
        std::string arguments = "--shift " + std::to_string(shift);
        for (const Piece& p : pieces)
            arguments += " --piece " + std::to_string(p.segment) + " " + std::to_string(p.origin) + " " +
                         std::to_string(p.from) + " " + std::to_string(p.until);
        std::istringstream output(RunModel("playlist_heard.py", arguments));
        double maxError = 1.0;
        output >> maxError >> worst >> lastAudible;
        EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
        return maxError;
    }

    // Plays the event to its end and judges the capture: within the tolerance, and missing when
    // the entries are one sample off (with more than one piece). One end-of-event callback.
    void ExpectHeard(const char* event, const std::vector<Piece>& pieces, uint32_t frames)
    {
        endFrames.clear();
        ASSERT_NE(PostEvent(event, kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u) << event;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(frames));
        long worst = -1;
        long lastAudible = -1;
        if (pieces.empty())
            EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float sample) { return sample == 0.0f; })) << event;
        else
            EXPECT_LT(Judge(pieces, worst, lastAudible), kLevelTolerance) << event << ": worst at sample frame " << worst;
        if (pieces.size() > 1)
        {
            for (int shift : {-1, 1})
                EXPECT_GT(Judge(pieces, worst, lastAudible, shift), 1e-2) << event << ": entries " << shift << " sample off";
        }
        EXPECT_EQ(endFrames.size(), 1u) << event << ": one end-of-event callback";
        EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr) << event << ": the play is over";
    }


    static void OnEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        auto& self = *static_cast<MusicPlaylistHeard*>(info->cookie);
        if (type == ZkCallbackType_EndOfEvent)
            self.endFrames.push_back(self.frameOffsets.size());
    }

    void Restart()
    {
        captured.clear();
        frameOffsets.clear();
    }

    std::vector<size_t> endFrames;
};

// A sequence-continuous group of A, B and C repeated twice: each segment enters at its entry cue
// exactly where the one before reaches its exit cue, and the play ends at the last exit cue.
TEST_F(MusicPlaylistHeard, ASequenceRepeatedTwicePlaysEachSegmentFromExitCueToExitCueAndEnds)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    std::vector<Piece> pieces;
    for (int round = 0; round < 2; ++round)
        for (int segment : {kA, kB, kC})
            pieces.push_back({segment, static_cast<long>(pieces.size()) * kActive, 0, kActive});
    ASSERT_NO_FATAL_FAILURE(ExpectHeard("Play_900", pieces, 6 * kActive / kFrames + 8));
    ASSERT_EQ(endFrames.size(), 1u);
    // The last segment is cut at its exit cue inside a frame; its voice reports its end with the
    // next frame, and the play ends then.
    EXPECT_EQ(endFrames[0], static_cast<size_t>(6 * kActive / kFrames) + 1) << "the play ends after the last exit cue";
}

// With play-post-exit and play-pre-entry the first segment is entered at its start (its pre-entry
// heard), each next one's pre-entry sounds over the end of the one before, whose post-exit sounds
// whole over the next one's beginning (no fade: the whole post-exit), and the last one's post-exit
// is heard to its end.
TEST_F(MusicPlaylistHeard, PostExitAndPreEntryOverlapTheSegmentsAroundTheExitCue)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(ExpectHeard(
        "Play_901", {{kA, kPre, -kPre, kActive + kPost}, {kB, kPre + kActive, -kPre, kActive + kPost}},
        (kPre + 2 * kActive + kPost) / kFrames + 8));
}

// A segment that follows itself: each play of A overlaps the one before by its pre-entry and its
// post-exit, as two different segments do.
TEST_F(MusicPlaylistHeard, ASegmentFollowingItselfOverlapsItsOwnPostExitAndPreEntry)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    std::vector<Piece> pieces;
    for (long round = 0; round < 3; ++round)
        pieces.push_back({kA, kPre + round * kActive, -kPre, kActive + kPost});
    ASSERT_NO_FATAL_FAILURE(ExpectHeard("Play_913", pieces, (kPre + 3 * kActive + kPost) / kFrames + 8));
}

// An exit sync kind that finds no point in the leaving segment leaves it at its exit cue, as the
// exit cue rule does: the next segment has a place.
TEST_F(MusicPlaylistHeard, AnExitKindThatFindsNothingLeavesAtTheExitCue)
{
    const char* events[] = {"Play_902", "Play_903", "Play_904", "Play_905"};
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    for (const char* event : events)
    {
        Restart();
        ASSERT_NO_FATAL_FAILURE(ExpectHeard(event, {{kA, 0, 0, kActive}, {kB, kActive, 0, kActive}}, 2 * kActive / kFrames + 8));
    }
}

// A rule from A to B through T: T plays between them, from A's exit cue to its own exit cue, and B
// enters there.
TEST_F(MusicPlaylistHeard, ATransitionSegmentPlaysBetweenTwoSegments)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(ExpectHeard(
        "Play_906", {{kA, 0, 0, kActive}, {kT, kActive, 0, kActive}, {kB, 2 * kActive, 0, kActive}}, 3 * kActive / kFrames + 8));
}

// F alone, left (towards the end of the playlist) with a fade-out: the frames before the fade keep
// the tone's level, the frame levels fall over the fade, and everything after it is silent. A 500 ms
// fade 100 ms after the exit cue begins 400 ms before it; a 2 s fade at the exit cue would begin
// before the segment's start and is shortened to begin there (it ends at the exit cue).
TEST_F(MusicPlaylistHeard, AFadeOutShapesTheLeavingSegmentAndEndsInSilence)
{
    struct Case
    {
        const char* event;
        long fadeFrom;  // segment time
        long fadeUntil; // segment time
    };
    const Case cases[] = {{"Play_907", kFadeActive - 19200, kFadeActive + 4800}, {"Play_908", 0, kFadeActive}};
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    for (const Case& c : cases)
    {
        Restart();
        endFrames.clear();
        ASSERT_NE(PostEvent(c.event, kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u) << c.event;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((kFadeActive + 14400) / kFrames + 8)));
        const std::vector<float> peaks = FramePeaks();
        const float full = 0.3f * kCentreGain;
        const size_t fadeFirst = static_cast<size_t>(c.fadeFrom / kFrames) + 1;
        const size_t fadeLast = static_cast<size_t>(c.fadeUntil / kFrames);
        for (size_t frame = 0; frame + 1 < fadeFirst; ++frame)
            EXPECT_NEAR(peaks[frame], full, 0.01) << c.event << ": frame " << frame << " before the fade";
        for (size_t frame = fadeFirst + 1; frame < fadeLast; ++frame)
            EXPECT_LT(peaks[frame], peaks[frame - 1]) << c.event << ": frame " << frame << " falls";
        // Halfway through, about half the level (a linear fade).
        EXPECT_NEAR(peaks[(fadeFirst + fadeLast) / 2], full / 2, full * 0.1) << c.event << ": halfway";
        // The fade runs on the frame clock from the frame that holds its start: it may end in the
        // frame after the one that holds its end.
        for (size_t frame = fadeLast + 2; frame < peaks.size(); ++frame)
            EXPECT_EQ(peaks[frame], 0.0f) << c.event << ": frame " << frame << " after the fade";
        EXPECT_EQ(endFrames.size(), 1u) << c.event;
    }
}

// A segment that no context can play (X, without cues) ends the walk after it: first in the
// playlist nothing plays (the play does not start, and its post still ends once); after A, A plays
// to its exit cue and B, which comes after X, is never heard.
TEST_F(MusicPlaylistHeard, ASegmentThatCannotPlayEndsThePlaylist)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(ExpectHeard("Play_909", {}, 3 * kActive / kFrames));
    Restart();
    ASSERT_NO_FATAL_FAILURE(ExpectHeard("Play_910", {{kA, 0, 0, kActive}}, 3 * kActive / kFrames));
}

// A group without end of a segment whose exit cue is its entry cue: every item ends where it
// begins, before the next frame. The frame that would need more than 64 of them ends the sequence
// instead of appending without end, and the play ends.
TEST_F(MusicPlaylistHeard, ItemsThatAllEndBeforeNowEndTheSequence)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(PostEvent("Play_911", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    EXPECT_EQ(endFrames.size(), 1u);
    EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr);
}
} // namespace

namespace
{
// A stop of the playing id with a 200 ms fade (ceil(200 / 21.3) = 10 frames) in the middle of the
// second segment: the frame levels fall, nothing sounds after the fade (no later segment starts,
// though the next one is already in the chain), and the play ends once. The stop goes down from the
// output buses: it reaches the play through the playlist's own bus.
TEST_F(MusicPlaylistHeard, AStopWithAFadeEndsThePlaylistAfterTheFade)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    const ZkPlayingID id = PostEvent("Play_900", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this);
    ASSERT_NE(id, 0u);
    const uint32_t stopFrame = static_cast<uint32_t>(kActive + kActive / 2) / kFrames;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(stopFrame));
    StopPlayingID(id, 200, ZkCurveInterpolation_Linear);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>(5 * kActive / kFrames)));
    const std::vector<float> peaks = FramePeaks();
    for (size_t frame = stopFrame + 2; frame < stopFrame + 8; ++frame)
        EXPECT_LT(peaks[frame], peaks[frame - 1]) << "frame " << frame << " falls";
    for (size_t frame = stopFrame + 11; frame < peaks.size(); ++frame)
        EXPECT_EQ(peaks[frame], 0.0f) << "frame " << frame << " is silent";
    EXPECT_EQ(endFrames.size(), 1u);
    EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr);
}
} // namespace

namespace
{
// A rule's fade-in: the entering segment rises from its entry cue over 200 ms (10 frames) while
// the leaving one has stopped at its exit cue, then keeps its level.
TEST_F(MusicPlaylistHeard, AFadeInRaisesTheEnteringSegmentFromItsEntryCue)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(PostEvent("Play_912", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>(2 * kActive / kFrames)));
    const std::vector<float> peaks = FramePeaks();
    const float full = 0.3f * kCentreGain;
    const size_t entry = static_cast<size_t>(kActive / kFrames) + 1; // the first frame wholly after A's exit
    EXPECT_LT(peaks[entry], full / 2) << "B begins low";
    for (size_t frame = entry + 1; frame < entry + 8; ++frame)
        EXPECT_GT(peaks[frame], peaks[frame - 1]) << "frame " << frame << " rises";
    for (size_t frame = entry + 11; frame < peaks.size(); ++frame)
        EXPECT_NEAR(peaks[frame], full, 0.01) << "frame " << frame << " at B's level";
}
} // namespace

namespace
{
// Out of memory at any allocation of the post and of the first frame of a playlist through a
// transition segment (the root, its play record, the walk and its saved states, the chain items,
// the segment and track contexts, the clip instances): the play either goes without leaving a
// context behind or plays on, and a post that answered a playing id ends once.
TEST_F(MusicPlaylistHeard, OutOfMemoryWhileStartingAPlaylistLeavesNothingAndEndsThePlayOnce)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    const uint32_t playFrames = static_cast<uint32_t>(3 * kActive / kFrames) + 8;
    bool posted = false;
    const auto startFrame = [this, &posted]() {
        endFrames.clear();
        posted = PostEvent("Play_906", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this) != 0;
        RenderFrames(1);
    };
    Fault::CountOnly(ZkMemID_Default);
    startFrame();
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_TRUE(posted);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(playFrames));
    ASSERT_EQ(endFrames.size(), 1u) << "without a failure";
    ASSERT_GT(allocations, 5u);
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        Fault::FailNth(ZkMemID_Default, n);
        startFrame();
        Fault::Disarm();
        ASSERT_NO_FATAL_FAILURE(RenderFrames(playFrames));
        EXPECT_EQ(endFrames.size(), posted ? 1u : 0u) << "allocation " << n;
        EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr) << "allocation " << n;
    }
}
} // namespace
