#include "ResamplerTestSupport.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace
{
using namespace ResamplerTest;

TEST_F(Resampler, PitchZeroAtEqualRatesCopiesTheInputAsFloats)
{
    ASSERT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), 16), kEngineRate), ZK_Success);
    resampler.SetPitch(0.0f, true);
    EXPECT_EQ(resampler.currentStep, 0x10000);
    EXPECT_EQ(resampler.kernelRow, CZkResampler::kRowCopy);
    std::vector<int16_t> input = RandomShorts(2 * 256, 1);
    ZkAudioBuffer in = InputBlock(input.data(), ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), 256);
    OutputBlock out(2, 256);
    resampler.framesWanted = 256;
    EXPECT_EQ(resampler.Execute(&in, &out.buffer), ZK_DataReady);
    for (uint32_t k = 0; k < 256; ++k)
    {
        ASSERT_EQ(out.At(0, k), input[2 * k] / 32768.0f);
        ASSERT_EQ(out.At(1, k), input[2 * k + 1] / 32768.0f);
    }
    EXPECT_EQ(in.validFrames, 0);
    EXPECT_EQ(resampler.Execute(&in, &out.buffer), ZK_NoMoreData);
}

TEST_F(Resampler, OctaveUpTakesEveryOtherFrameStartingAtFrameZero)
{
    ASSERT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 32), kEngineRate), ZK_Success);
    resampler.SetPitch(1200.0f, true);
    EXPECT_EQ(resampler.currentStep, 0x20000);
    std::vector<float> input(512);
    for (uint32_t k = 0; k < 512; ++k)
        input[k] = static_cast<float>(k);
    ZkAudioBuffer in = InputBlock(input.data(), ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 512);
    OutputBlock out(1, 1024);
    resampler.framesWanted = 1024;
    EXPECT_EQ(resampler.Execute(&in, &out.buffer), ZK_DataNeeded);
    EXPECT_EQ(out.buffer.validFrames, 256);
    for (uint32_t k = 0; k < 256; ++k)
        ASSERT_EQ(out.At(0, k), 2.0f * k);
}

TEST_F(Resampler, StepFromRateRatio)
{
    ASSERT_EQ(resampler.Setup(Format(44100, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 16), kEngineRate), ZK_Success);
    EXPECT_FLOAT_EQ(resampler.rateRatio, 0.91875f);
    resampler.SetPitch(0.0f, true);
    EXPECT_EQ(resampler.currentStep, static_cast<int32_t>(0.91875f * 65536.0f + 0.5f));
    EXPECT_EQ(resampler.kernelRow, CZkResampler::kRowFixedStep);
    EXPECT_NEAR(resampler.GetPitchRatio(), 1.0f, 1e-5f);
}

TEST_F(Resampler, GlideReachesItsTargetAfter1024OutputFramesAt48kHz)
{
    ASSERT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 32), kEngineRate), ZK_Success);
    resampler.SetPitch(0.0f, true);
    resampler.SetPitch(100.0f, true);
    const int32_t target = static_cast<int32_t>(std::exp2(100.0f * 0.00083333335f) * 65536.0f + 0.5f);
    EXPECT_EQ(resampler.targetStep, target);
    EXPECT_EQ(resampler.currentStep, 0x10000);
    EXPECT_EQ(resampler.glideCounter, 0u);
    EXPECT_EQ(resampler.kernelRow, CZkResampler::kRowGlide);

    std::vector<float> input(4096, 0.25f);
    ZkAudioBuffer in = InputBlock(input.data(), ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 4096);
    OutputBlock out(1, 1023);
    resampler.framesWanted = 1023;
    resampler.Execute(&in, &out.buffer);
    EXPECT_EQ(resampler.kernelRow, CZkResampler::kRowGlide) << "one frame of glide left";
    OutputBlock more(1, 8);
    resampler.ResetOffsets();
    resampler.framesWanted = 1;
    resampler.Execute(&in, &more.buffer);
    EXPECT_EQ(resampler.kernelRow, CZkResampler::kRowFixedStep);
    EXPECT_EQ(resampler.currentStep, target);
}

