// Game-parameter value look-ups and subscriber notifications with 1,000 registered game objects.
//   ObjectValueLookup       best-match look-up of an object's value (every object holds one)
//   FallbackLookup          look-up for an object without a value of its own (falls back to global)
//   SetObjectValue          set one object's value: its one node target is notified
//   SetGlobalValue          set the global value: the node's 1,000 targets are walked, half of them
//                           skipped by the override filter because their object holds its own value
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kObjectCount = 1000;
constexpr ZkUniqueID kParam = 77;
constexpr uint32_t kBit = 2;

class CountingTarget : public CZkKeyedParamTarget
{
public:
    using CZkKeyedParamTarget::CZkKeyedParamTarget;
    void GetParamMask(uint64_t& mask) override { mask = 1ull << kBit; }
    void OnParamValue(uint32_t, uint32_t, ZkUniqueID, float value, float) override { sum += value; }
    float sum = 0.0f;
};

struct World
{
    World()
    {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        ZK::MemoryMgr::Init(&settings);
        g_pTransitionMgr = ZK::ZkNew<CZkTransitionMgr>(ZkMemID_EngineSingletons);
        g_pRTPCMgr = ZK::ZkNew<CZkRTPCMgr>(ZkMemID_EngineSingletons);
        g_pRegistryMgr = ZK::ZkNew<CZkRegistryMgr>(ZkMemID_EngineSingletons);
        g_pRTPCMgr->Init();
        g_pRegistryMgr->Init();
        list = std::make_unique<CZkParamTargetList>(1, nullptr);
        for (ZkGameObjectID id = 1; id <= kObjectCount; ++id)
        {
            g_pRegistryMgr->RegisterObject(id);
            CZkRegisteredObj* object = g_pRegistryMgr->GetObj(id);
            objects.push_back(object);
            targets.push_back(std::make_unique<CountingTarget>(ZkRTPCKey::ForObject(object)));
            list->AddTarget(targets.back().get(), 1ull << kBit);
            // Every other object holds a value of its own.
            if (id % 2 == 0)
                g_pRTPCMgr->SetRTPCImmediate(kParam, static_cast<float>(id), ZkRTPCKey::ForObject(object));
        }
        g_pRTPCMgr->SetRTPCImmediate(kParam, 0.5f, ZkRTPCKey::Global());
        const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {2000.0f, 1.0f, 1}};
        list->SubscribeRTPC(kParam, 0, 0, kBit, 1, ZkCurveScaling_None, line, 2);
    }

    std::unique_ptr<CZkParamTargetList> list;
    std::vector<CZkRegisteredObj*> objects;
    std::vector<std::unique_ptr<CountingTarget>> targets;
};

World& TheWorld()
{
    static World world; // lives for the whole program, like the engine's managers
    return world;
}

void ObjectValueLookup(benchmark::State& state)
{
    World& world = TheWorld();
    uint32_t index = 1;
    float sum = 0.0f;
    for (auto _ : state)
    {
        ZkRTPCKey key = ZkRTPCKey::ForObject(world.objects[index]);
        float value = 0.0f;
        g_pRTPCMgr->GetRTPCValue(kParam, key, value);
        sum += value;
        index = (index + 2 * 389) % kObjectCount | 1u; // odd indexes: objects 2, 4, ... hold values
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(ObjectValueLookup);

void FallbackLookup(benchmark::State& state)
{
    World& world = TheWorld();
    uint32_t index = 0;
    float sum = 0.0f;
    for (auto _ : state)
    {
        ZkRTPCKey key = ZkRTPCKey::ForObject(world.objects[index], 9);
        float value = 0.0f;
        g_pRTPCMgr->GetRTPCValue(kParam, key, value);
        sum += value;
        index = (index + 2 * 389) % kObjectCount & ~1u;
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(FallbackLookup);

void SetObjectValue(benchmark::State& state)
{
    World& world = TheWorld();
    uint32_t index = 1;
    float value = 1.0f;
    for (auto _ : state)
    {
        g_pRTPCMgr->SetRTPCImmediate(kParam, value, ZkRTPCKey::ForObject(world.objects[index]));
        value = value == 1.0f ? 2.0f : 1.0f;
        index = (index + 2 * 389) % kObjectCount | 1u;
    }
}
BENCHMARK(SetObjectValue);

void SetGlobalValue(benchmark::State& state)
{
    TheWorld();
    float value = 1.0f;
    for (auto _ : state)
    {
        g_pRTPCMgr->SetRTPCImmediate(kParam, value, ZkRTPCKey::Global());
        value = value == 1.0f ? 2.0f : 1.0f;
    }
    state.SetItemsProcessed(state.iterations() * kObjectCount);
}
BENCHMARK(SetGlobalValue);
} // namespace
