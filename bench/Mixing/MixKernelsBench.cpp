// The mixer, gain and interleave kernels side by side: the scalar reference of the library, the
// same loop compiled without vectorisation and at -O3 -march=native, and the SSE and AVX2 forms.
#include "BenchSupport.h"
#include "PeerLoops.h"

#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>
#include <ZkAudiolib/Common/Mixing/GainKernels.h>
#include <ZkAudiolib/Common/Mixing/MixKernels.h>

namespace
{
constexpr uint32_t kFrames = 1024;

void MixChannelWith(benchmark::State& state, void (*mix)(const float*, float*, float, float, uint32_t))
{
    const std::vector<float> in = BenchSignal(kFrames);
    std::vector<float> out = BenchSignal(kFrames, 2);
    for (auto _ : state)
    {
        mix(in.data(), out.data(), 0.5f, 1.0f / 2048.0f, kFrames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    ReportPerFrameAndChannel(state, kFrames);
}

void BM_MixChannel_ScalarReference(benchmark::State& state) { MixChannelWith(state, ZkMixKernels::MixChannelScalar); }
void BM_MixChannel_LoopNoVectorise(benchmark::State& state) { MixChannelWith(state, PeerScalar::MixChannel); }
void BM_MixChannel_LoopO3Native(benchmark::State& state) { MixChannelWith(state, PeerNative::MixChannel); }
void BM_MixChannel_Sse(benchmark::State& state) { MixChannelWith(state, ZkMixKernels::MixChannelSse); }
void BM_MixChannel_Avx2(benchmark::State& state)
{
    if (!ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
    {
        state.SkipWithError("no AVX2 and FMA on this processor");
        return;
    }
    MixChannelWith(state, ZkMixKernels::MixChannelAvx2);
}
BENCHMARK(BM_MixChannel_ScalarReference);
BENCHMARK(BM_MixChannel_LoopNoVectorise);
BENCHMARK(BM_MixChannel_LoopO3Native);
BENCHMARK(BM_MixChannel_Sse);
BENCHMARK(BM_MixChannel_Avx2);

// 7.1 into 5.1 through ramping matrices.
void MixNinNWith(benchmark::State& state, ZkMixKernels::MixNinNFn mix)
{
    const ZkChannelConfig in71 = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_7POINT1);
    const ZkChannelConfig out51 = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    std::vector<float> inSamples = BenchSignal(8 * kFrames);
    std::vector<float> outSamples = BenchSignal(6 * kFrames, 2);
    const std::vector<float> previous = BenchSignal(8 * 8, 3);
    const std::vector<float> next = BenchSignal(8 * 8, 4);
    ZkAudioBuffer in, out;
    in.AttachData(inSamples.data(), kFrames, in71);
    out.AttachData(outSamples.data(), kFrames, out51);
    const ZkRamp base(1.0f, 0.8f);
    for (auto _ : state)
    {
        mix(&in, &out, base, previous.data(), next.data(), 1.0f / kFrames, kFrames);
        benchmark::ClobberMemory();
    }
    ReportPerFrameAndChannel(state, static_cast<double>(kFrames) * 7 * 5);
}
void BM_MixNinN71To51_ScalarReference(benchmark::State& state) { MixNinNWith(state, ZkMixKernels::MixNinNScalar); }
void BM_MixNinN71To51_Sse(benchmark::State& state) { MixNinNWith(state, ZkMixKernels::MixNinNSse); }
void BM_MixNinN71To51_Avx2(benchmark::State& state)
{
    if (!ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
    {
        state.SkipWithError("no AVX2 and FMA on this processor");
        return;
    }
    MixNinNWith(state, ZkMixKernels::MixNinNAvx2);
}
BENCHMARK(BM_MixNinN71To51_ScalarReference);
BENCHMARK(BM_MixNinN71To51_Sse);
BENCHMARK(BM_MixNinN71To51_Avx2);

void InterleaveWith(benchmark::State& state, ZkGainKernels::InterleaveFn kernel, uint32_t inMask, uint32_t outMask)
{
    const ZkChannelConfig inConfig = ZkChannelConfig::FromMask(inMask);
    const ZkChannelConfig outConfig = ZkChannelConfig::FromMask(outMask);
    std::vector<float> inSamples = BenchSignal(inConfig.NumChannels() * kFrames);
    std::vector<float> outSamples(outConfig.NumChannels() * kFrames);
    ZkAudioBuffer in, out;
    in.AttachData(inSamples.data(), kFrames, inConfig);
    out.data = outSamples.data();
    out.channelConfig = outConfig;
    for (auto _ : state)
    {
        kernel(&in, &out, ZkRamp(0.2f, 0.9f));
        benchmark::ClobberMemory();
    }
    ReportPerFrameAndChannel(state, static_cast<double>(kFrames) * inConfig.NumChannels());
}

void StereoLoopWith(benchmark::State& state, void (*loop)(const float*, const float*, float*, float, uint32_t))
{
    const std::vector<float> in = BenchSignal(2 * kFrames);
    std::vector<float> out(2 * kFrames);
    for (auto _ : state)
    {
        loop(in.data(), in.data() + kFrames, out.data(), 0.7f, kFrames);
        benchmark::ClobberMemory();
    }
    ReportPerFrameAndChannel(state, 2.0 * kFrames);
}

void BM_InterleaveStereo_GeneralReference(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::InterleaveGeneralFloat, ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_STEREO);
}
void BM_InterleaveStereo_LoopNoVectorise(benchmark::State& state) { StereoLoopWith(state, PeerScalar::InterleaveStereo); }
void BM_InterleaveStereo_LoopO3Native(benchmark::State& state) { StereoLoopWith(state, PeerNative::InterleaveStereo); }
void BM_InterleaveStereo_Sse(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::StereoInterleaveSse, ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_STEREO);
}
void BM_InterleaveStereoShort_GeneralReference(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::InterleaveGeneralShort, ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_STEREO);
}
void BM_InterleaveStereoShort_Sse(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::StereoInterleaveShortSse, ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_STEREO);
}
void BM_Interleave71_GeneralReference(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::InterleaveGeneralFloat, ZK_SPEAKER_SETUP_7POINT1, ZK_SPEAKER_SETUP_7POINT1);
}
void BM_Interleave71_Sse(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::Interleave7Point1Sse, ZK_SPEAKER_SETUP_7POINT1, ZK_SPEAKER_SETUP_7POINT1);
}
// Quad (a general layout) into 16-bit: the general path, scalar and SSE.
void BM_InterleaveQuadShort_GeneralReference(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::InterleaveGeneralShort, 0x33, 0x33);
}
void BM_InterleaveQuadShort_GeneralSse(benchmark::State& state)
{
    InterleaveWith(state, ZkGainKernels::InterleaveGeneralShortSse, 0x33, 0x33);
}
BENCHMARK(BM_InterleaveQuadShort_GeneralReference);
BENCHMARK(BM_InterleaveQuadShort_GeneralSse);
BENCHMARK(BM_InterleaveStereo_GeneralReference);
BENCHMARK(BM_InterleaveStereo_LoopNoVectorise);
BENCHMARK(BM_InterleaveStereo_LoopO3Native);
BENCHMARK(BM_InterleaveStereo_Sse);
BENCHMARK(BM_InterleaveStereoShort_GeneralReference);
BENCHMARK(BM_InterleaveStereoShort_Sse);
BENCHMARK(BM_Interleave71_GeneralReference);
BENCHMARK(BM_Interleave71_Sse);

