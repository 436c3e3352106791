// Benchmarks against peers: every comparison is a family of Google Benchmark runs named
// "<comparison>/ours" and "<comparison>/<peer>" (one per peer), each reporting its cost in a
// counter whose name starts with "ns_per_" (nanoseconds per unit of work: per operation, message,
// sample or voice-frame). Registered with PeerRuns, they are repeated and interleaved at random, so
// that a machine shared with other work loads ours and the peers alike; the program's main prints
// the usual table and then, per comparison, the medians and the ratio ours / peer (below 1 is
// faster). Extra counters whose name ends in "_ns" (for example a percentile of the time per
// operation) are printed beside them.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace PeerBench
{
constexpr int kRepetitions = 9;

// Registers fn under "<comparison>/<contender>" with the repetitions the ratio table reads.
benchmark::internal::Benchmark* PeerRuns(const std::string& comparison, const std::string& contender,
                                         void (*fn)(benchmark::State&));

// Times the benchmark loop itself and reports nanoseconds per unit as "ns_per_<unit>".
class NsPerUnit
{
public:
    NsPerUnit(benchmark::State& state, const char* unit) : m_state(state), m_unit(unit) {}
    void Start() { m_start = std::chrono::steady_clock::now(); }
    void Stop(double unitsDone)
    {
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - m_start).count();
        m_state.counters[std::string("ns_per_") + m_unit] = benchmark::Counter(ns / unitsDone, benchmark::Counter::kAvgThreads);
    }

private:
    benchmark::State& m_state;
    const char* m_unit;
    std::chrono::steady_clock::time_point m_start;
};

// Runs work() once per benchmark iteration and reports nanoseconds per unit, unitsPerIteration
// units an iteration.
template <class Work>
void MeasurePerUnit(benchmark::State& state, const char* unit, double unitsPerIteration, Work&& work)
{
    NsPerUnit cost(state, unit);
    uint64_t iterations = 0;
    cost.Start();
    for (auto _ : state)
    {
        work();
        ++iterations;
    }
    cost.Stop(static_cast<double>(iterations) * unitsPerIteration);
}

// Renders blocks of voices, a contender made from its argument (skipped with an error when it is not
// Ready()): one block before the timing, then nanoseconds per voice-frame, blockFrames x voices
// voice-frames a block.
template <class Voices, class Argument>
void MeasureVoiceBlocks(benchmark::State& state, Argument argument, double voiceFramesPerBlock)
{
    Voices voices(argument);
    if (!voices.Ready())
    {
        state.SkipWithError("voices not available");
        return;
    }
    voices.RenderBlock();
    MeasurePerUnit(state, "voice_frame", voiceFramesPerBlock, [&] { voices.RenderBlock(); });
}
} // namespace PeerBench
