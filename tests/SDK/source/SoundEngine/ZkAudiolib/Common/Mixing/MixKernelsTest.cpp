#include "KernelTestSupport.h"

#include <ZkAudiolib/Common/Mixing/ZkKernelTables.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace ZkMixKernels;

void ExpectSamplesNear(const std::vector<float>& actual, const std::vector<float>& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        ASSERT_NEAR(actual[i], expected[i], 2e-5f * std::max(1.0f, std::fabs(expected[i]))) << what << " sample " << i;
}

// Odd tails, unaligned lengths and the engine's multiples of 8.
const uint32_t kFrameCounts[] = {1, 3, 7, 8, 9, 16, 31, 32, 33, 40, 100, 1023, 1024};

TEST(MixChannelForms, AgreeWithScalarOnRandomBuffersAndUnalignedPointers)
{
    for (const MixerForm& form : RunnableVectorMixers())
    {
        for (uint32_t frames : kFrameCounts)
        {
            for (uint32_t misalign : {0u, 1u, 3u})
            {
                const std::vector<float> in = RandomSamples(frames + 4, frames);
                const std::vector<float> initial = RandomSamples(frames + 4, frames + 99);
                for (auto [gain, step] : {std::pair{0.7f, 0.0f}, std::pair{0.0f, 1.0f / 1024.0f}, std::pair{1.3f, -0.001f}})
                {
                    std::vector<float> expected = initial;
                    std::vector<float> actual = initial;
                    MixChannelScalar(in.data() + misalign, expected.data() + misalign, gain, step, frames);
                    form.mixChannel(in.data() + misalign, actual.data() + misalign, gain, step, frames);
                    ExpectSamplesNear(actual, expected, form.name);
                }
            }
        }
    }
}

struct MixChannelCase
{
    const char* name;
    float gain;
    float step;
};

class MixChannelEdges : public testing::TestWithParam<MixChannelCase>
{
};

