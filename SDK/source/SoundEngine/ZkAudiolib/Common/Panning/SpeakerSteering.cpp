// Speaker-position steering: every input speaker's standard position (plan coordinates: x right,
// y front, z up) is moved by the pan values and rendered on the output layout by position weights
// (a per-axis triangular or linear factor between the moved point and each target). Planar layouts
// use their speakers plus a few virtual targets; layouts with top speakers use a 3 x 3 x 3 grid of
// virtual targets folded onto the speakers.
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
constexpr uint32_t T = ZK_SPEAKER_TOP, TFL = ZK_SPEAKER_HEIGHT_FRONT_LEFT, TFC = ZK_SPEAKER_HEIGHT_FRONT_CENTER,
                   TFR = ZK_SPEAKER_HEIGHT_FRONT_RIGHT, TBL = ZK_SPEAKER_HEIGHT_BACK_LEFT,
                   TBC = ZK_SPEAKER_HEIGHT_BACK_CENTER, TBR = ZK_SPEAKER_HEIGHT_BACK_RIGHT;

struct Position
{
    float x, y, z;
};

Position StandardPosition(uint32_t speaker)
{
    switch (speaker)
    {
    case FL: return {-1, 1, 0};
    case FR: return {1, 1, 0};
    case FC: return {0, 1, 0};
    case BL: return {-1, -1, 0};
    case BR: return {1, -1, 0};
    case ZK_SPEAKER_BACK_CENTER: return {0, -1, 0};
    case SL: return {-1, 0, 0};
    case SR: return {1, 0, 0};
    case T: return {0, 0, 1};
    case TFL: return {-1, 1, 1};
    case TFC: return {0, 1, 1};
    case TFR: return {1, 1, 1};
    case TBL: return {-1, -1, 1};
    case TBC: return {0, -1, 1};
    case TBR: return {1, -1, 1};
    default: return {0, 0, 0}; // LFE and the bits without a place
    }
}

// With exactly one of the back and side pairs, that pair stands where the back pair does.
Position SteeringPosition(uint32_t speaker, uint32_t mask)
{
    const bool lonePair = ((mask & BL) != 0) != ((mask & SL) != 0);
    if (lonePair && speaker == SL)
        return StandardPosition(BL);
    if (lonePair && speaker == SR)
        return StandardPosition(BR);
    return StandardPosition(speaker);
}

float Offset(float v, float pan) { return std::clamp(v + (std::fabs(v) + 1.0f) * pan, -1.0f, 1.0f); }

// Per-axis factor of point coordinate p and target coordinate v.
float Triangular(float p, float v)
{
    if (p >= 0.0f)
        return v >= 0.0f ? (2.0f * p - 1.0f) * (v - 0.5f) + 0.5f : 0.0f;
    return v > 0.0f ? 0.0f : (2.0f * p + 1.0f) * (v + 0.5f) + 0.5f;
}
float Linear(float p, float v) { return (p * v + 1.0f) * 0.5f; }

struct Axes
{
    bool x, y, z;
    bool triangularX, triangularY, triangularZ;
};

float Weight(const Axes& axes, const Position& point, const Position& target)
{
    float w = 1.0f;
    if (axes.x)
        w *= axes.triangularX ? Triangular(point.x, target.x) : Linear(point.x, target.x);
    if (axes.y)
        w *= axes.triangularY ? Triangular(point.y, target.y) : Linear(point.y, target.y);
    if (axes.z)
        w *= axes.triangularZ ? Triangular(point.z, target.z) : Linear(point.z, target.z);
    return w;
}

// A fold entry: the weight of a virtual target added to a speaker's column with a gain.
struct MappedGain
{
    uint8_t target;
    uint32_t speaker;
    float gain;
};

// Adds weights[target] x gain to the column of each entry's speaker.
void AccumulateMappedGains(const MappedGain* entries, uint32_t count, const float* weights, uint32_t mask, float* row)
{
    for (uint32_t i = 0; i < count; ++i)
        if ((mask & entries[i].speaker) != 0)
            row[ChannelOf(mask, entries[i].speaker)] += weights[entries[i].target] * entries[i].gain;
}

