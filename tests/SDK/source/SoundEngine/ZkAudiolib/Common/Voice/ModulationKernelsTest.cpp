// The modulation stage's kernels: the AVX2 forms give what the scalar forms give, over every
// length from 1 to 1024 and unaligned starts; the ramp's gains come from the frame index, so a long
// ramp ends where it should.
#include <ZkAudiolib/Common/Voice/ModulationKernels.h>

#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
using namespace ZkModulationKernels;

bool Close(float a, float b) { return std::fabs(a - b) <= 4e-7f * std::max(std::fabs(a), std::fabs(b)) + 1e-30f; }

TEST(ModulationKernels, Avx2FormsAgreeWithTheScalarFormsOverEveryLengthAndOffset)
{
    if (!ZK::ZkRuntimeEnvironmentMgr::Instance()->CanUseAvx2Kernels())
        GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> input(1024 + 8), modulation(1024 + 8);
    for (float& v : input)
        v = value(random);
    for (float& v : modulation)
        v = 0.5f + 0.5f * value(random);
    for (uint32_t offset : {0u, 1u, 3u})
        for (uint32_t frames = 1; frames + offset <= 1024 + 8 && frames <= 1024; ++frames)
        {
            std::vector<float> scalar(input), vector(input);
            ApplySignalScalar(scalar.data() + offset, frames, modulation.data() + offset, 0.8f, 0.2f);
            ApplySignalAvx2(vector.data() + offset, frames, modulation.data() + offset, 0.8f, 0.2f);
            std::vector<float> rampScalar(input), rampVector(input);
            const float step = (0.25f - 1.0f) / static_cast<float>(frames);
            ApplyRampScalar(rampScalar.data() + offset, frames, 1.0f, step);
            ApplyRampAvx2(rampVector.data() + offset, frames, 1.0f, step);
            for (size_t i = 0; i < input.size(); ++i)
            {
                ASSERT_TRUE(Close(scalar[i], vector[i])) << "signal, offset " << offset << ", frames " << frames << ", sample " << i;
                ASSERT_TRUE(Close(rampScalar[i], rampVector[i])) << "ramp, offset " << offset << ", frames " << frames << ", sample " << i;
            }
        }
}

TEST(ModulationKernels, ARampOverALongBlockEndsOneStepShortOfItsEnd)
{
    // Accumulated gains drift by a few thousand ulps over 1024 steps; gains from the index do not.
    for (RampFn ramp : {ApplyRampScalar, ZkModulationKernels::Select().ramp})
    {
        std::vector<float> ones(1024, 1.0f);
        const float step = (1.0f - 0.1f) / 1024.0f;
        ramp(ones.data(), 1024, 0.1f, step);
        EXPECT_FLOAT_EQ(ones[0], 0.1f);
        EXPECT_FLOAT_EQ(ones[512], 0.1f + 512.0f * step);
        EXPECT_FLOAT_EQ(ones[1023], 1.0f - step);
        std::vector<float> constant(5, 2.0f);
        ramp(constant.data(), 5, 0.5f, 0.0f);
        for (float s : constant)
            EXPECT_EQ(s, 1.0f) << "a step of 0 is a constant gain";
    }
}
} // namespace
