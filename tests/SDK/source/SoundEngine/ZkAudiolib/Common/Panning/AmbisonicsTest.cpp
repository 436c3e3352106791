// Spherical harmonics against scipy, direction encoding, the order tables, and decoding onto
// speakers (fixed stereo/3.0/mono rules, sampled decoders cached in the device).
#include "PanningTestSupport.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace PanningTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;

TEST(SphericalHarmonics, MatchScipyForOrdersOneToFive)
{
    const auto records = LoadFixture("sh");
    ASSERT_GE(records.size(), 100u) << "fixture " << KP_PANNING_FIXTURE;
    uint32_t orderSeen = 0;
    for (const FixtureRecord& r : records)
    {
        const uint32_t order = static_cast<uint32_t>(r.fields[0]);
        const uint32_t channels = (order + 1) * (order + 1);
        ASSERT_EQ(r.fields.size(), 4 + channels);
        orderSeen |= 1u << order;
        float out[36];
        CZkSpeakerPan::ComputeSphericalHarmonics(static_cast<float>(r.fields[1]), static_cast<float>(r.fields[2]),
                                                 static_cast<float>(r.fields[3]), order, 1, out);
        for (uint32_t n = 0; n < channels; ++n)
            EXPECT_NEAR(out[n], r.fields[4 + n], 2e-4 * (1 + std::fabs(r.fields[4 + n])))
                << "order " << order << " dir " << r.fields[1] << " " << r.fields[2] << " " << r.fields[3] << " acn " << n;
    }
    EXPECT_EQ(orderSeen, 0x3Eu);
}

