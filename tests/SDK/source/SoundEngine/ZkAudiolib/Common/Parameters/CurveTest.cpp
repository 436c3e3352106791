// Curves and the fast decibel conversions: every shape against the defining polynomials (computed
// here in double precision from the fraction of the segment) and, within a stated tolerance,
// against the trigonometric and power shapes they approximate; scalings; segment search.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Parameters/CZkCurve.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;

constexpr double kPi = std::numbers::pi;
// Largest distance (as a fraction of the segment's rise) between a polynomial shape and the
// function it approximates; shape 5 carries a constant term of 0.0007 by definition.
constexpr double kShapeTolerance = 0.0012;

// The defining polynomial of each shape, as a fraction of the rise at t (0..1).
double DefinedFraction(uint32_t shape, double t)
{
    switch (shape)
    {
    case 0: return 1.0 - std::pow(1.0 - t, 3.0);
    case 1:
    {
        const double r = t * 1.5707964;
        return (0.98676056 - 0.31409565 * r + (0.36475623 - 0.11610551 * r) * r - (0.116105504 - 0.03695753 * r) * r * r) * r;
    }
    case 2: return (t - 3.0) * t * -0.5;
    case 3:
    {
        const auto p = [](double u) { return ((0.0041531627 - 9.181827e-5 * u) * u - 0.08332414) * u + 0.4999983; };
        const double r = t * 3.1415927;
        if (r <= 1.5707964)
            return p(r * r) * r;
        const double g = 3.1415927 - r;
        return 1.0 - p(g * g) * g;
    }
    case 4: return t;
    case 5:
    {
        const double f = t * 3.1415927 * t * 3.1415927;
        return ((4.84834e-4 * f - 0.01961384) * f + 0.2476748) * f + 0.00069670216;
    }
    case 6: return (t + 1.0) * t * 0.5;
    case 7:
    {
        const double f = t * 1.5707964 * t * 1.5707964;
        return 1.0 - (((0.04148775 - 0.0012712094 * f) * f - 0.49991244) * f + 0.9999933);
    }
    case 8: return t * t * t;
    default: return 0.0;
    }
}

// The shape each polynomial stands for.
double NamedFraction(uint32_t shape, double t)
{
    switch (shape)
    {
    case 0: return 1.0 - std::pow(1.0 - t, 3.0);
    case 1: return std::sin(t * kPi / 2.0);
    case 2: return (3.0 * t - t * t) / 2.0;
    case 3: return t <= 0.5 ? std::sin(t * kPi) / 2.0 : 1.0 - std::sin(t * kPi) / 2.0;
    case 4: return t;
    case 5: return (1.0 - std::cos(t * kPi)) / 2.0;
    case 6: return (t * t + t) / 2.0;
    case 7: return 1.0 - std::cos(t * kPi / 2.0);
    case 8: return t * t * t;
    default: return 0.0;
    }
}

class CurveTest : public EngineMemoryTest
{
protected:
    void TearDown() override
    {
        m_curve.Term();
        EngineMemoryTest::TearDown();
    }
    CZkCurve m_curve;
};

TEST_F(CurveTest, EveryShapeFollowsItsPolynomialAndApproximatesItsNamedFunction)
{
    // Two segments: the shape under test from (10, -4) to (30, 16), then linear back down.
    for (uint32_t shape = 0; shape <= 8; ++shape)
    {
        const ZkCurvePoint points[] = {{10.0f, -4.0f, shape}, {30.0f, 16.0f, 4}, {40.0f, 0.0f, 4}};
        ASSERT_EQ(m_curve.Set(points, 3, ZkCurveScaling_None), ZK_Success);
        uint32_t cached = kCurveFirstSegment;
        for (int step = 0; step <= 40; ++step)
        {
            const double t = step / 40.0;
            const float x = static_cast<float>(10.0 + 20.0 * t);
            const double value = m_curve.Evaluate(x, cached);
            if (step < 40)
            {
                EXPECT_NEAR(value, -4.0 + 20.0 * DefinedFraction(shape, t), 2e-4) << "shape " << shape << " t " << t;
                EXPECT_NEAR(value, -4.0 + 20.0 * NamedFraction(shape, t), 20.0 * kShapeTolerance)
                    << "shape " << shape << " t " << t;
            }
            else
            {
                EXPECT_FLOAT_EQ(value, 16.0f) << "shape " << shape << ": x on a point starts its segment";
            }
        }
    }
}

TEST_F(CurveTest, FlatOutsideThePointsAndConstantAndUnknownShapes)
{
    const ZkCurvePoint single[] = {{5.0f, 0.25f, 4}};
    ASSERT_EQ(m_curve.Set(single, 1, ZkCurveScaling_None), ZK_Success);
    uint32_t cached = kCurveFirstSegment;
    for (float x : {-1e30f, 0.0f, 5.0f, 6.0f, 1e30f, -INFINITY, INFINITY})
        EXPECT_EQ(m_curve.Evaluate(x, cached), 0.25f) << x;

    const ZkCurvePoint points[] = {{0.0f, 1.0f, 9}, {1.0f, 3.0f, 12}, {2.0f, 5.0f, 4}};
    ASSERT_EQ(m_curve.Set(points, 3, ZkCurveScaling_None), ZK_Success);
    EXPECT_EQ(m_curve.Evaluate(-7.0f, cached), 1.0f);
    EXPECT_EQ(m_curve.Evaluate(0.5f, cached), 1.0f) << "shape 9 holds y[i]";
    EXPECT_EQ(m_curve.Evaluate(1.5f, cached), 0.0f) << "shapes above 9 evaluate to 0";
    EXPECT_EQ(m_curve.Evaluate(2.0f, cached), 5.0f);
    EXPECT_EQ(m_curve.Evaluate(99.0f, cached), 5.0f);
}

