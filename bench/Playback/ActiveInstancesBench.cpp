// The per-frame work of the active instances with 1,000 playing instances of one sound on 1,000
// game objects, each in the engine-wide limiter and its node's limiter (max instances 0: none).
//   FrameUpdate/Quiet     the frame update and the flush of an empty deferred-command queue, below
//                         the engine-wide voice limit: the list walk and one limiter enforcement
//   FrameUpdate/AtLimit   the same with the voice limit at 256: the enforcement walks past the 744
//                         instances beyond it (whose behaviour keeps them playing) every frame
//   FrameUpdate/Reports   the same below the limit with ten duration reports per frame queued by the
//                         render side and applied by the flush
// One iteration is one frame; the items are the 1,000 instances it walks.
#include "Support/BenchMemory.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kInstances = 1000;
constexpr uint32_t kReportsPerFrame = 10;

struct World
{
    World()
    {
        EnsureMemoryMgr();
        g_pTransitionMgr = ZK::ZkNew<CZkTransitionMgr>(ZkMemID_EngineSingletons);
        g_pRTPCMgr = ZK::ZkNew<CZkRTPCMgr>(ZkMemID_EngineSingletons);
        g_pRegistryMgr = ZK::ZkNew<CZkRegistryMgr>(ZkMemID_EngineSingletons);
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        g_pStateMgr = ZK::ZkNew<CZkStateMgr>(ZkMemID_EngineSingletons);
        g_pRTPCMgr->Init();
        g_pRegistryMgr->Init();
        g_pObjectIndex->InitTables();
        g_pStateMgr->Init();
        sound = CZkSoundNode::Create(1);
        for (ZkGameObjectID id = 1; id <= kInstances; ++id)
        {
            g_pRegistryMgr->RegisterObject(id);
            PlayLaunchParams params;
            params.gameObject = g_pRegistryMgr->GetObj(id);
            params.playingID = id;
            ZkPriorityRecord record;
            float radius = 0.0f;
            CZkHierarchyNode::ComputePlayPriority(record, sound, params.gameObject, radius);
            CZkPlayingInstance* instance = CZkPlayingInstance::Create(params, sound, &sound->Media(), record);
            instance->RefreshFromNode();
            instance->RegisterInLimiters();
            CZkActiveInstances::Add(instance);
            instances.push_back(instance);
        }
    }

    CZkSoundNode* sound = nullptr;
    std::vector<CZkPlayingInstance*> instances;
};

World& TheWorld()
{
    static World world; // lives for the whole program, like the engine's managers
    return world;
}

void Run(benchmark::State& state, uint16_t maxVoices, uint32_t reports)
{
    World& world = TheWorld();
    CZkActiveInstances::GlobalLimiter().SetMaxCount(maxVoices);
    uint32_t next = 0;
    for (auto _ : state)
    {
        for (uint32_t report = 0; report < reports; ++report)
        {
            world.instances[next]->OnSourceDuration(1000.0f);
            next = (next + 1) % kInstances;
        }
        CZkActiveInstances::FrameUpdate();
        CZkActiveInstances::FlushCommands();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kInstances);
    CZkActiveInstances::GlobalLimiter().SetMaxCount(CZkActiveInstances::kDefaultMaxVoices);
}

void Quiet(benchmark::State& state) { Run(state, 1024, 0); }
void AtLimit(benchmark::State& state) { Run(state, 256, 0); }
void Reports(benchmark::State& state) { Run(state, 1024, kReportsPerFrame); }

BENCHMARK(Quiet)->Name("FrameUpdate/Quiet");
BENCHMARK(AtLimit)->Name("FrameUpdate/AtLimit");
BENCHMARK(Reports)->Name("FrameUpdate/Reports");
} // namespace
