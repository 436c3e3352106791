#include "BiquadFilterSimd.h"

#include <immintrin.h>

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
