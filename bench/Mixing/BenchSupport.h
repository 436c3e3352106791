// Shared helpers of the mixing benchmarks: random buffers and the per-frame-per-channel counter.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

inline std::vector<float> BenchSignal(size_t count, uint32_t seed = 1)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-0.9f, 0.9f);
    std::vector<float> samples(count);
    for (float& s : samples)
        s = distribution(generator);
    return samples;
}

// Reports nanoseconds per frame and channel: the inverse of a rate counted in units of 1e9.
inline void ReportPerFrameAndChannel(benchmark::State& state, double framesTimesChannels)
{
    state.counters["ns_per_frame_ch"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * framesTimesChannels * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
