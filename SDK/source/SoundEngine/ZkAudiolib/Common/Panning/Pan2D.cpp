// Two-dimensional position panning: the whole input is moved across the output layout by pan x
// (left-right) and pan y (back-front), with a centre percentage for the front image. A mono input
// is panned directly; a multichannel input is laid on the union of its own and the output's planar
// speakers, weighted there by one gain law, and folded onto the output by the standard downmix.
#include "SpeakerMasks.h"
#include "ZkSpeakerPan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
using namespace ZkSpeakerMasks;

constexpr uint32_t FL = ZK_SPEAKER_FRONT_LEFT, FR = ZK_SPEAKER_FRONT_RIGHT, FC = ZK_SPEAKER_FRONT_CENTER;
constexpr uint32_t BL = ZK_SPEAKER_BACK_LEFT, BR = ZK_SPEAKER_BACK_RIGHT, SL = ZK_SPEAKER_SIDE_LEFT,
                   SR = ZK_SPEAKER_SIDE_RIGHT;
constexpr float kOneOverSqrt3 = 0.57735026f;

struct PanPosition
{
    float u;   // 0 left .. 1 right
    float t;   // 0 back .. 1 front
    float w;   // 1 - u
    float A;   // front-right power
    float B;   // front-left power
    float Cc;  // front-centre power
};

PanPosition PositionOf(float panX, float panY, float centre)
{
    PanPosition p{};
    p.u = std::clamp((panX + 1.0f) * 0.5f, 0.0f, 1.0f);
    p.t = std::clamp((panY + 1.0f) * 0.5f, 0.0f, 1.0f);
    p.w = 1.0f - p.u;
    const float c = std::clamp(centre, 0.0f, 1.0f);
    if (p.u <= 0.5f)
    {
        p.A = (1.0f - c) * p.u;
        p.Cc = 2.0f * c * p.u;
    }
    else
    {
        p.A = p.u - c * (1.0f - p.u);
        p.Cc = 2.0f * c * (1.0f - p.u);
    }
    p.B = 1.0f - p.A - p.Cc;
    return p;
}

float Root(float power) { return std::sqrt(std::max(power, 0.0f)); }

// Writes a gain at a speaker's column when the layout has that speaker.
void Put(float* row, uint32_t mask, uint32_t speaker, float gain)
{
    if ((mask & speaker) != 0)
        row[ChannelOf(mask, speaker)] = gain;
}

// The gain laws over a layout (a = u, b = t). A centre the law does not feed stays 0.
void Quad(float* row, uint32_t mask, float a, float b)
{
    const uint32_t S1 = (mask & SL) != 0 ? SL : BL, S2 = S1 == SL ? SR : BR;
    Put(row, mask, FL, Root((1.0f - a) * b));
    Put(row, mask, FR, Root(a * b));
    Put(row, mask, S1, Root((1.0f - b) * (1.0f - a)));
    Put(row, mask, S2, Root((1.0f - b) * a));
}

void Five(float* row, uint32_t mask, float a, float b)
{
    const uint32_t S1 = (mask & SL) != 0 ? SL : BL, S2 = S1 == SL ? SR : BR;
    const float r = b >= 0.5f ? 0.8f - 0.8f * b : 1.0f - 1.2f * b;
    Put(row, mask, FL, Root((2.0f - 2.0f * a) / 3.0f * (1.0f - r)));
    Put(row, mask, FR, Root(2.0f * a / 3.0f * (1.0f - r)));
    Put(row, mask, FC, Root((1.0f - r) / 3.0f));
    Put(row, mask, S1, Root(r * (1.0f - a)));
    Put(row, mask, S2, Root(r * a));
}

void Six(float* row, uint32_t mask, float a, float b)
{
    const float f = std::max((4.0f * b - 1.0f) / 3.0f, 0.0f);
    const float r = std::max((3.0f - 4.0f * b) / 3.0f, 0.0f);
    const float s = 1.0f - (r + f);
    Put(row, mask, FL, Root((1.0f - a) * f));
    Put(row, mask, FR, Root(f * a));
    Put(row, mask, BL, Root(r * (1.0f - a)));
    Put(row, mask, BR, Root(r * a));
    Put(row, mask, SL, Root(s * (1.0f - a)));
    Put(row, mask, SR, Root(s * a));
}

