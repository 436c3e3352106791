// An effect object's parameters reaching its running plug-ins, per call, with 256 contexts (the
// plug-in instances of 256 voices), in the running engine:
//   EffectParams/state_change    a state change of the group driving a kind-3 parameter: every
//                                context's contribution of the group is replaced and the product
//                                of its contributions sent to its plug-in
//   EffectParams/game_parameter  a global value of the game parameter bound to the parameter:
//                                every context's subscription is notified through its curve
// The peer ("direct") is what a program without effect objects would do for the same change: set
// the value on each of the 256 plug-ins' parameter objects in a loop.
#include "Support/BenchEngine.h"
#include "Support/PeerRatios.h"

#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/IZkPluginMemAlloc.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kContexts = 256;
constexpr uint32_t kCompany = 0x41;
constexpr uint32_t kPluginNumber = 9;
constexpr ZkUniqueID kEffectID = 0xEFF;
constexpr ZkUniqueID kGroup = 0x600;
constexpr ZkUniqueID kStates[2] = {0x601, 0x602};
constexpr ZkUniqueID kStateObjects[2] = {0x701, 0x702};
constexpr ZkUniqueID kGameParam = 0x800;

// A plug-in parameter object that keeps the last value of each of its first parameters.
class BenchParams final : public ZK::IZkPluginParam
{
public:
    static ZK::IZkPluginParam* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(BenchParams));
        return memory != nullptr ? new (memory) BenchParams : nullptr;
    }
    ZKRESULT SetParam(uint16_t id, const void* value, uint32_t size) override
    {
        if (id < kKept && size == sizeof(float))
            std::memcpy(&values[id], value, sizeof(float));
        return ZK_Success;
    }
    ZK::IZkPluginParam* Clone(ZK::IZkPluginMemAlloc* allocator) override { return Create(allocator); }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, const void*, uint32_t) override { return ZK_Success; }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        this->~BenchParams();
        ZK_PLUGIN_FREE(allocator, this);
        return ZK_Success;
    }
    ZKRESULT SetParamsBlock(const void*, uint32_t) override { return ZK_Success; }

    static constexpr uint16_t kKept = 4;
    float values[kKept] = {};
};

template <typename T>
void Put(std::vector<uint8_t>& bytes, T value)
{
    const size_t at = bytes.size();
    bytes.resize(at + sizeof(T));
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

// The effect object's body: the bench plug-in, parameter 0 at 0.5 (kind 3) driven by the game
// parameter (a line from 0 to 1 over 0..100) and by the state group (a property of kind 3).
std::vector<uint8_t> EffectBody()
{
    std::vector<uint8_t> body;
    Put(body, kEffectID);
    Put(body, ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, kCompany, kPluginNumber));
    Put<uint32_t>(body, 0);
    Put<uint8_t>(body, 0);  // media
    Put<uint16_t>(body, 1); // one subscription
    Put(body, kGameParam);
    Put<uint8_t>(body, 0);
    Put<uint8_t>(body, 3);
    Put<uint8_t>(body, 0); // target parameter 0
    Put<uint32_t>(body, 1);
    Put<uint8_t>(body, 0);
    Put<uint16_t>(body, 2);
    for (const ZkCurvePoint point : {ZkCurvePoint{0.0f, 0.0f, 4}, ZkCurvePoint{100.0f, 1.0f, 4}})
        Put(body, point);
    // State chunk: property 0 of kind 3, one group with two states.
    for (const uint8_t byte : {1, 0, 3, 0, 1})
        Put<uint8_t>(body, byte);
    Put(body, kGroup);
    Put<uint8_t>(body, 0); // sync type
    Put<uint8_t>(body, 2);
    for (uint32_t i = 0; i < 2; ++i)
    {
        Put(body, kStates[i]);
        Put(body, kStateObjects[i]);
    }
    Put<uint16_t>(body, 1); // one initial value
    Put<uint8_t>(body, 0);
    Put<uint8_t>(body, 3);
    Put(body, 0.5f);
    return body;
}

