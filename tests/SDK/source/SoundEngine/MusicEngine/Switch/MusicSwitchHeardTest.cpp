// Switch containers heard end to end: a switch container over a state group plays the segment its
// decision names and, when the state changes, moves to the new one at the exit point the rule
// asks for. A small model below computes that exit point from the segment's grid and cues on its
// own; numpy places each segment's media where the model says (playlist_heard.py) and compares the
// capture sample by sample within 1e-4, and misses by more than 1e-2 when the entry is one sample
// off.
//
// Segments A, B and C: entry cue at 100 ms, exit cue 1200 ms later, 200 ms of post-exit, a custom
// cue 500 ms after the entry cue (A only), tempo 240 (a beat of 250 ms, a bar of 1 s), one clip of
// a tone of their own over the whole segment. The transition segment T and D: 100 ms from entry
// cue to exit cue, no post-exit; D (without a custom cue) is looped by the playlist P.
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicSwitchContext.h"
#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <algorithm>

#include <sstream>
#include <vector>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::MusicEngine::CZkMusicSwitchContext;
using ZK::MusicEngine::MusicEngineState;

constexpr long kActive = 57600;  // 1200 ms
constexpr long kPost = 9600;     // 200 ms
constexpr long kBar = 48000;     // 1 s at tempo 240
constexpr long kCustomCue = 24000;
constexpr long kShortActive = 4800;
constexpr double kLevelTolerance = 1e-4;
constexpr uint32_t kGroup = 700;
constexpr uint32_t kStateB = 12, kStateC = 13;

constexpr int kA = 500, kB = 510, kC = 520, kT = 530, kD = 540, kP = 600;
constexpr int kExitCue = 7, kNextBar = 2, kNextCustomCue = 5;
constexpr int kPlaylistSegments = 9160; // the four segments of the looped playlist 916

