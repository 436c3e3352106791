// Posted MIDI dispatched in one audio frame, in ns per event: 10,000 controller events on the 16
// channels of one target (a sound node of a writer-made bank on one game object), spread over the
// frame's 1024 samples, queued before the timing; a timed call is the MIDI post manager's frame
// (the events taken from the queue in time order, one note event each in the channel-state record,
// each set as a game-parameter value for its channel's key).
//   ours    the frame with the 10,000 events, in ns per event
//   empty   the same frame with nothing posted, divided by the same count
// No library a game would pick instead takes MIDI posted on its sound events and turns it into
// notes and parameter values on a sample clock, so there is no peer library to compare with; the
// program says so, and compares the frame with its own fixed cost.
#include "Music/MusicBenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace
{
constexpr ZkUniqueID kNode = 900;
constexpr ZkGameObjectID kObject = 7;
constexpr ZkPlayingID kPlayingID = 0x6000;
constexpr uint32_t kEvents = 10000;
constexpr uint32_t kFrame = 1024;

std::vector<uint8_t> BenchBank()
{
    return WrittenBank(R"({"name": "MidiBench.bnk",
        "media": [{"id": 500, "wave": {"rate": 48000, "channels": 1, "frames": 480, "parts": [{"tone": 440, "amp": 0.1}]}}],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
          {"type": "sound", "id": 900, "media": 500, "midi": {"play_mode": 1}}]}]})",
                       "kp_bench_midi");
}

std::vector<ZkMIDIPost> Controllers()
{
    std::vector<ZkMIDIPost> posts(kEvents);
    for (uint32_t i = 0; i < kEvents; ++i)
    {
        posts[i].event.type = ZkMidiEventType_Controller;
        posts[i].event.channel = static_cast<uint8_t>(i % 16);
        posts[i].event.data[0] = static_cast<uint8_t>(1 + i % 100);
        posts[i].event.data[1] = static_cast<uint8_t>(i % 128);
        posts[i].offset = uint64_t{i} * kFrame / kEvents;
    }
    return posts;
}

void Frame(benchmark::State& state, bool withEvents)
{
    MusicBenchEngine engine(WrittenOnce<BenchBank>());
    if (!engine.Loaded() || ZK::SoundEngine::RegisterGameObj(kObject, "MidiBench") != ZK_Success ||
        ZK::SoundEngine::g_pMidiPostMgr == nullptr)
    {
        state.SkipWithError("the engine or the bank did not start");
        return;
    }
    // The registration is a message: one tick applies it.
    ZK::SoundEngine::RenderAudio(true);
    ZK::SoundEngine::CZkMidiPostMgr& manager = *ZK::SoundEngine::g_pMidiPostMgr;
    const std::vector<ZkMIDIPost> posts = Controllers();
    manager.PostMidiEvents(kNode, kObject, kPlayingID, posts.data(), 1, false);
    if (manager.TargetCount() != 1)
    {
        state.SkipWithError("the posts found no target");
        return;
    }
    manager.AdvanceFrame(kFrame);
    double ns = 0.0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        if (withEvents)
            manager.PostMidiEvents(kNode, kObject, kPlayingID, posts.data(), kEvents, false);
        const auto start = std::chrono::steady_clock::now();
        manager.AdvanceFrame(kFrame);
        ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        ++frames;
    }
    state.counters["ns_per_event"] = benchmark::Counter(ns / (static_cast<double>(frames) * kEvents));
}

void Ours(benchmark::State& state)
{
    Frame(state, true);
}
void Empty(benchmark::State& state)
{
    Frame(state, false);
}

const bool g_registered = [] {
    std::printf("No peer library: none that a game would pick takes MIDI posted on sound events; the "
                "frame with 10,000 events is compared with the same frame empty.\n");
    PeerBench::PeerRuns("midi_post_10000_events", "ours", &Ours)->Iterations(200);
    PeerBench::PeerRuns("midi_post_10000_events", "empty", &Empty)->Iterations(200);
    return true;
}();
} // namespace
