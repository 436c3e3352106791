// Mixing matrices between speaker configurations: standard downmix rows, centre handling, the LFE
// rule, direct assignment (also of mixed-order ambisonics), encoding speakers into ambisonics, and
// bad configurations.
#include "PanningTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using namespace PanningTest;

constexpr float kHalf = 0.70710677f;
constexpr float kTol = 1e-6f;

struct DownmixCase
{
    const char* name;
    uint32_t inMask;
    uint32_t outMask;
    std::vector<std::vector<float>> rows; // expected rows, output channels each
};

class StandardDownmix : public PanningFixture, public testing::WithParamInterface<DownmixCase>
{
};

TEST_P(StandardDownmix, RowsMatchTheTable)
{
    const DownmixCase& c = GetParam();
    Matrix m(Speakers(c.inMask), Speakers(c.outMask));
    CZkSpeakerPan::ComputeSpeakerVolumesDirect(m.input, m.output, 0.0f, m.Data());
    ASSERT_EQ(c.rows.size(), m.input.NumChannels());
    for (uint32_t i = 0; i < c.rows.size(); ++i)
        for (uint32_t j = 0; j < m.output.NumChannels(); ++j)
            EXPECT_NEAR(m.At(i, j), c.rows[i][j], kTol) << "row " << i << " column " << j;
    for (uint32_t i = 0; i < m.input.NumChannels(); ++i)
        for (uint32_t j = m.output.NumChannels(); j < m.stride; ++j)
            EXPECT_EQ(m.At(i, j), 0.0f) << "padding column " << j;
    EXPECT_TRUE(m.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Tables, StandardDownmix,
    testing::Values(
        // 5.1 (FL FR FC SL SR LFE) to stereo: the LFE row is zero, SL feeds FL at -3 dB.
        DownmixCase{"FiveOneToStereo", 0x60F, 0x3,
                    {{1, 0}, {0, 1}, {kHalf, kHalf}, {kHalf, 0}, {0, kHalf}, {0, 0}}},
        // 5.1 to 5.1: identity on the speakers, LFE to LFE.
        DownmixCase{"FiveOneToFiveOne", 0x60F, 0x60F,
                    {{1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {0, 0, 1, 0, 0, 0}, {0, 0, 0, 1, 0, 0},
                     {0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 1}}},
        // 7.1 to mono FC: rear and side pairs at 0.5, LFE dropped (mono has no LFE).
        DownmixCase{"SevenOneToMono", 0x63F, 0x4, {{kHalf}, {kHalf}, {1}, {0.5f}, {0.5f}, {0.5f}, {0.5f}, {0}}},
        // 7.1 to 4.0: rears fold onto the sides, centre splits to the front pair.
        DownmixCase{"SevenOneToQuad", 0x63F, 0x603,
                    {{1, 0, 0, 0}, {0, 1, 0, 0}, {kHalf, kHalf, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {0, 0, 1, 0},
                     {0, 0, 0, 1}, {0, 0, 0, 0}}},
        // Top speakers onto 6.0: T spreads evenly, TBL lands on BL.
        DownmixCase{"TopsToSixZero", 0x8800, 0x633,
                    {{0.408248f, 0.408248f, 0.408248f, 0.408248f, 0.408248f, 0.408248f}, {0, 0, kHalf, 0, 0, 0}}},
        // Top speakers both sides hold go straight through (7.1.4 to 7.1.4), the rest fold.
        DownmixCase{"TopsKeptWhenBothHaveThem", 0x9000 | 0x607, 0x2D000 | 0x637,
                    {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                     {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0},
                     {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},
                     {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}}},
        // A back-centre input onto stereo: half to each side.
        DownmixCase{"BackCentreToStereo", 0x103, 0x3, {{1, 0}, {0, 1}, {0.5f, 0.5f}}},
        // An output with BC has no table: zero rows, the LFE route still runs.
        DownmixCase{"NoTableForBackCentreOutput", 0x60F, 0x10F,
                    {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0},
                     {0, 0, 0, 0, 1}}}),
    [](const testing::TestParamInfo<DownmixCase>& info) { return std::string(info.param.name); });

using MonoInput = PanningFixture;

TEST_F(MonoInput, CentrePercentageSplitsTheFront)
{
    struct Case
    {
        uint32_t outMask;
        float centre;
        std::vector<float> row;
    };
    const Case cases[] = {
        {0x3, 0.0f, {kHalf, kHalf}},
        {0x3, 1.0f, {kHalf, kHalf}},           // no FC: the percentage has nothing to act on
        {0x7, 1.0f, {0, 0, 1}},
        {0x7, 0.5f, {0.5f, 0.5f, kHalf}},
        {0x4, 0.3f, {1}},                      // mono output
        {0x603, 0.5f, {kHalf, kHalf, 0, 0}},
    };
    for (const Case& c : cases)
    {
        Matrix m(Speakers(0x4), Speakers(c.outMask));
        CZkSpeakerPan::ComputeSpeakerVolumesDirect(m.input, m.output, c.centre, m.Data());
        for (uint32_t j = 0; j < c.row.size(); ++j)
            EXPECT_NEAR(m.At(0, j), c.row[j], kTol) << "mask " << c.outMask << " centre " << c.centre << " col " << j;
    }
}

TEST_F(MonoInput, LfeOnlyInputGoesToTheOutputLfeOnly)
{
    Matrix m(Speakers(0x8), Speakers(0x60F));
    CZkSpeakerPan::ComputeSpeakerVolumes(0.3f, -0.2f, 0.0f, 0.5f, ZkSpeakerPanning_Position2D, m.input, m.output,
                                         m.Data(), nullptr);
    for (uint32_t j = 0; j < 5; ++j)
        EXPECT_EQ(m.At(0, j), 0.0f);
    EXPECT_EQ(m.At(0, 5), 1.0f);
}

using LfeRoute = PanningFixture;

// The LFE never pans, whatever the panning type, and is dropped when the output has none.
TEST_F(LfeRoute, HoldsForEveryPanningType)
{
    for (uint32_t type = 0; type <= 3; ++type)
        for (uint32_t outMask : {0x60Fu, 0x607u})
        {
            Matrix m(Speakers(0x60F), Speakers(outMask));
            CZkSpeakerPan::ComputeSpeakerVolumes(0.5f, 0.5f, 0.0f, 0.5f, type, m.input, m.output, m.Data(), nullptr);
            for (uint32_t j = 0; j < m.output.NumChannels(); ++j)
            {
                const float expected = (m.output.HasLfe() && j == m.output.NumChannels() - 1) ? 1.0f : 0.0f;
                EXPECT_EQ(m.At(5, j), expected) << "type " << type << " mask " << outMask << " column " << j;
            }
            // No speaker row reaches the output LFE.
            if (m.output.HasLfe())
            {
                for (uint32_t i = 0; i < 5; ++i)
                    EXPECT_EQ(m.At(i, 5), 0.0f);
            }
        }
}

using DirectAssignment = PanningFixture;

TEST_F(DirectAssignment, MixedOrderAmbisonicsFollowsAcnNumbers)
{
    struct Case
    {
        uint32_t inChannels;
        uint32_t outChannels;
        std::vector<int> columns; // output column of each input channel (-1: dropped)
    };
    const Case cases[] = {
        {5, 9, {0, 1, 3, 4, 8}},
        {3, 4, {0, 1, 3}},
        {6, 16, {0, 1, 2, 3, 4, 8}},
        {7, 16, {0, 1, 3, 4, 8, 9, 15}},
        {11, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15}},
        {16, 9, {0, 1, 2, 3, 4, 5, 6, 7, 8, -1, -1, -1, -1, -1, -1, -1}},
        {9, 5, {0, 1, -1, 2, 3, -1, -1, -1, 4}}, // a mixed-order output keeps the channels it holds
    };
    for (const Case& c : cases)
    {
        Matrix m(Ambisonic(c.inChannels), Ambisonic(c.outChannels));
        CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), nullptr);
        for (uint32_t i = 0; i < c.inChannels; ++i)
            for (uint32_t j = 0; j < c.outChannels; ++j)
                EXPECT_EQ(m.At(i, j), c.columns[i] == static_cast<int>(j) ? 1.0f : 0.0f)
                    << c.inChannels << " to " << c.outChannels << " row " << i << " col " << j;
        EXPECT_TRUE(m.GuardIntact());
    }
}

