// Gains of points that may overlap (several positions of one emitter heard by one listener): each
// point keeps its own weighted width against the sum of what overlaps it, so that positions close
// together share their power instead of adding it.
#include "ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

#include <algorithm>
#include <cmath>

namespace
{
// Two directions closer than this (squared distance) are one direction.
constexpr float kCoincidentDistanceSquared = 1e-12f;

float Dot(const ZkVector& a, const ZkVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

bool Coincide(const ZkVector& a, const ZkVector& b)
{
    const ZkVector d{a.x - b.x, a.y - b.y, a.z - b.z};
    return Dot(d, d) <= kCoincidentDistanceSquared;
}

// How much point j covers point i: 0 apart, 1 within each other's width. The denominator is
// 4 min(width i, width j); when it vanishes (a point of width 0) only coincident points overlap,
// where the plain quotient would be 0 / 0.
float Overlap(const ZkVector& vi, float wi, const ZkVector& vj, float wj)
{
    const float denominator = 2.0f * wi + 2.0f * wj - 2.0f * std::fabs(wi - wj);
    if (!(denominator > 0.0f))
        return Coincide(vi, vj) ? 1.0f : 0.0f;
    return std::clamp((Dot(vi, vj) + 2.0f * wi + 2.0f * wj - 1.0f) / denominator, 0.0f, 1.0f);
}
} // namespace

void CZkSpeakerPan::NormalizePointOverlaps(uint32_t count, const ZkVector* directions, const float* widths,
                                           const float* weights, float* gains)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        float sum = 0.0f;
        for (uint32_t j = 0; j < count; ++j)
        {
            const float overlap = i == j ? 1.0f : Overlap(directions[i], widths[i], directions[j], widths[j]);
            sum += widths[j] * weights[j] * weights[j] * overlap;
        }
        gains[i] = sum > 0.0f ? weights[i] * weights[i] * widths[i] / sum : 0.0f;
    }
}
