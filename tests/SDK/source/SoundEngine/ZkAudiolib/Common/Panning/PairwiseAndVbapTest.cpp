// Pairwise panning on planar rings and VBAP on layouts with top speakers, against the numpy model
// of the fixture, plus the geometric properties the panners must keep.
#include "PanningTestSupport.h"

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Panning/PanningFastMath.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace PanningTest;

class PanningLayouts : public PanningDeviceFixture
{
};

TEST_F(PanningLayouts, PairwiseGainsMatchTheNumpyModel)
{
    const auto records = LoadFixture("pair");
    ASSERT_GE(records.size(), 100u) << "fixture " << KP_PANNING_FIXTURE;
    for (const FixtureRecord& r : records)
    {
        const uint32_t mask = static_cast<uint32_t>(r.fields[0]);
        const ZkSpeakerLayout* layout = device.GetSpeakerLayout(Speakers(mask));
        ASSERT_NE(layout, nullptr);
        float gains[7] = {};
        CZkSpeakerPan::PanPairwise(layout->ring.pairs, layout->ring.positionCount, static_cast<float>(r.fields[1]),
                                   static_cast<float>(r.fields[2]), 1.0f, layout->ring.channels, gains);
        const uint32_t speakers = ZkSpeakerMasks::CountOf(mask);
        ASSERT_EQ(r.fields.size(), 3 + speakers);
        for (uint32_t c = 0; c < speakers; ++c)
            EXPECT_NEAR(gains[c], r.fields[3 + c], 2e-5) << "mask " << mask << " x " << r.fields[1] << " ch " << c;
    }
}

TEST_F(PanningLayouts, PairwiseEdgeDirections)
{
    const ZkSpeakerLayout* stereo = device.GetSpeakerLayout(Speakers(0x3));
    ASSERT_NE(stereo, nullptr);
    float gains[7] = {};
    // Straight behind: the virtual rear pair takes it and both real speakers share it equally.
    CZkSpeakerPan::PanPairwise(stereo->ring.pairs, stereo->ring.positionCount, 0.0f, -1.0f, 1.0f,
                               stereo->ring.channels, gains);
    EXPECT_NEAR(gains[0], 0.5f, 1e-5f);
    EXPECT_NEAR(gains[1], 0.5f, 1e-5f);
    // Straight at a speaker of 7.0 (SR at -90): it takes almost all, the neighbour a trace.
    const ZkSpeakerLayout* seven = device.GetSpeakerLayout(Speakers(0x637));
    ASSERT_NE(seven, nullptr);
    float seven_gains[7] = {};
    CZkSpeakerPan::PanPairwise(seven->ring.pairs, seven->ring.positionCount, 1.0f, 0.0f, 1.0f, seven->ring.channels,
                               seven_gains);
    EXPECT_GT(seven_gains[6], 0.99999f);
    float total = 0.0f;
    for (float g : seven_gains)
        total += g;
    EXPECT_NEAR(total, 1.0f, 1e-6f);
    // The ring without FC keeps the 7.0 channel numbers and never feeds FC.
    float noCentre[7] = {};
    CZkSpeakerPan::PanPairwise(seven->ringWithoutCentre.pairs, seven->ringWithoutCentre.positionCount, 0.0f, 1.0f,
                               1.0f, seven->ringWithoutCentre.channels, noCentre);
    EXPECT_EQ(noCentre[2], 0.0f);
    EXPECT_NEAR(noCentre[0], 0.5f, 1e-5f);
    EXPECT_NEAR(noCentre[1], 0.5f, 1e-5f);
}

TEST_F(PanningLayouts, VbapGainsMatchTheNumpyModel)
{
    const auto records = LoadFixture("vbap");
    ASSERT_GE(records.size(), 100u);
    for (const FixtureRecord& r : records)
    {
        const uint32_t mask = static_cast<uint32_t>(r.fields[0]);
        const ZkSpeakerLayout* layout = device.GetSpeakerLayout(Speakers(mask));
        ASSERT_NE(layout, nullptr);
        ASSERT_NE(layout->vbap, nullptr);
        const uint32_t speakers = ZkSpeakerMasks::CountOf(mask);
        ASSERT_EQ(r.fields.size(), 3 + speakers);
        float gains[20] = {};
        layout->vbap->ComputeGainsForAngles(static_cast<float>(r.fields[1]), static_cast<float>(r.fields[2]), speakers,
                                            gains);
        // Single against double precision through the same fast approximations.
        for (uint32_t c = 0; c < speakers; ++c)
            EXPECT_NEAR(gains[c], r.fields[3 + c], 2e-3) << "mask " << mask << " az " << r.fields[1] << " el "
                                                         << r.fields[2] << " speaker " << c;
    }
}

