#include "KernelTestSupport.h"

#include <ZkAudiolib/Common/Mixing/GainKernels.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

namespace
{
using namespace ZkGainKernels;

const uint32_t kMasksByClass[5] = {ZK_SPEAKER_SETUP_MONO, ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_5POINT1,
                                   ZK_SPEAKER_SETUP_7POINT1, 0x33 /* quad */};

template <class Sample>
std::vector<Sample> RunCell(InterleaveFn kernel, ZkChannelConfig inConfig, ZkChannelConfig outConfig, uint16_t frames,
                            ZkRamp gain)
{
    OwnedBuffer in(inConfig, frames, inConfig.word + frames);
    // Inputs beyond full scale exercise the 16-bit saturation.
    for (float& s : in.samples)
        s *= 1.3f;
    std::vector<Sample> samples(static_cast<size_t>(outConfig.NumChannels()) * frames, Sample(77));
    ZkAudioBuffer out;
    out.data = samples.data();
    out.channelConfig = outConfig;
    kernel(&in.buffer, &out, gain);
    return samples;
}

TEST(InterleaveTable, EveryDedicatedCellWritesWhatTheGeneralKernelWrites)
{
    const InterleaveTable table = MakeInterleaveTable();
    for (uint32_t cell = 0; cell < kInterleaveCells; ++cell)
    {
        const uint32_t inClass = cell / 10;
        const uint32_t outClass = (cell % 10) / 2;
        const bool toShort = cell & 1u;
        const ZkChannelConfig inConfig = ZkChannelConfig::FromMask(kMasksByClass[inClass]);
        const ZkChannelConfig outConfig = ZkChannelConfig::FromMask(kMasksByClass[outClass]);
        if (outConfig.NumChannels() < inConfig.NumChannels())
            continue; // outside the kernels' contract
        for (uint16_t frames : {uint16_t{8}, uint16_t{16}, uint16_t{13}, uint16_t{1024}})
        {
            for (ZkRamp gain : {ZkRamp(1.0f, 1.0f), ZkRamp(0.2f, 0.9f), ZkRamp(1.0f, 0.0f)})
            {
                if (toShort)
                {
                    const auto general = RunCell<int16_t>(InterleaveGeneralShort, inConfig, outConfig, frames, gain);
                    const auto actual = RunCell<int16_t>(table.cells[cell], inConfig, outConfig, frames, gain);
                    for (size_t i = 0; i < general.size(); ++i)
                        ASSERT_LE(std::abs(actual[i] - general[i]), 1) << "cell " << cell << " frames " << frames << " i " << i;
                }
                else
                {
                    const auto general = RunCell<float>(InterleaveGeneralFloat, inConfig, outConfig, frames, gain);
                    const auto actual = RunCell<float>(table.cells[cell], inConfig, outConfig, frames, gain);
                    for (size_t i = 0; i < general.size(); ++i)
                        ASSERT_NEAR(actual[i], general[i], 3e-5f) << "cell " << cell << " frames " << frames << " i " << i;
                }
            }
        }
    }
}

// The SSE forms of the general kernels against the scalar ones over every frame count from 1 to
// 1024 (odd tails run one frame at a time), for layouts the dedicated cells do not take: an odd
// channel count, fewer input than output channels (zero positions), and a reordered LFE.
TEST(InterleaveGeneralForms, SseAgreesWithScalarOverEverySize)
{
    const std::pair<uint32_t, uint32_t> layouts[] = {{0x7 /* 3.0 */, 0x7}, {0x33 /* quad */, ZK_SPEAKER_SETUP_5POINT1},
                                                      {0x60F /* 5.1 */, 0x63F /* 7.1 */}, {0x30F /* 4.1 */, 0x30F}};
    for (const auto& [inMask, outMask] : layouts)
    {
        const ZkChannelConfig inConfig = ZkChannelConfig::FromMask(inMask);
        const ZkChannelConfig outConfig = ZkChannelConfig::FromMask(outMask);
        for (uint16_t frames = 1; frames <= 1024; ++frames)
        {
            for (ZkRamp gain : {ZkRamp(0.7f, 0.7f), ZkRamp(0.2f, 1.1f)})
            {
                const auto scalarShort = RunCell<int16_t>(InterleaveGeneralShort, inConfig, outConfig, frames, gain);
                const auto sseShort = RunCell<int16_t>(InterleaveGeneralShortSse, inConfig, outConfig, frames, gain);
                const auto scalarFloat = RunCell<float>(InterleaveGeneralFloat, inConfig, outConfig, frames, gain);
                const auto sseFloat = RunCell<float>(InterleaveGeneralFloatSse, inConfig, outConfig, frames, gain);
                for (size_t i = 0; i < scalarShort.size(); ++i)
                {
                    ASSERT_LE(std::abs(sseShort[i] - scalarShort[i]), gain.IsConstant() ? 0 : 1)
                        << std::hex << inMask << " " << frames << " frames, sample " << std::dec << i;
                    ASSERT_NEAR(sseFloat[i], scalarFloat[i], gain.IsConstant() ? 0.0f : 3e-5f)
                        << std::hex << inMask << " " << frames << " frames, sample " << std::dec << i;
                }
            }
        }
    }
}

TEST(ApplyGainForms, SseAgreesWithScalarInFloatAndShort)
{
    for (uint16_t frames : {uint16_t{8}, uint16_t{13}, uint16_t{256}})
        for (uint32_t channels : {1u, 2u, 6u})
            for (ZkRamp gain : {ZkRamp(0.5f, 0.5f), ZkRamp(0.0f, 1.0f)})
                for (bool toShort : {false, true})
                {
                    OwnedBuffer in(ZkChannelConfig::Anonymous(channels), frames, channels + frames);
                    for (float& s : in.samples)
                        s *= 2.5f;
                    std::vector<float> expected(channels * frames), actual(channels * frames);
                    ZkAudioBuffer out;
                    out.channelConfig = ZkChannelConfig::Anonymous(channels);
                    out.data = expected.data();
                    ApplyGainScalar(&in.buffer, &out, gain, toShort);
                    out.data = actual.data();
                    ApplyGainSse(&in.buffer, &out, gain, toShort);
                    if (!toShort)
                    {
                        for (size_t i = 0; i < expected.size(); ++i)
                            ASSERT_NEAR(actual[i], expected[i], 1e-6f);
                        continue;
                    }
                    const auto* e = reinterpret_cast<const int16_t*>(expected.data());
                    const auto* a = reinterpret_cast<const int16_t*>(actual.data());
                    for (size_t i = 0; i < channels * static_cast<size_t>(frames); ++i)
                        ASSERT_LE(std::abs(a[i] - e[i]), 1) << i;
                }
}

struct ShortCase
{
    float sample;
    int16_t expected;
};

class ShortConversion : public testing::TestWithParam<ShortCase>
{
};

TEST_P(ShortConversion, TruncatesAndSaturates)
{
    const ShortCase& c = GetParam();
    std::vector<float> in(8, c.sample);
    std::vector<int16_t> out(8, 0);
    ZkAudioBuffer source;
    source.AttachData(in.data(), 8, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO));
    ZkAudioBuffer target;
    target.data = out.data();
    target.channelConfig = source.channelConfig;
    ZkMixer::ApplyGain(&source, &target, ZkRamp(1.0f, 1.0f), true);
    EXPECT_EQ(out[0], c.expected);
    EXPECT_EQ(out[7], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ShortConversion,
                         testing::Values(ShortCase{1.0f, 32767}, ShortCase{-1.0f, -32767}, ShortCase{1.5f, 32767},
                                         ShortCase{-1.5f, -32768}, ShortCase{0.99999f, 32766}));

ZkAudioBuffer Interleaved(std::vector<float>& memory, ZkChannelConfig config)
{
    ZkAudioBuffer buffer;
    buffer.data = memory.data();
    buffer.channelConfig = config;
    return buffer;
}

TEST(ApplyGainAndInterleave, StereoIntoFivePointOneWritesTheFrontPairThenZeros)
{
    OwnedBuffer in(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), 16, 1);
    std::vector<float> memory(6 * 16, 9.0f);
    ZkAudioBuffer out = Interleaved(memory, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1));
    ZkMixer::ApplyGainAndInterleave(&in.buffer, &out, ZkRamp(1.0f, 1.0f), false);
    for (uint32_t k = 0; k < 16; ++k)
    {
        EXPECT_EQ(memory[6 * k], in.Channel(0)[k]);
        EXPECT_EQ(memory[6 * k + 1], in.Channel(1)[k]);
        for (uint32_t p = 2; p < 6; ++p)
            EXPECT_EQ(memory[6 * k + p], 0.0f);
    }
}

