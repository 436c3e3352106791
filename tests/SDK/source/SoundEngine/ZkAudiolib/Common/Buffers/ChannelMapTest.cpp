#include "ZkAudiolib/Common/Buffers/ChannelMap.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ZK::SoundEngine;

namespace
{
std::vector<uint32_t> MapAll(ChannelMap::Mapper mapper, ZkChannelConfig config)
{
    std::vector<uint32_t> mapped;
    for (uint32_t index = 0; index < config.NumChannels(); ++index)
        mapped.push_back(mapper(config, index));
    return mapped;
}
} // namespace

TEST(ChannelMap, ByTableFollowsTheOrderOfEachChannelCount)
{
    const std::vector<std::vector<uint32_t>> rows = {
        {0}, {0, 1}, {0, 2, 1}, {0, 1, 2, 3}, {0, 2, 1, 3, 4}, {0, 2, 1, 3, 4, 5}, {0, 2, 1, 3, 4, 5, 6}, {0, 2, 1, 5, 6, 3, 4, 7}};
    for (uint32_t channels = 1; channels <= 8; ++channels)
        EXPECT_EQ(MapAll(ChannelMap::ByTable, ZkChannelConfig::Anonymous(channels)), rows[channels - 1]) << channels;
    EXPECT_EQ(ChannelMap::ByTable(ZkChannelConfig::Anonymous(12), 9), 9u) << "outside the table: unchanged";
    EXPECT_EQ(ChannelMap::ByTable(ZkChannelConfig::Anonymous(2), 5), 5u);
    EXPECT_EQ(MapAll(ChannelMap::Identity, ZkChannelConfig::Anonymous(4)), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST(ChannelMap, LfeLastMovesTheLfeBehindTheOthers)
{
    // 5.1: L R C LFE SL SR -> the LFE (position 3 after three fronts) goes last.
    EXPECT_EQ(MapAll(ChannelMap::LfeLast, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1)),
              (std::vector<uint32_t>{0, 1, 2, 5, 3, 4}));
    // 2.1: L R LFE.
    EXPECT_EQ(MapAll(ChannelMap::LfeLast, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO | ZK_SPEAKER_LOW_FREQUENCY)),
              (std::vector<uint32_t>{0, 1, 2}));
    // LFE with side speakers but no fronts: position 0 is the LFE.
    EXPECT_EQ(MapAll(ChannelMap::LfeLast, ZkChannelConfig::FromMask(ZK_SPEAKER_LOW_FREQUENCY | ZK_SPEAKER_SIDE_LEFT | ZK_SPEAKER_SIDE_RIGHT)),
              (std::vector<uint32_t>{2, 0, 1}));
    EXPECT_EQ(MapAll(ChannelMap::LfeLast, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO)), (std::vector<uint32_t>{0, 1}));
}
