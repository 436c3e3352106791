// The per-frame connection pass of the mix graph: for 512 mono voices with two stereo connections
// each (the dry path into a stereo bus and an auxiliary send into a stereo bus), the connection
// volumes (UpdateSendConnections) and the positioning step (ComputeConnectionVolumes), as the render
// pass runs them once per frame. The panner moves every frame, so every matrix is built again.
//   FramePass   both steps for all 512 voices; counter ns_per_voice
#include "Support/BenchMemory.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kVoices = 512;
constexpr ZkUniqueID kAuxBusID = 0xA0B;
constexpr float kThresholdDb = -96.3f;

class MonoVoice final : public CZkMixContext
{
public:
    ZkChannelConfig GetOutputConfig() const override { return ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO); }
};

// The auxiliary bus's node: the sends name it by its id.
class AuxNode final : public CZkHierarchyNode
{
public:
    AuxNode() : CZkHierarchyNode(kAuxBusID) {}
    ZkNodeCategory Category() const override { return ZkNodeCategory_Group; }
    ZKRESULT ExecuteAction(const ZkActionParams&) override { return ZK_Success; }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    void Destroy() override {}
};

// A bus that stands alone, outside the renderer's graph: its node and level are set here.
class StandaloneBus final : public CZkMixBus
{
public:
    StandaloneBus()
    {
        Init(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), ZkMixBusKey());
        SetVolumeDb(0.0f);
    }
    void SetNode(CZkHierarchyNode* node) { AssignKey(ZkMixBusKey(node, 0, nullptr)); }
    void SetLevelDb(float db) { SetVolumeDb(db); }
};

struct Graph
{
    Graph()
    {
        EnsureMemoryMgr();
        SetAudioFormatGlobals(48000, 1024);
        aux.SetNode(&auxNode);
        aux.SetLevelDb(-3.0f);
        for (uint32_t i = 0; i < kVoices; ++i)
        {
            auto voice = std::make_unique<MonoVoice>();
            voice->View().gameObjectID = 100 + i;
            voice->View().outputLevel = 0.5f + 0.001f * static_cast<float>(i);
            voice->View().positioning.flags = 1; // two-dimensional position panning
            voice->ConnectTo(dry, kConnectionDirect);
            voice->ConnectTo(aux, 1);
            voice->Sends().AddLast(ZkSendRecord{100 + i, kAuxBusID, 0.25f, 1, 0.0f, 0});
            voices.push_back(std::move(voice));
        }
    }

    AuxNode auxNode;
    StandaloneBus dry;
    StandaloneBus aux;
    std::vector<std::unique_ptr<MonoVoice>> voices;
};

void FramePass(benchmark::State& state)
{
    static Graph graph;
    float pan = -100.0f;
    for (auto _ : state)
    {
        pan = pan >= 100.0f ? -100.0f : pan + 1.0f;
        for (const auto& voice : graph.voices)
        {
            voice->View().positioning.panX = pan;
            voice->UpdateSendConnections(true, kThresholdDb);
            voice->ApplyRelatedLevels();
            voice->ComputeConnectionVolumes(1.0f);
        }
        benchmark::DoNotOptimize(graph.voices.front()->FirstOutput()->Entry(0).matrices.current);
    }
    state.counters["ns_per_voice"] = benchmark::Counter(static_cast<double>(state.iterations()) * kVoices * 1e-9,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(FramePass);
} // namespace