void Seven(float* row, uint32_t mask, float a, float b)
{
    const float f = std::max(1.1428572f * b - 0.14285715f, 0.0f);
    const float d = 0.6666667f - 0.6666667f * a;
    const float r = std::max(1.0f - 1.4285715f * b, 0.0f);
    const float s = 1.0f - (r + f);
    Put(row, mask, FL, Root(f * d));
    Put(row, mask, FR, Root(std::max(0.6666666f - d, 0.0f) * f));
    Put(row, mask, FC, Root(f / 3.0f));
    Put(row, mask, BL, Root(r * (1.0f - a)));
    Put(row, mask, BR, Root(r * a));
    Put(row, mask, SL, Root(s * (1.0f - a)));
    Put(row, mask, SR, Root(s * a));
}

void PanMono(const PanPosition& p, uint32_t outMask, float* row)
{
    const uint32_t layout = outMask & kSevenZero;
    switch (layout)
    {
    case 0: return;
    case kThreeZero:
        Put(row, outMask, FL, Root(p.B));
        Put(row, outMask, FR, Root(p.A));
        Put(row, outMask, FC, Root(p.Cc));
        return;
    case kFourZero: Quad(row, outMask, p.u, p.t); return;
    case kFiveZero:
        Put(row, outMask, FL, Root(p.B * p.t));
        Put(row, outMask, FR, Root(p.A * p.t));
        Put(row, outMask, FC, Root(p.Cc * p.t));
        Put(row, outMask, SL, Root(p.w * (1.0f - p.t)));
        Put(row, outMask, SR, Root(p.u * (1.0f - p.t)));
        return;
    case kSixZero: Six(row, outMask, p.u, p.t); return;
    case kSevenZero:
    {
        const float f = std::max((4.0f * p.t - 1.0f) / 3.0f, 0.0f);
        const float r = std::max((3.0f - 4.0f * p.t) / 3.0f, 0.0f);
        const float s = 1.0f - (r + f);
        Put(row, outMask, FL, Root(p.B * f));
        Put(row, outMask, FR, Root(p.A * f));
        Put(row, outMask, FC, Root(p.Cc * f));
        Put(row, outMask, BL, Root(r * p.w));
        Put(row, outMask, BR, Root(r * p.u));
        Put(row, outMask, SL, Root(s * p.w));
        Put(row, outMask, SR, Root(s * p.u));
        return;
    }
    default:
        Put(row, outMask, FL, Root(p.w));
        Put(row, outMask, FR, Root(p.u));
        return;
    }
}

// A lone rear pair counts as sides.
uint32_t NormaliseInputMask(uint32_t mask)
{
    const bool back = (mask & BL) != 0;
    const bool side = (mask & SL) != 0;
    if (back != side)
        return (mask & kThreeZero) | kSidePair;
    return mask & kSevenZero;
}

uint32_t NormaliseSpeaker(uint32_t speaker, uint32_t inMask)
{
    const bool lonePair = ((inMask & BL) != 0) != ((inMask & SL) != 0);
    if (lonePair && speaker == BL)
        return SL;
    if (lonePair && speaker == BR)
        return SR;
    return (speaker & kSevenZero) != 0 ? speaker : 0;
}
} // namespace

