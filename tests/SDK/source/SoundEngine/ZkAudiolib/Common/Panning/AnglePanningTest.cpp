// Panning of a bare horizontal angle on a device: the stereo law under panning rule 1, pairwise
// panning on the device's ring otherwise, unit power, and the configurations it refuses.
#include "PanningTestSupport.h"

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace PanningTest;

class AnglePanning : public PanningDeviceFixture
{
};

constexpr float kQuarterTurn = 1.5707964f;

TEST_F(AnglePanning, GainsOfKnownDirections)
{
    struct Row
    {
        uint32_t rule;
        uint32_t mask;
        float azimuth; // positive to the right
        float gains[6];
    };
    const float h = 0.70710677f;
    const Row rows[] = {
        {0, 0x3, 0.0f, {h, h}},                       // between FL and FR
        {0, 0x3, 0.7853982f, {0.0f, 1.0f}},           // at FR (45 degrees to the right)
        {0, 0x3, 3.1415927f, {h, h}},                 // behind: the rear virtual pair
        {1, 0x3, 0.0f, {h, h}},                       // stereo law at the centre
        {1, 0x3, kQuarterTurn, {0.0f, 1.0f}},          // hard right
        {1, 0x3, -kQuarterTurn, {1.0f, 0.0f}},         // hard left
        {1, 0x607, 0.0f, {0.0f, 0.0f, 1.0f, 0.0f, 0.0f}}, // rule 1 only changes stereo
        {0, 0x60F, 3.1415927f, {0.0f, 0.0f, 0.0f, h, h, 0.0f}}, // 5.1 behind: SL and SR, LFE 0
        {0, 0x4, 1.0f, {1.0f}},                       // one speaker plays every direction
    };
    for (const Row& row : rows)
    {
        device.panningRule = row.rule;
        float gains[8];
        std::fill(std::begin(gains), std::end(gains), -1.0f);
        ASSERT_EQ(device.ComputeAnglePanning(row.azimuth, Speakers(row.mask), gains), ZK_Success);
        for (uint32_t c = 0; c < ZkSpeakerMasks::CountOf(row.mask); ++c)
            EXPECT_NEAR(gains[c], row.gains[c], 2e-3f) << "mask " << row.mask << " azimuth " << row.azimuth << " c " << c;
        EXPECT_EQ(gains[ZkSpeakerMasks::CountOf(row.mask)], -1.0f) << "nothing written past the channels";
    }
}

TEST_F(AnglePanning, EveryDirectionKeepsUnitPowerAndTheStereoLawFollowsItsFormula)
{
    for (uint32_t mask : {0x3u, 0x7u, 0x603u, 0x607u, 0x633u, 0x637u, 0x63Fu})
        for (uint32_t rule : {0u, 1u})
            for (int step = -12; step <= 12; ++step)
            {
                device.panningRule = rule;
                const float azimuth = static_cast<float>(step) * 0.2617994f;
                float gains[8] = {};
                ASSERT_EQ(device.ComputeAnglePanning(azimuth, Speakers(mask), gains), ZK_Success);
                float power = 0.0f;
                for (float g : gains)
                    power += g * g;
                EXPECT_NEAR(power, 1.0f, 1e-5f) << mask << " " << azimuth;
                if (rule == 1 && mask == 0x3)
                {
                    const double x = std::sin(static_cast<double>(azimuth));
                    const double right = std::pow(0.5 * x + 0.70710677 - 0.20710677 * x * x, 2.0);
                    EXPECT_NEAR(gains[1], std::sqrt(right), 1e-5);
                }
            }
}

TEST_F(AnglePanning, ConfigurationsWithoutAPlanarRingAndAnglesThatAreNoNumberAreRefused)
{
    float gains[12] = {};
    const ZkChannelConfig refused[] = {
        Speakers(0x8),                                       // LFE only
        Speakers(0x2D63F),                                   // top speakers
        Speakers(0x100 | 0x3),                               // back centre
        Ambisonic(4),
        ZkChannelConfig((0x3u << 12) | (ZkChannelConfigType_Standard << 8) | 3u), // a count unlike the mask
    };
    for (const ZkChannelConfig config : refused)
        EXPECT_EQ(device.ComputeAnglePanning(0.3f, config, gains), ZK_Fail) << config.word;
    gains[0] = -1.0f;
    EXPECT_EQ(device.ComputeAnglePanning(NAN, Speakers(0x3), gains), ZK_InvalidParameter);
    EXPECT_EQ(device.ComputeAnglePanning(INFINITY, Speakers(0x3), gains), ZK_InvalidParameter);
    EXPECT_EQ(gains[0], -1.0f);
}
} // namespace
