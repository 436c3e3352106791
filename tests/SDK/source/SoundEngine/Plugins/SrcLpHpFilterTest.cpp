#include "MemoryMgrScope.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <Plugins/Effects/Common/ZkDspAudioFormat.h>
#include <Plugins/Effects/Common/ZkFilterCutoff.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
constexpr uint16_t kFrames = 1024;
constexpr float kRate = 48000.0f;

// A planar buffer over its own memory, with room after the capacity to catch stray writes.
struct PlanarBuffer
{
    static constexpr size_t kGuard = 16;
    static constexpr float kGuardValue = 12345.0f;

    std::vector<float> samples;
    ZkAudioBuffer buffer;

    PlanarBuffer(ZkChannelConfig config, uint16_t maxFrames, uint16_t validFrames, uint32_t seed)
        : samples(config.NumChannels() * static_cast<size_t>(maxFrames) + kGuard, kGuardValue)
    {
        std::mt19937 generator(seed);
        std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
        for (uint32_t c = 0; c < config.NumChannels(); ++c)
            for (uint32_t k = 0; k < validFrames; ++k)
                samples[c * static_cast<size_t>(maxFrames) + k] = distribution(generator);
        buffer.data = samples.data();
        buffer.channelConfig = config;
        buffer.maxFrames = maxFrames;
        buffer.validFrames = validFrames;
    }
    float* Channel(uint32_t c) { return samples.data() + c * static_cast<size_t>(buffer.maxFrames); }
};

class SrcLpHpFilter : public testing::Test
{
protected:
    void SetUp() override
    {
        ZkDspAudioFormat::Set(48000, 1024);
        filter.Init();
    }
    void TearDown() override { filter.Term(); }

    MemoryMgrScope memory;
    CZkSrcLpHpFilter filter;
};

TEST_F(SrcLpHpFilter, ValueZeroOnFirstUpdateBypassesAndPassesTheBufferUnchanged)
{
    ASSERT_EQ(filter.Setup(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO)), ZK_Success);
    filter.SetLowPassTarget(0.0f);
    filter.SetHighPassTarget(0.1f);
    PlanarBuffer audio(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), kFrames, kFrames, 1);
    const std::vector<float> before = audio.samples;
    filter.Process(&audio.buffer);
    EXPECT_EQ(audio.samples, before);
    EXPECT_TRUE(filter.IsBypassed());
}

TEST_F(SrcLpHpFilter, GlideFromZeroToFiftyRunsEightBlocksOfRisingValues)
{
    const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    ASSERT_EQ(filter.Setup(mono), ZK_Success);
    filter.SetLowPassTarget(0.0f);
    PlanarBuffer first(mono, kFrames, kFrames, 2);
    filter.Process(&first.buffer);

    // Expected: the bypassed buffer left x1 = y1 = last sample, x2 = y2 = the one before.
    BiquadLaneHistory history{};
    history.x1[0] = history.y1[0] = first.Channel(0)[kFrames - 1];
    history.x2[0] = history.y2[0] = first.Channel(0)[kFrames - 2];

    PlanarBuffer second(mono, kFrames, kFrames, 3);
    std::vector<float> expected(second.Channel(0), second.Channel(0) + kFrames);
    for (uint32_t block = 0; block < 8; ++block)
    {
        const float value = 50.0f * static_cast<float>(block + 1) / 8.0f; // 6.25, 12.5, ..., 50
        const BiquadCoefficients c = ComputeButterworthLowPass(LowPassValueToHz(value, kRate), kRate);
        BiquadRunScalar(expected.data() + block * 128, expected.data() + block * 128, 128, c, history, 0);
    }
    filter.SetLowPassTarget(50.0f);
    filter.Process(&second.buffer);
    for (uint32_t k = 0; k < kFrames; ++k)
        ASSERT_NEAR(second.Channel(0)[k], expected[k], 1e-6f) << k;
    EXPECT_FLOAT_EQ(filter.LowPass().Params().currentValue, 50.0f);
    EXPECT_EQ(filter.LowPass().Params().stepCounter, 8);
}

