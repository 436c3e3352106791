// The switch container's transition scheduling, per state change, through three nested switch
// levels with playlist destinations. One play of a root switch on a first state group (level 1)
// that chooses one of three switches on a second group (level 2), each choosing one of three
// switches on a third group (level 3), each choosing one of three playlists (two 8 s segments in
// a loop, one track of in-bank media each): 1 + 3 + 9 switches and 27 playlists from a writer-made
// bank. Every switch leaves at the next bar (tempo 120, 4/4) with a 500 ms fade-out.
//
// A timed call is one change of one level's group as the engine runs the SetState message (the
// state manager's SetStateInternal: SetState only posts the message for the next tick, which also
// renders): the switch subscribed to the group decides, makes the destination's contexts (at
// level 1 a level-2 switch with its level-3 switch, playlist and segment below), and ScheduleSwitch
// finds the exit point in the segment playing under it (its cursor crosses the switch levels below
// down to the playlist's segment) and places the destination there. One tick is rendered after
// each change, untimed.
//   settled     nothing is pending at the level before a change: the change before it was taken
//               back (the state set back to the one playing, untimed) before its tick
//   replacing   one change per tick, none taken back: each replaces the transition the previous
//               tick's change scheduled (its destination's contexts are stopped and released in
//               the call)
// Each change names a destination that is in the level's chain neither as the entry playing on
// nor as a pending one, so each schedules a real transition; "placed_percent" is the share of
// changes after which the level's last entry is that destination (100 when every change placed
// one), "pending_percent" the share made while a transition was pending at the level.
//   ours         the change with the music playing, in ns per change
//   no_music     the same calls with nothing playing: the state manager's own cost of a change
// No library a game would pick instead schedules musical transitions between nested containers,
// so there is no outside peer; the ratio says what the scheduling costs above the state change
// itself (the label says so in the table).
#include "Music/MusicBenchEngine.h"
#include "Support/CounterTimer.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "MusicEngine/CZkMusicNode.h"
#include "MusicEngine/Contexts/CZkMusicSwitchContext.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <string>
#include <vector>

