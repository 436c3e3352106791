// Where the channels of a positioned bus are heard: the ring of channels turned by the bus frame,
// drawn towards the bus as the spread falls, at the bus's distance, with their weights.
#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>
#include <ZkAudiolib/Common/Positioning/ZkPositioningRay.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using ZK::SoundEngine::ZkPositioningRay;

ZkPositioningRay BusAt(ZkVector position, float spread)
{
    ZkPositioningRay bus;
    bus.position = position;
    bus.spread = spread;
    return bus;
}

void ExpectNear(const ZkVector& actual, const ZkVector& expected, float tolerance, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

TEST(ChannelDirections, TheSpreadDrawsTheChannelsTowardsTheBus)
{
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(0x3);
    ZkVector positions[2];
    float weights[2];
    const float r = 0.70710677f;
    // Spread 1 keeps the ring: left and right of the listener at the bus's distance, half each.
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({0, 0, 5}, 1.0f), false, stereo, positions, weights),
              ZK_Success);
    ExpectNear(positions[0], {-5, 0, 0}, 2e-3f, "left at spread 1");
    ExpectNear(positions[1], {5, 0, 0}, 2e-3f, "right at spread 1");
    EXPECT_NEAR(weights[0], 0.5f, 1e-3f);
    // Spread one half adds cot(pi / 4) = 1 along the bus direction.
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({0, 0, 5}, 0.5f), false, stereo, positions, weights),
              ZK_Success);
    ExpectNear(positions[0], {-5 * r, 0, 5 * r}, 1e-4f, "left at spread 0.5");
    EXPECT_NEAR(weights[1], 1.0f / (std::sqrt(2.0f) + 1.0f), 1e-5f);
    // Spread 0 gathers both at the bus, with almost no weight left.
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({3, 0, 4}, 0.0f), false, stereo, positions, weights),
              ZK_Success);
    ExpectNear(positions[0], {3, 0, 4}, 2e-3f, "left at spread 0");
    ExpectNear(positions[1], {3, 0, 4}, 2e-3f, "right at spread 0");
    EXPECT_LT(weights[0], 1e-3f);
    // At the listener the directions stay unit vectors.
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({0, 0, 0}, 0.5f), false, stereo, positions, weights),
              ZK_Success);
    ExpectNear(positions[1], {r, 0, r}, 1e-4f, "right at the listener");
}

TEST(ChannelDirections, TheBusFrameTurnsTheRingUnlessItsOrientationIsIgnored)
{
    ZkPositioningRay bus = BusAt({0, 0, 5}, 1.0f);
    bus.front = {1, 0, 0}; // the bus faces the listener's right: its left is straight ahead
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(0x3);
    ZkVector positions[2];
    float weights[2];
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(bus, false, stereo, positions, weights), ZK_Success);
    ExpectNear(positions[0], {0, 0, 5}, 2e-3f, "left ahead");
    ExpectNear(positions[1], {0, 0, -5}, 2e-3f, "right behind");
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(bus, true, stereo, positions, weights), ZK_Success);
    ExpectNear(positions[0], {-5, 0, 0}, 2e-3f, "identity orientation: left to the left");
}

TEST(ChannelDirections, EveryChannelButTheLfeGetsItsPlaceOnTheRing)
{
    ZkVector positions[6];
    float weights[6];
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({0, 0, 2}, 1.0f), false, ZkChannelConfig::FromMask(0x60F),
                                                           positions, weights),
              ZK_Success);
    // Ring of five: SL 144, FL 72, FC 0, FR -72, SR -144 degrees (positive to the left).
    const float azimuths[5] = {72, -72, 0, 144, -144}; // FL FR FC SL SR in channel order
    for (uint32_t c = 0; c < 5; ++c)
    {
        const float a = azimuths[c] * 0.017453294f;
        ExpectNear(positions[c], {-2 * std::sin(a), 0, 2 * std::cos(a)}, 2e-3f, "planar channel");
        EXPECT_NEAR(weights[c], 0.2f, 1e-3f);
    }
    ExpectNear(positions[5], {0, 0, 0}, 0.0f, "LFE");
    EXPECT_EQ(weights[5], 0.0f);

    ZkVector mono[1];
    float monoWeight[1];
    ASSERT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({1, 2, 2}, 0.0f), false, ZkChannelConfig::FromMask(0x4),
                                                           mono, monoWeight),
              ZK_Success);
    ExpectNear(mono[0], {1, 2, 2}, 2e-3f, "a single channel at spread 0 is at the bus");
    EXPECT_EQ(monoWeight[0], 1.0f) << "a single channel keeps its weight";

    ZkVector unused[12];
    float unusedWeights[12];
    for (const ZkChannelConfig config : {ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | 4u),
                                         ZkChannelConfig::FromMask(0x2D63F), ZkChannelConfig::FromMask(0x8)})
        EXPECT_EQ(CZkSpeakerPan::ComputeChannelDirectionMatrix(BusAt({0, 0, 1}, 1.0f), false, config, unused,
                                                               unusedWeights),
                  ZK_InvalidParameter)
            << config.word;
}
} // namespace
