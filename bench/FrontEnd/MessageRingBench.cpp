// Message throughput of the engine's message ring: writers post 24-byte messages (the size of a
// game-parameter change) and close a frame every 64 messages, with 1 and 4 writer threads.
//   WithEngineThread  an engine thread reads the frames as RenderAudio wakes it (or every 5 ms)
//   WritersDrain      no engine thread: the writers drain the full ring themselves
#include "RingWithEngine.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace
{
using namespace RingBench;

constexpr uint32_t kMessageBytes = 24;

RingWithEngine* g_bench = nullptr;

void PostMessages(benchmark::State& state)
{
    uint32_t posted = 0;
    for (auto _ : state)
    {
        uint8_t* message = g_bench->ring.ReserveMessage(kMessageType, kMessageBytes);
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
    ->Setup([](const benchmark::State&) { g_bench = new RingWithEngine(true); })
    ->Teardown([](const benchmark::State&) { delete g_bench; })
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
BENCHMARK(BM_MessageRing_WritersDrain)
    ->Setup([](const benchmark::State&) { g_bench = new RingWithEngine(false); })
    ->Teardown([](const benchmark::State&) { delete g_bench; })
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
