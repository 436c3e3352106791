// ZkVbapHelper: vector-base amplitude panning over a speaker set that has top or other extra
// speakers. SetSpeakers places the speakers on the unit sphere, adds a virtual speaker straight
// below and triangulates the set twice: in the (azimuth, elevation) projection and in a second
// projection whose poles lie on the left-right axis, so that each covers the seams of the other.
// A direction is panned by solving every triangle whose circumcircle holds it; triangles that touch
// the virtual speaker are solved as the pair of their two real speakers in the horizontal plane.
//
// Coordinates: x front, y left, z up; azimuth positive to the left, elevation up, in radians.
//
// Threading: Init, SetSpeakers and Term run on one thread (the owning device's, under its lock);
// the gain functions only read the set and may run on any thread once it is built.
// Ownership: vectors and projections come from the plug-in allocator given to Init; the triangle
// lists from the memory manager (pool 5). Term gives everything back.
#pragma once

#include <ZK/SoundEngine/Common/IZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

struct ZkVbapTriangle
{
    uint32_t speakers[3];
    float centre[2];          // circumcentre in the projection of its list
    float radiusSquared;      // squared circumradius plus the containment margin
};

class ZkVbapTriangleList
{
public:
    // Appends; false (the triangle is dropped) when the list cannot grow.
    bool Append(const ZkVbapTriangle& triangle);
    bool Contains(uint32_t a, uint32_t b, uint32_t c) const;
    void Reserve(uint32_t capacity);
    void Free();

    ZkVbapTriangle* items = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0;
};

class ZkVbapHelper
{
public:
    // Margin added to the squared circumradius of every triangle: a direction on a triangle's edge
    // is found by both neighbours.
    static constexpr float kCircumcircleMargin = 0.05f;
    // A point counts as inside another triangle's circumcircle when the in-circle determinant is
    // above this; smaller values keep nearly co-circular speakers (a square of four) triangulated.
    static constexpr float kInCircleTolerance = 0.01f;

    // 1, or 52 when an allocation fails (everything already allocated is freed).
    ZKRESULT Init(ZK::IZkPluginMemAlloc* allocator, uint32_t speakerCount);
    // Directions as (azimuth, elevation) pairs, one per speaker, speakerCount of them.
    void SetSpeakers(const float* directions, uint32_t speakerCount);
    void Term(ZK::IZkPluginMemAlloc* allocator);

    // Power gains of a direction vector into gains[0..speakerCount); summed over every triangle that
    // solves it. A direction with no solvable triangle leaves every gain 0.
    void ComputeGainsForDirection(float x, float y, float z, uint32_t speakerCount, float* gains) const;
    void ComputeGainsForAngles(float azimuth, float elevation, uint32_t speakerCount, float* gains) const;
    // Amplitude gains normalised to unit power.
    void ComputeNormalizedGains(float azimuth, float elevation, uint32_t speakerCount, float* gains) const;

    uint32_t GetSpeakerCount() const { return m_speakerCount; }
    // The four triangle lists: main and virtual-speaker triangles, in the first and second projection.
    const ZkVbapTriangleList& MainTriangles(uint32_t projection) const { return m_main[projection]; }
    const ZkVbapTriangleList& VirtualTriangles(uint32_t projection) const { return m_virtual[projection]; }
    // Unit vector (x, y, z) of speaker i (the virtual speaker is index speakerCount).
    const float* Vector(uint32_t i) const { return m_vectors + 3 * i; }

private:
    void Triangulate(uint32_t projection);
    bool SolveTriangle(const ZkVbapTriangle& triangle, bool touchesVirtual, const float* direction, float* gains) const;

    uint32_t m_speakerCount = 0;      // real speakers
    float* m_vectors = nullptr;       // (N + 1) x 3
    float* m_projections[2] = {};     // (N + 1) x 2 each
    ZkVbapTriangleList m_main[2];
    ZkVbapTriangleList m_virtual[2];
};
