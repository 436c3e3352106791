// The biquad recurrence over planar channels, in three vector forms beside the scalar reference for
// one channel (the documentation and the test oracle):
// - four channels at once, one channel per lane, four frames per step (transposed in and out of
//   the lanes), with the plain coefficients: the same operations in the same order as the scalar
//   form, so they agree to the last bit;
// - a pair of channels, two frames of each per step, and a single channel, four frames per step,
//   with the look-ahead weights of BiquadLookAhead.h: the recurrence unrolled, equal to the scalar
//   form to float rounding. Frames left over at the end of a call (an odd frame of a pair, up to
//   three of a single channel) run through the scalar form, so a call never touches a frame past
//   the ones it is given.
//
// History of four channels is kept lane-wise (x1, x2, y1, y2 of lanes 0-3), 16-byte aligned; a
// channel that is not part of a whole group of four uses its lane of the last group: a pair takes
// two neighbouring lanes, a single channel one. The forms share this history, so any of them can
// continue where another stopped.
//
// Threading: stateless apart from the history passed in. Audio thread: no allocation, no locks.
// In place is allowed (in == out).
#pragma once

#include "BiquadCoefficients.h"
#include "BiquadLookAhead.h"

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
// Channels A and B (lanes firstLane and firstLane + 1 of the history).
void BiquadRunPairSse(const float* const in[2], float* const out[2], uint32_t frames, const BiquadCoefficients& c,
                      const BiquadPairWeights& weights, BiquadLaneHistory& history, uint32_t firstLane);
void BiquadRunSingleSse(const float* in, float* out, uint32_t frames, const BiquadCoefficients& c,
                        const BiquadSingleWeights& weights, BiquadLaneHistory& history, uint32_t lane);
