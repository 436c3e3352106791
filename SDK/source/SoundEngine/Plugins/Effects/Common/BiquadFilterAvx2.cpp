// The wide (AVX2 with fused multiply-add) look-ahead forms of the biquad. The recurrence is the
// bound of a filtered voice, so each step does as much independent work as the lanes hold and keeps
// the loop-carried chain to the two multiply-adds of the state update (BiquadLookAhead.h):
// - a pair of channels: four frames of each channel per step, channel A in the low half of the
//   vector and channel B in the high half, with the four-frame weights in both halves;
// - a single channel: eight frames per step.
// The input part of a step (weights times inputs, summed as a tree) does not depend on the
// previous step, so the processor runs it ahead while the state chain completes.
#include "BiquadFilterSimd.h"

#include "ZkAudiolib/Common/Mixing/ZkSimdTarget.h"

#include <immintrin.h>

namespace
{
struct WideState
{
    __m256 lastY1, lastStep, stepY1, stepStep;

    ZK_TARGET_AVX2 explicit WideState(const BiquadStateWeights& w)
        : lastY1(_mm256_set1_ps(w.lastY1)), lastStep(_mm256_set1_ps(w.lastStep)), stepY1(_mm256_set1_ps(w.stepY1)),
          stepStep(_mm256_set1_ps(w.stepStep))
    {
    }

    // y1 and step (broadcast) advance to the last frame of the step; last and beforeLast are the
    // input parts of the step's last two frames, broadcast.
    ZK_TARGET_AVX2 void Advance(__m256& y1, __m256& step, __m256 last, __m256 beforeLast) const
    {
        const __m256 nextY1 = _mm256_add_ps(_mm256_fmadd_ps(lastY1, y1, last), _mm256_mul_ps(lastStep, step));
        step = _mm256_add_ps(_mm256_fmadd_ps(stepY1, y1, _mm256_sub_ps(last, beforeLast)), _mm256_mul_ps(stepStep, step));
        y1 = nextY1;
    }
};

ZK_TARGET_AVX2 inline __m256 Halves(float low, float high) { return _mm256_set_m128(_mm_set1_ps(high), _mm_set1_ps(low)); }

ZK_TARGET_AVX2 inline __m256 BothHalves(const float* four)
{
    return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(four));
}
} // namespace

ZK_TARGET_AVX2 void BiquadRunPairAvx2(const float* const in[2], float* const out[2], uint32_t frames,
                                      const BiquadCoefficients& c, const BiquadSingleWeights& w,
                                      const BiquadStateWeights& stateWeights, BiquadLaneHistory& history,
                                      uint32_t firstLane)
{
    uint32_t k = 0;
    if (frames >= 4)
    {
        const __m256 row0 = BothHalves(w.x[0]), row1 = BothHalves(w.x[1]);
        const __m256 row2 = BothHalves(w.x[2]), row3 = BothHalves(w.x[3]);
        const __m256 wX1 = BothHalves(w.x1), wX2 = BothHalves(w.x2);
        const __m256 wY1 = BothHalves(w.y1), wStep = BothHalves(w.step);
        const WideState state(stateWeights);
        const uint32_t a = firstLane, b = firstLane + 1;
        __m256 x1 = Halves(history.x1[a], history.x1[b]);
        __m256 x2 = Halves(history.x2[a], history.x2[b]);
        __m256 y1 = Halves(history.y1[a], history.y1[b]);
        __m256 step = Halves(history.y1[a] - history.y2[a], history.y1[b] - history.y2[b]);
        __m256 y = _mm256_setzero_ps();
        for (; k + 4 <= frames; k += 4)
        {
            const __m256 x = _mm256_set_m128(_mm_loadu_ps(in[1] + k), _mm_loadu_ps(in[0] + k));
            const __m256 x0 = _mm256_permute_ps(x, _MM_SHUFFLE(0, 0, 0, 0));
            const __m256 xa = _mm256_permute_ps(x, _MM_SHUFFLE(1, 1, 1, 1));
            const __m256 xb = _mm256_permute_ps(x, _MM_SHUFFLE(2, 2, 2, 2));
            const __m256 xc = _mm256_permute_ps(x, _MM_SHUFFLE(3, 3, 3, 3));
            const __m256 even = _mm256_fmadd_ps(wX1, x1, _mm256_fmadd_ps(row2, xb, _mm256_mul_ps(row0, x0)));
            const __m256 odd = _mm256_fmadd_ps(wX2, x2, _mm256_fmadd_ps(row3, xc, _mm256_mul_ps(row1, xa)));
            const __m256 inputPart = _mm256_add_ps(even, odd);
            y = _mm256_fmadd_ps(wStep, step, _mm256_fmadd_ps(wY1, y1, inputPart));
            _mm_storeu_ps(out[0] + k, _mm256_castps256_ps128(y));
            _mm_storeu_ps(out[1] + k, _mm256_extractf128_ps(y, 1));
            state.Advance(y1, step, _mm256_permute_ps(inputPart, _MM_SHUFFLE(3, 3, 3, 3)),
                          _mm256_permute_ps(inputPart, _MM_SHUFFLE(2, 2, 2, 2)));
            x1 = xc;
            x2 = xb;
        }
        // The history holds the last two inputs and the last two outputs as written.
        alignas(32) float lanes[3][8];
        _mm256_store_ps(lanes[0], x1);
        _mm256_store_ps(lanes[1], x2);
        _mm256_store_ps(lanes[2], y);
        history.x1[a] = lanes[0][0];
        history.x1[b] = lanes[0][4];
        history.x2[a] = lanes[1][0];
        history.x2[b] = lanes[1][4];
        history.y1[a] = lanes[2][3];
        history.y1[b] = lanes[2][7];
        history.y2[a] = lanes[2][2];
        history.y2[b] = lanes[2][6];
    }
    if (k < frames)
    {
        BiquadRunScalar(in[0] + k, out[0] + k, frames - k, c, history, firstLane);
        BiquadRunScalar(in[1] + k, out[1] + k, frames - k, c, history, firstLane + 1);
    }
}

