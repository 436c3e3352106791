#include "BiquadFilterSimd.h"

#include <atomic>
#include <immintrin.h>

namespace
{
std::atomic<bool> g_wideForms{false};
} // namespace

void BiquadUseWideForms(bool wide) { g_wideForms.store(wide, std::memory_order_relaxed); }
bool BiquadWideFormsInUse() { return g_wideForms.load(std::memory_order_relaxed); }

void BiquadRunScalar(const float* in, float* out, uint32_t frames, const BiquadCoefficients& c,
                     BiquadLaneHistory& history, uint32_t lane)
{
    const float minusA1 = -c.a1;
    const float minusA2 = -c.a2;
    float x1 = history.x1[lane], x2 = history.x2[lane];
    float y1 = history.y1[lane], y2 = history.y2[lane];
    for (uint32_t k = 0; k < frames; ++k)
    {
        const float x = in[k];
        const float y = c.b0 * x + c.b1 * x1 + c.b2 * x2 + minusA1 * y1 + minusA2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        out[k] = y;
    }
    history.x1[lane] = x1;
    history.x2[lane] = x2;
    history.y1[lane] = y1;
    history.y2[lane] = y2;
}

namespace
{
struct LaneCoefficients
{
    __m128 b0, b1, b2, minusA1, minusA2;

    explicit LaneCoefficients(const BiquadCoefficients& c)
        : b0(_mm_set1_ps(c.b0)), b1(_mm_set1_ps(c.b1)), b2(_mm_set1_ps(c.b2)), minusA1(_mm_set1_ps(-c.a1)),
          minusA2(_mm_set1_ps(-c.a2))
    {
    }
};

struct LaneState
{
    __m128 x1, x2, y1, y2;