TEST(SphericalHarmonics, StrideAndSpecialDirections)
{
    // Straight ahead at first order: W 1, Y 0, Z 0, X 1.
    float first[4];
    CZkSpeakerPan::EncodeDirection(0.0f, 0.0f, Ambisonic(4), first);
    EXPECT_FLOAT_EQ(first[0], 1.0f);
    EXPECT_NEAR(first[1], 0.0f, 1e-7f);
    EXPECT_NEAR(first[2], 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(first[3], 1.0f);
    // Azimuth positive to the right gives a negative Y (Y points left).
    CZkSpeakerPan::EncodeDirection(1.5707964f, 0.0f, Ambisonic(4), first);
    EXPECT_NEAR(first[1], -1.0f, 1e-6f);
    // Straight up at third order: only ACN 0, 2, 6 and 12 are non-zero, all 1.
    float up[16 * 3];
    CZkSpeakerPan::ComputeSphericalHarmonics(0.0f, 0.0f, 1.0f, 3, 3, up);
    for (uint32_t n = 0; n < 16; ++n)
        EXPECT_EQ(up[n * 3], (n == 0 || n == 2 || n == 6 || n == 12) ? 1.0f : 0.0f) << n;
}

TEST(AmbisonicOrders, ChannelCountsShapesAndMixedOrders)
{
    struct Case
    {
        uint32_t channels;
        uint32_t orderIndex;
        uint32_t points;
    };
    const Case cases[] = {{1, 0, 32},  {4, 0, 32},  {5, 1, 32},  {6, 1, 32},  {7, 2, 32},  {8, 2, 32},
                          {9, 1, 32},  {11, 2, 32}, {16, 2, 32}, {25, 3, 64}, {36, 4, 64}, {10, 255, 0},
                          {12, 255, 0}, {0, 255, 0}, {49, 255, 0}};
    for (const Case& c : cases)
    {
        uint32_t points = 99, orderIndex = 99;
        CZkSpeakerPan::GetDecodingMatrixShape(Ambisonic(c.channels), points, orderIndex);
        EXPECT_EQ(orderIndex, c.orderIndex) << c.channels;
        EXPECT_EQ(points, c.points) << c.channels;
    }
    EXPECT_EQ(CZkSpeakerPan::AcnOfChannel(3, 2), 3);
    EXPECT_EQ(CZkSpeakerPan::AcnOfChannel(8, 2), 2);
    EXPECT_EQ(CZkSpeakerPan::AcnOfChannel(8, 7), 15);
    EXPECT_EQ(CZkSpeakerPan::AcnOfChannel(4, 4), -1);
}

using AmbisonicTables = PanningFixture;

// The sphere sets are (nearly) unit vectors spread over the sphere: their first-order harmonics
// average to about zero, and EncodeVector of a constant field is W only.
TEST_F(AmbisonicTables, SamplePointsAndEncodeVector)
{
    for (uint32_t k = 0; k <= 4; ++k)
    {
        const uint32_t count = CZkSpeakerPan::GetSamplePointCount(k);
        const float* points = CZkSpeakerPan::GetSamplePoints(k);
        float centroid[3] = {};
        for (uint32_t i = 0; i < count; ++i)
        {
            const float* p = points + 4 * i;
            EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 1.0f, 2e-3f);
            for (int a = 0; a < 3; ++a)
                centroid[a] += p[a] / static_cast<float>(count);
        }
        for (float c : centroid)
            EXPECT_NEAR(c, 0.0f, 1e-3f) << "order index " << k;
        std::vector<float> ones(count, 1.0f);
        std::vector<float> out((k + 2) * (k + 2), -1.0f);
        CZkSpeakerPan::EncodeVector(k, ones.data(), out.data());
        EXPECT_NEAR(out[0], static_cast<float>(count), 1e-3f);
        for (uint32_t n = 1; n < 4; ++n)
            EXPECT_NEAR(out[n], 0.0f, 0.05f) << "order index " << k << " acn " << n;
    }
    // The circle table keeps only the sectoral terms, scaled by (2l + 1) c_l^2.
    const float* circle = CZkSpeakerPan::GetHarmonicTable2D(1);
    ASSERT_NE(circle, nullptr);
    for (uint32_t i = 0; i < CZkSpeakerPan::kCirclePointCount; ++i)
    {
        EXPECT_FLOAT_EQ(circle[0 * 12 + i], 1.0f);
        EXPECT_EQ(circle[2 * 12 + i], 0.0f);           // Z
        EXPECT_EQ(circle[6 * 12 + i], 0.0f);           // l = 2, m = 0
        EXPECT_EQ(circle[7 * 12 + i], 0.0f);           // l = 2, m = 1
    }
    EXPECT_NEAR(circle[3 * 12 + 0], 2.0f, 1e-5f);      // X ahead x 3 x 2/3
}

TEST_F(AmbisonicTables, OutOfMemoryGivesZeroEncoding)
{
    std::vector<float> values(32, 1.0f);
    std::vector<float> out(16, -1.0f);
    {
        ScopedAllocationFailure fail(ZkMemID_Default, 1);
        CZkSpeakerPan::EncodeVector(2, values.data(), out.data());
    }
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
    CZkSpeakerPan::EncodeVector(2, values.data(), out.data()); // built on the next call
    EXPECT_NEAR(out[0], 32.0f, 1e-3f);
}

class AmbisonicDecoding : public PanningFixture
{
protected:
    AmbisonicDecoding()
    {
        const float defaults[] = {45, 90, 135};
        EXPECT_EQ(device.SetSpeakerAngles(defaults, 3, 54.7f), ZK_Success);
    }
    // Output gains of a first-order source encoded at (azimuth left-positive, elevation).
    std::vector<float> Decode(const Matrix& m, float azimuthLeft, float elevation)
    {
        float harmonics[36];
        CZkSpeakerPan::EncodeDirection(-azimuthLeft, elevation, m.input, harmonics);
        std::vector<float> out(m.output.NumChannels(), 0.0f);
        for (uint32_t i = 0; i < m.input.NumChannels(); ++i)
        {
            const int32_t acn = CZkSpeakerPan::AcnOfChannel(m.input.NumChannels(), i);
            for (uint32_t c = 0; c < out.size(); ++c)
                out[c] += harmonics[acn] * m.At(i, c);
        }
        return out;
    }
    CZkOutputDevice device;
};