TEST_F(Resampler, NewPitchMidGlideStartsFromTheStepReached)
{
    ASSERT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 32), kEngineRate), ZK_Success);
    resampler.SetPitch(0.0f, true);
    resampler.SetPitch(1200.0f, true); // 0x10000 -> 0x20000
    resampler.glideCounter = 256;      // a quarter of the way
    resampler.SetPitch(-1200.0f, true);
    EXPECT_EQ(resampler.currentStep, 0x10000 + 0x10000 / 4);
    EXPECT_EQ(resampler.targetStep, 0x8000);
    EXPECT_EQ(resampler.glideCounter, 0u);
    resampler.SetPitch(0.0f, false);
    EXPECT_EQ(resampler.currentStep, 0x10000);
    EXPECT_EQ(resampler.kernelRow, CZkResampler::kRowCopy);
}

struct GlideRateCase
{
    uint32_t outputRate;
    uint32_t expectedIncrement;
    uint32_t framesToFinish;
};

class GlideLength : public testing::TestWithParam<GlideRateCase>
{
};

// 16000 Hz: increment 3, 342 frames. Above 48 kHz the literal increment 48000 / rate would be 0 and
// the glide would never end; it is at least 1, so the glide ends after 1024 output frames.
TEST_P(GlideLength, GlideEndsAfterTheExpectedOutputFrames)
{
    const GlideRateCase& c = GetParam();
    CZkResampler r;
    r.Init();
    ASSERT_EQ(r.Setup(Format(c.outputRate, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 32), c.outputRate), ZK_Success);
    EXPECT_EQ(r.glideIncrement, c.expectedIncrement);
    r.SetPitch(0.0f, true);
    r.SetPitch(50.0f, true);
    std::vector<float> input(8192, 0.5f);
    ZkAudioBuffer in = InputBlock(input.data(), ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 8192);
    uint32_t frames = 0;
    OutputBlock out(1, 1);
    while (r.kernelRow == CZkResampler::kRowGlide && frames < 5000)
    {
        r.ResetOffsets();
        r.framesWanted = 1;
        r.Execute(&in, &out.buffer);
        ++frames;
    }
    EXPECT_EQ(frames, c.framesToFinish);
    r.Term();
}

INSTANTIATE_TEST_SUITE_P(Rates, GlideLength,
                         testing::Values(GlideRateCase{48000, 1, 1024}, GlideRateCase{16000, 3, 342},
                                         GlideRateCase{96000, 1, 1024}, GlideRateCase{192000, 1, 1024}));

TEST_F(Resampler, FivePointOneShortInterleavedComesOutInPipelineOrder)
{
    const ZkChannelConfig surround = ZkChannelConfig::FromMask(0x60F);
    ASSERT_EQ(resampler.Setup(Format(kEngineRate, surround, 16), kEngineRate), ZK_Success);
    resampler.SetPitch(0.0f, true);
    // Interleaved FL FR FC LFE SL SR carry 100, 200, ... 600.
    std::vector<int16_t> input;
    for (uint32_t k = 0; k < 16; ++k)
        for (int16_t v : {100, 200, 300, 400, 500, 600})
            input.push_back(v);
    ZkAudioBuffer in = InputBlock(input.data(), surround, 16);
    OutputBlock out(6, 16);
    resampler.framesWanted = 16;
    resampler.Execute(&in, &out.buffer);
    const int16_t pipeline[6] = {100, 200, 300, 500, 600, 400}; // FL FR FC SL SR LFE
    for (uint32_t c = 0; c < 6; ++c)
        EXPECT_EQ(out.At(c, 5), pipeline[c] / 32768.0f) << c;
}

TEST_F(Resampler, SetupFailures)
{
    EXPECT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::Anonymous(2), 24), kEngineRate), ZK_Fail);
    EXPECT_EQ(resampler.kernelColumn, ZkResamplerKernels::kUnsupportedColumn);
    EXPECT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::Anonymous(2), 16), 0), ZK_Fail);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Processing, 1);
        EXPECT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::Anonymous(12), 32), kEngineRate), ZK_Fail);
    }
    EXPECT_EQ(resampler.Setup(Format(kEngineRate, ZkChannelConfig::Anonymous(12), 32), kEngineRate), ZK_Success);
    EXPECT_EQ(resampler.ownsMemory, 1);
}

