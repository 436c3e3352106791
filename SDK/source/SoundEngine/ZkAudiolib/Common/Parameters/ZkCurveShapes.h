// The segment shapes shared by curves and transitions. A segment from y0 to y1 is evaluated from
// two precomputed terms (a factor that scales the input into the shape's natural range, and a delta
// term) with short polynomials instead of library sines, cosines and powers.
//
// Given the segment's reciprocal width a and D = y1 - y0, SegmentTerms gives {factor, delta term};
// then with r = (x - x0) * factor, ShapeValue(shape, r, y0, delta term, y1) is the value. A shape
// above 9 evaluates to 0 (a malformed bank or a mirrored shape 9).
//
// Threading and ownership: pure functions.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr float kCurveHalfPi = 1.5707964f;
constexpr float kCurvePi = 3.1415927f;

struct ZkCurveSegmentTerms
{
    float factor;
    float delta;
};

inline ZkCurveSegmentTerms CurveSegmentTerms(uint32_t shape, float a, float delta)
{
    switch (shape)
    {
    case 1:
    case 7: return {a * kCurveHalfPi, delta};
    case 3:
    case 5: return {a * kCurvePi, delta};
    case 4: return {delta * a, delta};
    case 9: return {0.0f, delta};
    case 2: return {a, delta * -0.5f};
    case 6: return {a, delta * 0.5f};
    default: return {a, delta};
    }
}

// Half sine over 0..pi/2 divided by r: sin(r) / (2 r) for u = r^2.
inline float CurveHalfSinePolynomial(float u)
{
    return ((0.0041531627f - 9.181827e-5f * u) * u - 0.08332414f) * u + 0.4999983f;
}

inline float CurveShapeValue(uint32_t shape, float r, float start, float d, float end)
{
    const float f = r * r;
    switch (shape)
    {
    case 4: return r + start;
    // r is 0 for a constant segment (its factor is 0); returning y0 itself also keeps an infinite
    // input on the flat ends from turning into NaN (infinity times 0).
    case 9: return start;
    case 0:
    {
        const float rest = 1.0f - r;
        return end - rest * rest * rest * d;
    }
    case 1:
        return (0.98676056f - 0.31409565f * r + (0.36475623f - 0.11610551f * r) * r - (0.116105504f - 0.03695753f * r) * f) *
                   r * d +
               start;
    case 2: return (r - 3.0f) * r * d + start;
    case 3:
        if (r <= kCurveHalfPi)
            return CurveHalfSinePolynomial(f) * r * d + start;
        else
        {
            const float g = kCurvePi - r;
            return (1.0f - CurveHalfSinePolynomial(g * g) * g) * d + start;
        }
    case 5: return (((4.84834e-4f * f - 0.01961384f) * f + 0.2476748f) * f + 0.00069670216f) * d + start;
    case 6: return (r + 1.0f) * r * d + start;
    case 7: return end - (((0.04148775f - 0.0012712094f * f) * f - 0.49991244f) * f + 0.9999933f) * d;
    case 8: return d * r * f + start;
    default: return 0.0f;
    }
}
} // namespace ZK::SoundEngine