TEST_F(SrcLpHpFilter, MovingToZeroGlidesThenFiltersFourBuffersThenFadesThenPasses)
{
    const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    ASSERT_EQ(filter.Setup(mono), ZK_Success);
    filter.SetLowPassTarget(60.0f);
    PlanarBuffer warmUp(mono, kFrames, kFrames, 4);
    filter.Process(&warmUp.buffer);

    filter.SetLowPassTarget(0.0f);
    const auto runBuffer = [&](uint32_t seed, bool expectChanged) {
        PlanarBuffer audio(mono, kFrames, kFrames, seed);
        const std::vector<float> before = audio.samples;
        filter.Process(&audio.buffer);
        EXPECT_EQ(audio.samples != before, expectChanged) << "buffer seed " << seed;
        return std::make_pair(before, audio.samples);
    };
    runBuffer(10, true); // the glide
    EXPECT_EQ(filter.LowPass().Params().tailCountdown, 4);
    for (uint32_t tail = 0; tail < 4; ++tail)
    {
        EXPECT_FALSE(filter.LowPass().Params().bypassed);
        runBuffer(11 + tail, true);
    }
    EXPECT_TRUE(filter.LowPass().Params().bypassed);
    EXPECT_FALSE(filter.LowPass().Params().primed);

    const BiquadLaneHistory last = filter.LowPass().History()[0];
    const float offset = last.y1[0] - last.x1[0];
    auto [input, output] = runBuffer(20, true); // the fade of the last offset
    for (uint32_t i = 0; i < kFrames; ++i)
        ASSERT_NEAR(output[i], input[i] + offset * (1.0f - static_cast<float>(i + 1) / kFrames), 1e-6f) << i;
    EXPECT_EQ(output[kFrames - 1], input[kFrames - 1]);

    runBuffer(21, false);
}

TEST_F(SrcLpHpFilter, OneValidFrameWhileBypassedLeavesTheHistoryAlone)
{
    const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    ASSERT_EQ(filter.Setup(mono), ZK_Success);
    filter.SetLowPassTarget(0.0f);
    PlanarBuffer full(mono, 8, 8, 5);
    filter.Process(&full.buffer);
    const float kept = filter.LowPass().History()[0].x1[0];
    PlanarBuffer single(mono, 8, 1, 6);
    filter.Process(&single.buffer);
    EXPECT_EQ(filter.LowPass().History()[0].x1[0], kept);
}

TEST_F(SrcLpHpFilter, MultichannelFormsMatchTheScalarRecurrencePerChannel)
{
    for (uint32_t channels : {1u, 2u, 3u, 4u, 6u, 7u, 8u})
    {
        CZkSrcLpHpFilter pair;
        pair.Init();
        ASSERT_EQ(pair.Setup(ZkChannelConfig::Anonymous(channels)), ZK_Success);
        pair.SetLowPassTarget(40.0f);
        pair.SetHighPassTarget(30.0f);
        PlanarBuffer audio(ZkChannelConfig::Anonymous(channels), 256, 250, channels);
        PlanarBuffer outOfPlaceIn = audio;
        outOfPlaceIn.buffer.data = outOfPlaceIn.samples.data();
        const BiquadCoefficients lp = ComputeButterworthLowPass(LowPassValueToHz(40.0f, kRate), kRate);
        const BiquadCoefficients hp = ComputeButterworthHighPass(HighPassValueToHz(30.0f, kRate), kRate);
        std::vector<std::vector<float>> expected;
        for (uint32_t c = 0; c < channels; ++c)
        {
            std::vector<float> channel(audio.Channel(c), audio.Channel(c) + 250);
            BiquadLaneHistory lpHistory{}, hpHistory{};
            BiquadRunScalar(channel.data(), channel.data(), 250, lp, lpHistory, 0);
            BiquadRunScalar(channel.data(), channel.data(), 250, hp, hpHistory, 0);
            expected.push_back(channel);
        }
        pair.Process(&audio.buffer);
        for (uint32_t c = 0; c < channels; ++c)
        {
            // Groups of four channels run the recurrence as the scalar form does; the channels after
            // them run the look-ahead forms, equal to it to float rounding (BiquadKernelTest bounds
            // that rounding; after the high-pass at 220 Hz the two differ by up to 1e-5 here, about
            // twice the scalar form's own distance from the exact recurrence).
            const bool inGroupOfFour = c < channels / 4 * 4;
            for (uint32_t k = 0; k < 250; ++k)
            {
                if (inGroupOfFour)
                    ASSERT_FLOAT_EQ(audio.Channel(c)[k], expected[c][k]) << channels << " channels, channel " << c;
                else
                    ASSERT_NEAR(audio.Channel(c)[k], expected[c][k], 1e-4f) << channels << " channels, channel " << c;
            }
            for (uint32_t k = 250; k < 256; ++k)
                ASSERT_EQ(audio.Channel(c)[k], PlanarBuffer::kGuardValue) << "write past the valid frames";
        }

        // The same pair of filters out of place gives the same samples.
        CZkSrcLpHpFilter outOfPlace;
        outOfPlace.Init();
        ASSERT_EQ(outOfPlace.Setup(ZkChannelConfig::Anonymous(channels)), ZK_Success);
        outOfPlace.SetLowPassTarget(40.0f);
        outOfPlace.SetHighPassTarget(30.0f);
        std::vector<float> scratch(channels * 250);
        ZkAudioBuffer target;
        target.AttachData(scratch.data(), 250, ZkChannelConfig::Anonymous(channels));
        outOfPlaceIn.buffer.validFrames = 250;
        outOfPlace.ProcessOutOfPlace(&outOfPlaceIn.buffer, &target);
        for (uint32_t c = 0; c < channels; ++c)
            for (uint32_t k = 0; k < 250; ++k)
                ASSERT_EQ(scratch[c * 250 + k], audio.Channel(c)[k]);
        pair.Term();
        outOfPlace.Term();
    }
}