void ApplyGainWith(benchmark::State& state, void (*apply)(const ZkAudioBuffer*, ZkAudioBuffer*, ZkRamp, bool), bool toShort)
{
    std::vector<float> inSamples = BenchSignal(2 * kFrames);
    std::vector<float> outSamples(2 * kFrames);
    ZkAudioBuffer in, out;
    in.AttachData(inSamples.data(), kFrames, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
    out.AttachData(outSamples.data(), kFrames, in.channelConfig);
    for (auto _ : state)
    {
        apply(&in, &out, ZkRamp(0.2f, 0.9f), toShort);
        benchmark::ClobberMemory();
    }
    ReportPerFrameAndChannel(state, 2.0 * kFrames);
}
void BM_ApplyGainFloat_ScalarReference(benchmark::State& state) { ApplyGainWith(state, ZkGainKernels::ApplyGainScalar, false); }
void BM_ApplyGainFloat_Sse(benchmark::State& state) { ApplyGainWith(state, ZkGainKernels::ApplyGainSse, false); }
void BM_ApplyGainShort_ScalarReference(benchmark::State& state) { ApplyGainWith(state, ZkGainKernels::ApplyGainScalar, true); }
void BM_ApplyGainShort_Sse(benchmark::State& state) { ApplyGainWith(state, ZkGainKernels::ApplyGainSse, true); }
BENCHMARK(BM_ApplyGainFloat_ScalarReference);
BENCHMARK(BM_ApplyGainFloat_Sse);
BENCHMARK(BM_ApplyGainShort_ScalarReference);
BENCHMARK(BM_ApplyGainShort_Sse);
} // namespace
