// The interface's posting calls, end to end: SetRTPCValue (argument checks, the 24-byte message,
// the ring) from 1 and 4 game threads, with an engine thread that reads each frame as RenderAudio
// wakes it and applies the values through the game-parameter manager, and a frame closed every 64
// calls. Calls per second; the bare ring's figure is BM_MessageRing_WithEngineThread.
#include "Support/BenchMemory.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include "Platform/PlatformEvent.h"

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

// The game-parameter manager that global values reach, the event manager and its engine thread.
class EngineForPosts
{
public:
    EngineForPosts()
    {
        EnsureMemoryMgr();
        g_pRTPCMgr = ZK::ZkNew<CZkRTPCMgr>(ZkMemID_EngineSingletons);
        if (g_pRTPCMgr == nullptr || g_pRTPCMgr->Init() != ZK_Success ||
            m_events.Init(CZkMessageRing::kDefaultCapacityBytes) != ZK_Success ||
            !wake.Init(ZK::Platform::EventReset::Auto))
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
        g_pRTPCMgr->Term();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pRTPCMgr);
        g_pRTPCMgr = nullptr;
    }
    EngineForPosts(const EngineForPosts&) = delete;
    EngineForPosts& operator=(const EngineForPosts&) = delete;

    ZK::Platform::ZkEvent wake;

private:
    EventManager m_events;
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
} // namespace

BENCHMARK(BM_SetRTPCValue)
    ->Setup([](const benchmark::State&) { g_engine = new EngineForPosts(); })
    ->Teardown([](const benchmark::State&) { delete g_engine; })
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
