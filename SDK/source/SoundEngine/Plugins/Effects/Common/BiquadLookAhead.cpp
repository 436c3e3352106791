#include "BiquadLookAhead.h"

namespace
{
constexpr int kMaxFrames = 8;
constexpr int kSingleFrames = 4; // the single form (SSE); the pair form uses two of them
constexpr int kEightFrames = 8;  // the wide single form

// The recurrence unrolled over up to eight frames n + k (k = 0..7), in double precision.
struct Unrolled
{
    double h[kMaxFrames];  // response of y[n + k] to a unit feed into y[n]: the feedback part alone
    double s1[kMaxFrames]; // weight of y[n - 1] in y[n + k]
    double s2[kMaxFrames]; // weight of y[n - 2] in y[n + k]
    double b[3];

    explicit Unrolled(const BiquadCoefficients& c) : b{c.b0, c.b1, c.b2}
    {
        const double c1 = -static_cast<double>(c.a1);
        const double c2 = -static_cast<double>(c.a2);
        // y[m] for m = n - 2 .. n + 7, driven by a unit y[n - 1], then by a unit y[n - 2].
        double one[kMaxFrames + 2] = {0.0, 1.0};
        double two[kMaxFrames + 2] = {1.0, 0.0};
        for (int k = 0; k < kMaxFrames; ++k)
        {
            one[k + 2] = c1 * one[k + 1] + c2 * one[k];
            two[k + 2] = c1 * two[k + 1] + c2 * two[k];
            s1[k] = one[k + 2];
            s2[k] = two[k + 2];
            h[k] = k == 0 ? 1.0 : k == 1 ? c1 : c1 * h[k - 1] + c2 * h[k - 2];
        }
    }

    // s1 y[n-1] + s2 y[n-2] = (s1 + s2) y[n-1] - s2 (y[n-1] - y[n-2]).
    double Y1(int k) const { return s1[k] + s2[k]; }
    double Step(int k) const { return -s2[k]; }

    // Weight of the input x[n + i] (i = -2..7) in y[n + k]: it feeds y[n + i + d] through b_d.
    double Input(int i, int k) const
    {
        double weight = 0.0;
        for (int d = 0; d < 3; ++d)
        {
            const int fedFrame = i + d; // the frame whose feed-forward sum holds b_d x[n + i]
            if (fedFrame >= 0 && fedFrame <= k)
                weight += b[d] * h[k - fedFrame];
        }
        return weight;
    }
};

// A row of pair weights: frames n and n + 1, for both channels.
void PairRow(float row[4], double frame0, double frame1)
{
    row[0] = row[2] = static_cast<float>(frame0);
    row[1] = row[3] = static_cast<float>(frame1);
}

template <int Frames>
void FillBlockWeights(const Unrolled& u, BiquadBlockWeights<Frames>& w)
{
    for (int k = 0; k < Frames; ++k)
    {
        for (int i = 0; i < Frames; ++i)
            w.x[i][k] = static_cast<float>(u.Input(i, k));
        w.x1[k] = static_cast<float>(u.Input(-1, k));
        w.x2[k] = static_cast<float>(u.Input(-2, k));
        w.y1[k] = static_cast<float>(u.Y1(k));
        w.step[k] = static_cast<float>(u.Step(k));
    }
}

BiquadStateWeights StateWeights(const Unrolled& u, int last)
{
    return {static_cast<float>(u.Y1(last)), static_cast<float>(u.Step(last)),
            static_cast<float>(u.Y1(last) - u.Y1(last - 1)), static_cast<float>(u.Step(last) - u.Step(last - 1))};
}
} // namespace

BiquadPairWeights MakeBiquadPairWeights(const BiquadCoefficients& c)
{
    const Unrolled u(c);
    BiquadPairWeights w;
    PairRow(w.next, u.Input(1, 0), u.Input(1, 1));
    PairRow(w.current, u.Input(0, 0), u.Input(0, 1));
    PairRow(w.x1, u.Input(-1, 0), u.Input(-1, 1));
    PairRow(w.x2, u.Input(-2, 0), u.Input(-2, 1));
    PairRow(w.y1, u.Y1(0), u.Y1(1));
    PairRow(w.step, u.Step(0), u.Step(1));
    return w;
}

BiquadSingleWeights MakeBiquadSingleWeights(const BiquadCoefficients& c)
{
    BiquadSingleWeights w;
    FillBlockWeights(Unrolled(c), w);
    return w;
}

BiquadEightFrameWeights MakeBiquadEightFrameWeights(const BiquadCoefficients& c)
{
    const Unrolled u(c);
    BiquadEightFrameWeights w;
    FillBlockWeights(u, w);
    w.state = StateWeights(u, kEightFrames - 1);
    return w;
}

BiquadStateWeights MakeBiquadFourFrameStateWeights(const BiquadCoefficients& c)
{
    return StateWeights(Unrolled(c), kSingleFrames - 1);
}
