// The biquad recurrence over planar channels, in two forms: a scalar reference for one channel
// (the documentation and the test oracle) and an SSE form that runs four channels at once, one
// channel per lane, four frames per step (transposed in and out of the lanes).
//
// History of four channels is kept lane-wise (x1, x2, y1, y2 of lanes 0-3), 16-byte aligned; a
// channel that is not part of a whole group of four uses its lane of the last group with the
// scalar form. Both forms compute y = b0 x + b1 x1 + b2 x2 + (-a1) y1 + (-a2) y2 in that order, so
// they agree to the last bit on the same input.
//
// Threading: stateless apart from the history passed in. Audio thread: no allocation, no locks.
// In place is allowed (in == out).
#pragma once

#include "BiquadCoefficients.h"

#include <cstdint>

struct alignas(16) BiquadLaneHistory
{
    float x1[4];
    float x2[4];
    float y1[4];
    float y2[4];
};
static_assert(sizeof(BiquadLaneHistory) == 64, "four lanes of four history values");

void BiquadRunScalar(const float* in, float* out, uint32_t frames, const BiquadCoefficients& c,
                     BiquadLaneHistory& history, uint32_t lane);
void BiquadRunFourChannelsSse(const float* const in[4], float* const out[4], uint32_t frames,
                              const BiquadCoefficients& c, BiquadLaneHistory& history);
