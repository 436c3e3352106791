// The four-channel SSE biquad against the scalar reference, and the reference against a direct
// double-precision evaluation of the recurrence.
#include <Plugins/Effects/Common/BiquadFilterSimd.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{
std::vector<float> RandomSignal(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
    std::vector<float> samples(count);
    for (float& s : samples)
        s = distribution(generator);
    return samples;
}

class BiquadFourLanes : public testing::TestWithParam<uint32_t>
{
};

TEST_P(BiquadFourLanes, AgreesWithScalarReferenceInAndAcrossCalls)
{
    const uint32_t frames = GetParam();
    const BiquadCoefficients c = ComputeButterworthLowPass(1000.0f, 48000.0f);
    std::vector<float> input = RandomSignal(4 * frames * 2, frames);
    std::vector<float> vectorOut(input.size());
    std::vector<float> scalarOut(input.size());
    BiquadLaneHistory vectorHistory{};
    BiquadLaneHistory scalarHistory{};

    // Two consecutive calls: the second starts from the history the first left.
    for (uint32_t call = 0; call < 2; ++call)
    {
        const float* in[4];
        float* out[4];
        for (uint32_t lane = 0; lane < 4; ++lane)
        {
            const size_t offset = (call * 4 + lane) * static_cast<size_t>(frames);
            in[lane] = input.data() + offset;
            out[lane] = vectorOut.data() + offset;
            BiquadRunScalar(in[lane], scalarOut.data() + offset, frames, c, scalarHistory, lane);
        }
        BiquadRunFourChannelsSse(in, out, frames, c, vectorHistory);
    }
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_FLOAT_EQ(vectorOut[i], scalarOut[i]) << "sample " << i;
    for (uint32_t lane = 0; lane < 4; ++lane)
    {
        EXPECT_FLOAT_EQ(vectorHistory.y1[lane], scalarHistory.y1[lane]);
        EXPECT_FLOAT_EQ(vectorHistory.x2[lane], scalarHistory.x2[lane]);
    }
}

// Odd tails and lengths that are not multiples of 4.
INSTANTIATE_TEST_SUITE_P(Sizes, BiquadFourLanes, testing::Values(1u, 3u, 4u, 7u, 8u, 13u, 64u, 1023u, 1024u));

TEST(BiquadScalar, FollowsTheRecurrenceInPlace)
{
    const BiquadCoefficients c = ComputeButterworthHighPass(200.0f, 48000.0f);
    std::vector<float> samples = RandomSignal(257, 7);
    const std::vector<float> original = samples;
    BiquadLaneHistory history{};
    BiquadRunScalar(samples.data(), samples.data(), 257, c, history, 2);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t k = 0; k < original.size(); ++k)
    {
        const double y = c.b0 * original[k] + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1;
        x1 = original[k];
        y2 = y1;
        y1 = y;
        ASSERT_NEAR(samples[k], y, 1e-4) << k; // float against double rounding
    }
    EXPECT_EQ(history.x1[2], original.back());
    EXPECT_EQ(history.y1[0], 0.0f) << "other lanes untouched";
}
} // namespace
