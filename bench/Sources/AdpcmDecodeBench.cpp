// Decoding 4-bit ADPCM blocks, in nanoseconds per decoded sample: the step-table and predictive
// block decoders of the ADPCM source, mono and stereo, beside libavcodec's IMA ADPCM WAVE decoder
// ("adpcm_ima_wav") on the standard form of the same step-table blocks (65 samples per 36-byte
// channel block, the channels' codes interleaved by 4 bytes), when libavcodec is installed.
#include "Support/PeerRatios.h"

#include "ZkAudiolib/Common/Sources/ZkAdpcmBlocks.h"

#ifdef KP_BENCH_LIBAVCODEC
extern "C" {
#include <libavcodec/avcodec.h>
}
#endif

#include <cstdint>
#include <random>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kBlocks = 256;
constexpr uint32_t kBlockBytes = ZkAdpcmBlocks::kChannelBlockBytes;

// Random blocks of the given channels: any first sample, step index 0-88 (state 0-11), any codes.
std::vector<uint8_t> RandomBlocks(uint32_t channels)
{
    std::mt19937 random(38);
    std::vector<uint8_t> data(size_t{kBlocks} * channels * kBlockBytes);
    for (size_t at = 0; at < data.size(); ++at)
        data[at] = static_cast<uint8_t>(random());
    for (size_t block = 0; block < data.size(); block += kBlockBytes)
    {
        data[block + 2] %= 89;
        data[block + 3] = 0;
    }
    return data;
}

template <bool kStepTable, uint32_t kChannels>
void Ours(benchmark::State& state)
{
    const std::vector<uint8_t> data = RandomBlocks(kChannels);
    std::vector<int16_t> out(size_t{ZkAdpcmBlocks::kFramesPerBlock} * kChannels);
    PeerBench::NsPerUnit timer(state, "sample");
    for (auto _ : state)
    {
        timer.Start();
        for (uint32_t block = 0; block < kBlocks; ++block)
            for (uint32_t c = 0; c < kChannels; ++c)
            {
                const uint8_t* channel = data.data() + (size_t{block} * kChannels + c) * kBlockBytes;
                if constexpr (kStepTable)
                    ZkAdpcmBlocks::DecodeStepTable(channel, out.data() + c, kChannels);
                else
                    ZkAdpcmBlocks::DecodePredictive(channel, out.data() + c, kChannels);
            }
        benchmark::DoNotOptimize(out.data());
        timer.Stop(double{kBlocks} * ZkAdpcmBlocks::kFramesPerBlock * kChannels);
    }
}

#ifdef KP_BENCH_LIBAVCODEC
// The same blocks in the standard IMA ADPCM WAVE layout.
std::vector<uint8_t> StandardBlocks(const std::vector<uint8_t>& data, uint32_t channels)
{
    std::vector<uint8_t> out;
    out.reserve(data.size());
    for (size_t block = 0; block < data.size(); block += size_t{kBlockBytes} * channels)
    {
        for (uint32_t c = 0; c < channels; ++c)
            out.insert(out.end(), data.begin() + block + c * kBlockBytes, data.begin() + block + c * kBlockBytes + 4);
        for (uint32_t group = 0; group < 8; ++group)
            for (uint32_t c = 0; c < channels; ++c)
            {
                const auto from = data.begin() + block + c * kBlockBytes + 4 + group * 4;
                out.insert(out.end(), from, from + 4);
            }
    }
    return out;
}

template <uint32_t kChannels>
void Libavcodec(benchmark::State& state)
{
    const std::vector<uint8_t> data = StandardBlocks(RandomBlocks(kChannels), kChannels);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_IMA_WAV);
    AVCodecContext* context = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    if (context == nullptr)
    {
        state.SkipWithError("no adpcm_ima_wav decoder");
        return;
    }
    context->sample_rate = 48000;
    av_channel_layout_default(&context->ch_layout, static_cast<int>(kChannels));
    context->block_align = static_cast<int>(kBlockBytes * kChannels);
    context->bits_per_coded_sample = 4;
    if (avcodec_open2(context, codec, nullptr) < 0)
    {
        state.SkipWithError("adpcm_ima_wav does not open");
        return;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const size_t blockBytes = size_t{kBlockBytes} * kChannels;
    PeerBench::NsPerUnit timer(state, "sample");
    for (auto _ : state)
    {
        timer.Start();
        double samples = 0;
        for (size_t block = 0; block < data.size(); block += blockBytes)
        {
            packet->data = const_cast<uint8_t*>(data.data() + block);
            packet->size = static_cast<int>(blockBytes);
            if (avcodec_send_packet(context, packet) == 0)
                while (avcodec_receive_frame(context, frame) == 0)
                    samples += frame->nb_samples * double{kChannels};
        }
        timer.Stop(samples > 0 ? samples : 1.0);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
}
#endif

const bool s_registered = [] {
    PeerBench::PeerRuns("AdpcmDecode/step_table_mono", "ours", Ours<true, 1>);
    PeerBench::PeerRuns("AdpcmDecode/step_table_stereo", "ours", Ours<true, 2>);
    PeerBench::PeerRuns("AdpcmDecode/predictive_mono", "ours", Ours<false, 1>);
    PeerBench::PeerRuns("AdpcmDecode/predictive_stereo", "ours", Ours<false, 2>);
#ifdef KP_BENCH_LIBAVCODEC
    PeerBench::PeerRuns("AdpcmDecode/step_table_mono", "libavcodec_adpcm_ima_wav", Libavcodec<1>);
    PeerBench::PeerRuns("AdpcmDecode/step_table_stereo", "libavcodec_adpcm_ima_wav", Libavcodec<2>);
    PeerBench::PeerRuns("AdpcmDecode/predictive_mono", "libavcodec_adpcm_ima_wav", Libavcodec<1>);
    PeerBench::PeerRuns("AdpcmDecode/predictive_stereo", "libavcodec_adpcm_ima_wav", Libavcodec<2>);
#endif
    return true;
}();
} // namespace
