#include "KernelTestSupport.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <Plugins/Effects/Common/ZkDspAudioFormat.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <gtest/gtest.h>

namespace
{
using namespace ZK::MemoryMgr::FaultInjection;

class MixFilter : public testing::Test
{
protected:
    void SetUp() override
    {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        ZK::MemoryMgr::InitForThread();
        ZkDspAudioFormat::Set(48000, 1024);
    }
    void TearDown() override
    {
        Disarm();
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
    }

    // Identity matrix mix of n channels through a filter at steady low-pass value 40.
    void Mix(uint32_t channels, OwnedBuffer& in, OwnedBuffer& out, CZkSrcLpHpFilter& filter)
    {
        std::vector<float> matrix(channels * ZkMixKernels::MatrixRowStride(channels), 0.0f);
        for (uint32_t c = 0; c < channels; ++c)
            matrix[c * ZkMixKernels::MatrixRowStride(channels) + c] = 1.0f;
        ZkRamp base(1.0f, 1.0f);
        ZkMixer::MixFilterNinNChannels(&in.buffer, &out.buffer, base, matrix.data(), matrix.data(),
                                       1.0f / in.buffer.maxFrames, in.buffer.maxFrames, &filter);
    }
};

TEST_F(MixFilter, ScratchOnTheStackUpTo32KiBAndFromPoolFiveAbove)
{
    for (auto [channels, poolAllocations] : {std::pair{2u, 0u}, std::pair{8u, 1u}})
    {
        const ZkChannelConfig config = ZkChannelConfig::Anonymous(channels);
        CZkSrcLpHpFilter filter;
        filter.Init();
        ASSERT_EQ(filter.Setup(config), ZK_Success);
        filter.SetLowPassTarget(40.0f);
        OwnedBuffer in(config, 1024, channels);
        OwnedBuffer out(config, 1024, 0);
        std::fill(out.samples.begin(), out.samples.end(), 0.0f);

        // Expected: the same filter run in place on a copy of the input.
        CZkSrcLpHpFilter reference;
        reference.Init();
        ASSERT_EQ(reference.Setup(config), ZK_Success);
        reference.SetLowPassTarget(40.0f);
        OwnedBuffer expected = in;
        reference.Process(&expected.buffer);

        CountOnly(ZkMemID_Processing);
        Mix(channels, in, out, filter);
        EXPECT_EQ(CountedAllocations(), poolAllocations) << channels << " channels";
        Disarm();
        for (size_t i = 0; i < out.samples.size(); ++i)
            ASSERT_NEAR(out.samples[i], expected.samples[i], 1e-6f);
        filter.Term();
        reference.Term();
    }
}

TEST_F(MixFilter, WithoutScratchMemoryTheInputIsMixedUnfiltered)
{
    const ZkChannelConfig config = ZkChannelConfig::Anonymous(8);
    CZkSrcLpHpFilter filter;
    filter.Init();
    ASSERT_EQ(filter.Setup(config), ZK_Success);
    filter.SetLowPassTarget(40.0f);
    OwnedBuffer in(config, 1024, 3);
    OwnedBuffer out(config, 1024, 0);
    std::fill(out.samples.begin(), out.samples.end(), 0.0f);
    {
        ScopedAllocationFailure failure(ZkMemID_Processing, 1);
        Mix(8, in, out, filter);
    }
    EXPECT_EQ(out.samples, in.samples);
    filter.Term();
}

TEST_F(MixFilter, EndOfBufferUpdateCountsTheTailTwicePerMixedBuffer)
{
    // The filtered mix adds its own end-of-buffer step to the filter's: a filter moved to 0 enters
    // bypass after the glide buffer and two more.
    const ZkChannelConfig config = ZkChannelConfig::Anonymous(2);
    CZkSrcLpHpFilter filter;
    filter.Init();
    ASSERT_EQ(filter.Setup(config), ZK_Success);
    filter.SetLowPassTarget(50.0f);
    OwnedBuffer in(config, 1024, 4);
    OwnedBuffer out(config, 1024, 5);
    Mix(2, in, out, filter);
    filter.SetLowPassTarget(0.0f);
    Mix(2, in, out, filter); // glide ends: tail 4, then the mix's step takes it to 3
    EXPECT_EQ(filter.LowPass().Params().tailCountdown, 3);
    Mix(2, in, out, filter); // 3 -> 2 -> 1
    EXPECT_EQ(filter.LowPass().Params().tailCountdown, 1);
    Mix(2, in, out, filter); // 1 -> 0: bypassed
    EXPECT_TRUE(filter.LowPass().Params().bypassed);
    filter.Term();
}

TEST_F(MixFilter, BypassMixKeepsTheFilterStateCurrentAndMixesUnfiltered)
{
    const ZkChannelConfig config = ZkChannelConfig::Anonymous(3);
    CZkSrcLpHpFilter filter;
    filter.Init();
    ASSERT_EQ(filter.Setup(config), ZK_Success);
    OwnedBuffer in(config, 64, 6);
    OwnedBuffer out(config, 64, 0);
    std::fill(out.samples.begin(), out.samples.end(), 0.0f);
    std::vector<float> matrix(3 * 4, 0.0f);
    matrix[0] = matrix[5] = matrix[10] = 1.0f;
    ZkRamp base(1.0f, 1.0f);
    ZkMixer::MixBypassNinNChannels(&in.buffer, &out.buffer, base, matrix.data(), matrix.data(), 1.0f / 64, 64, &filter);
    EXPECT_EQ(out.samples, in.samples);
    for (uint32_t c = 0; c < 3; ++c)
    {
        EXPECT_EQ(filter.LowPass().History()[0].x1[c], in.Channel(c)[63]);
        EXPECT_EQ(filter.HighPass().History()[0].y2[c], in.Channel(c)[62]);
    }
    filter.Term();
}
} // namespace
