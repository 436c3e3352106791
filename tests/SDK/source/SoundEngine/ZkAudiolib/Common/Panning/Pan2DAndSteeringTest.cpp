// Two-dimensional position panning (type 1) and speaker-position steering (type 2).
#include "PanningTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace PanningTest;

constexpr float kTol = 1e-5f;

Matrix Pan(uint32_t type, float x, float y, float z, float centre, uint32_t inMask, uint32_t outMask)
{
    Matrix m(Speakers(inMask), Speakers(outMask));
    CZkSpeakerPan::ComputeSpeakerVolumes(x, y, z, centre, type, m.input, m.output, m.Data(), nullptr);
    return m;
}

struct MonoCase
{
    const char* name;
    uint32_t type;
    float x, y, z, centre;
    uint32_t outMask;
    std::vector<float> row;
};

class MonoPanning : public PanningFixture, public testing::WithParamInterface<MonoCase>
{
};

TEST_P(MonoPanning, Row)
{
    const MonoCase& c = GetParam();
    const Matrix m = Pan(c.type, c.x, c.y, c.z, c.centre, 0x4, c.outMask);
    for (uint32_t j = 0; j < c.row.size(); ++j)
        EXPECT_NEAR(m.At(0, j), c.row[j], kTol) << "column " << j;
}

const float kThird = std::sqrt(1.0f / 3.0f);
const float kSixth = std::sqrt(1.0f / 6.0f);