struct FormCase
{
    uint32_t bits;
    uint32_t channels;
    float cents;
};

class ResamplerForms : public testing::TestWithParam<FormCase>
{
};

// Every form (scalar reference, SSE, AVX2 where this processor has it) over blocks of uneven sizes:
// the forms agree with each other, and blocks of any size give the same stream as one big block.
TEST_P(ResamplerForms, AgreeAndAreContinuousAcrossBlocks)
{
    const FormCase& c = GetParam();
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    ZK::MemoryMgr::InitForThread();

    constexpr uint32_t kInputFrames = 3001;
    const ZkChannelConfig config = ZkChannelConfig::Anonymous(c.channels);
    std::vector<int16_t> shorts = RandomShorts(kInputFrames * c.channels, c.channels);
    std::vector<float> floats(kInputFrames * c.channels);
    for (uint32_t ch = 0; ch < c.channels; ++ch)
        for (uint32_t k = 0; k < kInputFrames; ++k)
            floats[ch * kInputFrames + k] = shorts[k * c.channels + ch] / 32768.0f;

    std::vector<std::pair<const char*, ZkResamplerKernels::KernelTable>> tables;
    const char* names[] = {"scalar", "sse", "avx2"};
    for (const auto& table : RunnableTables())
        tables.push_back({names[tables.size()], table});

    // Input blocks of uneven sizes (the float blocks are planar copies of their frames), output
    // blocks of 256 frames.
    const uint16_t blockSizes[] = {1, 7, 64, 129, 500, 3, 1000, 1297};
    std::vector<std::vector<float>> results;
    for (const auto& [name, table] : tables)
    {
        CZkResampler r;
        r.Init();
        ASSERT_EQ(r.Setup(Format(44100, config, c.bits), kEngineRate), ZK_Success);
        r.SetPitch(c.cents, true);
        std::vector<float> stream(c.channels * 8192, 0.0f);
        size_t produced = 0;
        OutputBlock out(c.channels, 256);
        r.framesWanted = 256;
        uint32_t consumedFrames = 0;
        for (uint16_t size : blockSizes)
        {
            std::vector<int16_t> shortBlock(shorts.begin() + consumedFrames * c.channels,
                                            shorts.begin() + (consumedFrames + size) * c.channels);
            std::vector<float> floatBlock(size * c.channels);
            for (uint32_t ch = 0; ch < c.channels; ++ch)
                for (uint32_t k = 0; k < size; ++k)
                    floatBlock[ch * size + k] = floats[ch * kInputFrames + consumedFrames + k];
            consumedFrames += size;
            ZkAudioBuffer in = InputBlock(c.bits == 16 ? static_cast<void*>(shortBlock.data()) : floatBlock.data(), config, size);
            while (in.validFrames > 0)
            {
                if (r.ExecuteWith(table, &in, &out.buffer) == ZK_DataReady)
                {
                    for (uint32_t ch = 0; ch < c.channels; ++ch)
                        for (uint32_t k = 0; k < 256; ++k)
                            stream[ch * 8192 + produced + k] = out.At(ch, k);
                    produced += 256;
                    r.ResetOffsets();
                }
            }
        }
        r.Term();
        stream.resize(c.channels * 8192);
        results.push_back(stream);
        EXPECT_GE(produced, 1024u) << name;

        if (c.cents == 0.0f)
        {
            const uint32_t step = static_cast<uint32_t>(CZkResampler::StepFromCents(0.0f, 44100.0f / 48000.0f));
            for (uint32_t ch = 0; ch < c.channels; ++ch)
            {
                const std::vector<float> channel(floats.begin() + ch * kInputFrames, floats.begin() + (ch + 1) * kInputFrames);
                const std::vector<double> model = ModelFixedStep(channel, step, produced);
                for (size_t j = 0; j < produced; ++j)
                    ASSERT_NEAR(stream[ch * 8192 + j], model[j], 2e-6) << name << " channel " << ch << " frame " << j;
            }
        }
    }
    for (size_t form = 1; form < results.size(); ++form)
        for (size_t i = 0; i < results[0].size(); ++i)
            ASSERT_NEAR(results[form][i], results[0][i], 2e-6f) << tables[form].first << " sample " << i;

    ZK::MemoryMgr::TermForThread();
    ZK::MemoryMgr::Term();
}