    // One frame of four channels.
    __m128 Step(__m128 x, const LaneCoefficients& c)
    {
        __m128 y = _mm_mul_ps(c.b0, x);
        y = _mm_add_ps(y, _mm_mul_ps(c.b1, x1));
        y = _mm_add_ps(y, _mm_mul_ps(c.b2, x2));
        y = _mm_add_ps(y, _mm_mul_ps(c.minusA1, y1));
        y = _mm_add_ps(y, _mm_mul_ps(c.minusA2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};
} // namespace

void BiquadRunFourChannelsSse(const float* const in[4], float* const out[4], uint32_t frames,
                              const BiquadCoefficients& coefficients, BiquadLaneHistory& history)
{
    const LaneCoefficients c(coefficients);
    LaneState state{_mm_load_ps(history.x1), _mm_load_ps(history.x2), _mm_load_ps(history.y1),
                    _mm_load_ps(history.y2)};
    uint32_t k = 0;
    for (; k + 4 <= frames; k += 4)
    {
        // Rows are channels; after the transpose, rows are frames.
        __m128 f0 = _mm_loadu_ps(in[0] + k);
        __m128 f1 = _mm_loadu_ps(in[1] + k);
        __m128 f2 = _mm_loadu_ps(in[2] + k);
        __m128 f3 = _mm_loadu_ps(in[3] + k);
        _MM_TRANSPOSE4_PS(f0, f1, f2, f3);
        f0 = state.Step(f0, c);
        f1 = state.Step(f1, c);
        f2 = state.Step(f2, c);
        f3 = state.Step(f3, c);
        _MM_TRANSPOSE4_PS(f0, f1, f2, f3);
        _mm_storeu_ps(out[0] + k, f0);
        _mm_storeu_ps(out[1] + k, f1);
        _mm_storeu_ps(out[2] + k, f2);
        _mm_storeu_ps(out[3] + k, f3);
    }
    for (; k < frames; ++k)
    {
        alignas(16) float y[4];
        _mm_store_ps(y, state.Step(_mm_setr_ps(in[0][k], in[1][k], in[2][k], in[3][k]), c));
        for (uint32_t lane = 0; lane < 4; ++lane)
            out[lane][k] = y[lane];
    }
    _mm_store_ps(history.x1, state.x1);
    _mm_store_ps(history.x2, state.x2);
    _mm_store_ps(history.y1, state.y1);
    _mm_store_ps(history.y2, state.y2);
}

namespace
{
// Two floats from memory into the low (or high) half of a vector.
inline __m128 LoadLow(__m128 v, const float* p) { return _mm_loadl_pi(v, reinterpret_cast<const __m64*>(p)); }
inline __m128 LoadHigh(__m128 v, const float* p) { return _mm_loadh_pi(v, reinterpret_cast<const __m64*>(p)); }

// Lanes {a, a, b, b} from two history lanes.
inline __m128 PairState(const float* values, uint32_t firstLane)
{
    return _mm_setr_ps(values[firstLane], values[firstLane], values[firstLane + 1], values[firstLane + 1]);
}

inline __m128 Weighted(__m128 sum, const float* weights, __m128 values)
{
    return _mm_add_ps(sum, _mm_mul_ps(_mm_load_ps(weights), values));
}
} // namespace

void BiquadRunPairSse(const float* const in[2], float* const out[2], uint32_t frames, const BiquadCoefficients& c,
                      const BiquadPairWeights& w, BiquadLaneHistory& history, uint32_t firstLane)
{
    // State lanes {A, A, B, B}: each channel's value, once for each of its two frames.
    __m128 x1 = PairState(history.x1, firstLane);
    __m128 x2 = PairState(history.x2, firstLane);
    __m128 y1 = PairState(history.y1, firstLane);
    __m128 y2 = PairState(history.y2, firstLane);
    uint32_t k = 0;
    for (; k + 2 <= frames; k += 2)
    {
        // {A[k], A[k + 1], B[k], B[k + 1]}, split into the frames' values for both lanes of a channel.
        const __m128 pair = LoadHigh(LoadLow(_mm_setzero_ps(), in[0] + k), in[1] + k);
        const __m128 current = _mm_shuffle_ps(pair, pair, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 next = _mm_shuffle_ps(pair, pair, _MM_SHUFFLE(3, 3, 1, 1));
        __m128 y = _mm_mul_ps(_mm_load_ps(w.next), next);
        y = Weighted(y, w.current, current);
        y = Weighted(y, w.x1, x1);
        y = Weighted(y, w.x2, x2);
        y = Weighted(y, w.y1, y1);
        y = Weighted(y, w.step, _mm_sub_ps(y1, y2));
        _mm_storel_pi(reinterpret_cast<__m64*>(out[0] + k), y);
        _mm_storeh_pi(reinterpret_cast<__m64*>(out[1] + k), y);
        x2 = current;
        x1 = next;
        y2 = _mm_shuffle_ps(y, y, _MM_SHUFFLE(2, 2, 0, 0));
        y1 = _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 1, 1));
    }
    alignas(16) float lanes[4][4];
    _mm_store_ps(lanes[0], x1);
    _mm_store_ps(lanes[1], x2);
    _mm_store_ps(lanes[2], y1);
    _mm_store_ps(lanes[3], y2);
    for (uint32_t channel = 0; channel < 2; ++channel)
    {
        const uint32_t lane = firstLane + channel;
        history.x1[lane] = lanes[0][2 * channel];
        history.x2[lane] = lanes[1][2 * channel];
        history.y1[lane] = lanes[2][2 * channel];
        history.y2[lane] = lanes[3][2 * channel];
        if (k < frames)
            BiquadRunScalar(in[channel] + k, out[channel] + k, frames - k, c, history, lane);
    }
}

void BiquadRunSingleSse(const float* in, float* out, uint32_t frames, const BiquadCoefficients& c,
                        const BiquadSingleWeights& w, BiquadLaneHistory& history, uint32_t lane)
{
    // State broadcast to the four lanes (frames k to k + 3).
    __m128 x1 = _mm_set1_ps(history.x1[lane]);
    __m128 x2 = _mm_set1_ps(history.x2[lane]);
    __m128 y1 = _mm_set1_ps(history.y1[lane]);
    __m128 y2 = _mm_set1_ps(history.y2[lane]);
    uint32_t k = 0;
    for (; k + 4 <= frames; k += 4)
    {
        const __m128 x = _mm_loadu_ps(in + k);
        const __m128 x0 = _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0));
        const __m128 xa = _mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 1, 1));
        const __m128 xb = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 2, 2));
        const __m128 xc = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
        __m128 y = _mm_mul_ps(_mm_load_ps(w.x[0]), x0);
        y = Weighted(y, w.x[1], xa);
        y = Weighted(y, w.x[2], xb);
        y = Weighted(y, w.x[3], xc);
        y = Weighted(y, w.x1, x1);
        y = Weighted(y, w.x2, x2);
        y = Weighted(y, w.y1, y1);
        y = Weighted(y, w.step, _mm_sub_ps(y1, y2));
        _mm_storeu_ps(out + k, y);
        x2 = xb;
        x1 = xc;
        y2 = _mm_shuffle_ps(y, y, _MM_SHUFFLE(2, 2, 2, 2));
        y1 = _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3));
    }
    history.x1[lane] = _mm_cvtss_f32(x1);
    history.x2[lane] = _mm_cvtss_f32(x2);
    history.y1[lane] = _mm_cvtss_f32(y1);
    history.y2[lane] = _mm_cvtss_f32(y2);
    if (k < frames)
        BiquadRunScalar(in + k, out + k, frames - k, c, history, lane);
}
