// Moving the crossfade parameter of layered containers, per call, through the running engine
// (offline rendering, the base sink): 100 posts of a continuous layered container of 4 looping
// children leave 100 contexts and 400 playing instances; each timed iteration sets the parameter
// globally and runs the tick that applies it (and renders the frame).
//   ours          the parameter is the layer's crossfade: every instance of the 4 children gets its
//                 new gain (the values stay inside every child's audible range, so nothing starts or
//                 stops)
//   unused_param  a parameter nothing subscribes to: the same call and frame without the layer
// The ratio is the cost of the crossfade's notification and gain pushes against a bare tick.
#include "Support/BenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

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
constexpr uint32_t kChildren = 4;
constexpr uint32_t kBlockFrames = 1024;
constexpr uint32_t kMixRate = 48000;
constexpr ZkGameObjectID kObject = 7;
constexpr ZkUniqueID kCrossfade = 7001;
constexpr ZkUniqueID kUnused = 7002;

// Sounds 10 .. 13 (looping) under continuous layered container 30, whose one layer gives each a
// linear curve over 0-100 of parameter 7001.
std::vector<uint8_t> BenchBank()
{
    std::string sounds;
    std::string children;
    std::string associations;
    for (uint32_t index = 0; index < kChildren; ++index)
    {
        const std::string id = std::to_string(10 + index);
        sounds += R"({"type": "sound", "id": )" + id + R"(, "media": 1, "props": {"loop_count": 0}}, )";
        children += (index ? ", " : "") + id;
        associations += std::string(index ? ", " : "") + R"({"child": )" + id +
                        (index % 2 == 0 ? R"(, "points": [[0, 1], [100, 0]]})" : R"(, "points": [[0, 0], [100, 1]]})");
    }
    const std::string description = R"({"name": "LayeredBench.bnk",
      "media": [{"id": 1, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": 440, "of": 440},
                 "parts": [{"tone": 440, "amp": 0.1}]}}],
      "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
        {"tag": "HIRC", "items": [
          {"type": "bus", "id": "Bench Bus", "device": "System"}, )" +
                                    sounds + R"(
          {"type": "layered", "id": 30, "bus": "Bench Bus", "continuous": true, "children": [)" + children +
                                    R"(], "layers": [{"id": 40, "crossfade": 7001, "associations": [)" + associations +
                                    R"(]}]},
          {"type": "action", "id": 50, "action": "play", "target": 30},
          {"type": "event", "id": "Play_Layered", "actions": [50]}]}]})";
    return WrittenBank(description, "zk_layered_bench");
}

class LayeredEngine
{
public:
    LayeredEngine()
    {
        if (!m_engine.Started())
            return;
        SetOfflineRenderingFrameTime(static_cast<float>(kBlockFrames) / kMixRate);
        static const std::vector<uint8_t> written = BenchBank();
        ZkBankID bank = 0;
        if (written.empty() || LoadBankMemoryView(written.data(), static_cast<uint32_t>(written.size()), bank) != ZK_Success ||
            RegisterGameObj(kObject) != ZK_Success || SetRTPCValue(kCrossfade, 50.0f) != ZK_Success)
            return;
        for (uint32_t post = 0; post < kContexts; ++post)
        {
            if (PostEvent("Play_Layered", kObject) == 0)
                return;
        }
        m_ready = RenderAudio(true) == ZK_Success && RenderAudio(true) == ZK_Success;
    }
    bool Ready() const { return m_ready; }

private:
    BenchEngine m_engine;
    bool m_ready = false;
};

void SetAndTick(benchmark::State& state, ZkUniqueID parameter)
{
    LayeredEngine engine;
    if (!engine.Ready())
    {
        state.SkipWithError("the engine, the bank or the plays did not start");
        return;
    }
    std::chrono::steady_clock::duration timed{};
    uint64_t calls = 0;
    float value = 40.0f;
    for (auto _ : state)
    {
        value = value == 40.0f ? 60.0f : 40.0f;
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(SetRTPCValue(parameter, value));
        RenderAudio(true);
        timed += std::chrono::steady_clock::now() - start;
        ++calls;
    }
    if (calls > 0)
        state.counters["ns_per_call"] = std::chrono::duration<double, std::nano>(timed).count() / static_cast<double>(calls);
}

void Crossfade(benchmark::State& state) { SetAndTick(state, kCrossfade); }
void UnusedParameter(benchmark::State& state) { SetAndTick(state, kUnused); }

constexpr benchmark::IterationCount kCalls = 200;

const bool s_registered = [] {
    PeerBench::PeerRuns("SetRTPCValue/crossfade_of_100_contexts_of_4", "ours", Crossfade)->Iterations(kCalls);
    PeerBench::PeerRuns("SetRTPCValue/crossfade_of_100_contexts_of_4", "unused_param", UnusedParameter)
        ->Iterations(kCalls);
    return true;
}();
} // namespace