// A segment of one track with one clip of the tone media over the whole segment (track id = id +
// 50000; a segment belongs to one container, the tones are shared): its entry cue at 100 ms (id
// id * 10 + 1), the cues {id, ms from the segment's start} between, its exit cue (id * 10 + 3).
std::string SegmentWithCues(int id, int media, long activeMs, long postMs, const std::vector<std::pair<int, long>>& cues)
{
    const long durationMs = 100 + activeMs + postMs;
    const std::string track = std::to_string(id + 50000);
    const std::string source = std::to_string(media + 1000);
    std::string custom;
    for (const auto& [cue, ms] : cues)
        custom += R"(, {"id": )" + std::to_string(cue) + R"(, "position_ms": )" + std::to_string(ms) + ".0}";
    return R"({"type": "music_track", "id": )" + track + R"(, "bus": "Master Audio Bus", "sources": [{"source": )" + source +
           R"(}], "clips": [{"subtrack": 0, "source": )" + source + R"(, "position_ms": 0.0, "duration_ms": )" +
           std::to_string(durationMs) + R"(.0}]},
        {"type": "music_segment", "id": )" + std::to_string(id) + R"(, "children": [)" + track +
           R"(], "duration_ms": )" + std::to_string(durationMs) + R"(.0, "grid": {"tempo": 240.0, "own": 1},
         "markers": [{"id": )" + std::to_string(id * 10 + 1) + R"(, "position_ms": 100.0})" + custom + R"(, {"id": )" +
           std::to_string(id * 10 + 3) + R"(, "position_ms": )" + std::to_string(100 + activeMs) + R"(.0}]})";
}

// The same with, for customCue, one custom cue 500 ms after the entry cue (id id * 10 + 2).
std::string Segment(int id, int media, long activeMs, long postMs, bool customCue)
{
    std::vector<std::pair<int, long>> cues;
    if (customCue)
        cues.emplace_back(id * 10 + 2, 600);
    return SegmentWithCues(id, media, activeMs, postMs, cues);
}

std::string Tone(int id, int hz, long ms)
{
    return R"({"id": )" + std::to_string(id + 1000) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" +
           std::to_string(ms * 48) + R"(, "parts": [{"tone": )" + std::to_string(hz) + R"(, "amp": 0.3}]}})";
}

// The segments of a switch container: A (with a custom cue), B, C and the transition segment T.
int SegmentA(int container) { return container * 10 + 1; }
int SegmentB(int container) { return container * 10 + 2; }
int SegmentC(int container) { return container * 10 + 3; }
int SegmentT(int container) { return container * 10 + 4; }

std::string SegmentsOf(int container)
{
    return Segment(SegmentA(container), kA, 1200, 200, true) + ", " + Segment(SegmentB(container), kB, 1200, 200, false) +
           ", " + Segment(SegmentC(container), kC, 1200, 200, false) + ", " +
           Segment(SegmentT(container), kT, 100, 0, false);
}

std::string TreeOf(int container)
{
    return R"({"children": {"0": )" + std::to_string(SegmentA(container)) + R"(, "12": )" +
           std::to_string(SegmentB(container)) + R"(, "13": )" + std::to_string(SegmentC(container)) + "}}";
}

std::string ChildrenOf(int container)
{
    return std::to_string(SegmentA(container)) + ", " + std::to_string(SegmentB(container)) + ", " +
           std::to_string(SegmentC(container)) + ", " + std::to_string(SegmentT(container));
}

// A switch container on the state group (its event "Play_<id>") with its rules and tree.
// keepsUnchanged: the container's "continue" flag (a change to what already plays goes on with it).
std::string Switch(int id, const std::string& rules, const std::string& tree, const std::string& children,
                   bool keepsUnchanged = true)
{
    return R"({"type": "music_switch", "id": )" + std::to_string(id) + R"(, "bus": "Master Audio Bus", "children": [)" +
           children + R"(], "continue": )" + (keepsUnchanged ? "1" : "0") + R"(, "arguments": [[700, 1]], "rules": [)" + rules +
           R"(], "tree": )" + tree + R"(},
        {"type": "action", "id": )" + std::to_string(id + 5000) + R"(, "action": "play", "target": )" + std::to_string(id) +
           R"(},
        {"type": "event", "id": "Play_)" + std::to_string(id) + R"(", "actions": [)" + std::to_string(id + 5000) + "]}";
}


// A rule leaving at the sync kind with the fade-out (ms, offset ms); extra: more fields of the rule.
std::string Rule(int sync, int fadeMs = 0, int fadeOffsetMs = 0, const std::string& extra = "")
{
    return R"({"source": {"sync": )" + std::to_string(sync) + R"(, "curve": 4, "fade_time": )" + std::to_string(fadeMs) +
           R"(, "offset": )" + std::to_string(fadeOffsetMs) + R"(}, "destination": {"pre_entry": 0})" + extra + "}";
}

// A rule leaving at the sync kind and entering as destination says (its fields).
std::string RuleEntering(int sync, const std::string& destination)
{
    return R"({"source": {"sync": )" + std::to_string(sync) + R"(}, "destination": {)" + destination + "}}";
}

// The exit point the rule's sync kind finds in a segment entered at origin, at or after time
// (capture sample frames; segment time 0 is the entry cue): the model of the transition.
long ModelExitPoint(int sync, long origin, long time)
{
    const long local = time - origin;
    long point = kActive;
    if (sync == kNextBar)
        point = (local + kBar - 1) / kBar * kBar;
    else if (sync == kNextCustomCue)
        point = kCustomCue;
    return origin + point;
}

class MusicSwitchHeard : public MusicHeard
{
protected:
    MusicSwitchHeard() : MusicHeard("Switch.bnk", &Description) {}

    static std::string Description()
    {
        std::string items;
        // Containers playing A, B, C (and T), one rule each.
        const struct
        {
            int container;
            std::string rule;
        } plain[] = {{900, Rule(kExitCue)},
                     {901, Rule(kNextBar)},
                     {902, Rule(kNextCustomCue)},
                     {903, Rule(kExitCue, 200, 100)},
                     {904, Rule(kExitCue) + ", " + R"({"sources": [9041], "destinations": [9042], "source": {"sync": 7}, "segment": {"id": 9044}})"}};
        for (const auto& c : plain)
            items += SegmentsOf(c.container) + ", " + Switch(c.container, c.rule, TreeOf(c.container), ChildrenOf(c.container)) + ", ";
        // Entries that follow the source: at its segment position (910); at the cue of the
        // destination that has the id of the cue the source leaves at, never the entry cue (911,
        // where B has A's custom cue id 400 ms after its entry cue and decoys around it;
        // the root's first move, from silence, takes the other rule and enters A at its entry cue).
        items += SegmentsOf(910) + ", " + Switch(910, RuleEntering(kNextBar, R"("entry": 1)"), TreeOf(910), ChildrenOf(910)) + ", ";
        items += Segment(SegmentA(911), kA, 1200, 200, true) + ", " +
                 SegmentWithCues(SegmentB(911), kB, 1200, 200, {{76, 250}, {77, 400}, {SegmentA(911) * 10 + 2, 500}, {78, 1000}}) + ", " +
                 Segment(SegmentC(911), kC, 1200, 200, false) + ", " + Segment(SegmentT(911), kT, 100, 0, false) + ", " +
                 Switch(911,
                        Rule(kExitCue) + R"(, {"sources": [)" + std::to_string(SegmentA(911)) +
                            R"(], "source": {"sync": 5}, "destination": {"entry": 3, "use_source_cue": 1}})",
                        TreeOf(911), ChildrenOf(911)) +
                 ", ";
        // 900 without the continue flag: a change back to what plays moves to it again.
        items += SegmentsOf(912) + ", " + Switch(912, Rule(kExitCue), TreeOf(912), ChildrenOf(912), false) + ", ";
        // To B at the next bar, to anything else at the exit cue.
        items += SegmentsOf(913) + ", " +
                 Switch(913, Rule(kExitCue) + ", " + Rule(kNextBar, 0, 0, R"(, "destinations": [)" + std::to_string(SegmentB(913)) + "]"),
                        TreeOf(913), ChildrenOf(913)) +
                 ", ";
        // A playlist of four 100 ms segments in a loop (A's, B's, C's and T's tones), left for B and
        // returned to, each at the exit cue.
        std::string loop;
        for (int index = 0; index < 4; ++index)
        {
            const int segment = kPlaylistSegments + index;
            items += Segment(segment, kA + 10 * index, 100, 0, false) + ", ";
            loop += (index > 0 ? ", " : "") + std::string(R"({"segment": )") + std::to_string(segment) + R"(, "id": )" +
                    std::to_string(index + 1) + "}";
        }
        items += R"({"type": "music_playlist", "id": 916, "bus": "Master Audio Bus", "children": [)" +
                 std::to_string(kPlaylistSegments) + ", " + std::to_string(kPlaylistSegments + 1) + ", " +
                 std::to_string(kPlaylistSegments + 2) + ", " + std::to_string(kPlaylistSegments + 3) +
                 R"(], "rules": [{"source": {"sync": 7}}], "playlist": {"id": 98, "mode": 1, "repeat": 0, "items": [)" + loop +
                 "]}}, " + Segment(SegmentB(914), kB, 1200, 200, false) + ", " +
                 Switch(914, Rule(kExitCue), R"({"children": {"0": 916, "12": )" + std::to_string(SegmentB(914)) + "}}",
                        "916, " + std::to_string(SegmentB(914))) +
                 ", ";
        // 33 switch containers nested through their decisions, the last naming its segment A.
        for (int level = 0; level < 33; ++level)
        {
            const int id = 800 + level;
            const int next = level == 32 ? SegmentA(id) : id + 1;
            if (level == 32)
                items += Segment(next, kA, 1200, 200, true) + ", ";
            items += Switch(id, Rule(kExitCue), R"({"children": {"0": )" + std::to_string(next) + "}}", std::to_string(next)) + ", ";
        }
        return R"({"name": "Switch.bnk", "media": [)" + Tone(kA, 440, 1600) + ", " + Tone(kB, 660, 1600) + ", " +
               Tone(kC, 990, 1600) + ", " + Tone(kT, 1320, 1600) + ", " + Tone(kD, 550, 500) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "STMG", "state_groups": [{"id": 700}]},
              {"tag": "HIRC", "items": [)" +
               items + Segment(kD, kD, 100, 0, false) + ", " + Segment(SegmentB(905), kB, 1200, 200, false) + R"(,
                {"type": "music_playlist", "id": 600, "children": [540], "bus": "Master Audio Bus", "rules": [{"source": {"sync": 7}}],
                 "playlist": {"id": 99, "mode": 1, "repeat": 0, "items": [{"segment": 540, "id": 1}]}}, )" +
               // A rule whose exit (a custom cue) never comes in the looped D.
               Switch(905, Rule(kNextCustomCue), R"({"children": {"0": 600, "12": 9052}})", "600, 9052") + ", " +
               // A decision naming its own container, and one naming an id that is not loaded.
               Switch(906, Rule(kExitCue), R"({"children": {"0": 906}})", "") + ", " +
               Switch(907, Rule(kExitCue), R"({"children": {"0": 9999}})", "") + "]}]}";
    }

    struct Piece
    {
        int segment;
        long origin;
        long from;
        long until;
    };

    // The largest difference from the pieces placed by the oracle, leaving out the capture's
    // sample frames [skipFrom, skipUntil) (a fade, judged on its frame levels).
    double Judge(const std::vector<Piece>& pieces, int shift = 0, long skipFrom = 0, long skipUntil = 0)
    {
        std::string arguments = "--shift " + std::to_string(shift) + " --skip " + std::to_string(skipFrom) + " " +
                                std::to_string(skipUntil);
        for (const Piece& p : pieces)
            arguments += " --piece " + std::to_string(p.segment) + " " + std::to_string(p.origin) + " " +
                         std::to_string(p.from) + " " + std::to_string(p.until);
        std::istringstream output(RunModel("playlist_heard.py", arguments));
        double maxError = 1.0;
        long worst = -1, lastAudible = -1;
        output >> maxError >> worst >> lastAudible;
        EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
        lastWorst = worst;
        lastLoud = lastAudible;
        return maxError;
    }

    long lastWorst = -1;
    long lastLoud = -1;

    void Play(int container)
    {
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 11), ZK_Success);
        captured.clear();
        frameOffsets.clear();
        ASSERT_NE(PostEvent(("Play_" + std::to_string(container)).c_str(), kEmitter), 0u);
    }

    CZkMusicSwitchContext* Root() const
    {
        return static_cast<CZkMusicSwitchContext*>(MusicEngineState::Get().FirstPlaying());
    }

    void StopAll()
    {
        ZK::SoundEngine::StopAll();
        ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
        EXPECT_EQ(MusicEngineState::Get().FirstPlaying(), nullptr);
    }
};

