// Positioning's ray panning: each ray into its own block of rows, its spread raised by its
// elevation on speaker outputs, and the refusals.
#include <SDK/source/SoundEngine/ZkAudiolib/Common/Panning/PanningTestSupport.h>

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Positioning/CZkPositioningMath.h>
#include <ZkAudiolib/Common/Positioning/ZkFastAngles.h>

#include <gtest/gtest.h>

namespace
{
using namespace PanningTest;
using ZK::SoundEngine::CZkPositioningMath;
using ZK::SoundEngine::ZkPositioningRay;

constexpr uint32_t kSevenZero = 0x637;
constexpr uint32_t kSevenPointOneFour = 0x2D63F;

class PanRays : public PanningDeviceFixture
{
protected:
    // The panner's own matrix of the ray at the given spread.
    Matrix Direct(const ZkPositioningRay& ray, float spread, ZkChannelConfig input, ZkChannelConfig output)
    {
        return Pan3D(ray, ray.centrePercentage, spread, ray.focus, input, output, ray.channelMask);
    }
};

TEST_F(PanRays, EachRayFillsItsBlockWithItsSpreadRaisedByItsElevation)
{
    ZkPositioningRay rays[3];
    rays[0].position = {0.0f, 5.0f, 0.0f};   // straight above: a planar output spreads it fully
    rays[1].position = {3.0f, 0.0f, 4.0f};   // level: no raise
    rays[1].spread = 0.4f;
    rays[2].position = {0.0f, -4.0f, 3.0f};  // below: y^2 / |p|^2 = 0.64
    const ZkChannelConfig stereo = Speakers(0x3);
    const ZkChannelConfig output = Speakers(kSevenZero);
    const uint32_t stride = ZkSpeakerMasks::RowStride(output.NumChannels());
    std::vector<float> matrix(3 * 2 * stride, 0.0f);
    ASSERT_EQ(CZkPositioningMath::PanRays(rays, 3, stereo, output, stride, &device, matrix.data()), ZK_Success);
    const float spreads[3] = {1.0f, 0.4f, 0.64f};
    for (uint32_t i = 0; i < 3; ++i)
    {
        const Matrix expected = Direct(rays[i], spreads[i], stereo, output);
        for (uint32_t k = 0; k < 2 * stride; ++k)
            EXPECT_NEAR(matrix[i * 2 * stride + k], expected.values[k], 1e-6f) << "ray " << i << " entry " << k;
    }

    // With extra speakers only what is below widens, by asin(-y / |p|) / pi.
    const ZkChannelConfig tall = Speakers(kSevenPointOneFour);
    const uint32_t tallStride = ZkSpeakerMasks::RowStride(tall.NumChannels());
    std::vector<float> above(2 * tallStride, 0.0f);
    ASSERT_EQ(CZkPositioningMath::PanRays(&rays[0], 1, stereo, tall, tallStride, &device, above.data()), ZK_Success);
    const Matrix unraised = Direct(rays[0], 0.0f, stereo, tall);
    for (uint32_t k = 0; k < 2 * tallStride; ++k)
        EXPECT_NEAR(above[k], unraised.values[k], 1e-6f);
    std::vector<float> below(2 * tallStride, 0.0f);
    ASSERT_EQ(CZkPositioningMath::PanRays(&rays[2], 1, stereo, tall, tallStride, &device, below.data()), ZK_Success);
    const Matrix raised = Direct(rays[2], ZK::SoundEngine::ZkFastAsin(0.8f) * 0.31830987f, stereo, tall);
    for (uint32_t k = 0; k < 2 * tallStride; ++k)
        EXPECT_NEAR(below[k], raised.values[k], 1e-6f);
}

TEST_F(PanRays, BlendsTowardsThePlanarMatrixAndMayKeepTheSpread)
{
    ZkPositioningRay above;
    above.position = {1.0f, 5.0f, 0.0f};
    const ZkChannelConfig stereo = Speakers(0x3);
    const ZkChannelConfig output = Speakers(kSevenZero);
    const uint32_t stride = ZkSpeakerMasks::RowStride(output.NumChannels());
    ZK::SoundEngine::ZkRayPanBlend blend;
    blend.amount3D = 0.25f;
    blend.raiseSpread = false;
    blend.planar.panX = -0.5f;
    std::vector<float> matrix(2 * stride, 0.0f);
    ASSERT_EQ(CZkPositioningMath::PanRays(&above, 1, stereo, output, stride, &device, matrix.data(), blend),
              ZK_Success);
    const Matrix threeD = Direct(above, 0.0f, stereo, output); // the elevation does not widen it
    std::vector<float> planar(2 * stride, 0.0f);
    CZkSpeakerPan::ComputeSpeakerVolumes(-0.5f, 0.0f, 0.0f, 0.0f, 0, stereo, output, planar.data(), &device);
    for (uint32_t k = 0; k < 2 * stride; ++k)
        EXPECT_NEAR(matrix[k], 0.25f * threeD.values[k] + 0.75f * planar[k], 1e-6f) << k;
}

TEST_F(PanRays, RefusesAMissingDeviceAndAnotherRowStride)
{
    ZkPositioningRay ray;
    std::vector<float> matrix(16, 0.0f);
    const ZkChannelConfig stereo = Speakers(0x3);
    EXPECT_EQ(CZkPositioningMath::PanRays(&ray, 1, stereo, stereo, 4, nullptr, matrix.data()), ZK_Fail);
    EXPECT_EQ(CZkPositioningMath::PanRays(&ray, 1, stereo, stereo, 8, &device, matrix.data()), ZK_InvalidParameter);
    for (float v : matrix)
        EXPECT_EQ(v, 0.0f);
}
} // namespace