INSTANTIATE_TEST_SUITE_P(Cells, ResamplerForms,
                         testing::Values(FormCase{16, 1, 0.0f}, FormCase{16, 2, 0.0f}, FormCase{16, 3, 0.0f},
                                         FormCase{16, 6, -350.0f}, FormCase{32, 1, 0.0f}, FormCase{32, 2, 0.0f},
                                         FormCase{32, 5, 0.0f}, FormCase{32, 8, 700.0f}, FormCase{16, 12, 0.0f},
                                         FormCase{32, 12, 0.0f}));

// The vector forms read a window of input frames up to a step of 2.0 and gather each lane's frames
// above it: steps on both sides of that edge, for every fixed-step cell, over uneven input blocks
// (the block ends cut groups short) must give the scalar form's stream.
TEST_F(Resampler, FixedStepFormsMatchTheScalarFormAroundTheWindowEdge)
{
    constexpr uint32_t kFrames = 700;
    constexpr uint16_t kOutputBlock = 61;
    const uint16_t blockSizes[] = {1, 250, 17, 432};
    const int32_t steps[] = {0x5000, 0x1FFFF, 0x20000, 0x20001, 0x2C000, 0x70000};
    const std::vector<ZkResamplerKernels::KernelTable> tables = RunnableTables();
    for (uint32_t bits : {16u, 32u})
        for (uint32_t channels : {1u, 2u, 3u, 6u})
            for (int32_t step : steps)
            {
                const std::vector<int16_t> shorts = RandomShorts(channels * kFrames, channels * 7 + bits);
                std::vector<std::vector<float>> streams;
                for (const auto& table : tables)
                {
                    CZkResampler r;
                    r.Init();
                    ASSERT_EQ(r.Setup(Format(kEngineRate, ZkChannelConfig::Anonymous(channels), bits), kEngineRate), ZK_Success);
                    r.SetPitch(0.0f, true);
                    r.currentStep = r.targetStep = step;
                    r.kernelRow = CZkResampler::kRowFixedStep;
                    r.framesWanted = kOutputBlock;
                    OutputBlock out(channels, kOutputBlock);
                    std::vector<float> stream;
                    uint32_t start = 0;
                    for (uint16_t size : blockSizes)
                    {
                        std::vector<int16_t> shortBlock(shorts.begin() + start * channels, shorts.begin() + (start + size) * channels);
                        std::vector<float> floatBlock(channels * size);
                        for (uint32_t ch = 0; ch < channels; ++ch)
                            for (uint32_t k = 0; k < size; ++k)
                                floatBlock[ch * size + k] = shortBlock[k * channels + ch] / 32768.0f;
                        start += size;
                        ZkAudioBuffer in = InputBlock(bits == 16 ? static_cast<void*>(shortBlock.data()) : floatBlock.data(),
                                                      ZkChannelConfig::Anonymous(channels), size);
                        while (in.validFrames > 0)
                        {
                            const uint32_t before = r.outputOffset;
                            const ZKRESULT result = r.ExecuteWith(table, &in, &out.buffer);
                            for (uint32_t k = before; k < out.buffer.validFrames; ++k)
                                for (uint32_t ch = 0; ch < channels; ++ch)
                                    stream.push_back(out.At(ch, k));
                            if (result == ZK_DataReady)
                                r.ResetOffsets();
                        }
                    }
                    r.Term();
                    streams.push_back(stream);
                }
                ASSERT_GT(streams[0].size(), 64u);
                for (size_t form = 1; form < streams.size(); ++form)
                {
                    ASSERT_EQ(streams[form].size(), streams[0].size()) << form;
                    for (size_t i = 0; i < streams[0].size(); ++i)
                        ASSERT_NEAR(streams[form][i], streams[0][i], 2e-6f)
                            << "form " << form << ", " << bits << " bits, " << channels << " channels, step " << step << ", sample " << i;
                }
            }
}

