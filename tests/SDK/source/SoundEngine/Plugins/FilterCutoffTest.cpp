#include <Plugins/Effects/Common/ZkFilterCutoff.h>

#include <gtest/gtest.h>

namespace
{
struct CutoffCase
{
    float value;
    float sampleRateHz;
    float expectedHz;
    float toleranceHz;
};

class LowPassCutoff : public testing::TestWithParam<CutoffCase>
{
};

TEST_P(LowPassCutoff, MapsValueToHz)
{
    const CutoffCase& c = GetParam();
    EXPECT_NEAR(LowPassValueToHz(c.value, c.sampleRateHz), c.expectedHz, c.toleranceHz);
}

INSTANTIATE_TEST_SUITE_P(Table, LowPassCutoff,
                         testing::Values(CutoffCase{0.0f, 48000.0f, 20000.0f, 0.01f},
                                         CutoffCase{29.9f, 48000.0f, 7043.33f, 0.01f},
                                         // 30 leaves the linear branch for the exponential one
                                         CutoffCase{30.0f, 48000.0f, 7015.96f, 0.02f},
                                         CutoffCase{50.0f, 48000.0f, 1246.52f, 0.01f},
                                         CutoffCase{100.0f, 48000.0f, 16.7813f, 0.0001f},
                                         // the cap: 0.45 x fs at two thirds of 48000
                                         CutoffCase{0.0f, 32000.0f, 14400.0f, 0.01f}));

TEST(HighPassCutoff, MirrorsTheLowPassCurve)
{
    EXPECT_FLOAT_EQ(HighPassValueToHz(50.0f, 48000.0f), LowPassValueToHz(50.0f, 48000.0f));
    EXPECT_NEAR(HighPassValueToHz(0.0f, 48000.0f), 16.7813f, 0.0001f);
    EXPECT_NEAR(HighPassValueToHz(100.0f, 48000.0f), 20000.0f, 0.01f);
    EXPECT_FLOAT_EQ(HighPassValueToHz(100.0f, 32000.0f), 14400.0f);
}

TEST(LowPassCutoff, FallsMonotonicallyAcrossTheRange)
{
    float previous = LowPassValueToHz(0.0f, 48000.0f);
    for (float v = 0.5f; v <= 100.0f; v += 0.5f)
    {
        const float hz = LowPassValueToHz(v, 48000.0f);
        EXPECT_LT(hz, previous) << "value " << v;
        previous = hz;
    }
}
} // namespace