// The 27 grid targets: ear level, top, lower layer.
constexpr float kEarLevel[9][2] = {{-1, 1}, {1, 1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 0}, {1, 0}, {0, -1}, {0, 0}};
constexpr float kTopLayer[9][2] = {{0, 0}, {-1, 1}, {0, 1}, {1, 1}, {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}};

// Placeholders for the surround pair of 4- and 5-speaker layouts, resolved per layout.
constexpr uint32_t S1 = 0x80000000u, S2 = 0x40000000u;

const MappedGain kFold4[] = {{0, FL, 1},    {1, FR, 1},    {2, FL, .5f},  {2, FR, .5f},  {3, S1, 1},    {4, S2, 1},
                             {5, FL, .5f},  {5, S1, .5f},  {6, FR, .5f},  {6, S2, .5f},  {7, S1, .5f},  {7, S2, .5f},
                             {8, FL, .25f}, {8, FR, .25f}, {8, S1, .25f}, {8, S2, .25f}};
const MappedGain kFold5[] = {{0, FL, 1},   {1, FR, 1},   {2, FC, 1},   {3, S1, 1},   {4, S2, 1},  {5, FL, .5f},
                             {5, S1, .5f}, {6, FR, .5f}, {6, S2, .5f}, {7, S1, .5f}, {7, S2, .5f}, {8, FL, .2f},
                             {8, FR, .2f}, {8, FC, .2f}, {8, S1, .2f}, {8, S2, .2f}};
const MappedGain kFold6[] = {{0, FL, 1}, {1, FR, 1}, {2, FL, .5f}, {2, FR, .5f}, {3, BL, 1}, {4, BR, 1},
                             {5, SL, 1}, {6, SR, 1}, {7, BL, .5f}, {7, BR, .5f}, {8, SL, .5f}, {8, SR, .5f}};
const MappedGain kFold7[] = {{0, FL, 1}, {1, FR, 1}, {2, FC, 1},   {3, BL, 1},   {4, BR, 1},   {5, SL, 1},
                             {6, SR, 1}, {7, BL, .5f}, {7, BR, .5f}, {8, SL, .5f}, {8, SR, .5f}};

const MappedGain kTop2[] = {{0, TFL, .5f}, {0, TFR, .5f}, {1, TFL, 1},   {2, TFL, .5f}, {2, TFR, .5f},
                            {3, TFR, 1},   {4, TFL, 1},   {5, TFL, .5f}, {5, TFR, .5f}, {6, TFR, 1},
                            {7, TFL, 1},   {8, TFR, 1}};
const MappedGain kTop4[] = {{0, TFL, .25f}, {0, TFR, .25f}, {0, TBL, .25f}, {0, TBR, .25f}, {1, TFL, 1},
                            {2, TFL, .5f},  {2, TFR, .5f},  {3, TFR, 1},    {4, TBL, 1},    {5, TBL, .5f},
                            {5, TBR, .5f},  {6, TBR, 1},    {7, TFL, .5f},  {7, TBL, .5f},  {8, TFR, .5f},
                            {8, TBR, .5f}};
const MappedGain kTop5T[] = {{0, T, 1},      {1, TFL, 1},   {2, TFL, .5f}, {2, TFR, .5f}, {3, TFR, 1},
                             {4, TBL, 1},    {5, TBL, .5f}, {5, TBR, .5f}, {6, TBR, 1},   {7, TFL, .5f},
                             {7, TBL, .5f},  {8, TFR, .5f}, {8, TBR, .5f}};
const MappedGain kTop5C[] = {{0, TFL, .2f}, {0, TFC, .2f}, {0, TFR, .2f}, {0, TBL, .2f}, {0, TBR, .2f},
                             {1, TFL, 1},   {2, TFC, 1},   {3, TFR, 1},   {4, TBL, 1},   {5, TBL, .5f},
                             {5, TBR, .5f}, {6, TBR, 1},   {7, TFL, .5f}, {7, TBL, .5f}, {8, TFR, .5f},
                             {8, TBR, .5f}};