TEST_F(DirectAssignment, DifferentTypesUseTheDiagonal)
{
    Matrix m(ZkChannelConfig::Anonymous(3), Speakers(0x60F));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), nullptr);
    for (uint32_t i = 0; i < 3; ++i)
        for (uint32_t j = 0; j < 6; ++j)
            EXPECT_EQ(m.At(i, j), i == j ? 1.0f : 0.0f);
}

using SpeakerEncoding = PanningFixture;

// Speakers encode at their fixed directions: a 5.0 input into first order puts FL at +45 degrees.
TEST_F(SpeakerEncoding, FixedDirectionsAndLfeRowZero)
{
    Matrix m(Speakers(0x60F), Ambisonic(4));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), nullptr);
    const float azimuths[] = {45, -45, 0, 135, -135};
    for (uint32_t i = 0; i < 5; ++i)
    {
        const float az = azimuths[i] * 0.017453294f;
        EXPECT_NEAR(m.At(i, 0), 1.0f, kTol);
        EXPECT_NEAR(m.At(i, 1), std::sin(az), 1e-5f) << i;
        EXPECT_NEAR(m.At(i, 2), 0.0f, 1e-6f) << i;
        EXPECT_NEAR(m.At(i, 3), std::cos(az), 1e-5f) << i;
    }
    for (uint32_t j = 0; j < 4; ++j)
        EXPECT_EQ(m.At(5, j), 0.0f);

    // A single speaker is the W component only; a top speaker of 7.1.4 gets its elevation.
    Matrix mono(Speakers(0x4), Ambisonic(9));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, mono.input, mono.output, mono.Data(), nullptr);
    EXPECT_EQ(mono.At(0, 0), 1.0f);
    for (uint32_t j = 1; j < 9; ++j)
        EXPECT_EQ(mono.At(0, j), 0.0f);
    Matrix tops(Speakers(0x2D63F), Ambisonic(5));
    CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, tops.input, tops.output, tops.Data(), nullptr);
    EXPECT_TRUE(tops.GuardIntact()); // a mixed-order output row holds only its own five channels
    EXPECT_NEAR(tops.At(7, 1), std::sin(0.785398f) * std::cos(0.785398f), 1e-5f); // TFL at 45/45, Y
}

