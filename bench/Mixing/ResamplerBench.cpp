// The resampler (44.1 kHz to 48 kHz, stereo) in its scalar, SSE and AVX2 forms, next to
// libsamplerate's linear converter and speexdsp at quality 0. Quality classes differ: ours and
// libsamplerate's SRC_LINEAR are plain linear interpolation; speexdsp quality 0 is a short
// windowed-sinc filter (better quality, more work per frame).
#include "BenchSupport.h"

#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>
#include <ZkAudiolib/Common/Voice/ZkResampler.h>

#if KP_BENCH_RESAMPLER_PEERS
#include <samplerate.h>
#include <speex/speex_resampler.h>
#endif

namespace
{
constexpr uint32_t kInputRate = 44100;
constexpr uint32_t kOutputRate = 48000;
constexpr uint16_t kInputFrames = 941;  // about one 1024-frame output block
constexpr uint16_t kOutputFrames = 1024;

void ResampleWith(benchmark::State& state, const ZkResamplerKernels::KernelTable& table, uint32_t bits)
{
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    const std::vector<float> floats = BenchSignal(2 * kInputFrames);
    std::vector<int16_t> shorts(floats.size());
    for (size_t i = 0; i < floats.size(); ++i)
        shorts[i] = static_cast<int16_t>(floats[i] * 32767.0f);
    std::vector<float> outSamples(2 * kOutputFrames);
    ZkAudioFormat format;
    format.sampleRate = kInputRate;
    format.channelConfig = stereo;
    format.formatBits = bits;
    CZkResampler resampler;
    resampler.Init();
    resampler.Setup(format, kOutputRate);
    resampler.SetPitch(0.0f, true);
    uint64_t produced = 0;
    for (auto _ : state)
    {
        // The kernels only read the input block; its valid-frame count is reset each iteration.
        ZkAudioBuffer in;
        in.AttachData(bits == 16 ? static_cast<void*>(shorts.data()) : const_cast<float*>(floats.data()), kInputFrames, stereo);
        ZkAudioBuffer out;
        out.AttachData(outSamples.data(), kOutputFrames, stereo);
        out.validFrames = 0;
        resampler.framesWanted = kOutputFrames;
        while (in.validFrames > 0)
        {
            if (resampler.ExecuteWith(table, &in, &out) == ZK_DataReady)
            {
                produced += out.validFrames;
                resampler.ResetOffsets();
                out.validFrames = 0;
            }
        }
        produced += out.validFrames;
        resampler.ResetOffsets();
        benchmark::ClobberMemory();
    }
    resampler.Term();
    state.counters["ns_per_frame_ch"] = benchmark::Counter(static_cast<double>(produced) * 2 * 1e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ResampleStereoFloat_Scalar(benchmark::State& state) { ResampleWith(state, ZkResamplerKernels::kScalarTable, 32); }
void BM_ResampleStereoFloat_Sse(benchmark::State& state) { ResampleWith(state, ZkResamplerKernels::MakeSseTable(), 32); }
void BM_ResampleStereoFloat_Avx2(benchmark::State& state)
{
    if (!ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
    {
        state.SkipWithError("no AVX2 and FMA on this processor");
        return;
    }
    ResampleWith(state, ZkResamplerKernels::MakeAvx2Table(), 32);
}
void BM_ResampleStereoShort_Scalar(benchmark::State& state) { ResampleWith(state, ZkResamplerKernels::kScalarTable, 16); }
void BM_ResampleStereoShort_Sse(benchmark::State& state) { ResampleWith(state, ZkResamplerKernels::MakeSseTable(), 16); }
void BM_ResampleStereoShort_Avx2(benchmark::State& state)
{
    if (!ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
    {
        state.SkipWithError("no AVX2 and FMA on this processor");
        return;
    }
    ResampleWith(state, ZkResamplerKernels::MakeAvx2Table(), 16);
}
BENCHMARK(BM_ResampleStereoFloat_Scalar);
BENCHMARK(BM_ResampleStereoFloat_Sse);
BENCHMARK(BM_ResampleStereoFloat_Avx2);
BENCHMARK(BM_ResampleStereoShort_Scalar);
BENCHMARK(BM_ResampleStereoShort_Sse);
BENCHMARK(BM_ResampleStereoShort_Avx2);

#if KP_BENCH_RESAMPLER_PEERS
// libsamplerate, SRC_LINEAR (linear interpolation: the same quality class), interleaved float.
void BM_ResampleStereoFloat_LibsamplerateLinear(benchmark::State& state)
{
    const std::vector<float> input = BenchSignal(2 * kInputFrames);
    std::vector<float> output(2 * 2 * kOutputFrames);
    int error = 0;
    SRC_STATE* converter = src_new(SRC_LINEAR, 2, &error);
    uint64_t produced = 0;
    for (auto _ : state)
    {
        SRC_DATA data{};
        data.data_in = input.data();
        data.data_out = output.data();
        data.input_frames = kInputFrames;
        data.output_frames = 2 * kOutputFrames;
        data.src_ratio = static_cast<double>(kOutputRate) / kInputRate;
        src_process(converter, &data);
        produced += static_cast<uint64_t>(data.output_frames_gen);
        benchmark::ClobberMemory();
    }
    src_delete(converter);
    state.counters["ns_per_frame_ch"] = benchmark::Counter(static_cast<double>(produced) * 2 * 1e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ResampleStereoFloat_LibsamplerateLinear);

// speexdsp at quality 0 (a short windowed sinc: a higher quality class), interleaved float.
void BM_ResampleStereoFloat_SpeexQuality0(benchmark::State& state)
{
    const std::vector<float> input = BenchSignal(2 * kInputFrames);
    std::vector<float> output(2 * 2 * kOutputFrames);
    int error = 0;
    SpeexResamplerState* converter = speex_resampler_init(2, kInputRate, kOutputRate, 0, &error);
    uint64_t produced = 0;
    for (auto _ : state)
    {
        spx_uint32_t inFrames = kInputFrames;
        spx_uint32_t outFrames = 2 * kOutputFrames;
        speex_resampler_process_interleaved_float(converter, input.data(), &inFrames, output.data(), &outFrames);
        produced += outFrames;
        benchmark::ClobberMemory();
    }
    speex_resampler_destroy(converter);
    state.counters["ns_per_frame_ch"] = benchmark::Counter(static_cast<double>(produced) * 2 * 1e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ResampleStereoFloat_SpeexQuality0);
#endif
} // namespace
