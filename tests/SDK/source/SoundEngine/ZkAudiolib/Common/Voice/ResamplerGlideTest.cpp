// The read position of every output frame through a pitch glide, against the model of the glide's
// arithmetic (GlideModel).
#include "ResamplerTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

namespace
{
using namespace ResamplerTest;

// The input: channel 0 holds j mod 128 and channel 1 holds j / 128 at frame j. Values below 128
// keep every interpolated sample exact (7 bits of whole frames and 16 of fraction), in every form's
// arithmetic, so each output frame tells the position it was read at.
constexpr uint32_t kStreamFrames = 8192;

struct Stream
{
    std::vector<int16_t> shorts; // interleaved
    Stream() : shorts(2 * kStreamFrames)
    {
        for (uint32_t j = 0; j < kStreamFrames; ++j)
        {
            shorts[2 * j] = static_cast<int16_t>(j % 128);
            shorts[2 * j + 1] = static_cast<int16_t>(j / 128);
        }
    }
    // Frames [start, start + frames) as float planar samples of the same values.
    std::vector<float> FloatBlock(uint32_t start, uint32_t frames) const
    {
        std::vector<float> block(2 * frames);
        for (uint32_t k = 0; k < frames; ++k)
        {
            block[k] = shorts[2 * (start + k)];
            block[frames + k] = shorts[2 * (start + k) + 1];
        }
        return block;
    }
};

// The position an output frame was read at, from its two samples (in input sample units). Between
// frames 128n + 127 and 128(n + 1) channel 1 moves by one and carries the fraction; everywhere else
// channel 1 stands still and channel 0 rises by one.
uint64_t DecodePosition(double low, double high)
{
    const double highWhole = std::floor(high);
    if (high != highWhole)
        return static_cast<uint64_t>(highWhole * 128 + 127) * 65536 + static_cast<uint64_t>((high - highWhole) * 65536.0);
    const double lowWhole = std::floor(low);
    return static_cast<uint64_t>(high * 128 + lowWhole) * 65536 + static_cast<uint64_t>((low - lowWhole) * 65536.0);
}

struct GlideCase
{
    uint32_t bits;
    uint32_t outputRate;
    float toCents;
    uint16_t inputBlock;
    uint16_t outputBlock;
};

void PrintTo(const GlideCase& c, std::ostream* os)
{
    *os << c.bits << " bits at " << c.outputRate << " Hz to " << c.toCents << " cents, input blocks of " << c.inputBlock
        << ", output blocks of " << c.outputBlock;
}

class ResamplerGlide : public Resampler, public testing::WithParamInterface<GlideCase>
{
};

// Every output frame of a glide from 0 cents, and of the fixed step after it, reads where the
// model says, whatever the sizes of the input and output blocks, in every form of the kernels.
TEST_P(ResamplerGlide, EveryOutputFrameReadsWhereTheGlideArithmeticPutsIt)
{
    const GlideCase& c = GetParam();
    const Stream stream;
    const ZkChannelConfig stereo = ZkChannelConfig::Anonymous(2);
    const double unit = c.bits == 16 ? 1.0 / 32768.0 : 1.0;
    for (const auto& table : RunnableTables())
    {
        CZkResampler r;
        r.Init();
        ASSERT_EQ(r.Setup(Format(c.outputRate, stereo, c.bits), c.outputRate), ZK_Success);
        r.SetPitch(0.0f, true);
        r.SetPitch(c.toCents, true);
        ASSERT_EQ(r.kernelRow, CZkResampler::kRowGlide);
        GlideModel model(r.currentStep, r.targetStep, r.glideIncrement);

        OutputBlock out(2, c.outputBlock);
        r.framesWanted = c.outputBlock;
        uint32_t frame = 0; // output frames checked so far
        uint32_t start = 0; // first input frame of the current input block
        while (frame < 2048)
        {
            const uint16_t size = static_cast<uint16_t>(std::min<uint32_t>(c.inputBlock, kStreamFrames - start));
            ASSERT_GT(size, 0) << "the stream ran out";
            std::vector<float> floatBlock = stream.FloatBlock(start, size);
            std::vector<int16_t> shortBlock(stream.shorts.begin() + 2 * start, stream.shorts.begin() + 2 * (start + size));
            ZkAudioBuffer in = InputBlock(c.bits == 16 ? static_cast<void*>(shortBlock.data()) : floatBlock.data(), stereo, size);
            start += size;
            while (in.validFrames > 0)
            {
                const uint32_t before = r.outputOffset;
                const ZKRESULT result = r.ExecuteWith(table, &in, &out.buffer);
                for (uint32_t k = before; k < out.buffer.validFrames; ++k, ++frame)
                {
                    const uint64_t expected = model.Next();
                    const uint64_t read = DecodePosition(out.At(0, k) / unit, out.At(1, k) / unit);
                    ASSERT_EQ(read >> 16, expected >> 16) << "whole frames, output frame " << frame;
                    ASSERT_EQ(read & 0xFFFF, expected & 0xFFFF) << "fraction, output frame " << frame;
                }
                if (result == ZK_DataReady)
                    r.ResetOffsets();
            }
        }
        EXPECT_EQ(r.kernelRow, CZkResampler::kRowFixedStep);
        r.Term();
    }
}

INSTANTIATE_TEST_SUITE_P(
    BlockSizes, ResamplerGlide,
    testing::Values(GlideCase{16, 48000, 1200.0f, 4096, 1024}, GlideCase{16, 48000, 1200.0f, 37, 256},
                    GlideCase{32, 48000, 1200.0f, 512, 1}, GlideCase{32, 48000, 1200.0f, 300, 7},
                    GlideCase{16, 48000, -1200.0f, 129, 64}, GlideCase{32, 48000, -700.0f, 1000, 333},
                    GlideCase{16, 16000, 1200.0f, 250, 100}, GlideCase{32, 16000, -500.0f, 64, 1024}));
} // namespace