TEST(ApplyGainAndInterleave, FivePointOneIntoSevenPointOnePutsLfeFourthAndSidesAtFourAndFive)
{
    OwnedBuffer in(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1), 16, 2);
    std::vector<float> memory(8 * 16, 9.0f);
    ZkAudioBuffer out = Interleaved(memory, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_7POINT1));
    ZkMixer::ApplyGainAndInterleave(&in.buffer, &out, ZkRamp(1.0f, 1.0f), false);
    // Pipeline: FL FR FC SL SR LFE. Interleaved: FL FR FC LFE SL SR 0 0.
    const int order[8] = {0, 1, 2, 5, 3, 4, -1, -1};
    for (uint32_t k = 0; k < 16; ++k)
        for (uint32_t p = 0; p < 8; ++p)
            EXPECT_EQ(memory[8 * k + p], order[p] < 0 ? 0.0f : in.Channel(order[p])[k]) << k << " " << p;
}

TEST(ApplyGainAndInterleave, QuadUsesTheGeneralKernelInMaskOrder)
{
    const ZkChannelConfig quad = ZkChannelConfig::FromMask(0x33);
    EXPECT_EQ(LayoutClassOf(quad), LayoutClass_General);
    OwnedBuffer in(quad, 8, 3);
    std::vector<float> memory(4 * 8, 9.0f);
    ZkAudioBuffer out = Interleaved(memory, quad);
    ZkMixer::ApplyGainAndInterleave(&in.buffer, &out, ZkRamp(1.0f, 1.0f), false);
    for (uint32_t k = 0; k < 8; ++k)
        for (uint32_t p = 0; p < 4; ++p)
            EXPECT_EQ(memory[4 * k + p], in.Channel(p)[k]);
}

TEST(ApplyGainAndInterleave, RampSpreadsOverMaximumFramesNotValidFrames)
{
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    std::vector<float> ones(2 * 1024, 1.0f);
    ZkAudioBuffer in;
    in.AttachData(ones.data(), 1024, stereo);
    in.validFrames = 512;
    std::vector<float> memory(2 * 1024, 0.0f);
    ZkAudioBuffer out = Interleaved(memory, stereo);
    ZkMixer::ApplyGainAndInterleave(&in, &out, ZkRamp(0.0f, 1.0f), false);
    EXPECT_NEAR(memory[2 * 511], 511.0f / 1024.0f, 1e-5f);
    EXPECT_NEAR(memory[2 * 511 + 1], 511.0f / 1024.0f, 1e-5f);
}
} // namespace
