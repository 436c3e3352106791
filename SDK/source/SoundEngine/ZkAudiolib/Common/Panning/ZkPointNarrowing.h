// Geometry of three-dimensional panning: unit directions, the rotation that turns a direction onto
// the axis (0, 0, 1) and back, and the narrowing that draws a point towards that axis. The panner
// narrows each channel's cloud of virtual points with its focus and the whole arrangement around
// the emitter with its spread; the channel-direction warp of positioned buses uses the same rotation.
//
// Engine coordinates: x right, y up, z front.
//
// Threading and ownership: value types and pure functions.
#pragma once

#include "PanningFastMath.h"

#include <cmath>

namespace ZkPanGeometry
{
struct Vec3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 Scaled(const Vec3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
// The unit vector of v; v itself when its length is 0.
inline Vec3 Normalized(const Vec3& v)
{
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? Scaled(v, 1.0f / length) : v;
}

// A rotation as three rows; Apply multiplies by it, ApplyInverse by its transpose.
struct Rotation
{
    Vec3 rows[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

    Vec3 Apply(const Vec3& v) const { return {Dot(rows[0], v), Dot(rows[1], v), Dot(rows[2], v)}; }
    Vec3 ApplyInverse(const Vec3& v) const
    {
        return Vec3{rows[0].x * v.x + rows[1].x * v.y + rows[2].x * v.z,
                    rows[0].y * v.x + rows[1].y * v.y + rows[2].y * v.z,
                    rows[0].z * v.x + rows[1].z * v.y + rows[2].z * v.z};
    }
};

// The rotation about d x (0, 0, 1) that takes the direction of d onto (0, 0, 1): the identity for a
// zero vector or one already on the axis, a half-turn about x for one straight behind.
inline Rotation RotationOntoAxis(const Vec3& d)
{
    Rotation r;
    const Vec3 u = Normalized(d);
    const float s = std::sqrt(u.x * u.x + u.y * u.y); // sine of the angle to the axis
    const float c = u.z;
    if (s < 1e-7f)
    {
        if (c < 0.0f)
        {
            r.rows[1] = {0.0f, -1.0f, 0.0f};
            r.rows[2] = {0.0f, 0.0f, -1.0f};
        }
        return r;
    }
    // Rodrigues' formula about the unit axis k = (u.y, -u.x, 0) / s.
    const float kx = u.y / s;
    const float ky = -u.x / s;
    const float t = 1.0f - c;
    r.rows[0] = {c + kx * kx * t, kx * ky * t, ky * s};
    r.rows[1] = {kx * ky * t, c + ky * ky * t, -kx * s};
    r.rows[2] = {-ky * s, kx * s, c};
    return r;
}

// Draws a unit point towards the axis (0, 0, 1): factor q = 1 keeps it, q = 0 collapses it onto the
// axis. Above one half the angle from the axis is multiplied by q (polynomial arcsine and sine);
// below, the point slides along the axis by 1 / sin(pi q) and is renormalised.
inline Vec3 NarrowTowardsAxis(Vec3 p, float q)
{
    if (q > 0.5f)
    {
        if (p.x * p.x + p.y * p.y < 0.0001f) // closer than 0.01 to the axis line: onto the axis
            p = {0.0f, 0.0f, p.z < 0.0f ? -1.0f : 1.0f};
        const float z = std::fmax(p.z, -1.0f);
        const float z2 = z * z;
        const float asinZ = z * (1.085865f - 0.35786f * z2 + 0.719088f * z2 * z2);
        const float a = (1.0f - q) * ZkPanMath::kHalfPi + q * asinZ;
        const float a2 = a * a;
        const float newZ = a * (1.0f - a2 / 6.0f + a2 * a2 / 120.0f);
        const float lateral = std::fmax(p.x * p.x + p.y * p.y, 0.0001f);
        const float scale = std::sqrt(std::fmax(1.0f - newZ * newZ, 0.0f) / lateral);
        return Normalized({p.x * scale, p.y * scale, newZ});
    }
    const float shift = 1.0f / (ZkPanMath::FastSin(ZkPanMath::kPi * q) + 0.0001f);
    return Normalized({p.x, p.y, std::fmax(p.z, -0.999f) + shift});
}
} // namespace ZkPanGeometry