// The amplitude-weighted sum of the speaker vectors points where the direction points. Where two
// overlapping candidate triangles (one from each projection) both solve a direction, both add their
// power, which turns the image by a few degrees; 5.1.2 has no rear top speakers, so only the region
// its front tops cover is checked there.
TEST_F(PanningLayouts, VbapReproducesThePannedDirection)
{
    struct Region
    {
        uint32_t mask;
        int maxAbsAzimuthDeg;
        int maxElevationDeg;
    };
    for (const Region& region : {Region{0x2D637u, 180, 80}, Region{0x3FE37u, 180, 80}, Region{0x5607u, 90, 40}})
    {
        const uint32_t mask = region.mask;
        const ZkSpeakerLayout* layout = device.GetSpeakerLayout(Speakers(mask));
        ASSERT_NE(layout, nullptr);
        const ZkVbapHelper& vbap = *layout->vbap;
        const uint32_t n = vbap.GetSpeakerCount();
        for (int azDeg = -180; azDeg < 180; azDeg += 20)
            for (int elDeg = 10; elDeg <= region.maxElevationDeg; elDeg += 14)
            {
                if (std::abs(azDeg + 3) > region.maxAbsAzimuthDeg)
                    continue;
                const float az = static_cast<float>(azDeg + 3) * 0.017453294f;
                const float el = static_cast<float>(elDeg) * 0.017453294f;
                float gains[20] = {};
                vbap.ComputeGainsForAngles(az, el, n, gains);
                float sum[3] = {};
                float total = 0.0f;
                for (uint32_t s = 0; s < n; ++s)
                {
                    total += gains[s];
                    const float amplitude = std::sqrt(gains[s]);
                    for (int k = 0; k < 3; ++k)
                        sum[k] += amplitude * vbap.Vector(s)[k];
                }
                ASSERT_GT(total, 0.5f) << "no triangle for az " << azDeg << " el " << elDeg;
                const float length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
                const float target[3] = {std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el)};
                const float cosine = (sum[0] * target[0] + sum[1] * target[1] + sum[2] * target[2]) / length;
                EXPECT_GT(cosine, std::cos(7.0f * 0.017453294f)) << "mask " << mask << " az " << azDeg << " el " << elDeg;
            }
    }
}

TEST_F(PanningLayouts, VbapBelowTheHorizonUsesTheHorizontalPair)
{
    const ZkSpeakerLayout* layout = device.GetSpeakerLayout(Speakers(0x2D637)); // 7.1.4 without LFE
    ASSERT_NE(layout, nullptr);
    float gains[11] = {};
    // Straight down: only triangles through the virtual speaker; the pair below azimuth 0 is FL/FC/FR.
    layout->vbap->ComputeGainsForDirection(0.0f, 0.0f, -1.0f, 11, gains);
    float front = gains[0] + gains[1] + gains[2];
    float total = 0.0f;
    for (float g : gains)
        total += g;
    EXPECT_GT(total, 0.0f);
    EXPECT_NEAR(front, total, 1e-6f);
    for (uint32_t s = 7; s < 11; ++s)
        EXPECT_EQ(gains[s], 0.0f) << "top speaker " << s;
    // Normalised amplitudes have unit power; silent speakers stay exactly silent.
    float amplitudes[11] = {};
    layout->vbap->ComputeNormalizedGains(2.0f, 0.4f, 11, amplitudes);
    float power = 0.0f;
    uint32_t silent = 0;
    for (float a : amplitudes)
    {
        power += a * a;
        silent += a == 0.0f ? 1 : 0;
    }
    EXPECT_NEAR(power, 1.0f, 0.03f);
    EXPECT_GE(silent, 7u);
    // Non-finite and zero directions give zero gains.
    layout->vbap->ComputeGainsForDirection(0.0f, 0.0f, 0.0f, 11, gains);
    layout->vbap->ComputeGainsForAngles(std::nanf(""), 0.2f, 11, amplitudes);
    for (uint32_t s = 0; s < 11; ++s)
    {
        EXPECT_EQ(gains[s], 0.0f);
        EXPECT_EQ(amplitudes[s], 0.0f);
    }
}

TEST(PanningFastMath, ApproximationsStayClose)
{
    for (float x = -3.14f; x <= 3.14f; x += 0.01f)
    {
        EXPECT_NEAR(ZkPanMath::FastSin(x), std::sin(x), 1.2e-3f) << x;
        EXPECT_NEAR(ZkPanMath::FastCos(x), std::cos(x), 1.2e-3f) << x;
        EXPECT_NEAR(ZkPanMath::FastAtan2(std::sin(x), std::cos(x)), x, 6e-3f) << x;
    }
    EXPECT_EQ(ZkPanMath::FastAtan2(0.0f, 0.0f), 0.0f);
    EXPECT_NEAR(ZkPanMath::FastAsin(1.0f), 1.53795f, 1e-4f);
    // The arcsine fit is coarse (about 0.033 rad at its worst), by design of the polynomial.
    for (float v = -1.0f; v <= 1.0f; v += 0.01f)
        EXPECT_NEAR(ZkPanMath::FastAsin(v), std::asin(v), 0.04f) << v;
    EXPECT_NEAR(ZkPanMath::FastSqrtUnit(0.5f), std::sqrt(0.5f), 0.01f);
}
} // namespace