TEST_F(AmbisonicDecoding, FixedRulesForMonoStereoAndThreeZero)
{
    for (uint32_t outMask : {0x3u, 0x7u})
    {
        Matrix m(Ambisonic(4), Speakers(outMask));
        CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), nullptr);
        EXPECT_EQ(m.At(0, 0), 0.5f);
        EXPECT_EQ(m.At(0, 1), 0.5f);
        EXPECT_EQ(m.At(1, 0), 0.5f);
        EXPECT_EQ(m.At(1, 1), -0.5f);
        for (uint32_t i = 0; i < 4; ++i)
            for (uint32_t c = 0; c < m.output.NumChannels(); ++c)
            {
                if (!(i < 2 && c < 2))
                {
                    EXPECT_EQ(m.At(i, c), 0.0f) << i << " " << c; // 3.0 centre gets nothing
                }
            }
    }
    Matrix single(Ambisonic(1), Speakers(0x3));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, single.input, single.output, single.Data(), nullptr);
    EXPECT_EQ(single.At(0, 0), 0.5f);
    Matrix mono(Ambisonic(9), Speakers(0xC)); // FC + LFE
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, mono.input, mono.output, mono.Data(), nullptr);
    EXPECT_EQ(mono.At(0, 0), 1.0f);
    for (uint32_t i = 1; i < 9; ++i)
        EXPECT_EQ(mono.At(i, 0), 0.0f);
}

TEST_F(AmbisonicDecoding, NeedsADeviceBeyondStereo)
{
    Matrix m(Ambisonic(4), Speakers(0x607));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), nullptr);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(m.RowPower(i), 0.0f);
}

// A source decoded onto 5.0 and 7.1.4 is loudest at the speakers nearest to it.
TEST_F(AmbisonicDecoding, SampledDecodersPointTheRightWay)
{
    struct Case
    {
        uint32_t channels;
        uint32_t outMask;
        float azimuthDeg;
        float elevationDeg;
        uint32_t loudest;
    };
    const Case cases[] = {
        {4, 0x607, 0, 0, 2},       // FC
        {9, 0x607, 110, 0, 3},     // SL
        {16, 0x60F, -45, 0, 1},    // FR, LFE column silent
        {4, 0x2D637, 45, 54.7f, 7}, // TFL
        {25, 0x2D637, -135, 0, 4}, // BR
        {36, 0x2D637, 0, 0, 2},    // FC
    };
    for (const Case& c : cases)
    {
        Matrix m(Ambisonic(c.channels), Speakers(c.outMask));
        CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), &device);
        ASSERT_TRUE(m.AllFinite());
        const std::vector<float> out = Decode(m, c.azimuthDeg * 0.017453294f, c.elevationDeg * 0.017453294f);
        uint32_t best = 0;
        for (uint32_t s = 1; s < out.size(); ++s)
            if (out[s] > out[best])
                best = s;
        EXPECT_EQ(best, c.loudest) << c.channels << " channels onto " << c.outMask << " at " << c.azimuthDeg;
        if (m.output.HasLfe())
        {
            for (uint32_t i = 0; i < m.input.NumChannels(); ++i)
                EXPECT_EQ(m.At(i, m.output.NumChannels() - 1), 0.0f);
        }
    }
}

