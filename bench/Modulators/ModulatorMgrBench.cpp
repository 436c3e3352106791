// The modulator manager's frame (Update: every instance advanced and packed into batches of its
// kind, the kernels over the batches, the value push, the purge) beside the same instances stepped
// one at a time (advance, one kernel record, the kernel), in nanoseconds per instance and frame of
// 1024 samples, in the running engine:
//   Update/LfoControl/1000       1,000 game objects' instances of a 2 Hz sine LFO, one value each
//   Update/EnvelopeControl/1000  1,000 instances of an envelope in a long decay, one value each
//   Update/LfoAudio/256          256 instances of a 20 Hz LFO with an audio-rate subscriber
//   Alone/...                    the same instances, each stepped alone
#include "Support/BenchEngine.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCSubscription.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kFrames = 1024;

enum class Kind
{
    LfoControl,
    EnvelopeControl,
    LfoAudio,
};

// A modulator body: its id, then (property id, 4-byte value) pairs, no ranges, no game parameters.
std::vector<uint8_t> Body(ZkUniqueID id, const std::vector<std::pair<uint8_t, float>>& floats, uint8_t scopeID,
                          int32_t scope)
{
    std::vector<uint8_t> body(4);
    std::memcpy(body.data(), &id, 4);
    body.push_back(static_cast<uint8_t>(floats.size() + 1));
    body.push_back(scopeID);
    for (const auto& [prop, value] : floats)
        body.push_back(prop);
    body.resize(body.size() + 4);
    std::memcpy(body.data() + body.size() - 4, &scope, 4);
    for (const auto& [prop, value] : floats)
    {
        body.resize(body.size() + 4);
        std::memcpy(body.data() + body.size() - 4, &value, 4);
    }
    body.push_back(0);                // no ranges
    body.insert(body.end(), {0, 0}); // no game parameters
    return body;
}

// One modulator of the kind with `count` game-object instances attached through the manager.
class ModulatorScene
{
public:
    ModulatorScene(const BenchEngine& engine, Kind kind, uint32_t count)
    {
        if (!engine.Started() || g_pModulatorMgr == nullptr)
        {
            m_error = "the engine did not start";
            return;
        }
        const ZkUniqueID id = 4000 + static_cast<ZkUniqueID>(kind);
        const bool lfo = kind != Kind::EnvelopeControl;
        m_modulator = CZkModulator::Create(id, lfo ? ZkModulatorKind_Lfo : ZkModulatorKind_Envelope);
        if (m_modulator == nullptr)
            return;
        constexpr uint8_t kScope = 0, kDepth = 2, kFrequency = 4, kAttack = 9, kDecay = 11, kSustainTime = 13;
        const std::vector<uint8_t> body =
            lfo ? Body(id, {{kDepth, 100.0f}, {kFrequency, kind == Kind::LfoAudio ? 20.0f : 2.0f}}, kScope,
                       ZkModulatorScope_GameObject)
                : Body(id, {{kAttack, 0.5f}, {kDecay, 1000.0f}, {kSustainTime, -1.0f}}, kScope,
                       ZkModulatorScope_GameObject);
        m_modulator->SetFromBank(body.data(), static_cast<uint32_t>(body.size()));
        if (kind == Kind::LfoAudio)
        {
            // A subscriber on the volume bit: the instances run at audio rate (it is served by
            // links, so the value push passes it by).
            m_audioRate.target = &m_audioRate;
            m_audioRate.kind = ZkRTPCSubscriberKind_TargetList;
            m_modulator->AddSubscriber(&m_audioRate);
        }
        for (uint32_t index = 0; index < count; ++index)
        {
            const ZkGameObjectID objectID = 100000 + index;
            g_pRegistryMgr->RegisterObject(objectID);
            ZkModulatorTrigger trigger;
            trigger.gameObject = g_pRegistryMgr->GetObj(objectID);
            trigger.triggerKind = kModulatorTriggerPlay;
            m_modulator->Attach(ZkModulatorTargetKey{}, trigger, *g_pModulatorMgr, nullptr);
            m_objects.push_back(objectID);
        }
        if (g_pModulatorMgr->InstanceCount() != count)
            m_error = "the instances were not attached";
    }
    ~ModulatorScene()
    {
        if (g_pModulatorMgr == nullptr)
            return;
        g_pModulatorMgr->TermInstances();
        g_pModulatorMgr->Init();
        if (m_modulator != nullptr)
        {
            m_modulator->Instances().VisitAllWithRemoval([](CZkModulatorInstance* instance) {
                instance->Term();
                instance->Release();
                return true;
            });
            m_modulator->RemoveSubscriber(&m_audioRate);
            m_modulator->Release();
        }
        for (const ZkGameObjectID objectID : m_objects)
            g_pRegistryMgr->UnregisterObject(objectID);
    }
    ModulatorScene(const ModulatorScene&) = delete;
    ModulatorScene& operator=(const ModulatorScene&) = delete;