std::vector<uint8_t> StateBody(ZkUniqueID id, float value)
{
    std::vector<uint8_t> body;
    Put(body, id);
    Put<uint16_t>(body, 1);
    Put<uint16_t>(body, 0);
    Put(body, value);
    return body;
}

struct World
{
    World()
    {
        if (!engine.Started())
            return;
        PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeEffect, kCompany, kPluginNumber, nullptr, &BenchParams::Create,
                                       nullptr);
        g_pStateMgr->AddStateGroup(kGroup);
        for (uint32_t i = 0; i < 2; ++i)
        {
            CZkState* state = CZkState::Create(kStateObjects[i]);
            const std::vector<uint8_t> body = StateBody(kStateObjects[i], i == 0 ? 0.5f : 0.25f);
            CZkState::ReadFromBank(state, body.data(), static_cast<uint32_t>(body.size()));
            states.push_back(state);
        }
        effect = CZkEffectObject::CreateShared(kEffectID);
        const std::vector<uint8_t> body = EffectBody();
        ready = effect != nullptr && effect->ReadFromBank(body.data(), static_cast<uint32_t>(body.size())) == ZK_Success;
        for (uint32_t i = 0; ready && i < kContexts; ++i)
        {
            contexts.push_back(std::make_unique<CZkEffectContext>());
            ready = effect->CreatePluginInstance(*contexts.back(), ZkRTPCKey::Global());
            peers.push_back(std::make_unique<BenchParams>());
        }
    }
    ~World()
    {
        contexts.clear();
        if (effect != nullptr)
            effect->Release();
        for (CZkState* state : states)
            state->Release();
    }

    BenchEngine engine;
    CZkEffectObject* effect = nullptr;
    std::vector<CZkState*> states;
    std::vector<std::unique_ptr<CZkEffectContext>> contexts;
    std::vector<std::unique_ptr<BenchParams>> peers;
    bool ready = false;
};

World& TheWorld()
{
    static World world;
    return world;
}

void StateChangeOurs(benchmark::State& state)
{
    World& world = TheWorld();
    if (!world.ready)
    {
        state.SkipWithError("the engine or the effect object did not start");
        return;
    }
    uint32_t next = 0;
    PeerBench::MeasurePerUnit(state, "call", 1.0, [&] {
        g_pStateMgr->SetStateInternal(kGroup, kStates[next], true, false);
        next ^= 1u;
    });
    benchmark::DoNotOptimize(static_cast<BenchParams*>(world.contexts[0]->Params())->values[0]);
}

void GameParameterOurs(benchmark::State& state)
{
    World& world = TheWorld();
    if (!world.ready)
    {
        state.SkipWithError("the engine or the effect object did not start");
        return;
    }
    float value = 25.0f;
    PeerBench::MeasurePerUnit(state, "call", 1.0, [&] {
        g_pRTPCMgr->SetRTPCImmediate(kGameParam, value, ZkRTPCKey::Global());
        value = value == 25.0f ? 75.0f : 25.0f;
    });
    benchmark::DoNotOptimize(static_cast<BenchParams*>(world.contexts[0]->Params())->values[0]);
}

void Direct(benchmark::State& state)
{
    World& world = TheWorld();
    float value = 0.25f;
    PeerBench::MeasurePerUnit(state, "call", 1.0, [&] {
        for (const auto& params : world.peers)
            params->SetParam(0, &value, sizeof(value));
        value = value == 0.25f ? 0.125f : 0.25f;
    });
    benchmark::DoNotOptimize(world.peers[0]->values[0]);
}

const bool s_registered = [] {
    PeerBench::PeerRuns("EffectParams/state_change", "ours", StateChangeOurs);
    PeerBench::PeerRuns("EffectParams/state_change", "direct", Direct);
    PeerBench::PeerRuns("EffectParams/game_parameter", "ours", GameParameterOurs);
    PeerBench::PeerRuns("EffectParams/game_parameter", "direct", Direct);
    return true;
}();
} // namespace
