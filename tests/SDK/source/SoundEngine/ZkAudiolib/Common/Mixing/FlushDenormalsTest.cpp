// The render scope's floating-point mode: denormal inputs read as zero and denormal results become
// zero inside it; the mode the thread had is back afterwards, also when scopes nest.
#include "ZkAudiolib/Common/Mixing/ZkFlushDenormals.h"

#include <gtest/gtest.h>

#include <cfloat>

namespace
{
// The mode bits of MXCSR, without the exception flags that the operations themselves set.
unsigned int Mode() { return _mm_getcsr() & ~0x3Fu; }

// Through volatile, so that the compiler computes nothing at build time.
float Product(float a, float b)
{
    volatile float x = a;
    volatile float y = b;
    return x * y;
}

TEST(FlushDenormals, DenormalsAreZeroInsideAndTheModeIsRestoredAfter)
{
    const float denormal = FLT_MIN / 4.0f;
    const unsigned int before = Mode();
    ASSERT_GT(Product(denormal, 1.0f), 0.0f) << "outside the scope denormals are kept";
    {
        ZkFlushDenormals outer;
        EXPECT_EQ(Product(denormal, 1.0f), 0.0f) << "a denormal input reads as zero";
        EXPECT_EQ(Product(FLT_MIN, 0.5f), 0.0f) << "a denormal result becomes zero";
        EXPECT_EQ(Product(FLT_MIN, 2.0f), 2.0f * FLT_MIN) << "normal numbers are untouched";
        {
            ZkFlushDenormals inner;
            EXPECT_EQ(Product(denormal, 1.0f), 0.0f);
        }
        EXPECT_EQ(Product(denormal, 1.0f), 0.0f) << "the inner scope gives back the outer mode";
    }
    EXPECT_EQ(Mode(), before);
    EXPECT_GT(Product(denormal, 1.0f), 0.0f);
}
} // namespace