TEST_F(SrcLpHpFilter, SetupFailsCleanlyWhenAnyAllocationFails)
{
    using namespace ZK::MemoryMgr::FaultInjection;
    for (uint32_t n = 1; n <= 4; ++n)
    {
        ScopedAllocationFailure failure(ZkMemID_ProcessingPlugins, n);
        EXPECT_EQ(filter.Setup(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1)), ZK_Fail) << n;
        EXPECT_FALSE(filter.LowPass().HasMemory());
        EXPECT_FALSE(filter.HighPass().HasMemory());
        EXPECT_TRUE(filter.IsBypassed()) << "memory missing counts as bypassed";
    }
}

TEST_F(SrcLpHpFilter, KeepStateCurrentResetAndMoveFrom)
{
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    ASSERT_EQ(filter.Setup(stereo), ZK_Success);
    PlanarBuffer audio(stereo, 16, 16, 8);
    filter.KeepStateCurrent(&audio.buffer, 1);
    const BiquadLaneHistory& h = filter.HighPass().History()[0];
    EXPECT_EQ(h.x1[1], audio.Channel(1)[15]);
    EXPECT_EQ(h.y2[1], audio.Channel(1)[14]);
    EXPECT_EQ(h.x1[0], 0.0f);

    CZkSrcLpHpFilter other;
    other.Init();
    other.MoveFrom(filter);
    EXPECT_FALSE(filter.HasAllMemory());
    ASSERT_TRUE(other.HasAllMemory());
    EXPECT_EQ(other.GetChannelConfig(), stereo);
    EXPECT_EQ(other.HighPass().History()[0].x1[1], audio.Channel(1)[15]);

    other.LowPass().Params().first = 0;
    other.Reset();
    EXPECT_EQ(other.LowPass().Params().first, 1);
    EXPECT_EQ(other.HighPass().History()[0].x1[1], 0.0f);
    other.Term();
}
} // namespace

// The wide (AVX2) forms inside the filter pair, against the SSE forms: a jump, a glide over the
// blocks of a buffer and a steady buffer of 1023 frames (odd tails), for every channel count whose
// channels after the groups of four take them. Each form's weights are those of the forms in use
// when they were computed, so the two filters are processed with the choice switched between them.
TEST_F(SrcLpHpFilter, WideFormsFollowTheSseFormsThroughJumpsAndGlides)
{
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
        GTEST_SKIP() << "no AVX2 and FMA on this processor";
    for (uint32_t channels : {1u, 2u, 3u, 7u})
    {
        const ZkChannelConfig config = ZkChannelConfig::Anonymous(channels);
        CZkSrcLpHpFilter wide, sse;
        wide.Init();
        sse.Init();
        ASSERT_EQ(wide.Setup(config), ZK_Success);
        ASSERT_EQ(sse.Setup(config), ZK_Success);
        const float lowPass[] = {40.0f, 70.0f, 70.0f};
        const float highPass[] = {20.0f, 35.0f, 35.0f};
        for (uint32_t buffer = 0; buffer < 3; ++buffer)
        {
            PlanarBuffer wideAudio(config, kFrames, kFrames - 1, 50 + buffer);
            PlanarBuffer sseAudio = wideAudio;
            sseAudio.buffer.data = sseAudio.samples.data();
            for (CZkSrcLpHpFilter* f : {&wide, &sse})
            {
                f->SetLowPassTarget(lowPass[buffer]);
                f->SetHighPassTarget(highPass[buffer]);
            }
            BiquadUseWideForms(true);
            wide.Process(&wideAudio.buffer);
            BiquadUseWideForms(false);
            sse.Process(&sseAudio.buffer);
            for (uint32_t c = 0; c < channels; ++c)
                for (uint32_t k = 0; k < kFrames; ++k)
                    ASSERT_NEAR(wideAudio.Channel(c)[k], sseAudio.Channel(c)[k], 1e-4f)
                        << channels << " channels, buffer " << buffer << ", channel " << c << ", frame " << k;
        }
        wide.Term();
        sse.Term();
    }
}