INSTANTIATE_TEST_SUITE_P(
    Values, MonoPanning,
    testing::Values(
        // Centred and fully front on 5.0 with centre 0.5: FL = FR = sqrt(0.25), FC = sqrt(0.5).
        MonoCase{"FiveZeroFrontHalfCentre", 1, 0, 1, 0, 0.5f, 0x607, {0.5f, 0.5f, 0.70710677f, 0, 0}},
        // 7.0 at y = 0: front, rear and side pairs each a third of the power (centre 0: FL/FR share).
        MonoCase{"SevenZeroMiddle", 1, 0, 0, 0, 0, 0x637, {kSixth, kSixth, 0, kSixth, kSixth, kSixth, kSixth}},
        // Hard right on stereo and on 3.0.
        MonoCase{"StereoRight", 1, 1, 0, 0, 0, 0x3, {0, 1}},
        MonoCase{"ThreeZeroCentreFull", 1, 0, 0, 0, 1, 0x7, {0, 0, 1}},
        // Back left corner of 4.0.
        MonoCase{"QuadBackLeft", 1, -1, -1, 0, 0, 0x603, {0, 0, 1, 0}},
        // Steering, no pan, stereo: the FC position gives FL and FR equal power.
        MonoCase{"SteerStereoCentre", 2, 0, 0, 0, 0, 0x3, {0.70710677f, 0.70710677f}},
        // Steering onto 5.0 with centre 1: all in FC; with centre 0 the FC power moves to FL/FR.
        MonoCase{"SteerFiveZeroCentre", 2, 0, 0, 0, 1, 0x607, {0, 0, 1, 0, 0}},
        MonoCase{"SteerFiveZeroNoCentre", 2, 0, 0, 0, 0, 0x607, {0.70710677f, 0.70710677f, 0, 0, 0}},
        // Steering straight back on 5.0: the virtual target behind folds half to each surround.
        MonoCase{"SteerFiveZeroBack", 2, 0, -1, 0, 1, 0x607, {0, 0, 0, 0.70710677f, 0.70710677f}},
        // Steering hard left on 7.1.4 (grid): the centre's position (0, 1, 0) moves to the front-left
        // grid target, which folds onto FL alone.
        MonoCase{"SteerGridLeft", 2, -1, 0, 0, 1, 0x2D63F, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Steered to the left side (y 1 + 2 x -0.5 = 0): the ear-level left target folds onto SL.
        MonoCase{"SteerGridSide", 2, -1, -0.5f, 0, 1, 0x2D63F, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
        // Steering up on 7.1.4: the centre input rises to the top layer's front centre, folded onto
        // TFL and TFR (four-speaker top set).
        MonoCase{"SteerGridUp", 2, 0, 0, 1, 1, 0x2D63F, {0, 0, 0, 0, 0, 0, 0, 0.70710677f, 0.70710677f, 0, 0, 0}}),
    [](const testing::TestParamInfo<MonoCase>& info) { return std::string(info.param.name); });

using MultichannelPan2D = PanningFixture;

// A centred stereo input keeps its own speakers on a stereo output.
TEST_F(MultichannelPan2D, StereoThroughStereoAndFiveOne)
{
    Matrix m = Pan(1, 0, 1, 0, 0, 0x3, 0x3);
    EXPECT_NEAR(m.At(0, 0), 0.70710677f, kTol);
    EXPECT_NEAR(m.At(1, 1), 0.70710677f, kTol);
    EXPECT_EQ(m.At(0, 1), 0.0f);
    // Stereo into 5.1 panned fully back: the quad law sends each side to its surround only.
    m = Pan(1, 0, -1, 0, 0, 0x3, 0x60F);
    EXPECT_NEAR(m.At(0, 3), 0.70710677f, kTol); // FL -> SL
    EXPECT_NEAR(m.At(1, 4), 0.70710677f, kTol); // FR -> SR
    EXPECT_NEAR(m.At(0, 0), 0.0f, kTol);
    EXPECT_EQ(m.At(0, 5), 0.0f);
}

// A 4.0 input with a rear pair is treated as FL FR SL SR; into 7.0 the seven-speaker split uses
// the six-speaker law, and every surround input feeds both pairs on its side.
TEST_F(MultichannelPan2D, RearQuadCountsAsSides)
{
    const Matrix rear = Pan(1, 0, 0, 0, 0, 0x33, 0x637);
    const Matrix side = Pan(1, 0, 0, 0, 0, 0x603, 0x637);
    EXPECT_EQ(rear.values, side.values);
    // Input SL (row 2) at t = 0.5: BL and SL each sqrt(1/3 x 1/2).
    EXPECT_NEAR(side.At(2, 3), kSixth, kTol);
    EXPECT_NEAR(side.At(2, 5), kSixth, kTol);
    EXPECT_EQ(side.At(2, 4), 0.0f);
}

// Stereo into 7.0 panned fully back stays audible (front inputs also feed the surrounds).
TEST_F(MultichannelPan2D, StereoIntoSevenZeroBackIsNotSilent)
{
    const Matrix m = Pan(1, 0, -1, 0, 0, 0x3, 0x637);
    EXPECT_NEAR(m.RowPower(0), 0.5f, 1e-4f);
    EXPECT_NEAR(m.RowPower(1), 0.5f, 1e-4f);
    EXPECT_NEAR(m.At(0, 3), 0.70710677f, kTol); // BL
}

// 5.1 input onto stereo panned right: the union is 5.0 with the five law, folded by the stereo
// downmix. Inputs keep their side (panning attenuates, it does not move a channel across): the
// right-hand inputs get louder than the left-hand ones, the centre splits evenly.
TEST_F(MultichannelPan2D, FiveOneOntoStereoFavoursTheRightInputs)
{
    const Matrix m = Pan(1, 0.8f, 0, 0, 0, 0x60F, 0x3);
    EXPECT_GT(m.At(1, 1), m.At(0, 0));   // FR louder than FL
    EXPECT_GT(m.At(4, 1), m.At(3, 0));   // SR louder than SL
    EXPECT_EQ(m.At(0, 1), 0.0f);
    EXPECT_NEAR(m.At(2, 0), m.At(2, 1), kTol);
    EXPECT_GT(m.At(2, 0), 0.0f);
    EXPECT_EQ(m.At(5, 0), 0.0f);
    EXPECT_EQ(m.At(5, 1), 0.0f);
}

using Steering = PanningFixture;

// A 7.1 input with no steering on 7.1: each speaker stays (mostly) in place.
TEST_F(Steering, NoPanKeepsSpeakersInPlace)
{
    const Matrix m = Pan(2, 0, 0, 0, 1, 0x63F, 0x63F);
    for (uint32_t i = 0; i < 7; ++i)
    {
        uint32_t best = 0;
        for (uint32_t c = 1; c < 7; ++c)
            if (m.At(i, c) > m.At(i, best))
                best = c;
        EXPECT_EQ(best, i);
    }
    EXPECT_EQ(m.At(7, 7), 1.0f);
}

// Onto top-speaker sets without a grid fold (here a lone T), steering falls back to the planar
// speakers and leaves the top silent.
TEST_F(Steering, UnknownTopSetFallsBackToPlanar)
{
    const Matrix m = Pan(2, 0, 0, 0, 1, 0x4, 0x800 | 0x607);
    EXPECT_NEAR(m.At(0, 2), 1.0f, kTol);
    EXPECT_EQ(m.At(0, 5), 0.0f);
}
} // namespace
