// Message throughput of the engine's message ring: writers post 24-byte messages (the size of a
// game-parameter change) and close a frame every 64 messages, with 1 and 4 writer threads.
//   WithEngineThread  an engine thread reads the frames as RenderAudio wakes it (or every 5 ms)
//   WritersDrain      no engine thread: the writers drain the full ring themselves
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include "Platform/PlatformEvent.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kMessageBytes = 24;
constexpr uint32_t kMessagesPerFrame = 64;
constexpr uint32_t kEngineWaitMs = 5;
constexpr uint16_t kBenchMessageType = 2;

class CountingDispatcher : public IZkMessageDispatcher
{
public:
    void Dispatch(const uint8_t* message, bool&) override { checksum += message[4]; }
    void Discard(const uint8_t*) override {}
    uint64_t checksum = 0;
};

struct RingUnderTest
{
    CountingDispatcher dispatcher;
    CZkMessageRing ring;
    ZK::Platform::ZkEvent wake;
    std::atomic<bool> quit{false};
    std::thread engine;
};

RingUnderTest* g_bench = nullptr;

void EnsureMemoryMgr()
{
    static const bool s_started = [] {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        return ZK::MemoryMgr::Init(&settings) == ZK_Success;
    }();
    if (!s_started)
        std::abort();
}

void StartRing(bool withEngineThread)
{
    EnsureMemoryMgr();
    g_bench = new RingUnderTest;
    if (g_bench->ring.Init(CZkMessageRing::kDefaultCapacityBytes, &g_bench->dispatcher) != ZK_Success ||
        !g_bench->wake.Init(ZK::Platform::EventReset::Auto))
        std::abort();
    if (!withEngineThread)
        return;
    g_bench->engine = std::thread([] {
        while (!g_bench->quit.load(std::memory_order_acquire))
        {
            g_bench->wake.Wait(kEngineWaitMs);
            ZK::Platform::ZkScopedLock lock(g_EngineLock);
            bool deviceChanged = false;
            g_bench->ring.ProcessMessages(false, deviceChanged);
        }
    });
}

void StopRing()
{
    g_bench->quit.store(true, std::memory_order_release);
    g_bench->wake.Set();
    if (g_bench->engine.joinable())
        g_bench->engine.join();
    g_bench->ring.Term();
    g_bench->wake.Term();
    delete g_bench;
    g_bench = nullptr;
}

void PostMessages(benchmark::State& state)
{
    uint32_t posted = 0;
    for (auto _ : state)
    {
        uint8_t* message = g_bench->ring.ReserveMessage(kBenchMessageType, kMessageBytes);
        std::memset(message + 4, static_cast<int>(posted), kMessageBytes - 4);
        g_bench->ring.FinishMessage();
        if (++posted % kMessagesPerFrame == 0)
            g_bench->ring.EndFrame(&g_bench->wake);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_MessageRing_WithEngineThread(benchmark::State& state) { PostMessages(state); }
void BM_MessageRing_WritersDrain(benchmark::State& state) { PostMessages(state); }
} // namespace

BENCHMARK(BM_MessageRing_WithEngineThread)
    ->Setup([](const benchmark::State&) { StartRing(true); })
    ->Teardown([](const benchmark::State&) { StopRing(); })
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
BENCHMARK(BM_MessageRing_WritersDrain)
    ->Setup([](const benchmark::State&) { StartRing(false); })
    ->Teardown([](const benchmark::State&) { StopRing(); })
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
