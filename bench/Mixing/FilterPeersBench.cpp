// The voice filter per sample against the loops a DSP programmer would write instead: 64 voices of
// 512 frames (one render block), low-pass at the value 40 (about 2.4 kHz at 48 kHz), mono and stereo
// voices; nanoseconds per sample.
//   ours        CZkSrcLpHpFilter::Process on each voice, with the forms the renderer installs
//   tdf2        a scalar transposed direct form II loop per channel, at -O3 -march=native
//   sse_across  four channels at once in the four lanes of SSE (four voices, or two stereo voices),
//               the transposed direct form II in each lane, transposed in and out four frames at a
//               time: what a mixer that filters voices side by side can do and a voice alone cannot
#include "PeerLoops.h"
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include <Plugins/Effects/Common/BiquadCoefficients.h>
#include <Plugins/Effects/Common/ZkDspAudioFormat.h>
#include <Plugins/Effects/Common/ZkFilterCutoff.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>
#include <ZkAudiolib/Common/Mixing/ZkFlushDenormals.h>
#include <ZkAudiolib/Common/Mixing/ZkKernelTables.h>

#include <immintrin.h>

#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr uint32_t kVoices = 64;
constexpr uint16_t kFrames = 512;
constexpr uint32_t kRate = 48000;
constexpr float kLowPassValue = 40.0f;

std::vector<float> Signal(size_t count)
{
    std::mt19937 generator(5);
    std::uniform_real_distribution<float> distribution(-0.9f, 0.9f);
    std::vector<float> samples(count);
    for (float& s : samples)
        s = distribution(generator);
    return samples;
}

// b0 b1 b2 a1 a2 of our low-pass at the bench's value.
std::vector<float> Coefficients()
{
    const BiquadCoefficients c = ComputeButterworthLowPass(LowPassValueToHz(kLowPassValue, kRate), kRate);
    return {c.b0, c.b1, c.b2, c.a1, c.a2};
}

template <uint32_t Channels>
void Ours(benchmark::State& state)
{
    EnsureMemoryMgr();
    ZkKernelTables::InitMixerKernels();
    ZkDspAudioFormat::Set(kRate, kFrames);
    const ZkChannelConfig config = ZkChannelConfig::Anonymous(Channels);
    std::vector<float> samples = Signal(static_cast<size_t>(kVoices) * Channels * kFrames);
    auto filters = std::make_unique<CZkSrcLpHpFilter[]>(kVoices);
    std::vector<ZkAudioBuffer> buffers(kVoices);
    bool setUp = true;
    for (uint32_t v = 0; v < kVoices; ++v)
    {
        filters[v].Init();
        setUp = filters[v].Setup(config) == ZK_Success && setUp;
        filters[v].SetLowPassTarget(kLowPassValue);
        buffers[v].AttachData(samples.data() + static_cast<size_t>(v) * Channels * kFrames, kFrames, config);
    }
    if (!setUp)
    {
        state.SkipWithError("no filter memory");
    }
    else
    {
        PeerBench::MeasurePerUnit(state, "sample", static_cast<double>(kVoices) * Channels * kFrames, [&] {
            ZkFlushDenormals renderScope;
            for (uint32_t v = 0; v < kVoices; ++v)
                filters[v].Process(&buffers[v]);
            benchmark::ClobberMemory();
        });
    }
    for (uint32_t v = 0; v < kVoices; ++v)
        filters[v].Term();
}

template <uint32_t Channels>
void TransposedDirectFormTwo(benchmark::State& state)
{
    const std::vector<float> c = Coefficients();
    const uint32_t channels = kVoices * Channels;
    std::vector<float> samples = Signal(static_cast<size_t>(channels) * kFrames);
    std::vector<float> states(2 * channels, 0.0f);
    PeerBench::MeasurePerUnit(state, "sample", static_cast<double>(channels) * kFrames, [&] {
        ZkFlushDenormals renderScope;
        for (uint32_t channel = 0; channel < channels; ++channel)
        {
            float* run = samples.data() + static_cast<size_t>(channel) * kFrames;
            PeerNative::BiquadTransposedDirectFormTwo(run, run, kFrames, c.data(), states.data() + 2 * channel);
        }
        benchmark::ClobberMemory();
    });
}

// Four channels (planar runs of kFrames) filtered side by side, one per lane.
void FourChannelsAcross(float* const run[4], const float* c, __m128& s1, __m128& s2)
{
    const __m128 b0 = _mm_set1_ps(c[0]), b1 = _mm_set1_ps(c[1]), b2 = _mm_set1_ps(c[2]);
    const __m128 a1 = _mm_set1_ps(c[3]), a2 = _mm_set1_ps(c[4]);
    for (uint32_t k = 0; k < kFrames; k += 4)
    {
        __m128 f[4] = {_mm_loadu_ps(run[0] + k), _mm_loadu_ps(run[1] + k), _mm_loadu_ps(run[2] + k), _mm_loadu_ps(run[3] + k)};
        _MM_TRANSPOSE4_PS(f[0], f[1], f[2], f[3]);
        for (__m128& x : f)
        {
            const __m128 y = _mm_add_ps(_mm_mul_ps(b0, x), s1);
            s1 = _mm_add_ps(_mm_sub_ps(_mm_mul_ps(b1, x), _mm_mul_ps(a1, y)), s2);
            s2 = _mm_sub_ps(_mm_mul_ps(b2, x), _mm_mul_ps(a2, y));
            x = y;
        }
        _MM_TRANSPOSE4_PS(f[0], f[1], f[2], f[3]);
        for (uint32_t lane = 0; lane < 4; ++lane)
            _mm_storeu_ps(run[lane] + k, f[lane]);
    }
}

template <uint32_t Channels>
void SseAcrossChannels(benchmark::State& state)
{
    const std::vector<float> c = Coefficients();
    const uint32_t channels = kVoices * Channels;
    std::vector<float> samples = Signal(static_cast<size_t>(channels) * kFrames);
    struct LaneState
    {
        __m128 s1 = _mm_setzero_ps();
        __m128 s2 = _mm_setzero_ps();
    };
    auto states = std::make_unique<LaneState[]>(channels / 4);
    PeerBench::MeasurePerUnit(state, "sample", static_cast<double>(channels) * kFrames, [&] {
        ZkFlushDenormals renderScope;
        for (uint32_t group = 0; group < channels / 4; ++group)
        {
            float* runs[4];
            for (uint32_t lane = 0; lane < 4; ++lane)
                runs[lane] = samples.data() + static_cast<size_t>(group * 4 + lane) * kFrames;
            FourChannelsAcross(runs, c.data(), states[group].s1, states[group].s2);
        }
        benchmark::ClobberMemory();
    });
}

const bool s_registered = [] {
    PeerBench::PeerRuns("Filter/mono_voice", "ours", Ours<1>);
    PeerBench::PeerRuns("Filter/mono_voice", "tdf2", TransposedDirectFormTwo<1>);
    PeerBench::PeerRuns("Filter/mono_voice", "sse_across", SseAcrossChannels<1>);
    PeerBench::PeerRuns("Filter/stereo_voice", "ours", Ours<2>);
    PeerBench::PeerRuns("Filter/stereo_voice", "tdf2", TransposedDirectFormTwo<2>);
    PeerBench::PeerRuns("Filter/stereo_voice", "sse_across", SseAcrossChannels<2>);
    return true;
}();
} // namespace