// The capture sample frame where A's entry cue lies when a switch starts on it: a root switch
// starts with silence and schedules its destination at once, entered on the play's first sample.
constexpr long kOrigin = 0;
constexpr uint32_t kChangeFrame = 10;

TEST_F(MusicSwitchHeard, AStateChangeEntersTheDestinationOnTheExitPointTheRuleAsks)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        int sync;
        bool viaTransition;
    };
    const std::vector<Case> cases = {
        {"exit cue", 900, kExitCue, false},
        {"next bar", 901, kNextBar, false},
        {"next custom cue", 902, kNextCustomCue, false},
        {"through a transition segment", 904, kExitCue, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
        const long now = static_cast<long>(kChangeFrame * kFrames);
        const long exit = ModelExitPoint(c.sync, kOrigin, now);
        const long entry = c.viaTransition ? exit + kShortActive : exit;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((entry + 30000) / kFrames) + 1 - kChangeFrame));
        std::vector<Piece> pieces = {{SegmentA(c.container), kOrigin, 0, exit - kOrigin}};
        if (c.viaTransition)
            pieces.push_back({SegmentT(c.container), exit, 0, kShortActive});
        pieces.push_back({SegmentB(c.container), entry, 0, kActive});
        EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
        if (c.sync == kNextBar)
        {
            for (int shift : {-1, 1})
                EXPECT_GT(Judge(pieces, shift), 1e-2) << "entries " << shift << " sample off";
        }
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}