TEST_F(AmbisonicDecoding, CachedPerPairAndEmptiedByNewAngles)
{
    // A 5-channel input decodes rows for ACN 0, 1, 3, 4, 8 in that order: the same rows as the full
    // second-order decoder's.
    Matrix mixed(Ambisonic(5), Speakers(0x637));
    Matrix full(Ambisonic(9), Speakers(0x637));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, mixed.input, mixed.output, mixed.Data(), &device);
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, full.input, full.output, full.Data(), &device);
    const uint32_t acn[] = {0, 1, 3, 4, 8};
    for (uint32_t i = 0; i < 5; ++i)
        for (uint32_t c = 0; c < 7; ++c)
            EXPECT_FLOAT_EQ(mixed.At(i, c), full.At(acn[i], c)) << i << " " << c;
    EXPECT_EQ(device.GetCachedDecodingMatrixCount(), 2u);

    // A hit copies the cached matrix even when nothing could be built now.
    Matrix again(Ambisonic(9), Speakers(0x637));
    {
        ScopedAllocationFailure fail(ZkMemID_Default, 1, ScopedAllocationFailure::Mode::FromNth);
        CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, again.input, again.output, again.Data(), &device);
    }
    EXPECT_EQ(again.values, full.values);

    const float wide[] = {60, 100, 140};
    ASSERT_EQ(device.SetSpeakerAngles(wide, 3, 40.0f), ZK_Success);
    EXPECT_EQ(device.GetCachedDecodingMatrixCount(), 0u);
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, again.input, again.output, again.Data(), &device);
    EXPECT_NE(again.values, full.values);
}

TEST_F(AmbisonicDecoding, MultiRayEncodingKeepsTheStrongestRay)
{
    // Two rays encoding one mono input at left and right; the merged field is the stronger ray's
    // where they differ, so a louder left ray leaves a field leaning left (positive Y).
    const ZkChannelConfig input = Speakers(0x4);
    const ZkChannelConfig output = Ambisonic(4);
    std::vector<float> rays(2 * 4, 0.0f);
    CZkSpeakerPan::EncodeDirection(-1.5707964f, 0.0f, output, rays.data());
    CZkSpeakerPan::EncodeDirection(1.5707964f, 0.0f, output, rays.data() + 4);
    const float gains[] = {1.0f, 0.5f};
    Matrix m(input, output);
    CZkSpeakerPan::ComputeAmbisonicEncodingMatrix(gains, 2, rays.data(), 4, input, output, m.Data());
    EXPECT_GT(m.At(0, 1), 0.1f);
    EXPECT_GT(m.At(0, 0), 0.0f);
    EXPECT_TRUE(m.GuardIntact());
}
} // namespace

// Prepared before rendering, every full order decodes into the device's layout from the cache:
// the same matrices as built on demand, with no allocation on the way.
TEST_F(AmbisonicDecoding, PreparedDecodersServeEveryFullOrderWithoutAllocating)
{
    const ZkChannelConfig output = Speakers(0x63F);
    CZkOutputDevice fresh;
    std::vector<Matrix> expected;
    for (uint32_t channels : {4u, 9u, 16u, 25u, 36u})
    {
        expected.emplace_back(Ambisonic(channels), output);
        CZkSpeakerPan::ComputeAmbisonicDecodingMatrix(expected.back().input, output, expected.back().Data(), &fresh);
    }
    ASSERT_EQ(CZkSpeakerPan::PrepareAmbisonicDecoding(device, output), ZK_Success);
    EXPECT_EQ(device.GetCachedDecodingMatrixCount(), 5u);
    ScopedAllocationFailure fail(ZkMemID_Default, 1, ScopedAllocationFailure::Mode::FromNth);
    for (const Matrix& want : expected)
    {
        Matrix got(want.input, output);
        CZkSpeakerPan::ComputeAmbisonicDecodingMatrix(got.input, output, got.Data(), &device);
        EXPECT_EQ(got.values, want.values) << want.input.NumChannels() << " channels";
    }
    EXPECT_EQ(ZK::MemoryMgr::FaultInjection::FailedAllocations(), 0u);
    // Stereo decodes with fixed gains: nothing to prepare.
    EXPECT_EQ(CZkSpeakerPan::PrepareAmbisonicDecoding(device, Speakers(0x3)), ZK_Success);
    EXPECT_EQ(device.GetCachedDecodingMatrixCount(), 5u);
}
