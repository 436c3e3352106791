// Vector-base amplitude panning: speaker set, double triangulation and per-direction gains.
#include "ZkVBAP.h"

#include "PanningFastMath.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cmath>
#include <cstring>

namespace
{
using namespace ZkPanMath;

constexpr float kMinDeterminant = 1e-38f;
constexpr float kMinGain = -1e-5f;
constexpr float kMinPairPower = 1.1920929e-7f;   // 2^-23
constexpr float kMinTrianglePower = 1e-38f;

void VectorOfAngles(float azimuth, float elevation, float* v)
{
    const float cosEl = FastCos(elevation);
    v[0] = FastCos(azimuth) * cosEl;
    v[1] = FastSin(azimuth) * cosEl;
    v[2] = FastSin(elevation);
}

// The second projection puts the poles on the left-right axis.
void SecondProjection(const float* v, float* p)
{
    p[0] = FastAtan2(v[2], -v[0]);
    p[1] = FastAsin(-v[1]);
}

bool InCircumcircle(const ZkVbapTriangle& t, const float* point)
{
    const float dx = point[0] - t.centre[0];
    const float dy = point[1] - t.centre[1];
    return dx * dx + dy * dy <= t.radiusSquared;
}
} // namespace

bool ZkVbapTriangleList::Append(const ZkVbapTriangle& triangle)
{
    if (count == capacity)
    {
        const uint32_t grown = capacity == 0 ? 1 : capacity + capacity + capacity / 2;
        void* block = ZK::MemoryMgr::Realloc(ZkMemID_Processing, items, sizeof(ZkVbapTriangle) * grown);
        if (block == nullptr)
            return false;
        items = static_cast<ZkVbapTriangle*>(block);
        capacity = grown;
    }
    items[count++] = triangle;
    return true;
}

bool ZkVbapTriangleList::Contains(uint32_t a, uint32_t b, uint32_t c) const
{
    for (uint32_t i = 0; i < count; ++i)
        if (items[i].speakers[0] == a && items[i].speakers[1] == b && items[i].speakers[2] == c)
            return true;
    return false;
}

void ZkVbapTriangleList::Reserve(uint32_t wanted)
{
    void* block = ZK::MemoryMgr::Malloc(ZkMemID_Processing, sizeof(ZkVbapTriangle) * wanted);
    if (block != nullptr)
    {
        items = static_cast<ZkVbapTriangle*>(block);
        capacity = wanted;
    }
}

void ZkVbapTriangleList::Free()
{
    if (items != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Processing, items);
    items = nullptr;
    count = 0;
    capacity = 0;
}

