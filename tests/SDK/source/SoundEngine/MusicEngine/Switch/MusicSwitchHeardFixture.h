// The fixture of the switch containers' heard tests: a switch container over a state group plays
// the segment its decision names and, when the state changes, moves to the new one at the exit
// point the rule asks for. A small model below computes that exit point from the segment's grid
// and cues on its own; numpy places each segment's media where the model says (playlist_heard.py)
// and compares the capture sample by sample within 1e-4, and misses by more than 1e-2 when the
// entry is one sample off.
//
// Segments A, B and C: entry cue at 100 ms, exit cue 1200 ms later, 200 ms of post-exit, a custom
// cue 500 ms after the entry cue (A only), tempo 240 (a beat of 250 ms, a bar of 1 s), one clip of
// a tone of their own over the whole segment. The transition segment T and D: 100 ms from entry
// cue to exit cue, no post-exit; D (without a custom cue) is looped by the playlist P.
#pragma once

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

namespace ZkMusicSwitchHeardTest
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

constexpr int kA = 500, kB = 510, kC = 520, kT = 530, kD = 540, kP = 600, kLongA = 560;
constexpr int kExitCue = 7, kNextBar = 2, kNextBeat = 3, kNextCustomCue = 5;
constexpr uint32_t kOtherGroup = 701, kInnerGroup = 702;
constexpr int kStinger = 9205;
constexpr uint32_t kStingerTrigger = 9240;
constexpr int kPlaylistSegments = 9160; // the four segments of the looped playlist 916

// A segment of one track with one clip of the tone media over the whole segment (track id = id +
// 50000; a segment belongs to one container, the tones are shared): its entry cue at 100 ms (id
// id * 10 + 1), the cues {id, ms from the segment's start} between, its exit cue (id * 10 + 3).
inline std::string SegmentWithCues(int id, int media, long activeMs, long postMs, const std::vector<std::pair<int, long>>& cues)
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
inline std::string Segment(int id, int media, long activeMs, long postMs, bool customCue)
{
    std::vector<std::pair<int, long>> cues;
    if (customCue)
        cues.emplace_back(id * 10 + 2, 600);
    return SegmentWithCues(id, media, activeMs, postMs, cues);
}

inline std::string Tone(int id, int hz, long ms)
{
    return R"({"id": )" + std::to_string(id + 1000) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" +
           std::to_string(ms * 48) + R"(, "parts": [{"tone": )" + std::to_string(hz) + R"(, "amp": 0.3}]}})";
}

// The segments of a switch container: A (with a custom cue), B, C and the transition segment T.
inline int SegmentA(int container) { return container * 10 + 1; }
inline int SegmentB(int container) { return container * 10 + 2; }
inline int SegmentC(int container) { return container * 10 + 3; }
inline int SegmentT(int container) { return container * 10 + 4; }

inline std::string SegmentsOf(int container)
{
    return Segment(SegmentA(container), kA, 1200, 200, true) + ", " + Segment(SegmentB(container), kB, 1200, 200, false) +
           ", " + Segment(SegmentC(container), kC, 1200, 200, false) + ", " +
           Segment(SegmentT(container), kT, 100, 0, false);
}

inline std::string TreeOf(int container)
{
    return R"({"children": {"0": )" + std::to_string(SegmentA(container)) + R"(, "12": )" +
           std::to_string(SegmentB(container)) + R"(, "13": )" + std::to_string(SegmentC(container)) + "}}";
}

inline std::string ChildrenOf(int container)
{
    return std::to_string(SegmentA(container)) + ", " + std::to_string(SegmentB(container)) + ", " +
           std::to_string(SegmentC(container)) + ", " + std::to_string(SegmentT(container));
}

// A switch container on the state group (its event "Play_<id>") with its rules and tree.
// keepsUnchanged: the container's "continue" flag (a change to what already plays goes on with it).
// state: more fields of the container (its state chunk).
// group: the state group the container follows.
inline std::string Switch(int id, const std::string& rules, const std::string& tree, const std::string& children,
                          bool keepsUnchanged = true, const std::string& state = "", uint32_t group = 700)
{
    return R"({"type": "music_switch", "id": )" + std::to_string(id) + R"(, "bus": "Master Audio Bus", "children": [)" +
           children + R"(], "continue": )" + (keepsUnchanged ? "1" : "0") + R"(, "arguments": [[)" + std::to_string(group) +
           R"(, 1]], "rules": [)" + rules +
           R"(], "tree": )" + tree + state + R"(},
        {"type": "action", "id": )" + std::to_string(id + 5000) + R"(, "action": "play", "target": )" + std::to_string(id) +
           R"(},
        {"type": "event", "id": "Play_)" + std::to_string(id) + R"(", "actions": [)" + std::to_string(id + 5000) + "]}";
}


// A rule leaving at the sync kind with the fade-out (ms, offset ms); extra: more fields of the rule.
inline std::string Rule(int sync, int fadeMs = 0, int fadeOffsetMs = 0, const std::string& extra = "")
{
    return R"({"source": {"sync": )" + std::to_string(sync) + R"(, "curve": 4, "fade_time": )" + std::to_string(fadeMs) +
           R"(, "offset": )" + std::to_string(fadeOffsetMs) + R"(}, "destination": {"pre_entry": 0})" + extra + "}";
}