void CZkSpeakerPan::Pan2D(float panX, float panY, float centrePercentage, ZkChannelConfig input,
                          ZkChannelConfig output, float* matrix)
{
    if (!IsConsistentSpeakerConfig(input) || !IsConsistentSpeakerConfig(output))
        return;
    const PanPosition p = PositionOf(panX, panY, centrePercentage);
    const uint32_t inMask = input.Mask();
    const uint32_t outMask = output.Mask();
    const uint32_t stride = RowStride(output.NumChannels());
    if (input.NumNonLfeChannels() == 1)
    {
        PanMono(p, outMask, matrix);
        return;
    }
    const uint32_t normalised = NormaliseInputMask(inMask);
    if (normalised == 0)
        return;
    const uint32_t unionMask = (outMask & kSevenZero) | normalised;
    const uint32_t unionSurrounds = unionMask & kSurrounds;
    const bool unionBothPairs = unionSurrounds == kSurrounds;
    const bool unionSidesOnly = unionSurrounds == kSidePair;
    const bool inputHasCentre = (normalised & FC) != 0;
    const bool inputFrontOnly = (normalised & kSurrounds) == 0;

    // One gain vector over the union layout.
    float vector[kMaxSpeakerChannels] = {};
    if (unionBothPairs)
        (inputHasCentre ? Seven : Six)(vector, unionMask, p.u, p.t);
    else if (unionSidesOnly)
        (inputHasCentre ? Five : Quad)(vector, unionMask, p.u, p.t);
    else if (unionSurrounds == 0)
    {
        if (inputHasCentre)
        {
            Put(vector, unionMask, FL, Root((2.0f - 2.0f * p.u) / 3.0f));
            Put(vector, unionMask, FR, Root(2.0f * p.u / 3.0f));
            Put(vector, unionMask, FC, kOneOverSqrt3);
        }
        else
        {
            Put(vector, unionMask, FL, Root(p.w));
            Put(vector, unionMask, FR, Root(p.u));
        }
    }
    // (A union with a rear pair but no sides has no law; it keeps a zero vector.)

    // The union layout's downmix rows onto the output.
    const uint32_t unionCount = CountOf(unionMask);
    float fold[kMaxSpeakerChannels][kMaxSpeakerChannels] = {};
    bool haveFold = true;
    for (uint32_t u = 0; u < unionCount && haveFold; ++u)
        haveFold = GetStandardDownmixRow(SpeakerOfChannel(unionMask, u), outMask, fold[u]);
    if (!haveFold)
        return;

    for (uint32_t i = 0; i < input.NumNonLfeChannels(); ++i)
    {
        const uint32_t speaker = NormaliseSpeaker(SpeakerOfChannel(inMask, i), inMask);
        if (speaker == 0)
            continue;
        // The intermediate row: the speaker itself, and the neighbours it also feeds.
        float inter[kMaxSpeakerChannels] = {};
        auto feed = [&](uint32_t target, float gain) {
            if ((unionMask & target) != 0)
                inter[ChannelOf(unionMask, target)] = gain;
        };
        feed(speaker, 1.0f);
        const bool left = speaker == BL || speaker == SL;
        const bool right = speaker == BR || speaker == SR;
        if (unionBothPairs)
        {
            if (left)
            {
                feed(BL, 1.0f);
                feed(SL, 1.0f);
            }
            if (right)
            {
                feed(BR, 1.0f);
                feed(SR, 1.0f);
            }
            if (inputFrontOnly)
            {
                // A front-only input (stereo or 3.0) also feeds the surrounds on its side: its FL
                // and FR all of theirs, its FC half of each. Fed to the fronts alone, it would be
                // silent when panned fully back, where the six- and seven-speaker laws give the
                // fronts nothing.
                if (speaker == FL)
                {
                    feed(BL, 1.0f);
                    feed(SL, 1.0f);
                }
                if (speaker == FR)
                {
                    feed(BR, 1.0f);
                    feed(SR, 1.0f);
                }
                if (speaker == FC)
                {
                    feed(BL, 0.5f);
                    feed(BR, 0.5f);
                    feed(SL, 0.5f);
                    feed(SR, 0.5f);
                }
            }
        }
        else if (unionSidesOnly && inputFrontOnly)
        {
            if (speaker == FL)
                feed(SL, 1.0f);
            if (speaker == FR)
                feed(SR, 1.0f);
            if (speaker == FC)
            {
                feed(SL, 0.5f);
                feed(SR, 0.5f);
            }
        }
        float* row = matrix + i * stride;
        for (uint32_t u = 0; u < unionCount; ++u)
        {
            const float gain = inter[u] * vector[u];
            if (gain == 0.0f)
                continue;
            for (uint32_t c = 0; c < output.NumChannels(); ++c)
                row[c] += gain * fold[u][c];
        }
    }
}