TEST_F(CurveTest, CachedSegmentIsFoundFromAnyStartAndWrittenBack)
{
    std::vector<ZkCurvePoint> points;
    for (int index = 0; index < 20; ++index)
        points.push_back({static_cast<float>(index), static_cast<float>(index * 2), 4});
    ASSERT_EQ(m_curve.Set(points.data(), 20, ZkCurveScaling_None), ZK_Success);
    struct Case
    {
        uint32_t cachedBefore;
        float x;
        uint32_t cachedAfter;
    };
    const Case cases[] = {{1, 12.5f, 13}, {19, 0.5f, 1}, {13, -5.0f, 0}, {0, 100.0f, 20}, {500, 3.0f, 4}, {4, 3.0f, 4}};
    for (const Case& c : cases)
    {
        uint32_t cached = c.cachedBefore;
        EXPECT_FLOAT_EQ(m_curve.Evaluate(c.x, cached), std::clamp(c.x, 0.0f, 19.0f) * 2.0f) << c.x;
        EXPECT_EQ(cached, c.cachedAfter) << c.x;
    }
}

TEST_F(CurveTest, ShapeFiveStartsAboveItsFirstPoint)
{
    const ZkCurvePoint points[] = {{0.0f, 10.0f, 5}, {1.0f, 20.0f, 4}};
    ASSERT_EQ(m_curve.Set(points, 2, ZkCurveScaling_None), ZK_Success);
    uint32_t cached = kCurveFirstSegment;
    EXPECT_FLOAT_EQ(m_curve.Evaluate(0.0f, cached), 10.0f + 0.00069670216f * 10.0f);
}

TEST_F(CurveTest, Scalings)
{
    struct Case
    {
        uint32_t scaling;
        float value;
        float expected;
        float tolerance;
    };
    const Case cases[] = {
        {ZkCurveScaling_DBToLin, -96.0f, 1.58e-5f, 0.05e-5f}, {ZkCurveScaling_DBToLin, -800.0f, 0.0f, 0.0f},
        {ZkCurveScaling_DBToLin, 0.0f, 0.99904f, 1e-5f},      {ZkCurveScaling_SignedDB, 0.5f, 6.0206f, 1e-3f},
        {ZkCurveScaling_SignedDB, -0.5f, -6.0206f, 1e-3f},    {ZkCurveScaling_SignedDB, 1.0f, 4096.0f, 0.0f},
        {ZkCurveScaling_SignedDB, 7.0f, 4096.0f, 0.0f},       {ZkCurveScaling_SignedDB, -1.0f, -4096.0f, 0.0f},
        {ZkCurveScaling_SignedDB, -3.0f, -4096.0f, 0.0f},     {ZkCurveScaling_Pow10, 2.0f, 100.0f, 0.25f},
        {ZkCurveScaling_None, 3.5f, 3.5f, 0.0f},              {ZkCurveScaling_Unused, 3.5f, 3.5f, 0.0f},
        {77, 3.5f, 3.5f, 0.0f},
    };
    for (const Case& c : cases)
    {
        const ZkCurvePoint flat[] = {{0.0f, c.value, 4}};
        ASSERT_EQ(m_curve.Set(flat, 1, c.scaling), ZK_Success);
        uint32_t cached = kCurveFirstSegment;
        EXPECT_NEAR(m_curve.Evaluate(0.0f, cached), c.expected, c.tolerance) << c.scaling << " " << c.value;
    }
}

TEST_F(CurveTest, RefusesNoPointsAndReportsOutOfMemory)
{
    EXPECT_EQ(m_curve.Set(nullptr, 3, 0), ZK_InvalidParameter);
    const ZkCurvePoint points[] = {{0.0f, 1.0f, 4}};
    EXPECT_EQ(m_curve.Set(points, 0, 0), ZK_InvalidParameter);
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
    EXPECT_EQ(m_curve.Set(points, 1, 0), ZK_InsufficientMemory);
    uint32_t cached = kCurveFirstSegment;
    EXPECT_EQ(m_curve.Evaluate(0.0f, cached), 0.0f);
}

TEST(FastMath, Pow10AndLinToDBAgainstTheLibrary)
{
    for (int step = -370; step <= 370; ++step)
    {
        const float v = step / 10.0f;
        EXPECT_NEAR(ZkFastPow10(v) / std::pow(10.0, v), 1.0, 0.0025) << v;
    }
    EXPECT_EQ(ZkFastPow10(-37.01f), 0.0f);
    EXPECT_EQ(ZkFastPow10(60.0f), INFINITY);
    EXPECT_TRUE(std::isnan(ZkFastPow10(NAN)));
    EXPECT_FLOAT_EQ(ZkFastPow10(0.0f), 0.32518977f + 0.020805772f + 0.65304345f);
    for (int step = -300; step <= 300; ++step)
    {
        const float w = static_cast<float>(std::pow(10.0, step / 20.0));
        EXPECT_NEAR(ZkFastLinToDB(w), 20.0 * std::log10(static_cast<double>(w)), 0.02) << w;
    }
    EXPECT_FLOAT_EQ(ZkFastLinToDB(0.5f), -6.0206003f);
    EXPECT_FLOAT_EQ(ZkFastLinToDB(-2.0f), ZkFastLinToDB(2.0f));
}
} // namespace
