// A segment whose switch track follows a switch group, heard end to end. The track has two
// sub-tracks of different tones, each one clip over the whole segment: sub-track 0 (switch 901,
// the default) a 1000 Hz tone, sub-track 1 (switch 902) a 1500 Hz tone read from its 12th sample
// (so that the two tones differ on the sync points, where the first is 0). The sub-track of the
// group's value when the segment starts plays; a new value moves the track on its sync point, the
// old sub-track stopping and the new one starting there, entered in its middle. numpy places each
// sub-track's clip over the spans the change gives it (switch_track_heard.py) and compares sample
// by sample within 1e-4, outside the fades.
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <sstream>
#include <vector>

namespace
{
using namespace ZkFirstSoundTest;

constexpr ZkGameObjectID kOtherObject = 8;
constexpr ZkGameObjectID kFreshObject = 9; // no switch is ever set on it
constexpr ZkUniqueID kGroup = 900;      // a switch group
constexpr ZkUniqueID kStateGroup = 910; // a state group with the same values
constexpr ZkUniqueID kLowSwitch = 901;  // sub-track 0, the default
constexpr ZkUniqueID kHighSwitch = 902; // sub-track 1
constexpr ZkUniqueID kUnknownSwitch = 999;
// Tempo 240 in 4/4 at 48 kHz: a beat is 12000 samples, a bar 48000. The entry cue lies at 12000
// (capture sample = segment time + 12000), the exit two bars later, the end one beat after it.
constexpr long kPreEntry = 12000;
constexpr long kSegmentEnd = 120000;
constexpr uint32_t kCaseFrames = kSegmentEnd / kFrames + 3;
constexpr uint32_t kLongCaseFrames = (kSegmentEnd + 2 * 48000) / kFrames + 3;
constexpr double kLevelTolerance = 1e-4;
constexpr long kForever = 1L << 30;

// The sync kinds of the segments' switch tracks: segment 800 + k plays track 810 + k.
enum SwitchSegment
{
    kImmediate = 0, // sync 0, no fades
    kNextBeat = 1,  // sync 3, no fades
    kNextBarFaded = 2, // sync 2, fade-out and fade-in of 100 ms
    kNever = 3,     // sync 8
    kStateImmediate = 4, // sync 0, no fades, following a state group
    kNextBarFadedLong = 5, // as kNextBarFaded, four bars long
};

class MusicSwitchTrackHeard : public MusicHeard
{
protected:
    MusicSwitchTrackHeard() : MusicHeard("SwitchTrack.bnk", &Description) {}

    static std::string Description()
    {
        auto tone = [](int id, int hz, double amp) {
            return R"({"id": )" + std::to_string(id) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": )" +
                   std::to_string(hz) + R"(, "amp": )" + std::to_string(amp) + "}]}}";
        };
        std::string items;
        const struct
        {
            int sync;
            int fadeMs;
            int groupType;
            ZkUniqueID group;
            int bars; // of the active part
        } tracks[] = {{0, 0, 0, kGroup, 2}, {3, 0, 0, kGroup, 2},          {2, 100, 0, kGroup, 2},
                      {8, 0, 0, kGroup, 2}, {0, 0, 1, kStateGroup, 2}, {2, 100, 0, kGroup, 4}};
        for (int k = 0; k < 6; ++k)
        {
            const std::string track = std::to_string(810 + k);
            const std::string segment = std::to_string(800 + k);
            const std::string fade = std::to_string(tracks[k].fadeMs);
            // A bar is 1000 ms; the pre-entry and the post-exit 250 ms each.
            const std::string exitMs = std::to_string(250 + 1000 * tracks[k].bars);
            const std::string endMs = std::to_string(500 + 1000 * tracks[k].bars);
            const std::string trimMs = std::to_string(400 + 1000 * tracks[k].bars);
            items += R"(,
                {"type": "music_track", "id": )" + track + R"(, "bus": "Master Audio Bus",
                 "sources": [{"source": 801}, {"source": 802}],
                 "clips": [
                   {"subtrack": 0, "source": 801, "position_ms": 0.0, "end_trim_ms": )" + trimMs + R"(, "duration_ms": 100.0},
                   {"subtrack": 1, "source": 802, "position_ms": -0.25, "start_trim_ms": 0.25, "end_trim_ms": )" + trimMs + R"(,
                    "duration_ms": 100.0}],
                 "track_kind": "switch",
                 "switch": {"group_type": )" + std::to_string(tracks[k].groupType) + R"(, "group": )" +
                     std::to_string(tracks[k].group) + R"(, "default": 901, "switches": [901, 902], "sync": )" +
                     std::to_string(tracks[k].sync) + R"(, "fade_out_time": )" + fade + R"(, "fade_out_curve": 4,
                            "fade_in_time": )" + fade + R"(, "fade_in_curve": 4}},
                {"type": "music_segment", "id": )" + segment + R"(, "bus": "Master Audio Bus", "children": [)" + track + R"(], "duration_ms": )" + endMs + R"(,
                 "grid": {"tempo": 240.0, "own": 1},
                 "markers": [{"id": 1, "position_ms": 250.0}, {"id": 3, "position_ms": )" + exitMs + R"(}]},
                {"type": "action", "id": )" + std::to_string(830 + k) + R"(, "action": "play", "target": )" + segment + R"(},
                {"type": "event", "id": "Play_Switch)" + std::to_string(k) + R"(", "actions": [)" + std::to_string(830 + k) + "]}";
        }
        return R"({"name": "SwitchTrack.bnk", "media": [)" + tone(801, 1000, 0.4) + ", " + tone(802, 1500, 0.3) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "STMG", "state_groups": [{"id": 910}]},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 850, "media": 801, "bus": "Master Audio Bus"})" +
               items + "]}]}";
    }

    static std::string PlayEvent(int segment) { return "Play_Switch" + std::to_string(segment); }

    struct Span
    {
        int subTrack;
        long from;
        long to;
    };

    // The oracle's largest difference and where it lies for the capture of segment 800 + k.
    void Judge(int k, const std::vector<Span>& plays, const std::vector<Span>& skips, int shift, double& maxError,
               long& worst)
    {
        std::string arguments = std::to_string(800 + k) + " --shift " + std::to_string(shift);
        for (const Span& span : plays)
            arguments += " --plays " + std::to_string(span.subTrack) + " " + std::to_string(span.from) + " " +
                         std::to_string(span.to);
        for (const Span& skip : skips)
            arguments += " --skip " + std::to_string(skip.from) + " " + std::to_string(skip.to);
        std::istringstream output(RunModel("switch_track_heard.py", arguments));
        output >> maxError >> worst;
        EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
    }
};

