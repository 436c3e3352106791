#include "KernelTestSupport.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

#include <gtest/gtest.h>

namespace
{
struct OrderCase
{
    const char* name;
    uint32_t mask;
    std::vector<uint32_t> pipelineOfInterleaved;
};

class InterleavedOrder : public testing::TestWithParam<OrderCase>
{
};

TEST_P(InterleavedOrder, MapsPositionsToPipelineChannels)
{
    const OrderCase& c = GetParam();
    const ZkChannelConfig config = ZkChannelConfig::FromMask(c.mask);
    ASSERT_EQ(config.NumChannels(), c.pipelineOfInterleaved.size());
    for (uint32_t p = 0; p < config.NumChannels(); ++p)
        EXPECT_EQ(config.InterleavedToPipeline(p), c.pipelineOfInterleaved[p]) << "position " << p;

    // Interleaving a buffer whose channel c holds the value c shows the same order frame by frame.
    constexpr uint16_t frames = 3;
    std::vector<float> planar(config.NumChannels() * 8);
    for (uint32_t ch = 0; ch < config.NumChannels(); ++ch)
        for (uint32_t k = 0; k < 8; ++k)
            planar[ch * 8 + k] = static_cast<float>(ch);
    ZkAudioBuffer buffer;
    buffer.AttachData(planar.data(), 8, config);
    buffer.validFrames = frames;
    std::vector<float> interleaved(config.NumChannels() * frames, -1.0f);
    ZkInterleaveValidFrames(buffer, interleaved.data());
    for (uint32_t k = 0; k < frames; ++k)
        for (uint32_t p = 0; p < config.NumChannels(); ++p)
            EXPECT_EQ(interleaved[k * config.NumChannels() + p], static_cast<float>(c.pipelineOfInterleaved[p]));
}

INSTANTIATE_TEST_SUITE_P(
    Table, InterleavedOrder,
    testing::Values(
        // 5.1 stored FL FR FC SL SR LFE interleaves as FL FR FC LFE SL SR.
        OrderCase{"FivePointOne", 0x60F, {0, 1, 2, 5, 3, 4}},
        // LFE without front centre: FL FR LFE.
        OrderCase{"TwoPointOne", 0xB, {0, 1, 2}},
        OrderCase{"SevenPointOne", 0x63F, {0, 1, 2, 7, 3, 4, 5, 6}},
        // No LFE: channel by channel.
        OrderCase{"Quad", 0x33, {0, 1, 2, 3}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

TEST(ZkChannelConfig, FieldsOfTheWord)
{
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    EXPECT_EQ(stereo.word, ZkChannelConfig::kStereoWord);
    const ZkChannelConfig surround = ZkChannelConfig::FromMask(0x60F);
    EXPECT_EQ(surround.NumChannels(), 6u);
    EXPECT_TRUE(surround.HasLfe());
    EXPECT_TRUE(surround.HasCenter());
    EXPECT_EQ(surround.NumNonLfeChannels(), 5u);
    EXPECT_EQ(ZkChannelConfig(0x2D63F10Cu).NumChannels(), 12u);
}

TEST(ZkAudioBuffer, FreshBufferAndChannelStrideIsTheCapacity)
{
    ZkAudioBuffer fresh;
    EXPECT_EQ(fresh.data, nullptr);
    EXPECT_EQ(fresh.channelConfig.word, 0u);
    EXPECT_EQ(fresh.state, ZK_DataNeeded);
    EXPECT_EQ(fresh.maxFrames, 0);
    EXPECT_EQ(fresh.validFrames, 0);

    std::vector<float> memory(2 * 1024);
    ZkAudioBuffer buffer;
    buffer.AttachData(memory.data(), 1024, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
    buffer.validFrames = 512;
    EXPECT_EQ(buffer.GetChannel(1), memory.data() + 1024);
}

} // namespace