ZK_TARGET_AVX2 void BiquadRunSingleAvx2(const float* in, float* out, uint32_t frames, const BiquadCoefficients& c,
                                        const BiquadEightFrameWeights& w, BiquadLaneHistory& history, uint32_t lane)
{
    uint32_t k = 0;
    if (frames >= 8)
    {
        __m256 rows[8];
        for (int i = 0; i < 8; ++i)
            rows[i] = _mm256_loadu_ps(w.x[i]);
        const __m256 wX1 = _mm256_loadu_ps(w.x1), wX2 = _mm256_loadu_ps(w.x2);
        const __m256 wY1 = _mm256_loadu_ps(w.y1), wStep = _mm256_loadu_ps(w.step);
        const WideState state(w.state);
        const __m256i lastLane = _mm256_set1_epi32(7), beforeLastLane = _mm256_set1_epi32(6);
        __m256 x1 = _mm256_set1_ps(history.x1[lane]);
        __m256 x2 = _mm256_set1_ps(history.x2[lane]);
        __m256 y1 = _mm256_set1_ps(history.y1[lane]);
        __m256 step = _mm256_set1_ps(history.y1[lane] - history.y2[lane]);
        __m256 y = _mm256_setzero_ps();
        for (; k + 8 <= frames; k += 8)
        {
            const float* x = in + k;
            // Every input is read before the step's outputs are stored (in place is allowed).
            const __m256 x6 = _mm256_broadcast_ss(x + 6), x7 = _mm256_broadcast_ss(x + 7);
            __m256 sum0 = _mm256_fmadd_ps(rows[4], _mm256_broadcast_ss(x + 4), _mm256_mul_ps(rows[0], _mm256_broadcast_ss(x)));
            __m256 sum1 = _mm256_fmadd_ps(rows[5], _mm256_broadcast_ss(x + 5), _mm256_mul_ps(rows[1], _mm256_broadcast_ss(x + 1)));
            __m256 sum2 = _mm256_fmadd_ps(rows[6], x6, _mm256_mul_ps(rows[2], _mm256_broadcast_ss(x + 2)));
            __m256 sum3 = _mm256_fmadd_ps(rows[7], x7, _mm256_mul_ps(rows[3], _mm256_broadcast_ss(x + 3)));
            sum2 = _mm256_fmadd_ps(wX1, x1, sum2);
            sum3 = _mm256_fmadd_ps(wX2, x2, sum3);
            const __m256 inputPart = _mm256_add_ps(_mm256_add_ps(sum0, sum1), _mm256_add_ps(sum2, sum3));
            y = _mm256_fmadd_ps(wStep, step, _mm256_fmadd_ps(wY1, y1, inputPart));
            _mm256_storeu_ps(out + k, y);
            state.Advance(y1, step, _mm256_permutevar8x32_ps(inputPart, lastLane),
                          _mm256_permutevar8x32_ps(inputPart, beforeLastLane));
            x1 = x7;
            x2 = x6;
        }
        alignas(32) float outputs[8];
        _mm256_store_ps(outputs, y);
        history.x1[lane] = _mm256_cvtss_f32(x1);
        history.x2[lane] = _mm256_cvtss_f32(x2);
        history.y1[lane] = outputs[7];
        history.y2[lane] = outputs[6];
    }
    if (k < frames)
        BiquadRunScalar(in + k, out + k, frames - k, c, history, lane);
}
