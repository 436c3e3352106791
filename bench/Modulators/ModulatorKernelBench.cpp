// The modulator kernels, one record at a time (as each instance of a batch is computed), in
// nanoseconds per instance and frame of 1024 samples:
//   Lfo/Control        a 3 Hz triangle with smoothing: one value per frame
//   Lfo/Audio          a 20 Hz triangle with smoothing: 1024 values per frame
//   Envelope/Control   an envelope in its decay: one value per frame
//   Envelope/Audio     the same at audio rate (1024 values)
//   Time               a looping time source at control rate
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kFrames = 1024;
constexpr uint32_t kSampleRate = 48000;

void Report(benchmark::State& state)
{
    state.counters["ns_per_instance_frame"] = benchmark::Counter(static_cast<double>(state.iterations()) * 1e-9,
                                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Lfo(benchmark::State& state, float frequency, bool audio)
{
    ZkLfoRecord record;
    record.params.depth = 1.0f;
    record.params.attack = 0;
    record.params.waveform = 1;
    record.params.frequency = frequency;
    ZkModulatorMath::ComputeLfoCoefficients(record.params.oscillator, 1, frequency, 0.5f);
    record.header.audioRateFrames = audio ? kFrames : 0;
    std::vector<float> buffer(kFrames);
    ZkLfoOutput output;
    output.samples = audio ? buffer.data() : nullptr;
    for (auto _ : state)
    {
        record.header.elapsedFrames += kFrames;
        RunLfoKernel(&record, &output, 1, kFrames);
        record.params.oscillator = output.oscillator;
        benchmark::DoNotOptimize(output.lastValue);
    }
    Report(state);
}

void Envelope(benchmark::State& state, bool audio)
{
    ZkEnvelopeRecord record;
    record.params = ZkEnvelopeParams{kNeverFrame, 0.0f, 4800, 0.5f, 0.3f, 1 << 30, 48000};
    record.header.audioRateFrames = audio ? kFrames : 0;
    std::vector<float> buffer(kFrames);
    ZkModulatorOutput output;
    output.samples = audio ? buffer.data() : nullptr;
    for (auto _ : state)
    {
        record.header.elapsedFrames += kFrames;
        RunEnvelopeKernel(&record, &output, 1, kFrames);
        record.header.currentValue = output.lastValue;
        benchmark::DoNotOptimize(output.lastValue);
    }
    Report(state);
}

void Time(benchmark::State& state)
{
    ZkTimeRecord record;
    record.params.duration = 96000;
    record.params.totalLength = kNeverFrame;
    ZkModulatorOutput output;
    for (auto _ : state)
    {
        record.header.elapsedFrames += kFrames;
        RunTimeKernel(&record, &output, 1, kFrames, kSampleRate);
        benchmark::DoNotOptimize(output.lastValue);
    }
    Report(state);
}

BENCHMARK_CAPTURE(Lfo, Control, 3.0f, false);
BENCHMARK_CAPTURE(Lfo, Audio, 20.0f, true);
BENCHMARK_CAPTURE(Envelope, Control, false);
BENCHMARK_CAPTURE(Envelope, Audio, true);
BENCHMARK(Time);
} // namespace