ZKRESULT ZkVbapHelper::Init(ZK::IZkPluginMemAlloc* allocator, uint32_t speakerCount)
{
    m_speakerCount = speakerCount;
    const uint32_t entries = speakerCount + 1;
    m_vectors = static_cast<float*>(allocator->Malloc(sizeof(float) * 3 * entries, "ZkVBAP", __LINE__));
    m_projections[0] = static_cast<float*>(allocator->Malloc(sizeof(float) * 2 * entries, "ZkVBAP", __LINE__));
    m_projections[1] = static_cast<float*>(allocator->Malloc(sizeof(float) * 2 * entries, "ZkVBAP", __LINE__));
    bool ok = m_vectors != nullptr && m_projections[0] != nullptr && m_projections[1] != nullptr;
    for (uint32_t p = 0; p < 2 && ok; ++p)
    {
        m_main[p].Reserve(2 * entries);
        m_virtual[p].Reserve(2 * entries);
        ok = m_main[p].items != nullptr && m_virtual[p].items != nullptr;
    }
    if (!ok)
    {
        Term(allocator);
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

void ZkVbapHelper::Term(ZK::IZkPluginMemAlloc* allocator)
{
    if (m_vectors != nullptr)
        allocator->Free(m_vectors);
    for (float*& projection : m_projections)
    {
        if (projection != nullptr)
            allocator->Free(projection);
        projection = nullptr;
    }
    m_vectors = nullptr;
    for (uint32_t p = 0; p < 2; ++p)
    {
        m_main[p].Free();
        m_virtual[p].Free();
    }
    m_speakerCount = 0;
}

void ZkVbapHelper::SetSpeakers(const float* directions, uint32_t speakerCount)
{
    if (speakerCount != m_speakerCount || m_vectors == nullptr)
        return;
    for (uint32_t i = 0; i < speakerCount; ++i)
    {
        float azimuth = directions[2 * i];
        float elevation = directions[2 * i + 1];
        WrapAngles(azimuth, elevation);
        VectorOfAngles(azimuth, elevation, m_vectors + 3 * i);
        m_projections[0][2 * i] = azimuth;
        m_projections[0][2 * i + 1] = elevation;
        SecondProjection(m_vectors + 3 * i, m_projections[1] + 2 * i);
    }
    float* below = m_vectors + 3 * speakerCount;
    below[0] = 0.0f;
    below[1] = 0.0f;
    below[2] = -1.0f;
    m_projections[0][2 * speakerCount] = 0.0f;
    m_projections[0][2 * speakerCount + 1] = -kHalfPi;
    SecondProjection(below, m_projections[1] + 2 * speakerCount);
    for (uint32_t p = 0; p < 2; ++p)
    {
        m_main[p].count = 0;
        m_virtual[p].count = 0;
    }
    Triangulate(0);
    Triangulate(1);
}

// Delaunay triangles of one projection by brute force: a triple is kept when no other point lies
// inside its circumcircle (beyond a small tolerance). Runs only when a layout is built.
void ZkVbapHelper::Triangulate(uint32_t projection)
{
    const uint32_t entries = m_speakerCount + 1;
    const float* pts = m_projections[projection];
    for (uint32_t a = 0; a < entries; ++a)
        for (uint32_t b = a + 1; b < entries; ++b)
            for (uint32_t c = b + 1; c < entries; ++c)
            {
                const float ax = pts[2 * a], ay = pts[2 * a + 1];
                const float bx = pts[2 * b], by = pts[2 * b + 1];
                const float cx = pts[2 * c], cy = pts[2 * c + 1];
                const float orientation = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
                if (orientation == 0.0f)
                    continue;
                bool empty = true;
                for (uint32_t d = 0; d < entries && empty; ++d)
                {
                    if (d == a || d == b || d == c)
                        continue;
                    const float dx = pts[2 * d], dy = pts[2 * d + 1];
                    const float adx = ax - dx, ady = ay - dy, bdx = bx - dx, bdy = by - dy, cdx = cx - dx, cdy = cy - dy;
                    float det = (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) -
                                (bdx * bdx + bdy * bdy) * (adx * cdy - cdx * ady) +
                                (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
                    if (orientation < 0.0f)
                        det = -det;
                    if (det > kInCircleTolerance)
                        empty = false;
                }
                if (!empty)
                    continue;
                if (projection == 1 && (m_main[0].Contains(a, b, c) || m_virtual[0].Contains(a, b, c)))
                    continue;
                ZkVbapTriangle t{};
                t.speakers[0] = a;
                t.speakers[1] = b;
                t.speakers[2] = c;
                const float d = 2.0f * orientation;
                const float a2 = ax * ax + ay * ay, b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
                t.centre[0] = (a2 * (by - cy) + b2 * (cy - ay) + c2 * (ay - by)) / d;
                t.centre[1] = (a2 * (cx - bx) + b2 * (ax - cx) + c2 * (bx - ax)) / d;
                const float rx = ax - t.centre[0], ry = ay - t.centre[1];
                t.radiusSquared = rx * rx + ry * ry + kCircumcircleMargin;
                const bool touchesVirtual = c == m_speakerCount; // the virtual speaker has the last index
                (touchesVirtual ? m_virtual[projection] : m_main[projection]).Append(t);
            }
}

bool ZkVbapHelper::SolveTriangle(const ZkVbapTriangle& triangle, bool touchesVirtual, const float* direction,
                                 float* gains) const
{
    if (touchesVirtual)
    {
        const uint32_t i = triangle.speakers[0], j = triangle.speakers[1];
        const float* vi = Vector(i);
        const float* vj = Vector(j);
        const float det = vi[0] * vj[1] - vj[0] * vi[1];
        if (std::fabs(det) < kMinDeterminant)
            return false;
        const float gi = (direction[0] * vj[1] - direction[1] * vj[0]) / det;
        const float gj = (vi[0] * direction[1] - vi[1] * direction[0]) / det;
        if (gi < kMinGain || gj < kMinGain)
            return false;
        const float power = gi * gi + gj * gj;
        if (power < kMinPairPower)
            return false;
        gains[i] += gi * gi / power;
        gains[j] += gj * gj / power;
        return true;
    }
    const float* l1 = Vector(triangle.speakers[0]);
    const float* l2 = Vector(triangle.speakers[1]);
    const float* l3 = Vector(triangle.speakers[2]);
    // Columns are the speaker vectors: solve [l1 l2 l3] g = direction by the adjugate.
    const float det = l1[0] * (l2[1] * l3[2] - l3[1] * l2[2]) - l2[0] * (l1[1] * l3[2] - l3[1] * l1[2]) +
                      l3[0] * (l1[1] * l2[2] - l2[1] * l1[2]);
    if (std::fabs(det) < kMinDeterminant)
        return false;
    const float* d = direction;
    const float g1 = (d[0] * (l2[1] * l3[2] - l3[1] * l2[2]) - l2[0] * (d[1] * l3[2] - l3[1] * d[2]) +
                      l3[0] * (d[1] * l2[2] - l2[1] * d[2])) / det;
    const float g2 = (l1[0] * (d[1] * l3[2] - l3[1] * d[2]) - d[0] * (l1[1] * l3[2] - l3[1] * l1[2]) +
                      l3[0] * (l1[1] * d[2] - d[1] * l1[2])) / det;
    const float g3 = (l1[0] * (l2[1] * d[2] - d[1] * l2[2]) - l2[0] * (l1[1] * d[2] - d[1] * l1[2]) +
                      d[0] * (l1[1] * l2[2] - l2[1] * l1[2])) / det;
    if (g1 < kMinGain || g2 < kMinGain || g3 < kMinGain)
        return false;
    const float power = g1 * g1 + g2 * g2 + g3 * g3;
    if (power < kMinTrianglePower)
        return false;
    gains[triangle.speakers[0]] += g1 * g1 / power;
    gains[triangle.speakers[1]] += g2 * g2 / power;
    gains[triangle.speakers[2]] += g3 * g3 / power;
    return true;
}

void ZkVbapHelper::ComputeGainsForAngles(float azimuth, float elevation, uint32_t speakerCount, float* gains) const
{
    std::memset(gains, 0, sizeof(float) * speakerCount);
    if (speakerCount != m_speakerCount || m_vectors == nullptr || !std::isfinite(azimuth) || !std::isfinite(elevation))
        return;
    WrapAngles(azimuth, elevation);
    // The direction is solved as the vector of its (wrapped) angles: straight down then keeps the
    // small horizontal component of the arcsine fit and lands on the pair below its azimuth.
    float direction[3];
    VectorOfAngles(azimuth, elevation, direction);
    float second[2];
    SecondProjection(direction, second);
    const float first[2] = {azimuth, elevation};
    const bool above = elevation > 0.0f;
    const ZkVbapTriangleList* lists = above ? m_main : m_virtual;
    const float* points[2] = {first, second};
    for (uint32_t p = 0; p < 2; ++p)
        for (uint32_t t = 0; t < lists[p].count; ++t)
            if (InCircumcircle(lists[p].items[t], points[p]))
                SolveTriangle(lists[p].items[t], !above, direction, gains);
}

void ZkVbapHelper::ComputeGainsForDirection(float x, float y, float z, uint32_t speakerCount, float* gains) const
{
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0f) || !std::isfinite(length))
    {
        std::memset(gains, 0, sizeof(float) * speakerCount);
        return;
    }
    ComputeGainsForAngles(FastAtan2(y, x), FastAsin(z / length), speakerCount, gains);
}

void ZkVbapHelper::ComputeNormalizedGains(float azimuth, float elevation, uint32_t speakerCount, float* gains) const
{
    ComputeGainsForAngles(azimuth, elevation, speakerCount, gains);
    float total = 0.0f;
    for (uint32_t i = 0; i < speakerCount; ++i)
        total += gains[i];
    if (total == 0.0f)
        total = 1.0f;
    for (uint32_t i = 0; i < speakerCount; ++i)
    {
        const float power = gains[i] / total;
        // A speaker outside every solved triangle has power 0 and stays silent. The polynomial
        // square root is 0.0718 at 0: applied there too, it would give every such speaker an
        // amplitude of -23 dB, spreading a point source over the whole layout.
        gains[i] = power > 0.0f ? FastSqrtUnit(power) : 0.0f;
    }
}
