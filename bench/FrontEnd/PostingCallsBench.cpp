// The interface's posting calls, end to end, from 1 and 4 game threads, with an engine thread that
// reads each frame as RenderAudio wakes it, and a frame closed every 64 calls. Calls per second;
// the bare ring's figure is BM_MessageRing_WithEngineThread.
//   SetRTPCValue  argument checks, the 24-byte message, the ring; the engine applies the values
//                 through the game-parameter manager
//   PostEvent     the event's look-up (with its reference), a playing id from the global counter,
//                 its registration with the playing manager, the 52-byte message, the ring; the
//                 engine turns the post into pending actions (the event has none) and the playing
//                 id ends
#include "Support/BenchMemory.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include "Platform/PlatformEvent.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kCallsPerFrame = 64;
constexpr uint32_t kEngineWaitMs = 5;
constexpr ZkUniqueID kEventID = 0xE0E0u;

// The game-parameter manager that global values reach, the object index with the posted event, the
// playing manager, the event manager and its engine thread.
class EngineForPosts
{
public:
    EngineForPosts()
    {
        EnsureMemoryMgr();
        g_pRTPCMgr = ZK::ZkNew<CZkRTPCMgr>(ZkMemID_EngineSingletons);
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        g_pPlayingMgr = ZK::ZkNew<CZkPlayingMgr>(CZkPlayingMgr::kPool);
        if (g_pRTPCMgr == nullptr || g_pRTPCMgr->Init() != ZK_Success || g_pObjectIndex == nullptr ||
            g_pPlayingMgr == nullptr || g_pPlayingMgr->CreateCallbackEvent() != ZK_Success ||
            m_events.Init(CZkMessageRing::kDefaultCapacityBytes) != ZK_Success ||
            !wake.Init(ZK::Platform::EventReset::Auto))
            std::abort();
        g_pObjectIndex->InitTables();
        m_event = CZkEventObject::Create(kEventID);
        if (m_event == nullptr || m_event->AddToIndex() != ZK_Success)
            std::abort();
        g_pEventMgr = &m_events;
        m_engine = std::thread([this] {
            ZK::MemoryMgr::InitForThread();
            while (!m_quit.load(std::memory_order_acquire))
            {
                wake.Wait(kEngineWaitMs);
                ZK::Platform::ZkScopedLock lock(g_EngineLock);
                bool deviceChanged = false;
                m_events.ProcessMessages(deviceChanged);
            }
            ZK::MemoryMgr::TermForThread();
        });
    }
    ~EngineForPosts()
    {
        m_quit.store(true, std::memory_order_release);
        wake.Set();
        m_engine.join();
        g_pEventMgr = nullptr;
        m_events.Term();
        wake.Term();
        m_event->Release();
        g_pObjectIndex->FreeTables();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
        g_pObjectIndex = nullptr;
        g_pPlayingMgr->TermPlayingIDs();
        g_pPlayingMgr->Term();
        ZK::ZkDelete(CZkPlayingMgr::kPool, g_pPlayingMgr);
        g_pPlayingMgr = nullptr;
        g_pRTPCMgr->Term();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pRTPCMgr);
        g_pRTPCMgr = nullptr;
    }
    EngineForPosts(const EngineForPosts&) = delete;
    EngineForPosts& operator=(const EngineForPosts&) = delete;

    ZK::Platform::ZkEvent wake;

private:
    EventManager m_events;
    CZkEventObject* m_event = nullptr;
    std::atomic<bool> m_quit{false};
    std::thread m_engine;
};

EngineForPosts* g_engine = nullptr;

void BM_SetRTPCValue(benchmark::State& state)
{
    const ZkUniqueID parameter = 0x100u + static_cast<uint32_t>(state.thread_index());
    uint32_t calls = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(SetRTPCValue(parameter, static_cast<float>(calls & 255u)));
        if (++calls % kCallsPerFrame == 0)
            g_pEventMgr->Ring().EndFrame(&g_engine->wake);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PostEvent(benchmark::State& state)
{
    const ZkGameObjectID gameObject = 0x100u + static_cast<uint32_t>(state.thread_index());
    uint32_t calls = 0;
    for (auto _ : state)
    {
        if (PostEvent(kEventID, gameObject) == ZK_INVALID_PLAYING_ID)
        {
            state.SkipWithError("a post was refused");
            break;
        }
        if (++calls % kCallsPerFrame == 0)
            g_pEventMgr->Ring().EndFrame(&g_engine->wake);
    }
    state.SetItemsProcessed(state.iterations());
}

void StartEngine(const benchmark::State&)
{
    g_engine = new EngineForPosts();
}

void StopEngine(const benchmark::State&)
{
    delete g_engine;
}
} // namespace

BENCHMARK(BM_SetRTPCValue)->Setup(StartEngine)->Teardown(StopEngine)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_PostEvent)->Setup(StartEngine)->Teardown(StopEngine)->Threads(1)->Threads(4)->UseRealTime();