using BadConfigurations = PanningFixture;

// Malformed words never address rows beyond the caller's matrix nor produce NaN.
TEST_F(BadConfigurations, CountsThatDisagreeWithTheMaskGiveZeros)
{
    const ZkChannelConfig liar((0x63Fu << 12) | (1u << 8) | 2u); // 7.1 mask, 2 channels
    for (uint32_t type = 0; type <= 2; ++type)
    {
        Matrix m(liar, Speakers(0x3));
        CZkSpeakerPan::ComputeSpeakerVolumes(0.2f, 0.4f, 0.1f, 0.5f, type, m.input, m.output, m.Data(), nullptr);
        EXPECT_TRUE(m.GuardIntact());
        for (uint32_t i = 0; i < 2; ++i)
            for (uint32_t j = 0; j < 2; ++j)
                EXPECT_EQ(m.At(i, j), 0.0f);
        Matrix back(Speakers(0x3), liar);
        CZkSpeakerPan::ComputeSpeakerVolumes(0.2f, 0.4f, 0.1f, 0.5f, type, back.input, back.output, back.Data(), nullptr);
        EXPECT_TRUE(back.GuardIntact());
    }
    // Invalid ambisonic counts (10, 37) and the largest anonymous counts.
    for (uint32_t channels : {10u, 37u, 255u})
    {
        Matrix m(Ambisonic(channels), Ambisonic(channels));
        CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, m.input, m.output, m.Data(), nullptr);
        EXPECT_TRUE(m.GuardIntact());
        Matrix enc(Speakers(0x63F), Ambisonic(channels));
        CZkSpeakerPan::ComputeSpeakerVolumes(0, 0, 0, 0, 0, enc.input, enc.output, enc.Data(), nullptr);
        EXPECT_TRUE(enc.GuardIntact());
        for (float v : enc.values)
            EXPECT_TRUE(v == 0.0f || v == Matrix::kPoison);
    }
    // Out-of-range pan values and NaN-free results for every planar pair.
    for (uint32_t type = 0; type <= 2; ++type)
        for (uint32_t inMask : {0x4u, 0x3u, 0x33u, 0x60Fu, 0x63Fu, 0x2D63Fu})
            for (uint32_t outMask : {0x3u, 0x7u, 0x603u, 0x33u, 0x60Fu, 0x63Fu, 0x2D63Fu, 0x3FE37u, 0x5607u})
            {
                Matrix m(Speakers(inMask), Speakers(outMask));
                CZkSpeakerPan::ComputeSpeakerVolumes(-7.0f, 9.0f, 3.0f, 4.0f, type, m.input, m.output, m.Data(),
                                                     nullptr);
                EXPECT_TRUE(m.AllFinite()) << type << " " << inMask << " " << outMask;
                EXPECT_TRUE(m.GuardIntact()) << type << " " << inMask << " " << outMask;
            }
}
} // namespace