// A 200 ms fade-out with an offset of 100 ms begins 100 ms before the exit cue and ends 100 ms after
// it; the destination enters on the exit cue, sample for sample. Heard: A keeps its level up to the
// frame that holds the fade's start, its frame levels fall from there to the exit (B not yet in),
// and outside the fade the capture is A, then B, exactly.
// A 200 ms fade-out with an offset of 100 ms begins 100 ms before the exit cue and ends 100 ms after
// it; the destination enters on the exit cue, sample for sample. Heard: A keeps its level up to the
// frame that holds the fade's start, its frame levels fall from there to the frame B enters in, and
// outside the fade the capture is A, then B, exactly.
//
// The output delivers no frame while nothing at all plays: the play's first four frames (A enters
// at 4800, in the fifth) are not in the capture, which starts 4096 samples into the switch's
// timeline. (Read as if the capture began with the play, everything seemed some 100 ms early.)
TEST_F(MusicSwitchHeard, AFadeOutWithAnOffsetStopsTheSourceBeforeTheExitAndTheDestinationEntersOnIt)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(903));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    // Silence, A, then B.
    ZK::MusicEngine::ZkSwitchChainEntry* source = root->FirstEntry();
    while (source != nullptr && source->next != nullptr && source->next->next != nullptr)
        source = source->next;
    ASSERT_NE(source, nullptr);
    ASSERT_NE(source->next, nullptr);
    // The root's first move, from its silence to A, leaves room for the rule's fade-out less its
    // offset too: A enters 100 ms after the play's start.
    const long origin = 4800;
    const long exit = ModelExitPoint(kExitCue, origin, kChangeFrame * kFrames);
    const long fadeFrom = exit - 4800;
    const long fadeUntil = exit + 4800;
    EXPECT_EQ(static_cast<long>(source->next->context->timeOffset), exit);
    EXPECT_EQ(static_cast<long>(source->stopTime), fadeFrom);
    EXPECT_EQ(source->fadeOut.durationMs, 200);

    const auto rendered = static_cast<uint32_t>((exit + kActive) / kFrames);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(rendered - kChangeFrame - 1));
    constexpr uint32_t kSilentFrames = 4;
    ASSERT_EQ(frameOffsets.size(), rendered - kSilentFrames) << "the frames before A's first sample are not delivered";
    // Switch time to capture sample frame.
    const auto heard = [](long time) { return time - static_cast<long>(kSilentFrames * kFrames); };
    // The fade runs on the frame clock from the frame that holds its start, and may end in the
    // frame after the one that holds its end.
    const long skipFrom = heard(fadeFrom / kFrames * kFrames);
    const long skipUntil = heard((fadeUntil / kFrames + 2) * kFrames);
    EXPECT_LT(Judge({{SegmentA(903), heard(origin), 0, fadeUntil - origin}, {SegmentB(903), heard(exit), 0, kActive}}, 0,
                    skipFrom, skipUntil),
              kLevelTolerance)
        << "worst at " << lastWorst;
    for (int shift : {-1, 1})
        EXPECT_GT(Judge({{SegmentA(903), heard(origin), 0, fadeUntil - origin}, {SegmentB(903), heard(exit), 0, kActive}}, shift,
                        skipFrom, skipUntil),
                  1e-2)
            << "B entered " << shift << " sample off";
    const std::vector<float> peaks = FramePeaks();
    const float full = 0.3f * ZkFirstSoundTest::kCentreGain;
    const auto fadeFirst = static_cast<size_t>(heard(fadeFrom) / kFrames); // the frame the fade starts in
    const auto entering = static_cast<size_t>(heard(exit) / kFrames);      // the frame B enters in
    ASSERT_GT(peaks.size(), entering);
    for (size_t frame = fadeFirst - 8; frame < fadeFirst; ++frame)
        EXPECT_NEAR(peaks[frame], full, 0.01) << "frame " << frame << " before the fade";
    for (size_t frame = fadeFirst + 1; frame < entering; ++frame)
        EXPECT_LT(peaks[frame], peaks[frame - 1]) << "frame " << frame << " falls";
    // The last frame before B, at a linear fade's level: the fade (9.4 frames) has run one frame
    // less than the frames from its first one.
    const float fadeFrames = 9600.0f / kFrames;
    EXPECT_NEAR(peaks[entering - 1], full * (1.0f - static_cast<float>(entering - 1 - fadeFirst) / fadeFrames), full * 0.05f);
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// A second change in the same frame takes back what the first placed: C, never B, enters where B
// would have.
TEST_F(MusicSwitchHeard, TwoChangesWithinOneFrameLeaveOnlyTheSecondDestination)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(901));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateC), ZK_Success);
    const long exit = ModelExitPoint(kNextBar, kOrigin, kChangeFrame * kFrames);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((exit + 12000) / kFrames) + 1 - kChangeFrame));
    EXPECT_LT(Judge({{SegmentA(901), kOrigin, 0, exit - kOrigin}, {SegmentC(901), exit, 0, kActive}}), kLevelTolerance);
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// The rule's exit (a custom cue) never comes in the looped D: each attempt moves on by one D, and
// after 64 attempts the fallback rule leaves at the exit cue of the D the cursor then stands on.
TEST_F(MusicSwitchHeard, ARuleWhoseExitNeverComesFallsBackAfterSixtyFourAttempts)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(905));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    ZK::MusicEngine::ZkSwitchChainEntry* playlist = root->FirstEntry();
    ASSERT_NE(playlist, nullptr);
    if (playlist->context->GetNode() == nullptr)
        playlist = playlist->next; // the root's initial silence
    ASSERT_NE(playlist, nullptr);
    ASSERT_NE(playlist->next, nullptr) << "B is scheduled";
    EXPECT_EQ(playlist->next->context->GetNode()->ID(), static_cast<ZkUniqueID>(SegmentB(905)));
    const auto expected = static_cast<long>(playlist->context->timeOffset) + 65 * kShortActive;
    EXPECT_EQ(static_cast<long>(playlist->next->context->timeOffset), expected);
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// The music cursor keeps 32 switch levels: a 33rd nested switch context is never made (silence
// instead), so neither 33 nested containers nor a decision naming its own container recurse
// without end; an id that is not loaded is silence too.
TEST_F(MusicSwitchHeard, NestingPastThirtyTwoSwitchLevelsAndUnknownDestinationsPlaySilence)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        uint32_t switchLevels;
    };
    const std::vector<Case> cases = {
        {"33 nested containers", 800, 32},
        {"a decision naming its own container", 906, 32},
        {"a destination not loaded", 907, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
        CZkMusicSwitchContext* level = Root();
        ASSERT_NE(level, nullptr);
        uint32_t levels = 1;
        for (;;)
        {
            ZK::MusicEngine::ZkSwitchChainEntry* entry = level->FirstEntry();
            if (entry != nullptr && entry->next != nullptr && level->parent == nullptr)
                entry = entry->next;
            ASSERT_NE(entry, nullptr);
            const auto* node = entry->context->GetNode();
            if (node == nullptr || node->Category() != ZK::MusicEngine::kCategoryMusicSwitch)
            {
                EXPECT_EQ(node, nullptr) << "silence at the bottom";
                break;
            }
            level = static_cast<CZkMusicSwitchContext*>(entry->context);
            ++levels;
        }
        EXPECT_EQ(levels, c.switchLevels);
        EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float sample) { return sample == 0.0f; }));
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}
} // namespace

