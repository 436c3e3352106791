// A global switch change heard by continuous switch containers, per call, through the running
// engine (offline rendering, the base sink): 100 game objects each play a continuous switch
// container (100 contexts), whose value A plays one looping sound and value B another (the old
// one stopped at once). A timed call is SetSwitch for every game object followed by the tick that
// applies it: each context stops its old child and starts its new one.
//   ours         the change: SetSwitch (A and B alternately) and the tick
//   tick_alone   the same tick with the same 100 playing children and no change: what every tick
//                costs anyway
// The ratio is the cost of a tick with the change against the tick alone; their difference is
// what the 100 contexts' switching adds. No other engine's switch container is at hand to compare
// with, so the peer is the engine itself without the change.
#include "Support/BenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kContexts = 100;
constexpr uint32_t kBlockFrames = 1024;
constexpr uint32_t kMixRate = 48000;
constexpr ZkGameObjectID kFirstObject = 100;
constexpr ZkUniqueID kGroup = 700;
constexpr ZkUniqueID kValueA = 71;
constexpr ZkUniqueID kValueB = 72;

// Sounds 10 (value A) and 11 (value B), looping, under the continuous switch container 30; both
// stop at once when their value goes.
std::vector<uint8_t> BenchBank()
{
    const std::string description = R"({"name": "SwitchBench.bnk",
      "media": [{"id": 1, "wave": {"rate": 48000, "channels": 1, "frames": 4800,
                 "parts": [{"tone": 500, "amp": 0.1}]}}],
      "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
        {"tag": "HIRC", "items": [
          {"type": "bus", "id": "Bench Bus", "device": "System"},
          {"type": "sound", "id": 10, "media": 1, "props": {"loop_count": 0}},
          {"type": "sound", "id": 11, "media": 1, "props": {"loop_count": 0}},
          {"type": "switch", "id": 30, "bus": "Bench Bus", "group": 700, "default": 71, "continuous": true,
           "children": [10, 11], "values": [{"value": 71, "children": [10]}, {"value": 72, "children": [11]}],
           "settings": [{"child": 10, "mode": 1}, {"child": 11, "mode": 1}]},
          {"type": "action", "id": 50, "action": "play", "target": 30},
          {"type": "event", "id": "Play_Switch", "actions": [50]}]}]})";
    return WrittenBank(description, "zk_switch_bench");
}

class SwitchingEngine
{
public:
    SwitchingEngine()
    {
        if (!m_engine.Started())
            return;
        SetOfflineRenderingFrameTime(static_cast<float>(kBlockFrames) / kMixRate);
        static const std::vector<uint8_t> written = BenchBank();
        ZkBankID bank = 0;
        if (written.empty() || LoadBankMemoryView(written.data(), static_cast<uint32_t>(written.size()), bank) != ZK_Success)
            return;
        if (SetSwitch(kGroup, kValueA, ZK_ALL_GAME_OBJECTS) != ZK_Success)
            return;
        for (uint32_t object = 0; object < kContexts; ++object)
        {
            if (RegisterGameObj(kFirstObject + object) != ZK_Success || PostEvent("Play_Switch", kFirstObject + object) == 0)
                return;
        }
        m_ready = RenderAudio(true) == ZK_Success && CZkAudioRenderer::VoiceCount() == kContexts;
    }
    ~SwitchingEngine()
    {
        if (m_ready)
        {
            StopAll();
            RenderAudio(true);
        }
    }
    bool Ready() const { return m_ready; }

private:
    BenchEngine m_engine;
    bool m_ready = false;
};

void Tick(benchmark::State& state, bool change)
{
    SwitchingEngine engine;
    if (!engine.Ready())
    {
        state.SkipWithError("the engine, the bank or the plays did not start");
        return;
    }
    std::chrono::steady_clock::duration timed{};
    uint64_t calls = 0;
    bool onB = false;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        if (change)
        {
            onB = !onB;
            SetSwitch(kGroup, onB ? kValueB : kValueA, ZK_ALL_GAME_OBJECTS);
        }
        RenderAudio(true);
        timed += std::chrono::steady_clock::now() - start;
        ++calls;
    }
    if (CZkAudioRenderer::VoiceCount() < kContexts)
        state.SkipWithError("a context lost its child");
    if (calls > 0)
        state.counters["ns_per_call"] = std::chrono::duration<double, std::nano>(timed).count() / static_cast<double>(calls);
}

void GlobalChange(benchmark::State& state) { Tick(state, true); }
void TickAlone(benchmark::State& state) { Tick(state, false); }

constexpr benchmark::IterationCount kCalls = 200;

const bool s_registered = [] {
    PeerBench::PeerRuns("SetSwitch/global_100_contexts", "ours", GlobalChange)->Iterations(kCalls);
    PeerBench::PeerRuns("SetSwitch/global_100_contexts", "tick_alone", TickAlone)->Iterations(kCalls);
    return true;
}();
} // namespace
