#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kBytesPerPoint = sizeof(ZkCurvePoint) + sizeof(ZkCurveSegmentTerms); // 20
static_assert(kBytesPerPoint == 20, "a curve point and its terms take 20 bytes");
} // namespace

ZKRESULT CZkCurve::Set(const ZkCurvePoint* points, uint32_t pointCount, uint32_t scaling)
{
    Term();
    if (points == nullptr || pointCount == 0 || pointCount > 0xFFFFFFFFu - 2)
        return ZK_InvalidParameter;
    const uint32_t count = pointCount + 2;
    void* block = ZK::MemoryMgr::Malloc(kPool, kBytesPerPoint * size_t{count});
    if (block == nullptr)
        return ZK_InsufficientMemory;
    m_points = static_cast<ZkCurvePoint*>(block);
    m_terms = reinterpret_cast<ZkCurveSegmentTerms*>(m_points + count);
    m_pointCount = count;
    m_scaling = scaling;

    std::memcpy(m_points + 1, points, sizeof(ZkCurvePoint) * size_t{pointCount});
    m_points[0] = {-kSentinelX, points[0].y, ZkCurveInterpolation_Constant};
    m_points[count - 1] = {kSentinelX, points[pointCount - 1].y, ZkCurveInterpolation_Constant};
    PrepareSegments();
    return ZK_Success;
}

void CZkCurve::PrepareSegments()
{
    if (m_pointCount == 0)
        return;
    for (uint32_t index = 0; index + 1 < m_pointCount; ++index)
    {
        const float width = m_points[index + 1].x - m_points[index].x;
        // Points sharing an x make an empty segment that the search never lands in; a reciprocal
        // of 0 keeps an infinity out of its terms.
        const float reciprocal = width != 0.0f ? 1.0f / width : 0.0f;
        const float delta = m_points[index + 1].y - m_points[index].y;
        m_terms[index] = CurveSegmentTerms(m_points[index].interpolation, reciprocal, delta);
    }
    m_terms[m_pointCount - 1] = {0.0f, 0.0f};
}

void CZkCurve::NormaliseVolumeScaling()
{
    if (m_scaling == ZkCurveScaling_None)
    {
        m_scaling = ZkCurveScaling_DBToLin;
    }
    else if (m_scaling == ZkCurveScaling_SignedDB)
    {
        for (uint32_t index = 0; index < m_pointCount; ++index)
            m_points[index].y += 1.0f;
        m_scaling = ZkCurveScaling_None;
        PrepareSegments();
    }
}

void CZkCurve::Term()
{
    if (m_points != nullptr)
        ZK::MemoryMgr::Free(kPool, m_points);
    m_points = nullptr;
    m_terms = nullptr;
    m_pointCount = 0;
    m_scaling = ZkCurveScaling_None;
}

float CZkCurve::EvaluateUnscaled(float x, uint32_t& cachedSegment) const
{
    if (m_pointCount < 2)
        return 0.0f;
    // Infinite inputs are brought onto the sentinels, where the flat ends give their y (an infinity
    // times a zero factor would be NaN).
    x = std::clamp(x, -kSentinelX, kSentinelX);
    // A cache index from a longer curve is brought back into range before the walk.
    uint32_t index = std::min(cachedSegment, m_pointCount - 2);
    if (x < m_points[index].x)
    {
        while (index > 0 && x < m_points[index].x)
            --index;
    }
    else
    {
        while (x >= m_points[index + 1].x && index + 2 < m_pointCount)
            ++index;
    }
    cachedSegment = index;

    const ZkCurvePoint& point = m_points[index];
    const ZkCurveSegmentTerms& terms = m_terms[index];
    const float r = (x - point.x) * terms.factor;
    return CurveShapeValue(point.interpolation, r, point.y, terms.delta, m_points[index + 1].y);
}

float CZkCurve::Evaluate(float x, uint32_t& cachedSegment) const
{
    return ApplyScaling(EvaluateUnscaled(x, cachedSegment), m_scaling);
}

float CZkCurve::ApplyScaling(float value, uint32_t scaling)
{
    switch (scaling)
    {
    case ZkCurveScaling_SignedDB:
        if (value >= 1.0f)
            return kSignedDBSaturation;
        if (value >= 0.0f)
            return -ZkFastLinToDB(1.0f - value);
        if (value > -1.0f)
            return ZkFastLinToDB(1.0f + value);
        return -kSignedDBSaturation;
    case ZkCurveScaling_Pow10: return ZkFastPow10(value);
    case ZkCurveScaling_DBToLin: return ZkFastPow10(value * kDecibelsToPow10);
    default: return value;
    }
}

bool CZkCurve::GetLinearRange(float& scale, float& offset) const
{
    // Bank points 1 and 2 lie between the two sentinels.
    if (m_pointCount < 4)
        return false;
    const ZkCurvePoint& first = m_points[1];
    const ZkCurvePoint& second = m_points[2];
    const float e = ZkFastPow10(ApplyScaling(first.y, m_scaling) * kDecibelsToPow10);
    const float f = ZkFastPow10(ApplyScaling(second.y, m_scaling) * kDecibelsToPow10);
    const float width = second.x - first.x;
    if (width == 0.0f)
    {
        offset = e;
        scale = 0.0f;
        return true;
    }
    offset = first.x / width * (e - f) + e;
    scale = (1.0f - first.x) / width * (f - e) + e - offset;
    return true;
}
} // namespace ZK::SoundEngine
