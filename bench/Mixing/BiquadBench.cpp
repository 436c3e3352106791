// The low-pass filter of a voice's filter pair over 1 to 8 channels, in its SSE forms (four-lane
// groups, the pair and single look-ahead forms) and its wide AVX2 forms, against a plain
// direct-form-I loop per channel compiled without vectorisation.
#include "BenchSupport.h"
#include "Support/BenchMemory.h"
#include "PeerLoops.h"

#include <Plugins/Effects/Common/BiquadFilterSimd.h>
#include <Plugins/Effects/Common/ZkDspAudioFormat.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace
{
constexpr uint16_t kFrames = 1024;

void LowPassFilterPair(benchmark::State& state, bool wide)
{
    const uint32_t channels = static_cast<uint32_t>(state.range(0));
    if (wide && !ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
    {
        state.SkipWithError("no AVX2 and FMA on this processor");
        return;
    }
    BiquadUseWideForms(wide);
    EnsureMemoryMgr();
    ZkDspAudioFormat::Set(48000, kFrames);
    CZkSrcLpHpFilter filter;
    filter.Init();
    if (filter.Setup(ZkChannelConfig::Anonymous(channels)) != ZK_Success)
    {
        state.SkipWithError("no filter memory");
        return;
    }
    filter.SetLowPassTarget(40.0f);
    std::vector<float> samples = BenchSignal(channels * kFrames);
    ZkAudioBuffer buffer;
    buffer.AttachData(samples.data(), kFrames, ZkChannelConfig::Anonymous(channels));
    for (auto _ : state)
    {
        filter.Process(&buffer);
        benchmark::ClobberMemory();
    }
    filter.Term();
    BiquadUseWideForms(false);
    ReportPerFrameAndChannel(state, static_cast<double>(kFrames) * channels);
}
void BM_LowPass_FilterPair(benchmark::State& state) { LowPassFilterPair(state, false); }
void BM_LowPass_FilterPairWide(benchmark::State& state) { LowPassFilterPair(state, true); }

void BiquadLoopWith(benchmark::State& state, void (*loop)(const float*, float*, uint32_t, const float*, float*))
{
    const uint32_t channels = static_cast<uint32_t>(state.range(0));
    std::vector<float> samples = BenchSignal(channels * kFrames);
    std::vector<float> states(4 * channels, 0.0f);
    const float coefficients[5] = {0.0046f, 0.0092f, 0.0046f, -1.7991f, 0.8175f};
    for (auto _ : state)
    {
        for (uint32_t c = 0; c < channels; ++c)
            loop(samples.data() + c * kFrames, samples.data() + c * kFrames, kFrames, coefficients, states.data() + 4 * c);
        benchmark::ClobberMemory();
    }
    ReportPerFrameAndChannel(state, static_cast<double>(kFrames) * channels);
}
void BM_LowPass_DirectFormOneNoVectorise(benchmark::State& state) { BiquadLoopWith(state, PeerScalar::BiquadDirectFormOne); }

BENCHMARK(BM_LowPass_FilterPair)->Arg(1)->Arg(2)->Arg(4)->Arg(6)->Arg(8);
BENCHMARK(BM_LowPass_FilterPairWide)->Arg(1)->Arg(2)->Arg(3)->Arg(6);
BENCHMARK(BM_LowPass_DirectFormOneNoVectorise)->Arg(1)->Arg(2)->Arg(4)->Arg(6)->Arg(8);
} // namespace