const MappedGain kTop6[] = {{0, T, 1},      {1, TFL, 1},   {2, TFC, 1},   {3, TFR, 1},   {4, TBL, 1},
                            {5, TBL, .5f},  {5, TBR, .5f}, {6, TBR, 1},   {7, TFL, .5f}, {7, TBL, .5f},
                            {8, TFR, .5f},  {8, TBR, .5f}};

struct Fold
{
    const MappedGain* entries;
    uint32_t count;
};

template <size_t N>
Fold FoldOf(const MappedGain (&entries)[N])
{
    return {entries, static_cast<uint32_t>(N)};
}

Fold PlanarFold(uint32_t planarMask)
{
    switch (CountOf(planarMask))
    {
    case 4: return FoldOf(kFold4);
    case 5: return (planarMask & FC) != 0 ? FoldOf(kFold5) : Fold{};
    case 6: return planarMask == kSixZero ? FoldOf(kFold6) : Fold{};
    case 7: return planarMask == kSevenZero ? FoldOf(kFold7) : Fold{};
    default: return {};
    }
}

Fold TopFold(uint32_t topMask)
{
    switch (topMask)
    {
    case TFL | TFR: return FoldOf(kTop2);
    case TFL | TFR | TBL | TBR: return FoldOf(kTop4);
    case T | TFL | TFR | TBL | TBR: return FoldOf(kTop5T);
    case TFL | TFC | TFR | TBL | TBR: return FoldOf(kTop5C);
    case T | TFL | TFC | TFR | TBL | TBR: return FoldOf(kTop6);
    default: return {};
    }
}

// Resolves the S1/S2 placeholders to the layout's surround pair.
void AccumulateFold(const Fold& fold, const float* weights, uint32_t mask, float* row)
{
    const uint32_t s1 = (mask & SL) != 0 ? SL : BL;
    const uint32_t s2 = s1 == SL ? SR : BR;
    MappedGain resolved[32];
    for (uint32_t i = 0; i < fold.count; ++i)
    {
        resolved[i] = fold.entries[i];
        if (resolved[i].speaker == S1)
            resolved[i].speaker = s1;
        else if (resolved[i].speaker == S2)
            resolved[i].speaker = s2;
    }
    AccumulateMappedGains(resolved, fold.count, weights, mask, row);
}

// Power weights of one moved point on a planar layout (speakers plus virtual targets).
void PlanarPositionGains(const Position& point, uint32_t outMask, float* row)
{
    const uint32_t speakers = outMask & ~ZK_SPEAKER_LOW_FREQUENCY & ~kExtra;
    const uint32_t count = CountOf(speakers);
    const bool hasSurround = (speakers & kSurrounds) != 0;
    const bool bothPairs = (speakers & BL) != 0 && (speakers & SL) != 0;
    Axes axes{};
    if (count >= 2)
    {
        axes.x = true;
        axes.y = hasSurround;
    }
    axes.triangularX = (speakers & FC) != 0;
    axes.triangularY = bothPairs;
    for (uint32_t c = 0; c < count; ++c)
    {
        const uint32_t speaker = SpeakerOfChannel(speakers, c);
        row[ChannelOf(outMask, speaker)] += Weight(axes, point, SteeringPosition(speaker, speakers));
    }
    // Virtual targets behind and at the middle fill the holes of 5.0 and 7.0 layouts.
    const uint32_t planar = speakers & kSevenZero;
    if ((speakers & FC) == 0 || !hasSurround)
        return;
    const float behind = Weight(axes, point, {0, -1, 0});
    if (planar == kFiveZero || planar == (kThreeZero | kRearPair))
    {
        const uint32_t s1 = (speakers & SL) != 0 ? SL : BL, s2 = s1 == SL ? SR : BR;
        row[ChannelOf(outMask, s1)] += 0.5f * behind;
        row[ChannelOf(outMask, s2)] += 0.5f * behind;
    }
    else if (planar == kSevenZero)
    {
        const float middle = Weight(axes, point, {0, 0, 0});
        row[ChannelOf(outMask, BL)] += 0.5f * behind;
        row[ChannelOf(outMask, BR)] += 0.5f * behind;
        row[ChannelOf(outMask, SL)] += 0.5f * middle;
        row[ChannelOf(outMask, SR)] += 0.5f * middle;
    }
}