TEST_F(Resampler, CopyFormsReproduceTheInputAcrossOutputBlocks)
{
    // Equal rates and pitch 0: the copy kernels of every form, 16-bit mono/stereo/N and float.
    constexpr uint16_t kFrames = 300;
    constexpr uint16_t kBlock = 77; // not a multiple of any vector width
    for (uint32_t bits : {16u, 32u})
        for (uint32_t channels : {1u, 2u, 5u})
            for (const auto& table : RunnableTables())
            {
                std::vector<int16_t> shorts = RandomShorts(channels * kFrames, channels + bits);
                std::vector<float> floats(channels * kFrames);
                for (uint32_t ch = 0; ch < channels; ++ch)
                    for (uint32_t k = 0; k < kFrames; ++k)
                        floats[ch * kFrames + k] = shorts[k * channels + ch] / 32768.0f;
                CZkResampler r;
                r.Init();
                ASSERT_EQ(r.Setup(Format(kEngineRate, ZkChannelConfig::Anonymous(channels), bits), kEngineRate), ZK_Success);
                r.SetPitch(0.0f, true);
                ASSERT_EQ(r.kernelRow, CZkResampler::kRowCopy);
                ZkAudioBuffer in = InputBlock(bits == 16 ? static_cast<void*>(shorts.data()) : floats.data(),
                                              ZkChannelConfig::Anonymous(channels), kFrames);
                OutputBlock out(channels, kBlock);
                r.framesWanted = kBlock;
                uint32_t blockStart = 0;
                while (in.validFrames > 0)
                {
                    const ZKRESULT result = r.ExecuteWith(table, &in, &out.buffer);
                    for (uint32_t ch = 0; ch < channels; ++ch)
                        for (uint32_t k = 0; k < out.buffer.validFrames; ++k)
                            ASSERT_EQ(out.At(ch, k), floats[ch * kFrames + blockStart + k]) << bits << " bits, " << channels;
                    if (result == ZK_DataReady)
                    {
                        blockStart += kBlock;
                        r.ResetOffsets();
                    }
                }
                EXPECT_EQ(blockStart + out.buffer.validFrames, kFrames);
                r.Term();
            }
}

TEST_F(Resampler, ToneResampledFrom44100To48000KeepsItsFrequency)
{
    constexpr uint32_t kInputFrames = 44100;
    constexpr double kToneHz = 1000.0;
    std::vector<int16_t> tone(kInputFrames);
    for (uint32_t k = 0; k < kInputFrames; ++k)
        tone[k] = static_cast<int16_t>(std::lround(20000.0 * std::sin(2.0 * std::numbers::pi * kToneHz * k / 44100.0)));
    ASSERT_EQ(resampler.Setup(Format(44100, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 16), kEngineRate), ZK_Success);
    resampler.SetPitch(0.0f, true);
    std::vector<float> output;
    OutputBlock out(1, 1024);
    for (uint32_t start = 0; start < kInputFrames; start += 1000)
    {
        const uint16_t size = static_cast<uint16_t>(std::min<uint32_t>(1000, kInputFrames - start));
        ZkAudioBuffer in = InputBlock(tone.data() + start, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), size);
        resampler.framesWanted = 1024;
        while (in.validFrames > 0)
            if (resampler.Execute(&in, &out.buffer) == ZK_DataReady)
            {
                output.insert(output.end(), out.samples.begin(), out.samples.end());
                resampler.ResetOffsets();
            }
    }
    ASSERT_GE(output.size(), 40960u);
    // Frequency from the upward zero crossings, interpolated, over the first 40960 output frames.
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t k = 1; k < 40960; ++k)
        if (output[k - 1] < 0.0f && output[k] >= 0.0f)
        {
            const double at = (k - 1) + output[k - 1] / (output[k - 1] - output[k]);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    const double measuredHz = (crossings - 1) * 48000.0 / (last - first);
    EXPECT_NEAR(measuredHz, kToneHz, 0.5);
}
} // namespace