namespace
{
using namespace ZK::MusicEngine;

constexpr uint32_t kLevels = 3;
constexpr uint32_t kChoices = 3;
constexpr ZkUniqueID kGroups[kLevels] = {7101, 7102, 7103};
constexpr ZkUniqueID kStates[kChoices] = {11, 12, 13};
// The ids: the root switch 1000; a level's switch or playlist is its parent's id + choice x step
// (choice 1 to 3), so 1100 to 1300, then 1110 to 1330, then the playlists 1111 to 1333.
constexpr int kRootSwitch = 1000;
constexpr int kIdSteps[kLevels] = {100, 10, 1};
constexpr ZkGameObjectID kObject = 300;
constexpr benchmark::IterationCount kChanges = 1000;
// Four bars at tempo 120 (8 s): far more than the root's first transition needs.
constexpr uint32_t kMaxStartTicks = 375;
constexpr const char* kLabel = "no outside peer: the baseline is the change with no music playing";

// A segment of 8 s (4 bars), entry cue at its start, exit cue at its end, one track with one clip
// of the bank's tone (track id = segment id + 100000).
std::string Segment(int id)
{
    const std::string track = std::to_string(id + 100000);
    return R"({"type": "music_track", "id": )" + track + R"(, "sources": [{"source": 1}],
        "clips": [{"subtrack": 0, "source": 1, "position_ms": 0.0, "duration_ms": 100.0}]},
      {"type": "music_segment", "id": )" + std::to_string(id) + R"(, "children": [)" + track + R"(], "duration_ms": 8000.0,
       "grid": {"tempo": 120.0, "beats_per_bar": 4, "beat_value": 4, "own": 1},
       "markers": [{"id": )" + std::to_string(id * 10 + 1) + R"(, "position_ms": 0.0}, {"id": )" +
           std::to_string(id * 10 + 3) + R"(, "position_ms": 8000.0}]})";
}

// A playlist looping its two segments (ids 10 x id and 10 x id + 1), each left at its exit cue.
std::string Playlist(int id)
{
    const int first = id * 10;
    const int second = first + 1;
    return Segment(first) + ", " + Segment(second) + R"(,
      {"type": "music_playlist", "id": )" + std::to_string(id) + R"(, "children": [)" +
           std::to_string(first) + ", " + std::to_string(second) + R"(], "rules": [{"source": {"sync": 7}}],
       "playlist": {"id": 100, "mode": 1, "repeat": 0, "items": [{"segment": )" + std::to_string(first) +
           R"(, "id": 1}, {"segment": )" + std::to_string(second) + R"(, "id": 2}]}})";
}

// The switch of that level (1 to 3) and everything below it: states 11, 12 and 13 of the level's
// group choose its three children.
std::string Switch(int id, uint32_t level)
{
    std::string items;
    std::string children;
    std::string tree;
    for (uint32_t choice = 1; choice <= kChoices; ++choice)
    {
        const int child = id + static_cast<int>(choice) * kIdSteps[level - 1];
        items += (level == kLevels ? Playlist(child) : Switch(child, level + 1)) + ", ";
        children += (choice > 1 ? ", " : "") + std::to_string(child);
        tree += (choice > 1 ? ", " : "") + std::string("\"") + std::to_string(kStates[choice - 1]) + "\": " + std::to_string(child);
    }
    return items + R"({"type": "music_switch", "id": )" + std::to_string(id) + R"(, "children": [)" +
           children + R"(], "continue": 1, "arguments": [[)" + std::to_string(kGroups[level - 1]) +
           R"(, 1]], "rules": [{"source": {"sync": 2, "curve": 4, "fade_time": 500, "offset": 0}, "destination": {"pre_entry": 0}}],
       "tree": {"children": {)" + tree + "}}}";
}

std::vector<uint8_t> BenchBank()
{
    return WrittenBank(R"({"name": "SwitchScheduleBench.bnk",
      "media": [{"id": 1, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": 440, "amp": 0.1}]}}],
      "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
        {"tag": "STMG", "state_groups": [{"id": )" + std::to_string(kGroups[0]) + R"(}, {"id": )" + std::to_string(kGroups[1]) +
                           R"(}, {"id": )" + std::to_string(kGroups[2]) + R"(}]},
        {"tag": "HIRC", "items": [)" + Switch(kRootSwitch, 1) + R"(,
          {"type": "action", "id": 900, "action": "play", "target": )" + std::to_string(kRootSwitch) + R"(},
          {"type": "event", "id": "Play_Music", "actions": [900]}]}]})",
                       "zk_switch_schedule_bench");
}

// The switch context of the level (1 to 3) on the play's current path; null when the path does
// not reach it.
CZkMusicSwitchContext* SwitchAt(uint32_t level)
{
    CZkMusicTimelineContext* root = MusicEngineState::Get().FirstPlaying();
    if (root == nullptr || root->GetNode() == nullptr || root->GetNode()->Category() != kCategoryMusicSwitch)
        return nullptr;
    auto* context = static_cast<CZkMusicSwitchContext*>(root);
    for (uint32_t above = 1; above < level; ++above)
    {
        const ZkSwitchChainEntry* current = context->CurrentEntry();
        const CZkMusicNode* node = current != nullptr ? current->context->GetNode() : nullptr;
        if (node == nullptr || node->Category() != kCategoryMusicSwitch)
            return nullptr;
        context = static_cast<CZkMusicSwitchContext*>(current->context);
    }
    return context;
}

// The choice (0 to 2) whose destination the entry plays; -1 for silence.
int ChoiceOf(const CZkMusicSwitchContext& context, const ZkSwitchChainEntry& entry, uint32_t level)
{
    const CZkMusicNode* node = entry.context->GetNode();
    if (node == nullptr)
        return -1;
    return (static_cast<int>(node->ID()) - static_cast<int>(context.GetNode()->ID())) / kIdSteps[level - 1] - 1;
}

// The entry a change leaves from, found as the scheduling finds it: the current one, or past it
// while it can no longer be interrupted or the entry after it already sounds.
const ZkSwitchChainEntry* SourceOf(const CZkMusicSwitchContext& context)
{
    const ZkSwitchChainEntry* source = context.CurrentEntry() != nullptr ? context.CurrentEntry() : context.FirstEntry();
    while (source != nullptr && source->next != nullptr &&
           (!source->context->IsInterruptible() || source->next->context->IsSounding()))
        source = source->next;
    return source;
}

// The next change of a level: a choice that neither the source entry nor any entry after it plays
// (a change to one of those would keep it or cut back to it instead of scheduling), and the choice
// the source plays (the state that takes the change back).
struct Change
{
    int choice = -1;
    int sourceChoice = -1;
    bool replacesPending = false; // a transition is pending after the source
};

Change NextChange(const CZkMusicSwitchContext& context, uint32_t level)
{
    Change change;
    const ZkSwitchChainEntry* source = SourceOf(context);
    if (source == nullptr)
        return change;
    change.sourceChoice = ChoiceOf(context, *source, level);
    change.replacesPending = source->next != nullptr;
    bool taken[kChoices] = {};
    for (const ZkSwitchChainEntry* entry = source; entry != nullptr; entry = entry->next)
    {
        const int choice = ChoiceOf(context, *entry, level);
        if (choice >= 0 && choice < static_cast<int>(kChoices))
            taken[choice] = true;
    }
    for (uint32_t choice = 0; choice < kChoices && change.choice < 0; ++choice)
        if (!taken[choice])
            change.choice = static_cast<int>(choice);
    return change;
}

// Whether the level's last entry plays the choice.
bool Placed(uint32_t level, int choice)
{
    const CZkMusicSwitchContext* context = SwitchAt(level);
    if (context == nullptr || context->FirstEntry() == nullptr)
        return false;
    const ZkSwitchChainEntry* tail = context->FirstEntry();
    while (tail->next != nullptr)
        tail = tail->next;
    return ChoiceOf(*context, *tail, level) == choice;
}

// The engine with the bank, every group on state 11, and (withMusic) the root switch playing on
// its object, settled: each level's switch plays its first choice with nothing pending.
class SwitchPlay
{
public:
    explicit SwitchPlay(bool withMusic) : m_engine(WrittenOnce<&BenchBank>())
    {
        if (!m_engine.Loaded() || ZK::SoundEngine::RegisterGameObj(kObject) != ZK_Success)
            return;
        for (ZkUniqueID group : kGroups)
            if (ZK::SoundEngine::SetState(group, kStates[0]) != ZK_Success)
                return;
        if (withMusic && ZK::SoundEngine::PostEvent("Play_Music", kObject) == 0)
            return;
        // The root starts on silence and leaves it by its rule (at the next bar, after the fade-out's
        // room): the first choices play within a few ticks.
        for (uint32_t tick = 0; tick < kMaxStartTicks; ++tick)
        {
            if (ZK::SoundEngine::RenderAudio() != ZK_Success)
                return;
            if (withMusic && Settled())
                break;
        }
        m_ready = !withMusic || Settled();
    }
    bool Ready() const { return m_ready; }

    // Every level plays its first choice (the last a playlist) with nothing pending.
    static bool Settled()
    {
        for (uint32_t level = 1; level <= kLevels; ++level)
        {
            const CZkMusicSwitchContext* context = SwitchAt(level);
            if (context == nullptr || context->CurrentEntry() == nullptr || context->CurrentEntry()->next != nullptr ||
                ChoiceOf(*context, *context->CurrentEntry(), level) != 0)
                return false;
        }
        const CZkMusicNode* playlist = SwitchAt(kLevels)->CurrentEntry()->context->GetNode();
        return playlist->Category() == kCategoryMusicPlaylist;
    }

private:
    MusicBenchEngine m_engine;
    bool m_ready = false;
};

void Changes(benchmark::State& state, uint32_t level, bool settled, bool withMusic)
{
    SwitchPlay play(withMusic);
    if (!play.Ready())
    {
        state.SkipWithError("the engine, the bank or the play did not start");
        return;
    }
    const ZkUniqueID group = kGroups[level - 1];
    CounterTimer timer;
    uint64_t changes = 0;
    uint64_t placed = 0;
    uint64_t replacing = 0;
    uint32_t alternate = 0;
    // One change and its tick; false (with the benchmark skipped) when the play lost its path.
    const auto change = [&](bool timed) {
        Change next;
        if (withMusic)
        {
            const CZkMusicSwitchContext* context = SwitchAt(level);
            if (context != nullptr)
                next = NextChange(*context, level);
            if (next.choice < 0)
            {
                state.SkipWithError("the level's switch has no destination left to change to");
                return false;
            }
        }
        else
        {
            // Nothing follows the group: the states alternate as the played ones would.
            next.choice = 1 + static_cast<int>(alternate);
            next.sourceChoice = 0;
            alternate ^= 1u;
        }
        const ZkUniqueID to = kStates[next.choice];
        const uint64_t start = CounterTimer::Read();
        ZK::SoundEngine::g_pStateMgr->SetStateInternal(group, to, false, false);
        const uint64_t end = CounterTimer::Read();
        if (timed)
        {
            timer.Add(start, end);
            ++changes;
            placed += withMusic && Placed(level, next.choice) ? 1 : 0;
            replacing += next.replacesPending ? 1 : 0;
        }
        if (settled && next.sourceChoice >= 0)
            ZK::SoundEngine::g_pStateMgr->SetStateInternal(group, kStates[next.sourceChoice], false, false);
        if (ZK::SoundEngine::RenderAudio() != ZK_Success)
        {
            state.SkipWithError("a tick failed");
            return false;
        }
        if (withMusic && settled && !SwitchPlay::Settled())
        {
            state.SkipWithError("a change taken back left a transition pending");
            return false;
        }
        return true;
    };
    // The first change makes the pools' first blocks for the contexts and entries.
    if (!change(false))
        return;
    for (auto _ : state)
        if (!change(true))
            return;
    state.counters["ns_per_change"] =
        benchmark::Counter(timer.Nanoseconds() / static_cast<double>(changes), benchmark::Counter::kAvgThreads);
    if (withMusic)
    {
        const auto percent = [&](uint64_t count) {
            return benchmark::Counter(100.0 * static_cast<double>(count) / static_cast<double>(changes), benchmark::Counter::kAvgThreads);
        };
        state.counters["placed_percent"] = percent(placed);
        state.counters["pending_percent"] = percent(replacing);
    }
    state.SetLabel(kLabel);
}

template <uint32_t Level, bool Settled>
void Ours(benchmark::State& state)
{
    Changes(state, Level, Settled, true);
}
template <uint32_t Level, bool Settled>
void NoMusic(benchmark::State& state)
{
    Changes(state, Level, Settled, false);
}

template <uint32_t Level, bool Settled>
void Register()
{
    const std::string comparison =
        "music_switch_change_level_" + std::to_string(Level) + (Settled ? "_settled" : "_replacing");
    PeerBench::PeerRuns(comparison, "ours", &Ours<Level, Settled>)->Iterations(kChanges);
    PeerBench::PeerRuns(comparison, "no_music", &NoMusic<Level, Settled>)->Iterations(kChanges);
}

const bool g_registered = [] {
    Register<1, true>();
    Register<2, true>();
    Register<3, true>();
    Register<1, false>();
    Register<2, false>();
    Register<3, false>();
    return true;
}();
} // namespace