namespace
{
// Entries that follow the source: the rule's entry at the source's segment position puts B's
// segment time at the exit point equal to A's there (A's next bar, 1 s); the entry at the cue with
// the id of the cue the source leaves at (never the entry cue) puts B's cue 400 ms after its entry
// cue, not one of its decoys, on A's custom cue. Both are known only at the exit point, so
// the destination is prepared again there.
TEST_F(MusicSwitchHeard, AnEntryThatFollowsTheSourceIsPreparedAgainForTheExitPoint)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        long exit;         // capture sample frame (A enters on the first)
        long enteredAt;    // B's segment time placed on it
    };
    const std::vector<Case> cases = {
        {"at the source's position", 910, kBar, kBar},
        {"at the cue named by the source's", 911, kCustomCue, 19200},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
        // B plays to its end, its post-exit included.
        ASSERT_NO_FATAL_FAILURE(
            RenderFrames(static_cast<uint32_t>((c.exit - c.enteredAt + kActive + kPost) / kFrames) + 4 - kChangeFrame));
        const std::vector<Piece> pieces = {{SegmentA(c.container), kOrigin, 0, c.exit},
                                           {SegmentB(c.container), c.exit - c.enteredAt, c.enteredAt, kActive + kPost}};
        EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}

// A change back to what plays, before the transition to B is reached: with the container's
// continue flag A plays on to its end as if nothing had changed (B taken back); without it, A is
// entered again on A's exit cue in B's place.
TEST_F(MusicSwitchHeard, AChangeBackBeforeTheExitTakesTheTransitionBack)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        std::vector<std::pair<long, long>> heardA; // A's pieces: origin, until (segment time)
    };
    const std::vector<Case> cases = {
        {"continue flag: A goes on", 900, {{kOrigin, kActive + kPost}}},
        {"no continue flag: A again", 912, {{kOrigin, kActive}, {kOrigin + kActive, kActive + kPost}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 11), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((2 * kActive + kPost) / kFrames) + 4 - 2 * kChangeFrame));
        std::vector<Piece> pieces;
        for (const auto& [origin, until] : c.heardA)
            pieces.push_back({SegmentA(c.container), origin, 0, until});
        EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}

