// Curve shapes, curve scalings and the curve point of banks: the vocabulary of the engine's
// piecewise curves (game-parameter subscriptions, attenuations, crossfades) and of its transitions.
//
// Threading and ownership: plain value types.
#pragma once

#include <cstdint>

// Shape of one curve segment (or of a whole transition), from its start value y0 to its end value
// y1, t being the fraction 0..1 of the segment and D = y1 - y0. The engine evaluates fast
// polynomial forms of these shapes; the names describe what they approximate.
enum ZkCurveInterpolation : uint32_t
{
    ZkCurveInterpolation_Log3 = 0,          // y1 - D (1 - t)^3
    ZkCurveInterpolation_Sine = 1,          // y0 + D sin(t pi/2)
    ZkCurveInterpolation_Log1 = 2,          // y0 + D (3t - t^2) / 2
    ZkCurveInterpolation_InvSCurve = 3,     // y0 + D sin(t pi)/2, then y0 + D (1 - sin(t pi)/2)
    ZkCurveInterpolation_Linear = 4,        // y0 + D t
    ZkCurveInterpolation_SCurve = 5,        // y0 + D (1 - cos(t pi)) / 2
    ZkCurveInterpolation_Exp1 = 6,          // y0 + D (t^2 + t) / 2
    ZkCurveInterpolation_SineRecip = 7,     // y1 - D cos(t pi/2)
    ZkCurveInterpolation_Exp3 = 8,          // y0 + D t^3
    ZkCurveInterpolation_Constant = 9,      // y0 (curves only)
    ZkCurveInterpolation_LastFadeCurve = 8, // transitions accept 0..8
};

// Mapping applied to a curve's output.
enum ZkCurveScaling : uint32_t
{
    ZkCurveScaling_None = 0,
    ZkCurveScaling_Unused = 1,   // treated as none
    ZkCurveScaling_SignedDB = 2, // -1..1 to decibels, saturating at -4096 and +4096
    ZkCurveScaling_Pow10 = 3,    // 10^v
    ZkCurveScaling_DBToLin = 4,  // decibels to linear gain
};

// One curve point as banks store it (12 bytes, little-endian): the shape is that of the segment
// that starts at this point.
struct ZkCurvePoint
{
    float x;
    float y;
    uint32_t interpolation; // ZkCurveInterpolation
};
static_assert(sizeof(ZkCurvePoint) == 12, "bank curve points are 12 bytes");
