// The vector forms of the biquad against the scalar reference: the four-channel form to the last
// bit, the pair and single-channel look-ahead forms (SSE, and the wide AVX2 forms where the
// processor has them) to float rounding, over every size from 1 to 1024 frames with unaligned
// starts and tails; and the reference against a direct double-precision evaluation of the
// recurrence.
#include <Plugins/Effects/Common/BiquadFilterSimd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace
{
// The wide forms run only on a processor with AVX2 and FMA; elsewhere their checks are skipped.
bool WideFormsRun() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

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

// The recurrence in double precision from a zero history: the exact output for the coefficients.
std::vector<double> ExactOutput(const std::vector<float>& input, const BiquadCoefficients& c)
{
    std::vector<double> output(input.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t k = 0; k < input.size(); ++k)
    {
        const double y = c.b0 * static_cast<double>(input[k]) + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1;
        x1 = input[k];
        y2 = y1;
        y1 = y;
        output[k] = y;
    }
    return output;
}

struct LookAheadCase
{
    const char* name;
    BiquadCoefficients coefficients;
    // "To float rounding": a look-ahead form stays within this distance of the scalar form,
    // eight times the scalar form's own distance from the exact recurrence over a long signal.
    float tolerance;
};

std::vector<LookAheadCase> LookAheadCases()
{
    const std::vector<float> probe = RandomSignal(8192, 99);
    std::vector<LookAheadCase> cases = {
        {"low-pass 16.8 Hz", ComputeButterworthLowPass(16.8f, 48000.0f), 0.0f},
        {"low-pass 1 kHz", ComputeButterworthLowPass(1000.0f, 48000.0f), 0.0f},
        {"low-pass 18 kHz", ComputeButterworthLowPass(18000.0f, 48000.0f), 0.0f},
        {"high-pass 16.8 Hz", ComputeButterworthHighPass(16.8f, 48000.0f), 0.0f},
        {"high-pass 1 kHz", ComputeButterworthHighPass(1000.0f, 48000.0f), 0.0f},
    };
    for (LookAheadCase& c : cases)
    {
        std::vector<float> scalar(probe.size());
        BiquadLaneHistory history{};
        BiquadRunScalar(probe.data(), scalar.data(), static_cast<uint32_t>(probe.size()), c.coefficients, history, 0);
        const std::vector<double> exact = ExactOutput(probe, c.coefficients);
        double error = 0.0;
        for (size_t k = 0; k < probe.size(); ++k)
            error = std::max(error, std::fabs(scalar[k] - exact[k]));
        c.tolerance = static_cast<float>(8.0 * error);
    }
    return cases;
}

// Every size from 1 to 1024, each followed by a second call of another size (the second call
// starts from the history the first left), starting at every alignment; odd sizes run in place.
TEST(BiquadLookAhead, PairAndSingleFormsFollowTheScalarFormToFloatRounding)
{
    for (const LookAheadCase& c : LookAheadCases())
    {
        SCOPED_TRACE(c.name);
        const BiquadPairWeights pairWeights = MakeBiquadPairWeights(c.coefficients);
        const BiquadSingleWeights singleWeights = MakeBiquadSingleWeights(c.coefficients);
        const BiquadStateWeights pairState = MakeBiquadFourFrameStateWeights(c.coefficients);
        const BiquadEightFrameWeights eightWeights = MakeBiquadEightFrameWeights(c.coefficients);
        const bool wide = WideFormsRun();
        for (uint32_t frames = 1; frames <= 1024; ++frames)
        {
            const uint32_t second = frames * 7 % 13 + 1;
            const uint32_t offset = frames % 4; // floats before the first frame: every alignment
            const bool inPlace = frames % 2 == 1;
            std::vector<float> a = RandomSignal(offset + frames + second, frames);
            std::vector<float> b = RandomSignal(offset + frames + second, frames + 5000);
            std::vector<float> expectedA(a.size()), expectedB(b.size());
            BiquadLaneHistory scalarHistory{};
            BiquadRunScalar(a.data() + offset, expectedA.data() + offset, frames + second, c.coefficients, scalarHistory, 2);
            BiquadRunScalar(b.data() + offset, expectedB.data() + offset, frames + second, c.coefficients, scalarHistory, 3);

            std::vector<float> pairA(a.size()), pairB(b.size()), single(a.size());
            std::vector<float> widePairA(a.size()), widePairB(b.size()), wideSingle(a.size());
            if (inPlace)
            {
                pairA = widePairA = a;
                pairB = widePairB = b;
                single = wideSingle = a;
            }
            BiquadLaneHistory pairHistory{}, singleHistory{}, widePairHistory{}, wideSingleHistory{};
            uint32_t start = offset;
            for (uint32_t count : {frames, second})
            {
                const float* pairIn[2] = {(inPlace ? pairA : a).data() + start, (inPlace ? pairB : b).data() + start};
                float* pairOut[2] = {pairA.data() + start, pairB.data() + start};
                BiquadRunPairSse(pairIn, pairOut, count, c.coefficients, pairWeights, pairHistory, 2);
                BiquadRunSingleSse((inPlace ? single : a).data() + start, single.data() + start, count, c.coefficients,
                                   singleWeights, singleHistory, 1);
                if (wide)
                {
                    const float* widePairIn[2] = {(inPlace ? widePairA : a).data() + start,
                                                  (inPlace ? widePairB : b).data() + start};
                    float* widePairOut[2] = {widePairA.data() + start, widePairB.data() + start};
                    BiquadRunPairAvx2(widePairIn, widePairOut, count, c.coefficients, singleWeights, pairState,
                                      widePairHistory, 2);
                    BiquadRunSingleAvx2((inPlace ? wideSingle : a).data() + start, wideSingle.data() + start, count,
                                        c.coefficients, eightWeights, wideSingleHistory, 1);
                }
                start += count;
            }
            for (size_t k = offset; k < a.size(); ++k)
            {
                ASSERT_NEAR(pairA[k], expectedA[k], c.tolerance) << frames << " frames, pair channel A, frame " << k;
                ASSERT_NEAR(pairB[k], expectedB[k], c.tolerance) << frames << " frames, pair channel B, frame " << k;
                ASSERT_NEAR(single[k], expectedA[k], c.tolerance) << frames << " frames, single, frame " << k;
                if (!wide)
                    continue;
                ASSERT_NEAR(widePairA[k], expectedA[k], c.tolerance) << frames << " frames, wide pair A, frame " << k;
                ASSERT_NEAR(widePairB[k], expectedB[k], c.tolerance) << frames << " frames, wide pair B, frame " << k;
                ASSERT_NEAR(wideSingle[k], expectedA[k], c.tolerance) << frames << " frames, wide single, frame " << k;
            }
            if (wide)
            {
                EXPECT_EQ(widePairHistory.x1[2], a.back());
                EXPECT_EQ(widePairHistory.x1[3], b.back());
                EXPECT_EQ(widePairHistory.y1[0], 0.0f);
                EXPECT_EQ(wideSingleHistory.x2[1], a[a.size() - 2]);
                EXPECT_EQ(wideSingleHistory.y1[2], 0.0f);
            }
            // Each form keeps to its own lanes and leaves the exact last inputs as history.
            EXPECT_EQ(pairHistory.x1[2], a.back());
            EXPECT_EQ(pairHistory.x1[3], b.back());
            EXPECT_EQ(pairHistory.x1[0], 0.0f);
            EXPECT_EQ(singleHistory.x2[1], a[a.size() - 2]);
            EXPECT_EQ(singleHistory.y1[2], 0.0f);
        }
    }
}

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
