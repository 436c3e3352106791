// The resampler (44.1 kHz to 48 kHz) in its scalar, SSE and AVX2 forms, next to libsamplerate's
// linear converter and speexdsp at quality 0. Quality classes differ: ours and libsamplerate's
// SRC_LINEAR are plain linear interpolation; speexdsp quality 0 is a short windowed-sinc filter
// (better quality, more work per frame).
//
// Our cases: float planar and 16-bit interleaved input, mono, stereo and 5.1, at 0 cents (the plain
// rate conversion) and at +700 and -700 cents (pitched up: more than one input frame per output
// frame; pitched down: fewer). Each iteration resamples one input block of 941 frames into output
// blocks of 1024 frames; the counter is nanoseconds per output frame and channel.
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
constexpr float kPitchUpCents = 700.0f;
constexpr float kPitchDownCents = -700.0f;

enum class Form
{
    Scalar,
    Sse,
    Avx2
};

void ResampleWith(benchmark::State& state, Form form, uint32_t bits, uint32_t channels, float cents)
{
    ZkResamplerKernels::KernelTable table = ZkResamplerKernels::kScalarTable;
    if (form == Form::Sse)
        table = ZkResamplerKernels::MakeSseTable();
    if (form == Form::Avx2)
    {
        if (!ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
        {
            state.SkipWithError("no AVX2 and FMA on this processor");
            return;
        }
        table = ZkResamplerKernels::MakeAvx2Table();
    }
    const ZkChannelConfig config = channels == 1   ? ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO)
                                   : channels == 2 ? ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO)
                                                   : ZkChannelConfig::Anonymous(channels);
    const std::vector<float> floats = BenchSignal(channels * kInputFrames);
    std::vector<int16_t> shorts(floats.size());
    for (size_t i = 0; i < floats.size(); ++i)
        shorts[i] = static_cast<int16_t>(floats[i] * 32767.0f);
    std::vector<float> outSamples(channels * kOutputFrames);
    ZkAudioFormat format;
    format.sampleRate = kInputRate;
    format.channelConfig = config;
    format.formatBits = bits;
    CZkResampler resampler;
    resampler.Init();
    resampler.Setup(format, kOutputRate);
    resampler.SetPitch(cents, true);
    uint64_t produced = 0;
    for (auto _ : state)
    {
        // The kernels only read the input block; its valid-frame count is reset each iteration.
        ZkAudioBuffer in;
        in.AttachData(bits == 16 ? static_cast<void*>(shorts.data()) : const_cast<float*>(floats.data()), kInputFrames, config);
        ZkAudioBuffer out;
        out.AttachData(outSamples.data(), kOutputFrames, config);
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
    state.counters["ns_per_frame_ch"] = benchmark::Counter(static_cast<double>(produced) * channels * 1e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

#define KP_RESAMPLER_BENCH(name, bits, channels, cents)                                                     \
    BENCHMARK_CAPTURE(ResampleWith, name##_Scalar, Form::Scalar, bits, channels, cents);                     \
    BENCHMARK_CAPTURE(ResampleWith, name##_Sse, Form::Sse, bits, channels, cents);                           \
    BENCHMARK_CAPTURE(ResampleWith, name##_Avx2, Form::Avx2, bits, channels, cents)

KP_RESAMPLER_BENCH(MonoFloat, 32, 1, 0.0f);
KP_RESAMPLER_BENCH(StereoFloat, 32, 2, 0.0f);
KP_RESAMPLER_BENCH(MonoShort, 16, 1, 0.0f);
KP_RESAMPLER_BENCH(StereoShort, 16, 2, 0.0f);
KP_RESAMPLER_BENCH(StereoFloatPitchUp, 32, 2, kPitchUpCents);
KP_RESAMPLER_BENCH(StereoFloatPitchDown, 32, 2, kPitchDownCents);
KP_RESAMPLER_BENCH(StereoShortPitchUp, 16, 2, kPitchUpCents);
KP_RESAMPLER_BENCH(StereoShortPitchDown, 16, 2, kPitchDownCents);
KP_RESAMPLER_BENCH(MonoShortPitchUp, 16, 1, kPitchUpCents);
KP_RESAMPLER_BENCH(MonoFloatPitchDown, 32, 1, kPitchDownCents);
KP_RESAMPLER_BENCH(SurroundFloat, 32, 6, 0.0f);
KP_RESAMPLER_BENCH(SurroundShort, 16, 6, 0.0f);
KP_RESAMPLER_BENCH(SurroundShortPitchDown, 16, 6, kPitchDownCents);
KP_RESAMPLER_BENCH(OctoShortPitchDown, 16, 8, kPitchDownCents);

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
