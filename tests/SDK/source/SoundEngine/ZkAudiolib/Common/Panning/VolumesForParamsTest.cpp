// The matrix of a positioned object from its panning parameters: planar panning through the general
// builder, three-dimensional panning through positioning's ray panning, and the refusals.
#include "PanningTestSupport.h"

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Positioning/ZkPanningParams.h>

namespace
{
using PanningTest::Matrix;
using PanningTest::PanningFixture;
using PanningTest::Speakers;
using ZK::SoundEngine::ZkPanningParams;

constexpr float kHalfPower = 0.70710677f;
constexpr uint32_t kMask30 = 0x7;

class VolumesForParams : public PanningFixture
{
};

struct PlanarCase
{
    uint32_t inputMask;
    uint32_t outputMask;
    float centre;
    // (row, column, gain) entries; every other entry of the matrix is 0.
    std::vector<std::array<float, 3>> entries;
};

TEST_F(VolumesForParams, PlanarParametersGiveTheGeneralBuildersMatrix)
{
    const PlanarCase cases[] = {
        {ZK_SPEAKER_SETUP_MONO, ZK_SPEAKER_SETUP_STEREO, 0.0f, {{0, 0, kHalfPower}, {0, 1, kHalfPower}}},
        {ZK_SPEAKER_SETUP_MONO, kMask30, 1.0f, {{0, 2, 1.0f}}},
        // 5.1 (FL FR FC SL SR LFE) onto stereo: the centre at half power on both sides, the sides
        // at half power on their own side, the LFE row silent.
        {ZK_SPEAKER_SETUP_5POINT1,
         ZK_SPEAKER_SETUP_STEREO,
         0.0f,
         {{0, 0, 1.0f}, {1, 1, 1.0f}, {2, 0, kHalfPower}, {2, 1, kHalfPower}, {3, 0, kHalfPower}, {4, 1, kHalfPower}}},
        {ZK_SPEAKER_SETUP_5POINT1,
         ZK_SPEAKER_SETUP_5POINT1,
         0.0f,
         {{0, 0, 1.0f}, {1, 1, 1.0f}, {2, 2, 1.0f}, {3, 3, 1.0f}, {4, 4, 1.0f}, {5, 5, 1.0f}}},
    };
    for (const PlanarCase& c : cases)
    {
        ZkPanningParams params;
        params.centrePercentage = c.centre;
        Matrix matrix(Speakers(c.inputMask), Speakers(c.outputMask));
        EXPECT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, matrix.input, matrix.output, nullptr, matrix.Data()),
                  ZK_Success);
        std::vector<float> expected(matrix.input.NumChannels() * matrix.stride, 0.0f);
        for (const auto& e : c.entries)
            expected[static_cast<size_t>(e[0]) * matrix.stride + static_cast<size_t>(e[1])] = e[2];
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_NEAR(matrix.values[i], expected[i], 1e-6f) << "case " << (&c - cases) << " entry " << i;
        EXPECT_TRUE(matrix.GuardIntact());
    }
}

TEST_F(VolumesForParams, PlanarPanningTypesAndPositionsReachTheBuilder)
{
    ZkPanningParams params;
    params.panX = -0.4f;
    params.panY = 0.3f;
    params.centrePercentage = 0.25f;
    params.panningType = ZkSpeakerPanning_Position2D;
    const ZkChannelConfig input = Speakers(ZK_SPEAKER_SETUP_STEREO);
    const ZkChannelConfig output = Speakers(ZK_SPEAKER_SETUP_5POINT1);
    Matrix matrix(input, output);
    Matrix direct(input, output);
    ASSERT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, input, output, nullptr, matrix.Data()), ZK_Success);
    CZkSpeakerPan::ComputeSpeakerVolumes(-0.4f, 0.3f, 0.0f, 0.25f, ZkSpeakerPanning_Position2D, input, output,
                                         direct.Data(), nullptr);
    EXPECT_EQ(matrix.values, direct.values);
}

TEST_F(VolumesForParams, ObjectOutputsAndThreeDimensionalPanningWithoutDeviceAreRefused)
{
    ZkPanningParams params;
    Matrix matrix(Speakers(ZK_SPEAKER_SETUP_STEREO), Speakers(ZK_SPEAKER_SETUP_STEREO));
    const ZkChannelConfig objects((ZkChannelConfigType_Objects << 8) | 2);
    EXPECT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, matrix.input, objects, nullptr, matrix.Data()),
              ZK_InvalidParameter);
    params.threeD = ZkPanningParams::k3DIdentityOrientation;
    EXPECT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, matrix.input, matrix.output, nullptr, matrix.Data()),
              ZK_Fail);
    EXPECT_TRUE(matrix.GuardIntact());
}

TEST_F(VolumesForParams, ThreeDimensionalParametersPanTheObjectAsARayWithItsLfeRouted)
{
    CZkOutputDevice device;
    const float defaults[] = {45, 90, 135};
    ASSERT_EQ(device.SetSpeakerAngles(defaults, 3, 54.7f), ZK_Success);
    ZkPanningParams params;
    params.ray.position = {2.0f, 0.0f, 1.0f};
    params.ray.spread = 0.6f;
    params.ray.front = {1.0f, 0.0f, 0.0f}; // a turned frame
    params.centrePercentage = 0.5f;
    const ZkChannelConfig surround = Speakers(ZK_SPEAKER_SETUP_5POINT1);
    auto pan = [&](uint32_t threeD) {
        params.threeD = threeD;
        Matrix matrix(surround, surround);
        EXPECT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, surround, surround, &device, matrix.Data()),
                  ZK_Success);
        EXPECT_TRUE(matrix.GuardIntact());
        return matrix;
    };
    const Matrix turned = pan(2);
    for (uint32_t row = 0; row < 5; ++row)
    {
        EXPECT_NEAR(turned.RowPower(row), 0.2f, 1e-4f) << "five speakers share the power";
        EXPECT_EQ(turned.At(row, 5), 0.0f) << "nothing into the LFE";
    }
    EXPECT_EQ(turned.At(5, 5), 1.0f) << "LFE to LFE";
    EXPECT_EQ(turned.RowPower(5), 1.0f);

    // Value 1 pans with the identity frame: as if the frame were the default one.
    const Matrix identity = pan(ZkPanningParams::k3DIdentityOrientation);
    params.ray.front = {0.0f, 0.0f, 1.0f};
    const Matrix unturned = pan(2);
    EXPECT_EQ(identity.values, unturned.values);
    EXPECT_NE(identity.values, turned.values);
}
} // namespace