TEST_P(MixChannelEdges, EveryFormAddsTheRamp)
{
    const MixChannelCase& c = GetParam();
    constexpr uint32_t frames = 1024;
    const std::vector<float> in = RandomSamples(frames, 3);
    const std::vector<float> initial = RandomSamples(frames, 4);
    std::vector<MixerForm> forms = RunnableVectorMixers();
    forms.push_back(kScalarMixer);
    for (const MixerForm& form : forms)
    {
        std::vector<float> out = initial;
        form.mixChannel(in.data(), out.data(), c.gain, c.step, frames);
        const bool silent = std::fabs(c.gain) < kMinAudibleGain && std::fabs(c.step) < kMinAudibleGain;
        for (uint32_t k = 0; k < frames; ++k)
        {
            if (silent)
                ASSERT_EQ(out[k], initial[k]) << form.name << ": a silent gain leaves the output untouched";
            else
                ASSERT_NEAR(out[k], initial[k] + in[k] * (c.gain + k * c.step), 1e-5f) << form.name << " frame " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MixChannelEdges,
                         testing::Values(MixChannelCase{"HalfGain", 0.5f, 0.0f},
                                         MixChannelCase{"BelowThreshold", 1e-8f, 1e-9f},
                                         // frame 1023 gets 1023/1024 of its input, not all of it
                                         MixChannelCase{"RampFromZero", 0.0f, 1.0f / 1024.0f}),
                         [](const testing::TestParamInfo<MixChannelCase>& info) { return std::string(info.param.name); });

// Matrix mix computed directly from its definition.
std::vector<float> ReferenceNinN(OwnedBuffer in, OwnedBuffer out, const ZkRamp& base, const std::vector<float>& previous,
                                 const std::vector<float>& next, float oneOverFrames, uint16_t frames)
{
    MixNinNScalar(&in.buffer, &out.buffer, base, previous.data(), next.data(), oneOverFrames, frames);
    return out.samples;
}

std::vector<ZkChannelConfig> TestedConfigs()
{
    std::vector<ZkChannelConfig> configs;
    for (uint32_t n = 1; n <= 8; ++n)
        configs.push_back(ZkChannelConfig::Anonymous(n));
    for (uint32_t mask : {ZK_SPEAKER_SETUP_MONO, ZK_SPEAKER_SETUP_STEREO, 0x60Fu, 0x63Fu, 0xBu /* 2.1 */})
        configs.push_back(ZkChannelConfig::FromMask(mask));
    return configs;
}

TEST(MixMatrixForms, AgreeWithScalarForEveryChannelCount)
{
    constexpr uint16_t frames = 64;
    const float oneOverFrames = 1.0f / frames;
    for (const MixerForm& form : RunnableVectorMixers())
    {
        for (ZkChannelConfig inConfig : TestedConfigs())
        {
            for (ZkChannelConfig outConfig : TestedConfigs())
            {
                const size_t matrixSize = inConfig.NumChannels() * MatrixRowStride(outConfig.NumChannels());
                const std::vector<float> previous = RandomSamples(matrixSize, 1);
                const std::vector<float> next = RandomSamples(matrixSize, 2);
                OwnedBuffer in(inConfig, frames, 5);
                OwnedBuffer out(outConfig, frames, 6);
                out.buffer.validFrames = 0;
                const ZkRamp base(0.8f, 0.6f);
                const std::vector<float> expected = ReferenceNinN(in, out, base, previous, next, oneOverFrames, frames);
                form.mixNinN(&in.buffer, &out.buffer, base, previous.data(), next.data(), oneOverFrames, frames);
                ExpectSamplesNear(out.samples, expected, form.name);
                EXPECT_EQ(out.buffer.validFrames, frames);

                OwnedBuffer oneInN(outConfig, frames, 7);
                OwnedBuffer oneInNExpected = oneInN;
                MixOneInNScalar(in.Channel(0), &oneInNExpected.buffer, outConfig, base, previous.data(), next.data(),
                                oneOverFrames, frames);
                form.mixOneInN(in.Channel(0), &oneInN.buffer, outConfig, base, previous.data(), next.data(),
                               oneOverFrames, frames);
                ExpectSamplesNear(oneInN.samples, oneInNExpected.samples, form.name);
            }
        }
    }
}

TEST(MixNinN, FivePointOneIntoStereoDropsTheLfeAndReadsStrideFour)
{
    const ZkChannelConfig surround = ZkChannelConfig::FromMask(0x60F);
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    constexpr uint16_t frames = 8;
    OwnedBuffer in(surround, frames, 1);
    std::vector<float> zeros(stereo.NumChannels() * frames, 0.0f);
    ZkAudioBuffer out;
    out.AttachData(zeros.data(), frames, stereo);
    // Row r, column c holds (r + 1) x 10 + c; the LFE row (5) is huge and must never be read.
    std::vector<float> matrix(6 * 4, 0.0f);
    for (uint32_t r = 0; r < 6; ++r)
        for (uint32_t c = 0; c < 4; ++c)
            matrix[r * 4 + c] = r == 5 ? 1e6f : (r + 1) * 10.0f + c;
    ZkRamp base(1.0f, 1.0f);
    ZkMixer::MixNinNChannels(&in.buffer, &out, base, matrix.data(), matrix.data(), 1.0f / frames, frames);
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t k = 0; k < frames; ++k)
        {
            float expected = 0.0f;
            for (uint32_t r = 0; r < 5; ++r)
                expected += in.Channel(r)[k] * ((r + 1) * 10.0f + c);
            ASSERT_NEAR(zeros[c * frames + k], expected, 1e-3f);
        }
}

TEST(MixNinN, FivePointOneIntoFivePointOneMixesLfeToLfeThroughEntry45)
{
    const ZkChannelConfig surround = ZkChannelConfig::FromMask(0x60F);
    constexpr uint16_t frames = 16;
    OwnedBuffer in(surround, frames, 2);
    std::vector<float> zeros(6 * frames, 0.0f);
    ZkAudioBuffer out;
    out.AttachData(zeros.data(), frames, surround);
    std::vector<float> matrix(6 * 8, 0.0f);
    matrix[45] = 0.5f;
    // Entries that would route a non-LFE input to the output LFE (column 5 of rows 0-4) are never read.
    for (uint32_t r = 0; r < 5; ++r)
        matrix[r * 8 + 5] = 1e6f;
    ZkRamp base(1.0f, 1.0f);
    ZkMixer::MixNinNChannels(&in.buffer, &out, base, matrix.data(), matrix.data(), 1.0f / frames, frames);
    for (uint32_t k = 0; k < frames; ++k)
    {
        EXPECT_FLOAT_EQ(zeros[5 * frames + k], 0.5f * in.Channel(5)[k]);
        for (uint32_t c = 0; c < 5; ++c)
            ASSERT_EQ(zeros[c * frames + k], 0.0f);
    }
}

TEST(MixOneInN, UsesTheConfigChannelCountAndLeavesValidFrames)
{
    constexpr uint16_t frames = 8;
    OwnedBuffer out(ZkChannelConfig::Anonymous(4), frames, 3);
    out.buffer.validFrames = 5;
    const std::vector<float> before = out.samples;
    const std::vector<float> in(frames, 1.0f);
    const float previous[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    ZkRamp base(0.25f, 0.25f);
    ZkMixer::MixOneInNChannels(const_cast<float*>(in.data()), &out.buffer, ZkChannelConfig::Anonymous(2), base, previous,
                               previous, 1.0f / frames, frames);
    EXPECT_EQ(out.buffer.validFrames, 5);
    for (uint32_t k = 0; k < frames; ++k)
    {
        EXPECT_FLOAT_EQ(out.samples[k], before[k] + 0.25f);
        EXPECT_FLOAT_EQ(out.samples[frames + k], before[frames + k] + 0.25f);
        EXPECT_EQ(out.samples[2 * frames + k], before[2 * frames + k]);
    }
}

// The exported functions, with the kernels the platform setting lets the renderer install.
class ExportedMixerWithAvxSetting : public testing::TestWithParam<uint8_t>
{
protected:
    void SetUp() override
    {
        ZK::ZkRuntimeEnvironmentMgr::Instance()->ApplyAvxPermission(GetParam());
        ZkKernelTables::InitMixerKernels();
    }
    void TearDown() override
    {
        ZK::ZkRuntimeEnvironmentMgr::Instance()->ApplyAvxPermission(1);
        ZkKernelTables::InitMixerKernels();
    }
};

TEST_P(ExportedMixerWithAvxSetting, MatchesTheScalarReference)
{
    EXPECT_STREQ(ZkKernelTables::MixerFormName(), GetParam() && ProcessorRunsAvx2Kernels() ? "avx2" : "sse");
    constexpr uint16_t frames = 1024;
    const ZkChannelConfig in71 = ZkChannelConfig::FromMask(0x63F);
    const ZkChannelConfig out51 = ZkChannelConfig::FromMask(0x60F);
    const std::vector<float> previous = RandomSamples(8 * 8, 11);
    const std::vector<float> next = RandomSamples(8 * 8, 12);
    OwnedBuffer in(in71, frames, 13);
    OwnedBuffer out(out51, frames, 14);
    ZkRamp base(1.0f, 0.5f);
    const std::vector<float> expected = ReferenceNinN(in, out, base, previous, next, 1.0f / frames, frames);
    ZkMixer::MixNinNChannels(&in.buffer, &out.buffer, base, previous.data(), next.data(), 1.0f / frames, frames);
    ExpectSamplesNear(out.samples, expected, ZkKernelTables::MixerFormName());

    std::vector<float> channel = RandomSamples(frames, 15);
    std::vector<float> scalar = channel;
    MixChannelScalar(in.Channel(0), scalar.data(), 0.3f, 0.0002f, frames);
    ZkMixer::MixChannel(in.Channel(0), channel.data(), 0.3f, 0.0002f, frames);
    ExpectSamplesNear(channel, scalar, ZkKernelTables::MixerFormName());
}

INSTANTIATE_TEST_SUITE_P(AvxAllowedAndDisabled, ExportedMixerWithAvxSetting, testing::Values(uint8_t{1}, uint8_t{0}));
} // namespace