// B waits for A's next bar; C, asked for in a later frame, leaves at A's exit cue, after B's entry:
// the exit lies past the item as B's entry cuts it, so B's entry is taken back, the exit searched
// again, and C enters on A's exit cue. B is never heard.
TEST_F(MusicSwitchHeard, AnExitPastAQueuedEntryTakesThatEntryBack)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(913));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateC), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((kActive + 30000) / kFrames) - 2 * kChangeFrame));
    EXPECT_LT(Judge({{SegmentA(913), kOrigin, 0, kActive}, {SegmentC(913), kActive, 0, kActive}}), kLevelTolerance)
        << "worst at " << lastWorst;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// The loop of four segments is left for B at the exit cue of the second, and returned to at B's
// exit cue: it resumes from the walk the switch stored for it, with the segment that was playing
// when it was left (not from its first), and goes on from there.
TEST_F(MusicSwitchHeard, ReturningToAPlaylistResumesItFromTheStoredWalk)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(914));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(6)); // in the second segment (4800 to 9600)
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(14));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 11), ZK_Success);
    const long left = 2 * kShortActive;
    const long back = left + kActive;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((back + 3 * kShortActive) / kFrames) - 20));
    EXPECT_LT(Judge({{kPlaylistSegments, kOrigin, 0, kShortActive},
                     {kPlaylistSegments + 1, kShortActive, 0, kShortActive},
                     {SegmentB(914), left, 0, kActive},
                     {kPlaylistSegments + 1, back, 0, kShortActive},
                     {kPlaylistSegments + 2, back + kShortActive, 0, kShortActive},
                     {kPlaylistSegments + 3, back + 2 * kShortActive, 0, kShortActive}}),
              kLevelTolerance)
        << "worst at " << lastWorst << ", audible until " << lastLoud;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// A change once the destination has played to its end: A's chain still plays (its empty last item,
// whose exit lies behind it), so B enters at once, on the first sample of the frame of the change.
TEST_F(MusicSwitchHeard, AChangeAfterTheDestinationHasEndedEntersAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(900));
    const auto ended = static_cast<uint32_t>((kActive + kPost) / kFrames) + 2;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(ended));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((kActive + kPost) / kFrames) + 2));
    const long change = static_cast<long>(ended * kFrames);
    const std::vector<Piece> pieces = {{SegmentA(900), kOrigin, 0, kActive + kPost}, {SegmentB(900), change, 0, kActive + kPost}};
    EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
    for (int shift : {-1, 1})
        EXPECT_GT(Judge(pieces, shift), 1e-2) << "B entered " << shift << " sample off";
    ASSERT_NO_FATAL_FAILURE(StopAll());
}
} // namespace
