// The plug-in mixing service: gains from the first to the last frame become ramps over the output
// buffer, the LFE is kept out of one-into-N mixes, and zero frames mix nothing.
#include <ZK/SoundEngine/Common/ZkMixerService.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr uint16_t kFrames = 16;

TEST(MixerService, MixChannelRampsFromThePreviousToTheNextGain)
{
    std::vector<float> in(kFrames, 1.0f);
    std::vector<float> out(kFrames, 0.5f);
    ZK::ZkMixerService::Get()->MixChannel(in.data(), out.data(), 0.0f, 1.0f, kFrames);
    for (uint32_t k = 0; k < kFrames; ++k)
        EXPECT_NEAR(out[k], 0.5f + k / 16.0f, 1e-6f) << k;
    ZK::ZkMixerService::Get()->MixChannel(in.data(), out.data(), 1.0f, 1.0f, 0);
    EXPECT_NEAR(out[0], 0.5f, 1e-6f) << "0 frames mix nothing";
}

TEST(MixerService, MatrixMixOverTheOutputBuffer)
{
    std::vector<float> inSamples(2 * kFrames, 1.0f);
    std::vector<float> outSamples(2 * kFrames, 0.0f);
    ZkAudioBuffer in;
    in.AttachData(inSamples.data(), kFrames, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
    ZkAudioBuffer out;
    out.AttachData(outSamples.data(), kFrames, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
    // Rows of 4 (the output's channel count rounded up): left to left, right to right.
    const float identity[8] = {1, 0, 0, 0, 0, 1, 0, 0};
    ZK::ZkMixerService::Get()->MixNinNChannels(&in, &out, 1.0f, 0.5f, identity, identity);
    for (uint32_t k = 0; k < kFrames; ++k)
    {
        EXPECT_NEAR(out.GetChannel(0)[k], 1.0f - 0.5f * k / 16.0f, 1e-6f) << k;
        EXPECT_NEAR(out.GetChannel(1)[k], 1.0f - 0.5f * k / 16.0f, 1e-6f) << k;
    }
}

TEST(MixerService, OneIntoNLeavesTheLfeAlone)
{
    const ZkChannelConfig config = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    std::vector<float> mono(kFrames, 1.0f);
    std::vector<float> outSamples(6 * kFrames, 0.0f);
    ZkAudioBuffer out;
    out.AttachData(outSamples.data(), kFrames, config);
    const float volumes[6] = {1, 1, 1, 1, 1, 1};
    ZK::ZkMixerService::Get()->MixOneInNChannels(mono.data(), &out, 0.25f, 0.25f, volumes, volumes);
    for (uint32_t channel = 0; channel < 5; ++channel)
        EXPECT_NEAR(out.GetChannel(channel)[3], 0.25f, 1e-6f) << channel;
    EXPECT_EQ(out.GetLFE()[3], 0.0f);
}
} // namespace
