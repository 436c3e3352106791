// Sample points of the ambisonic decoders and encoders, and the per-degree decoding weights.
// Orders 1 to 3 sample the sphere with a fixed 32-point set, orders 4 and 5 with 64 points; the
// horizontal decoders use 12 points on the circle, one every 30 degrees from straight ahead
// turning left. Points are (x, y, z, 0) in engine coordinates (x right, y up, z front).
#include "ZkSpeakerPan.h"

#include <cmath>

namespace
{
constexpr uint32_t kSmallSetCount = 32;
constexpr uint32_t kLargeSetCount = 64;
constexpr uint32_t kFirstLargeSetOrderIndex = 3;

struct PointSet32
{
    float points[kSmallSetCount * 4];
    PointSet32()
    {
        uint32_t n = 0;
        auto add = [&](float x, float y, float z) {
            points[4 * n] = x;
            points[4 * n + 1] = y;
            points[4 * n + 2] = z;
            points[4 * n + 3] = 0.0f;
            ++n;
        };
        // (a, b, 0) and (c, d, 0) families with their cyclic permutations, then the eight corners.
        const float families[2][2] = {{0.358f, 0.934f}, {0.848f, 0.530f}};
        for (uint32_t f = 0; f < 2; ++f)
            for (int sa = -1; sa <= 1; sa += 2)
                for (int sb = -1; sb <= 1; sb += 2)
                {
                    const float a = static_cast<float>(sa) * families[f][0];
                    const float b = static_cast<float>(sb) * families[f][1];
                    if (f == 0)
                    {
                        add(a, b, 0.0f);
                        add(0.0f, a, b);
                        add(b, 0.0f, a);
                    }
                    else
                    {
                        add(0.0f, a, b);
                        add(b, 0.0f, a);
                        add(a, b, 0.0f);
                    }
                }
        for (int sx = -1; sx <= 1; sx += 2)
            for (int sy = -1; sy <= 1; sy += 2)
                for (int sz = -1; sz <= 1; sz += 2)
                    add(0.579f * static_cast<float>(sx), 0.574f * static_cast<float>(sy), 0.579f * static_cast<float>(sz));
    }
};

// 64 nearly uniform points: the upper half of a 64-point spherical Fibonacci lattice (equal-area
// latitude bands, successive points turned by the golden angle) and its antipodes. The antipodal
// symmetry makes every odd-degree moment of the set vanish, so a decoder sampled on it has no bias.
struct PointSet64
{
    float points[kLargeSetCount * 4];
    PointSet64()
    {
        const double goldenAngle = 3.14159265358979323846 * (3.0 - std::sqrt(5.0));
        constexpr uint32_t half = kLargeSetCount / 2;
        for (uint32_t i = 0; i < half; ++i)
        {
            const double y = 1.0 - (2.0 * i + 1.0) / kLargeSetCount;
            const double radius = std::sqrt(1.0 - y * y);
            const double phi = goldenAngle * i;
            const float p[3] = {static_cast<float>(radius * std::sin(phi)), static_cast<float>(y),
                                static_cast<float>(radius * std::cos(phi))};
            for (uint32_t a = 0; a < 3; ++a)
            {
                points[4 * i + a] = p[a];
                points[4 * (i + half) + a] = -p[a];
            }
            points[4 * i + 3] = 0.0f;
            points[4 * (i + half) + 3] = 0.0f;
        }
    }
};

struct CirclePoints
{
    float points[CZkSpeakerPan::kCirclePointCount * 4];
    CirclePoints()
    {
        for (uint32_t i = 0; i < CZkSpeakerPan::kCirclePointCount; ++i)
        {
            const double angle = i * 3.14159265358979323846 / 6.0;
            points[4 * i] = static_cast<float>(-std::sin(angle));
            points[4 * i + 1] = 0.0f;
            points[4 * i + 2] = static_cast<float>(std::cos(angle));
            points[4 * i + 3] = 0.0f;
        }
    }
};

// Decoding weights per degree l, for the sphere sets and the circle set.
constexpr float kWeights3D[5][6] = {
    {0.707107f, 0.408001f},
    {0.527046f, 0.408461f, 0.210819f},
    {0.417029f, 0.359062f, 0.255222f, 0.127194f},
    {0.344185f, 0.311894f, 0.251855f, 0.172448f, 0.084578f},
    {0.292681f, 0.272916f, 0.235389f, 0.183877f, 0.123513f, 0.060208f},
};
constexpr float kWeights2D[5][6] = {
    {0.707107f, 0.499924f},
    {0.577350f, 0.499985f, 0.288675f},
    {0.500000f, 0.462000f, 0.353500f, 0.191500f},
    {0.447214f, 0.425325f, 0.361803f, 0.262866f, 0.138197f},
    {0.408248f, 0.394338f, 0.353553f, 0.288675f, 0.204124f, 0.105662f},
};
} // namespace

uint32_t CZkSpeakerPan::GetSamplePointCount(uint32_t orderIndex)
{
    if (orderIndex > kMaxOrderIndex)
        return 0;
    return orderIndex >= kFirstLargeSetOrderIndex ? kLargeSetCount : kSmallSetCount;
}

const float* CZkSpeakerPan::GetSamplePoints(uint32_t orderIndex)
{
    static const PointSet32 small;
    static const PointSet64 large;
    if (orderIndex > kMaxOrderIndex)
        return nullptr;
    return orderIndex >= kFirstLargeSetOrderIndex ? large.points : small.points;
}

const float* CZkSpeakerPan::GetCirclePoints()
{
    static const CirclePoints circle;
    return circle.points;
}

const float* CZkSpeakerPan::GetOrderWeights(uint32_t orderIndex)
{
    return orderIndex <= kMaxOrderIndex ? kWeights3D[orderIndex] : nullptr;
}

const float* CZkSpeakerPan::GetOrderWeights2D(uint32_t orderIndex)
{
    return orderIndex <= kMaxOrderIndex ? kWeights2D[orderIndex] : nullptr;
}