// Power weights on a layout with top speakers, through the 27-point grid. False when the layout's
// planar or top speakers have no fold (the caller then steers on the planar speakers alone).
bool GridPositionGains(const Position& point, uint32_t outMask, float* row)
{
    const uint32_t speakers = outMask & ~ZK_SPEAKER_LOW_FREQUENCY;
    const uint32_t planarMask = speakers & kSevenZero;
    const uint32_t extras = speakers & kExtra;
    const Fold planar = PlanarFold(planarMask);
    const Fold top = TopFold(extras);
    if (planar.count == 0 || top.count == 0 || (extras & ~kTop) != 0)
        return false;
    Axes axes{};
    axes.x = axes.y = true;
    axes.z = (speakers & kSurrounds) != 0;
    axes.triangularX = axes.triangularY = axes.triangularZ = true;
    float ear[9], upper[9], lower[9];
    for (uint32_t i = 0; i < 9; ++i)
    {
        ear[i] = Weight(axes, point, {kEarLevel[i][0], kEarLevel[i][1], 0});
        lower[i] = Weight(axes, point, {kEarLevel[i][0], kEarLevel[i][1], -1});
        upper[i] = Weight(axes, point, {kTopLayer[i][0], kTopLayer[i][1], 1});
    }
    AccumulateFold(planar, ear, outMask, row);
    AccumulateFold(planar, lower, outMask, row);
    AccumulateFold(top, upper, outMask, row);
    return true;
}
} // namespace

void CZkSpeakerPan::PanBySpeakerPositions(float panX, float panY, float panZ, float centrePercentage,
                                          ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    if (!IsConsistentSpeakerConfig(input) || !IsConsistentSpeakerConfig(output))
        return;
    const uint32_t inMask = input.Mask();
    const uint32_t outMask = output.Mask();
    const uint32_t outChannels = output.NumChannels();
    const uint32_t stride = RowStride(outChannels);
    const float c = std::clamp(centrePercentage, 0.0f, 1.0f);
    const bool redistributeCentre = (outMask & kThreeZero) == kThreeZero && c < 1.0f;
    const bool withExtras = (outMask & kExtra) != 0;
    for (uint32_t i = 0; i < input.NumNonLfeChannels(); ++i)
    {
        const Position standard = SteeringPosition(SpeakerOfChannel(inMask, i), inMask);
        const Position moved{Offset(standard.x, panX), Offset(standard.y, panY), Offset(standard.z, panZ)};
        float* row = matrix + i * stride;
        // Layouts with top speakers go through the grid; without a fold for them, and for planar
        // layouts, the planar speakers are steered alone (top speakers then stay silent).
        if (!withExtras || !GridPositionGains(moved, outMask, row))
        {
            std::memset(row, 0, sizeof(float) * outChannels);
            PlanarPositionGains(moved, outMask, row);
        }
        if (redistributeCentre)
        {
            const uint32_t fcColumn = ChannelOf(outMask, FC);
            const float power = row[fcColumn];
            row[ChannelOf(outMask, FL)] += power * (1.0f - c) * 0.5f;
            row[ChannelOf(outMask, FR)] += power * (1.0f - c) * 0.5f;
            row[fcColumn] = power * c;
        }
        for (uint32_t k = 0; k < outChannels; ++k)
            row[k] = std::sqrt(std::max(row[k], 0.0f));
    }
}
