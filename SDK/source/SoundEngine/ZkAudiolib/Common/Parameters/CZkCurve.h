// CZkCurve: a piecewise curve over bank points, each segment with its own shape (ZkCurveTypes.h),
// with an optional scaling of the output (decibels, powers of ten, decibels to gain). Two sentinel
// points at -FLT_MAX and +FLT_MAX make the curve flat outside the bank's points, so evaluation needs
// no range check; the caller keeps a segment index between evaluations so that a slowly moving
// input costs one or two comparisons.
//
// Threading: evaluation is read-only (several threads may evaluate with their own cached index);
// Set and Term need the owner's exclusive access. Evaluate never allocates.
// Ownership: the curve owns one block of memory pool 0 (points and segment terms). It is a plain
// record (so that arrays of curve references can move it): its owner calls Term before dropping it.
#pragma once

#include "ZkAudiolib/Common/Parameters/ZkCurveShapes.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <type_traits>

namespace ZK::SoundEngine
{
// A new cached segment index starts here (the first bank point's segment).
constexpr uint32_t kCurveFirstSegment = 1;

class CZkCurve
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr float kSentinelX = 3.4028235e38f;
    static constexpr float kSignedDBSaturation = 4096.0f;

    // Replaces the curve by pointCount bank points (ascending in x). 1; 31 for no points; 52 when the
    // block cannot be allocated (the curve is then empty and evaluates to 0).
    ZKRESULT Set(const ZkCurvePoint* points, uint32_t pointCount, uint32_t scaling);
    void Term();
    // Computes the terms of every segment from the points (Set does it).
    void PrepareSegments();
    // A volume curve as distance and environment curves keep it: values in decibels (scaling 0)
    // turn into a decibel-to-gain curve (4), values in the signed decibel scale (2) into linear
    // gains by adding 1 to every value (scaling 0); other scalings stay.
    void NormaliseVolumeScaling();

    // The (scaled) value at x; cachedSegment is read and written back. 0 for an empty curve.
    float Evaluate(float x, uint32_t& cachedSegment) const;
    // The unscaled value at x.
    float EvaluateUnscaled(float x, uint32_t& cachedSegment) const;

    // Points including the two sentinels (n + 2), 0 when empty.
    uint32_t PointCount() const { return m_pointCount; }
    uint32_t Scaling() const { return m_scaling; }
    const ZkCurvePoint& Point(uint32_t index) const { return m_points[index]; }

    static float ApplyScaling(float value, uint32_t scaling);

    // The straight line through the curve's first two bank points, as a gain of a modulator value
    // v in [0, 1]: gain = offset + scale x v. The points' values are scaled by the curve's scaling
    // and then read as decibels. Two points sharing an x (a step) have no slope: the gain is the
    // first point's, scale 0. False (nothing written) when the curve has fewer than two points.
    bool GetLinearRange(float& scale, float& offset) const;

private:
    ZkCurvePoint* m_points = nullptr;       // m_pointCount points, then m_pointCount term pairs
    ZkCurveSegmentTerms* m_terms = nullptr; // inside the same block
    uint32_t m_pointCount = 0;
    uint32_t m_scaling = ZkCurveScaling_None;
};
static_assert(std::is_trivially_copyable_v<CZkCurve>, "curve references live in ZkArray");
} // namespace ZK::SoundEngine
