// The music engine's state-change hook, in ns per call, with 16 segment plays running: the event
// "Play_Music" posted on 16 game objects in one tick (the engine offline, as the music tests run
// it), all playing a segment whose state chunk gives the bench's state group the sync type of the
// next bar (tempo 240, two beats a bar: a bar line every 0.5 s). A call is what the state manager
// asks before an ordinary change of that group: the hook searches every playing context for its
// next sync point of the group, keeps the nearest, and holds the change there when it lies more
// than a frame ahead.
//
// Held changes wait in the music's pending list until their bar line. So that the list does not
// grow and the calls stay on the preallocated records, the calls come in batches of 4 (the records
// the music preallocates; the states alternate between two values), and after each batch the
// engine ticks, outside the timing, until the bar line has released every held change.
//   ours         the hook with the 16 plays
//   no_music     the same calls with no music playing: the hook's fixed cost
// No library a game would pick instead holds a state change to a musical sync point, so there is
// no outside peer; the ratio says what the 16 plays' search costs above the hook's fixed cost (the
// label says so in the table).
#include "Music/MusicBenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "MusicEngine/MusicEngineHooks.h"
#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <x86intrin.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{
using namespace ZK::MusicEngine;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kPlays = 16;
constexpr ZkGameObjectID kFirstObject = 300;
constexpr ZkUniqueID kStateGroup = 7001;
constexpr ZkUniqueID kStates[] = {7002, 7003};
constexpr uint32_t kCallsPerBatch = MusicEngineState::kPreallocatedRecords;
constexpr benchmark::IterationCount kBatches = 250;
// A bar is 23.4 frames: twice that releases any held change.
constexpr uint32_t kMaxReleaseTicks = 48;
constexpr const char* kLabel = "no outside peer: the baseline is the hook with no music playing";

std::vector<uint8_t> BenchBank()
{
    return WrittenBank(R"({"name": "StateHookBench.bnk", "chunks": [{"tag": "BKHD"},
      {"tag": "STMG", "state_groups": [{"id": )" + std::to_string(kStateGroup) + R"(}]}, {"tag": "HIRC", "items": [
        {"type": "music_segment", "id": 500, "duration_ms": 600000,
         "grid": {"tempo": 240, "beats_per_bar": 2, "beat_value": 4, "own": 1},
         "markers": [{"id": 1, "position_ms": 0}, {"id": 2, "position_ms": 600000}],
         "state": {"groups": [{"id": )" + std::to_string(kStateGroup) + R"(, "sync": 2}]}},
        {"type": "action", "id": 700, "action": "play", "target": 500},
        {"type": "event", "id": "Play_Music", "actions": [700]}]}]})",
                       "zk_state_hook_bench");
}

// The music engine with the bank (which declares the state group: a node's state chunk may only
// name a declared group) loaded, and that many segment plays started.
class PlayingMusic
{
public:
    explicit PlayingMusic(uint32_t plays) : m_engine(WrittenOnce<&BenchBank>())
    {
        if (!m_engine.Loaded())
            return;
        // One tick starts them all, so their bar lines fall together and the nearest one is a bar
        // ahead after each release.
        for (uint32_t play = 0; play < plays; ++play)
        {
            if (ZK::SoundEngine::RegisterGameObj(kFirstObject + play) != ZK_Success ||
                ZK::SoundEngine::PostEvent("Play_Music", kFirstObject + play) == 0)
                return;
        }
        if (ZK::SoundEngine::RenderAudio() != ZK_Success || ZK::SoundEngine::RenderAudio() != ZK_Success)
            return;
        m_ready = PlayingCount() == plays;
    }
    bool Ready() const { return m_ready; }

    static uint32_t PlayingCount()
    {
        uint32_t count = 0;
        for (const CZkMusicTimelineContext* context = MusicEngineState::Get().FirstPlaying(); context != nullptr;
             context = context->nextRoot)
            count += context->playRecord != nullptr ? 1 : 0;
        return count;
    }
    // Ticks until no change is held. False when the cap is reached first.
    static bool ReleaseHeldChanges()
    {
        for (uint32_t tick = 0; MusicEngineState::Get().PendingCount() > 0; ++tick)
        {
            if (tick == kMaxReleaseTicks || ZK::SoundEngine::RenderAudio() != ZK_Success)
                return false;
        }
        return true;
    }

private:
    MusicBenchEngine m_engine;
    bool m_ready = false;
};

// The time-stamp counter, read after everything before it has run and before anything after it
// starts, so that a short batch is not hidden in the read's own latency.
uint64_t OrderedTicks()
{
    _mm_lfence();
    const uint64_t ticks = __rdtsc();
    _mm_lfence();
    return ticks;
}

void HookCalls(benchmark::State& state, uint32_t plays)
{
    PlayingMusic music(plays);
    if (!music.Ready())
    {
        state.SkipWithError("the engine, the bank or the plays did not start");
        return;
    }
    // A batch is a few tens of ns, less than two reads of the steady clock (kvm-clock: about 56 ns
    // each), so batches are timed with the time-stamp counter, whose own cost is read beside each
    // batch and taken off; its rate is measured against the steady clock over the whole loop.
    uint64_t batchTicks = 0;
    uint64_t counterTicks = 0;
    uint64_t calls = 0;
    uint32_t held = 0;
    const Clock::time_point loopStart = Clock::now();
    const uint64_t loopStartTicks = __rdtsc();
    for (auto _ : state)
    {
        const uint64_t start = OrderedTicks();
        for (uint32_t call = 0; call < kCallsPerBatch; ++call)
            held += ZkMusicStateChangeHook(kStateGroup, kStates[call % 2]) ? 1 : 0;
        const uint64_t end = OrderedTicks();
        counterTicks += OrderedTicks() - end;
        batchTicks += end - start;
        calls += kCallsPerBatch;
        if (!PlayingMusic::ReleaseHeldChanges())
        {
            state.SkipWithError("a held state change was not released within two bars");
            return;
        }
    }
    const double ticksPerNs = static_cast<double>(__rdtsc() - loopStartTicks) /
                              std::chrono::duration<double, std::nano>(Clock::now() - loopStart).count();
    const double callTicks = static_cast<double>(batchTicks) - static_cast<double>(counterTicks);
    state.counters["ns_per_call"] = benchmark::Counter(callTicks / ticksPerNs / static_cast<double>(calls), benchmark::Counter::kAvgThreads);
    // The share of calls the music held (0 while the play records find no sync point).
    state.counters["held_percent"] = benchmark::Counter(100.0 * held / static_cast<double>(calls), benchmark::Counter::kAvgThreads);
    state.SetLabel(kLabel);
}

void Ours(benchmark::State& state)
{
    HookCalls(state, kPlays);
}
void NoMusic(benchmark::State& state)
{
    HookCalls(state, 0);
}

const bool g_registered = [] {
    PeerBench::PeerRuns("music_state_change_hook_16_plays", "ours", &Ours)->Iterations(kBatches);
    PeerBench::PeerRuns("music_state_change_hook_16_plays", "no_music", &NoMusic)->Iterations(kBatches);
    return true;
}();
} // namespace
