// Look-ahead weights of the biquad recurrence: the recurrence
//   y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
// unrolled over a few frames, so that each of those frames' outputs is a weighted sum of the
// inputs and of the two outputs before the first of them, with no output of the same step on the
// right-hand side. The vector forms that process one or two channels (BiquadFilterSimd.h) compute
// several frames of one channel at once from these weights. They give the recurrence's output to
// float rounding (the weights are expanded in double precision, then rounded once).
//
// The two past outputs enter as y[n-1] and the step y[n-1] - y[n-2]: at low cutoffs the output
// changes slowly and the weights of y[n-1] and y[n-2] nearly cancel, so the rounding of those two
// large weights would grow into the output (to some fifteen times the scalar form's own rounding
// at 17 Hz); the step's small value keeps it near the scalar form's.
//
// Threading: pure functions.
#pragma once

#include "BiquadCoefficients.h"

// Two frames of each of two channels per step. Lanes: channel A frame n, channel A frame n + 1,
// channel B frame n, channel B frame n + 1; each row is the weight of one term for those lanes (the
// same two weights for both channels).
struct alignas(16) BiquadPairWeights
{
    float next[4];    // x[n + 1]
    float current[4]; // x[n]
    float x1[4];      // x[n - 1]
    float x2[4];      // x[n - 2]
    float y1[4];      // y[n - 1]
    float step[4];    // y[n - 1] - y[n - 2]
};
static_assert(sizeof(BiquadPairWeights) == 24 * sizeof(float), "the pair form has 24 weights");

// N frames of one channel per step. Lanes: frames n to n + N - 1.
template <int Frames>
struct alignas(16) BiquadBlockWeights
{
    float x[Frames][Frames]; // row i: x[n + i]
    float x1[Frames];        // x[n - 1]
    float x2[Frames];        // x[n - 2]
    float y1[Frames];        // y[n - 1]
    float step[Frames];      // y[n - 1] - y[n - 2]
};

// Four frames of one channel per step (the single form, SSE).
using BiquadSingleWeights = BiquadBlockWeights<4>;
static_assert(sizeof(BiquadSingleWeights) == 32 * sizeof(float), "the single form has 32 weights");

// The wide forms (AVX2) carry their state from step to step as y[n - 1] and the step
// y[n - 1] - y[n - 2], each broadcast to every lane, and advance both straight from the previous
// state and the step's input part, without going through the step's own outputs: the two
// multiply-adds of this update are the whole loop-carried chain of a step. With the last frame
// f of a step (P the input part of frame f, Q that of frame f less that of frame f - 1):
//   y[n + f]                   = P + lastY1 y[n - 1] + lastStep (y[n - 1] - y[n - 2])
//   y[n + f] - y[n + f - 1]    = Q + stepY1 y[n - 1] + stepStep (y[n - 1] - y[n - 2])
struct BiquadStateWeights
{
    float lastY1;
    float lastStep;
    float stepY1;
    float stepStep;
};

// Eight frames of one channel per step (AVX2), and the state update.
struct BiquadEightFrameWeights : BiquadBlockWeights<8>
{
    BiquadStateWeights state;
};

BiquadPairWeights MakeBiquadPairWeights(const BiquadCoefficients& c);
BiquadSingleWeights MakeBiquadSingleWeights(const BiquadCoefficients& c);
BiquadEightFrameWeights MakeBiquadEightFrameWeights(const BiquadCoefficients& c);
// The state update of a four-frame step (the single form's weights, used two channels at a time by
// the wide pair form).
BiquadStateWeights MakeBiquadFourFrameStateWeights(const BiquadCoefficients& c);
