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
// Beside them, the wide forms (AVX2 with fused multiply-add, BiquadFilterAvx2.cpp): a pair of
// channels four frames at a time and a single channel eight frames at a time, with the look-ahead
// weights and the state update of BiquadLookAhead.h; frames left over run through the scalar form.
// The filter stages use them once the renderer's initialisation has found the processor fit for
// them (BiquadUseWideForms), and the SSE forms otherwise.
//
// Threading: stateless apart from the history passed in. Audio thread: no allocation, no locks.
// In place is allowed (in == out). The choice of forms is written before rendering starts.
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

// Only callable when the processor has AVX2 and FMA.
void BiquadRunPairAvx2(const float* const in[2], float* const out[2], uint32_t frames, const BiquadCoefficients& c,
                       const BiquadSingleWeights& weights, const BiquadStateWeights& stateWeights,
                       BiquadLaneHistory& history, uint32_t firstLane);
void BiquadRunSingleAvx2(const float* in, float* out, uint32_t frames, const BiquadCoefficients& c,
                         const BiquadEightFrameWeights& weights, BiquadLaneHistory& history, uint32_t lane);

// Whether the filter stages compute weights for, and run, the wide forms (false until set).
void BiquadUseWideForms(bool wide);
bool BiquadWideFormsInUse();