// Changes are made between frames: a change made after frame 30 is seen at segment time
// 30 x 1024 - 12000 = 18720 (capture sample 30720). Its next beat is 24000 (capture 36000); with
// the 100 ms fade-out (4800 samples) ending on the sync point, the search starts at 23520 and the
// next bar is 48000 (capture 60000): the old sub-track fades out over 55200 to 60000 and the new
// one fades in from 60000 over 4800 samples, each fade quantised to the engine's frames. After
// frame 100 (segment time 90400) the search starts at 95200 and the next bar is the exit cue.
// In the four-bar segment a change back after frame 54 (segment time 43296), while the old
// sub-track fades out and the new one has not started, lands on the next bar but one, 96000
// (capture 108000): the sub-track started at 48000 fades out over 91200 to 96000.
TEST_F(MusicSwitchTrackHeard, TheTrackFollowsTheGroupOfThePlayOnItsSyncPoint)
{
    struct Change
    {
        uint32_t afterFrame;
        ZkGameObjectID object;
        ZkUniqueID value;
    };
    struct Case
    {
        const char* what;
        int segment;
        ZkGameObjectID player;
        ZkUniqueID valueAtStart; // 0: none set
        std::vector<Change> changes;
        std::vector<Span> plays;
        std::vector<Span> skips{}; // fades: not compared (their sub-track is not used)
        uint32_t frames = kCaseFrames;
    };
    const Case cases[] = {
        {"immediate: the value at the start plays, another object's switch is ignored, the play's lands at once",
         kImmediate, kEmitter, kHighSwitch, {{20, kOtherObject, kLowSwitch}, {30, kEmitter, kLowSwitch}},
         {{1, 0, 30720}, {0, 30720, kForever}}},
        {"next beat: the change lands on the beat, sample-accurately", kNextBeat, kEmitter, kHighSwitch,
         {{30, kEmitter, kLowSwitch}}, {{1, 0, 36000}, {0, 36000, kForever}}},
        {"next bar with fades: the fade-out ends and the fade-in begins on the bar", kNextBarFaded, kEmitter,
         kHighSwitch, {{30, kEmitter, kLowSwitch}}, {{1, 0, 60000}, {0, 60000, kForever}},
         {{0, 55200 / kFrames * kFrames, 64800 + 2 * kFrames}}},
        {"a change back while the first is on its way: the sub-track not yet started stops on the new point",
         kNextBarFadedLong, kEmitter, kHighSwitch, {{30, kEmitter, kLowSwitch}, {54, kEmitter, kHighSwitch}},
         {{1, 0, 60000}, {0, 60000, 108000}, {1, 108000, kForever}},
         {{0, 55200 / kFrames * kFrames, 64800 + 2 * kFrames}, {0, 103200 / kFrames * kFrames, 112800 + 2 * kFrames}},
         kLongCaseFrames},
        {"a change taken back before its sync point: the sub-track of the start plays on", kNextBarFaded, kEmitter,
         kHighSwitch, {{30, kEmitter, kLowSwitch}, {40, kEmitter, kHighSwitch}}, {{1, 0, kForever}}},
        {"a change whose sync point is the exit cue: not applied in this segment", kNextBarFaded, kEmitter,
         kHighSwitch, {{100, kEmitter, kLowSwitch}}, {{1, 0, kForever}}},
        {"sync kind 8: the change is never applied", kNever, kEmitter, kHighSwitch, {{30, kEmitter, kLowSwitch}},
         {{1, 0, kForever}}},
        {"a state group: the state at the start plays, a new state lands at once", kStateImmediate, kEmitter,
         kHighSwitch, {{30, kEmitter, kLowSwitch}}, {{1, 0, 30720}, {0, 30720, kForever}}},
        {"no value set for the play: the default switch's sub-track", kImmediate, kFreshObject, 0, {},
         {{0, 0, kForever}}},
        {"a value no sub-track names: silence until a known one comes", kImmediate, kEmitter, kUnknownSwitch,
         {{30, kEmitter, kLowSwitch}}, {{0, 30720, kForever}}},
    };
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_EQ(RegisterGameObj(kOtherObject, "Other"), ZK_Success);
    ASSERT_EQ(RegisterGameObj(kFreshObject, "Fresh"), ZK_Success);
    for (const Case& c : cases)
    {
        captured.clear();
        frameOffsets.clear();
        // A state group's value is the same for every object.
        const auto set = [&c](ZkGameObjectID object, ZkUniqueID value) {
            return c.segment == kStateImmediate ? SetState(kStateGroup, value) : SetSwitch(kGroup, value, object);
        };
        if (c.valueAtStart != 0)
        {
            ASSERT_EQ(set(c.player, c.valueAtStart), ZK_Success) << c.what;
        }
        ASSERT_NE(PostEvent(PlayEvent(c.segment).c_str(), c.player), 0u) << c.what;
        uint32_t rendered = 0;
        for (const Change& change : c.changes)
        {
            ASSERT_NO_FATAL_FAILURE(RenderFrames(change.afterFrame - rendered));
            rendered = change.afterFrame;
            ASSERT_EQ(set(change.object, change.value), ZK_Success) << c.what;
        }
        ASSERT_NO_FATAL_FAILURE(RenderFrames(c.frames - rendered));
        double maxError = 1.0;
        long worst = -1;
        ASSERT_NO_FATAL_FAILURE(Judge(c.segment, c.plays, c.skips, 0, maxError, worst));
        EXPECT_LT(maxError, kLevelTolerance) << c.what << ": worst at sample frame " << worst;
        if (c.segment == kNextBeat)
        {
            // The comparison places the change: one sample early or late, the same capture misses.
            for (int shift : {-1, 1})
            {
                double misplaced = 0.0;
                ASSERT_NO_FATAL_FAILURE(Judge(c.segment, c.plays, {}, shift, misplaced, worst));
                EXPECT_GT(misplaced, 1e-2) << c.what << ": the change placed " << shift << " sample off";
            }
        }
    }
}

// Out of memory at any allocation of the post and of the frame that starts a switch-track segment
// (among them the track's subscriber and its list of matching sub-tracks, which fail the segment
// context's creation): the play either starts or goes, and once stopped nothing is left behind.
TEST_F(MusicSwitchTrackHeard, OutOfMemoryWhileStartingASwitchTrackLeavesNothingBehind)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    const auto startAndStop = [this](uint32_t failing) {
        if (failing == 0)
            Fault::CountOnly(ZkMemID_Default);
        else
            Fault::FailNth(ZkMemID_Default, failing);
        const ZkPlayingID id = PostEvent(PlayEvent(kImmediate).c_str(), kEmitter);
        RenderFrames(1);
        const uint32_t counted = failing == 0 ? Fault::CountedAllocations() : 0;
        Fault::Disarm();
        if (id != 0)
            StopPlayingID(id);
        RenderFrames(3);
        return counted;
    };
    const uint32_t allocations = startAndStop(0);
    ASSERT_GT(allocations, 5u);
    EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr) << "stopped without a failure";
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        startAndStop(n);
        EXPECT_EQ(ZK::MusicEngine::MusicEngineState::Get().FirstPlaying(), nullptr) << "allocation " << n;
    }
}
} // namespace