// A rule leaving at the sync kind and entering as destination says (its fields).
inline std::string RuleEntering(int sync, const std::string& destination)
{
    return R"({"source": {"sync": )" + std::to_string(sync) + R"(}, "destination": {)" + destination + "}}";
}

// The exit point the rule's sync kind finds in a segment entered at origin, at or after time
// (capture sample frames; segment time 0 is the entry cue): the model of the transition.
inline long ModelExitPoint(int sync, long origin, long time)
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
        // The loop's walk: 63 plays of a 100 ms segment without custom cue, then X with one; B'
        // (9173) is a streamed clip from its entry cue, prefetched, with a 10 s look-ahead inside.
        items += SegmentWithCues(9171, kD, 100, 0, {}) + ", " + Segment(9172, kA, 1200, 0, true) + ", " +
                 R"({"type": "music_track", "id": 59173, "bus": "Master Audio Bus", "look_ahead_ms": 10000,
                     "sources": [{"source": 1590, "stream_type": 1, "flags": 2}],
                     "clips": [{"subtrack": 0, "source": 1590, "position_ms": 100.0, "duration_ms": 1200.0}]},
                    {"type": "music_segment", "id": 9173, "children": [59173], "duration_ms": 1300.0,
                     "grid": {"tempo": 240.0, "own": 1},
                     "markers": [{"id": 91731, "position_ms": 100.0}, {"id": 91733, "position_ms": 1300.0}]},
                    {"type": "music_playlist", "id": 918, "children": [9171, 9172], "bus": "Master Audio Bus",
                     "rules": [{"source": {"sync": 7}}],
                     "playlist": {"id": 97, "mode": 1, "repeat": 1, "items": [{"segment": 9171, "id": 1, "repeat": 63},
                                                                            {"segment": 9172, "id": 2}]}}, )" +
                 Switch(917,
                        Rule(kExitCue) +
                            R"(, {"sources": [9171, 9172], "source": {"sync": 5}, "destination": {"entry": 1}})",
                        R"({"children": {"0": 918, "12": 9173}})", "918, 9173") +
                 ", ";
        // The group's changes held to the music's next beat (the container's state chunk), left at
        // the next bar: A lasts 2.4 s here (two bar lines inside), on a tone of its own as long.
        items += Segment(SegmentA(919), kLongA, 2400, 200, false) + ", " + Segment(SegmentB(919), kB, 1200, 200, false) + ", " +
                 Switch(919, Rule(kNextBar), R"({"children": {"0": )" + std::to_string(SegmentA(919)) + R"(, "12": )" +
                                                 std::to_string(SegmentB(919)) + "}}",
                        std::to_string(SegmentA(919)) + ", " + std::to_string(SegmentB(919)), true,
                        R"(, "state": {"groups": [{"id": 700, "sync": 3}]})") +
                 ", ";
        // Left at the next beat; a stinger (S, 100 ms with its 100 ms pre-entry, T's tone) on its
        // trigger at the next bar, which may look one segment ahead; the other group's changes
        // (kOtherGroup) held to the music's next bar.
        items += SegmentsOf(920) + ", " + Segment(kStinger, kT, 100, 0, false) + ", " +
                 Switch(920, Rule(kNextBeat), TreeOf(920), ChildrenOf(920) + ", " + std::to_string(kStinger), true,
                        R"(, "state": {"groups": [{"id": 701, "sync": 2}]}, "stingers": [{"trigger": )" +
                            std::to_string(kStingerTrigger) + R"(, "segment": )" + std::to_string(kStinger) +
                            R"(, "sync": 2, "next_segment": 1}])") +
                 ", ";
        // Nesting: 921 on the group plays the switch 922 ("0") or 923 ("12"), both on kInnerGroup
        // ("0": their A, "12": their B), each left at the exit cue.
        items += SegmentsOf(922) + ", " + SegmentsOf(923) + ", " +
                 Switch(922, Rule(kExitCue), TreeOf(922), ChildrenOf(922), true, "", kInnerGroup) + ", " +
                 Switch(923, Rule(kExitCue), TreeOf(923), ChildrenOf(923), true, "", kInnerGroup) + ", " +
                 Switch(921, Rule(kExitCue), R"({"children": {"0": 922, "12": 923}})", "922, 923") + ", ";
        // 33 switch containers nested through their decisions, the last naming its segment A.
        for (int level = 0; level < 33; ++level)
        {
            const int id = 800 + level;
            const int next = level == 32 ? SegmentA(id) : id + 1;
            if (level == 32)
                items += Segment(next, kA, 1200, 200, true) + ", ";
            items += Switch(id, Rule(kExitCue), R"({"children": {"0": )" + std::to_string(next) + "}}", std::to_string(next)) + ", ";
        }
        return R"({"name": "Switch.bnk", "media": [)" + Tone(kA, 440, 1600) + ", " + Tone(kLongA, 440, 2800) + ", " + Tone(kB, 660, 1600) + ", " +
               Tone(kC, 990, 1600) + ", " + Tone(kT, 1320, 1600) + ", " + Tone(kD, 550, 500) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "STMG", "state_groups": [{"id": 700}, {"id": 701}, {"id": 702}]},
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
        for (uint32_t group : {kGroup, kOtherGroup, kInnerGroup})
            ASSERT_EQ(ZK::SoundEngine::SetState(group, 11), ZK_Success);
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

} // namespace ZkMusicSwitchHeardTest
