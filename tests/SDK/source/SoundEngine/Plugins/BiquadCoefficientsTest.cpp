// Coefficients against scipy's Butterworth design (Debian's numpy and scipy, run by the committed
// script butterworth_reference.py at test time).
#include <Plugins/Effects/Common/BiquadCoefficients.h>
#include <Plugins/Effects/Common/ZkFilterCutoff.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr const char* kSystemPython = "/usr/bin/python3";

std::vector<BiquadCoefficients> ScipyReference(const char* kind, float rate, const std::vector<float>& cutoffs)
{
    std::ostringstream command;
    command.precision(9);
    command << kSystemPython << " " << KP_SOURCE_DIR << "/tests/SDK/source/SoundEngine/Plugins/butterworth_reference.py "
            << kind << " " << rate;
    for (float hz : cutoffs)
        command << " " << hz;
    std::vector<BiquadCoefficients> result;
    FILE* pipe = popen(command.str().c_str(), "r");
    if (pipe == nullptr)
        return result;
    BiquadCoefficients c;
    while (std::fscanf(pipe, "%f %f %f %f %f", &c.b0, &c.b1, &c.b2, &c.a1, &c.a2) == 5)
        result.push_back(c);
    pclose(pipe);
    return result;
}

void ExpectClose(const BiquadCoefficients& actual, const BiquadCoefficients& expected, float hz)
{
    // Single-precision design against double precision: a relative error of a few float steps,
    // more at the lowest cut-offs where K^2 is large.
    const auto near = [](float a, float e) { return std::abs(a - e) <= 1e-4f * std::abs(e) + 1e-9f; };
    EXPECT_TRUE(near(actual.b0, expected.b0)) << hz << " Hz b0 " << actual.b0 << " vs " << expected.b0;
    EXPECT_TRUE(near(actual.b1, expected.b1)) << hz << " Hz b1 " << actual.b1 << " vs " << expected.b1;
    EXPECT_TRUE(near(actual.b2, expected.b2)) << hz << " Hz b2 " << actual.b2 << " vs " << expected.b2;
    EXPECT_TRUE(near(actual.a1, expected.a1)) << hz << " Hz a1 " << actual.a1 << " vs " << expected.a1;
    EXPECT_TRUE(near(actual.a2, expected.a2)) << hz << " Hz a2 " << actual.a2 << " vs " << expected.a2;
}

struct DesignCase
{
    const char* kind;
    float rate;
};

class ButterworthAgainstScipy : public testing::TestWithParam<DesignCase>
{
};

TEST_P(ButterworthAgainstScipy, MatchesOverTheValueRange)
{
    const DesignCase& design = GetParam();
    const bool low = std::string(design.kind) == "low";
    std::vector<float> cutoffs;
    for (float value : {0.0f, 10.0f, 29.9f, 30.0f, 50.0f, 75.0f, 90.0f, 100.0f})
        cutoffs.push_back(low ? LowPassValueToHz(value, design.rate) : HighPassValueToHz(value, design.rate));
    const std::vector<BiquadCoefficients> expected = ScipyReference(design.kind, design.rate, cutoffs);
    ASSERT_EQ(expected.size(), cutoffs.size()) << "scipy did not answer: is python3-scipy installed?";
    for (size_t i = 0; i < cutoffs.size(); ++i)
    {
        const BiquadCoefficients actual = low ? ComputeButterworthLowPass(cutoffs[i], design.rate)
                                              : ComputeButterworthHighPass(cutoffs[i], design.rate);
        ExpectClose(actual, expected[i], cutoffs[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Designs, ButterworthAgainstScipy,
                         testing::Values(DesignCase{"low", 48000.0f}, DesignCase{"high", 48000.0f},
                                         DesignCase{"low", 44100.0f}, DesignCase{"high", 32000.0f}),
                         [](const testing::TestParamInfo<DesignCase>& info) {
                             return std::string(info.param.kind) + std::to_string(static_cast<int>(info.param.rate));
                         });
} // namespace