    // Why the scene could not be made; null when it was.
    const char* Error() const { return m_error; }

    // The instances, each held for the alone stepping.
    std::vector<CZkModulatorInstance*> Instances()
    {
        std::vector<CZkModulatorInstance*> instances;
        if (m_modulator != nullptr)
            m_modulator->Instances().VisitMatching(ZkRTPCKey::Global(),
                                                   [&](CZkModulatorInstance* instance) { instances.push_back(instance); });
        return instances;
    }

private:
    CZkModulator* m_modulator = nullptr;
    ZkRTPCSubscription m_audioRate;
    std::vector<ZkGameObjectID> m_objects;
    const char* m_error = nullptr;
};

void Report(benchmark::State& state, uint32_t instances)
{
    state.counters["ns_per_instance_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * instances * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Whether the scene could not be made (the benchmark is then skipped with the reason).
bool Skipped(benchmark::State& state, const ModulatorScene& scene)
{
    if (scene.Error() != nullptr)
        state.SkipWithError(scene.Error());
    return scene.Error() != nullptr;
}

void Update(benchmark::State& state, Kind kind)
{
    BenchEngine engine;
    const uint32_t count = static_cast<uint32_t>(state.range(0));
    ModulatorScene scene(engine, kind, count);
    if (Skipped(state, scene))
        return;
    for (auto _ : state)
        g_pModulatorMgr->Update();
    Report(state, count);
}

// One frame of one instance as the manager computes it, without batches.
template <typename Record, typename Params, typename Output, typename Kernel>
void StepAlone(CZkModulatorInstance& instance, Output& output, float* samples, Kernel kernel)
{
    instance.Advance(kFrames);
    const Record record{instance.Header(), *static_cast<const Params*>(instance.GetParamBlock())};
    output.samples = record.header.audioRateFrames != 0 ? samples : nullptr;
    kernel(&record, &output, 1, kFrames);
    instance.SetPendingOutput(&output);
}

void Alone(benchmark::State& state, Kind kind)
{
    BenchEngine engine;
    const uint32_t count = static_cast<uint32_t>(state.range(0));
    ModulatorScene scene(engine, kind, count);
    if (Skipped(state, scene))
        return;
    std::vector<CZkModulatorInstance*> instances = scene.Instances();
    std::vector<ZkLfoOutput> lfoOutputs(count);
    std::vector<ZkModulatorOutput> outputs(count);
    std::vector<float> samples(kFrames);
    for (auto _ : state)
    {
        for (uint32_t index = 0; index < count; ++index)
        {
            if (kind == Kind::EnvelopeControl)
                StepAlone<ZkEnvelopeRecord, ZkEnvelopeParams>(*instances[index], outputs[index], samples.data(),
                                                              RunEnvelopeKernel);
            else
                StepAlone<ZkLfoRecord, ZkLfoParams>(*instances[index], lfoOutputs[index], samples.data(),
                                                    RunLfoKernel);
        }
    }
    for (CZkModulatorInstance* instance : instances)
        instance->SetPendingOutput(nullptr);
    Report(state, count);
}

BENCHMARK_CAPTURE(Update, LfoControl, Kind::LfoControl)->Arg(1000);
BENCHMARK_CAPTURE(Alone, LfoControl, Kind::LfoControl)->Arg(1000);
BENCHMARK_CAPTURE(Update, EnvelopeControl, Kind::EnvelopeControl)->Arg(1000);
BENCHMARK_CAPTURE(Alone, EnvelopeControl, Kind::EnvelopeControl)->Arg(1000);
BENCHMARK_CAPTURE(Update, LfoAudio, Kind::LfoAudio)->Arg(256);
BENCHMARK_CAPTURE(Alone, LfoAudio, Kind::LfoAudio)->Arg(256);
} // namespace
