// The standard downmix: one fixed row per input speaker for each of the seven planar output layouts
// (mono FC, stereo, 3.0, 4.0, 5.0, 6.0, 7.0). The table is chosen by the output mask & 0x737, so an
// output with BC (or none of the seven layouts) gets no table; top speakers of the output do not
// take part in the choice and receive their own speakers only (top-to-top rule below).
#include "SpeakerMasks.h"
#include "ZkSpeakerPan.h"

#include <cstring>

namespace
{
using namespace ZkSpeakerMasks;

constexpr float kHalfPower = 0.70710677f;
constexpr uint32_t kTableSelectMask = 0x737;

struct Feed
{
    uint32_t speaker;
    float gain;
};

// Up to 7 feeds per row; a zero speaker ends the list. `kAll` spreads the gain on every channel.
constexpr uint32_t kAll = 0xFFFFFFFFu;
struct DownmixRow
{
    Feed feeds[7];
};

enum Layout
{
    kMono,
    kStereoLayout,
    kThree,
    kFour,
    kFive,
    kSix,
    kSeven,
    kLayoutCount
};

int LayoutOfMask(uint32_t mask)
{
    switch (mask & kTableSelectMask)
    {
    case ZK_SPEAKER_FRONT_CENTER: return kMono;
    case kStereo: return kStereoLayout;
    case kThreeZero: return kThree;
    case kFourZero: return kFour;
    case kFiveZero: return kFive;
    case kSixZero: return kSix;
    case kSevenZero: return kSeven;
    default: return -1;
    }
}

constexpr uint32_t FL = ZK_SPEAKER_FRONT_LEFT, FR = ZK_SPEAKER_FRONT_RIGHT, FC = ZK_SPEAKER_FRONT_CENTER;
constexpr uint32_t BL = ZK_SPEAKER_BACK_LEFT, BR = ZK_SPEAKER_BACK_RIGHT, SL = ZK_SPEAKER_SIDE_LEFT,
                   SR = ZK_SPEAKER_SIDE_RIGHT;

// One input speaker's rows for the seven layouts.
struct SpeakerRows
{
    uint32_t speaker;
    DownmixRow rows[kLayoutCount];
};

// A back-centre input (not in the reference table) is treated as the sum of a rear pair at -3 dB
// each: the rows keep its power and put it where a BL/BR pair would go.
const SpeakerRows kRows[] = {
    {FL, {{{{FC, kHalfPower}}}, {{{FL, 1}}}, {{{FL, 1}}}, {{{FL, 1}}}, {{{FL, 1}}}, {{{FL, 1}}}, {{{FL, 1}}}}},
    {FR, {{{{FC, kHalfPower}}}, {{{FR, 1}}}, {{{FR, 1}}}, {{{FR, 1}}}, {{{FR, 1}}}, {{{FR, 1}}}, {{{FR, 1}}}}},
    {FC,
     {{{{FC, 1}}},
      {{{FL, kHalfPower}, {FR, kHalfPower}}},
      {{{FC, 1}}},
      {{{FL, kHalfPower}, {FR, kHalfPower}}},
      {{{FC, 1}}},
      {{{FL, kHalfPower}, {FR, kHalfPower}}},
      {{{FC, 1}}}}},
    {BL, {{{{FC, 0.5f}}}, {{{FL, kHalfPower}}}, {{{FL, kHalfPower}}}, {{{SL, 1}}}, {{{SL, 1}}}, {{{BL, 1}}}, {{{BL, 1}}}}},
    {BR, {{{{FC, 0.5f}}}, {{{FR, kHalfPower}}}, {{{FR, kHalfPower}}}, {{{SR, 1}}}, {{{SR, 1}}}, {{{BR, 1}}}, {{{BR, 1}}}}},
    {ZK_SPEAKER_BACK_CENTER,
     {{{{FC, kHalfPower}}},
      {{{FL, 0.5f}, {FR, 0.5f}}},
      {{{FL, 0.5f}, {FR, 0.5f}}},
      {{{SL, kHalfPower}, {SR, kHalfPower}}},
      {{{SL, kHalfPower}, {SR, kHalfPower}}},
      {{{BL, kHalfPower}, {BR, kHalfPower}}},
      {{{BL, kHalfPower}, {BR, kHalfPower}}}}},
    {SL, {{{{FC, 0.5f}}}, {{{FL, kHalfPower}}}, {{{FL, kHalfPower}}}, {{{SL, 1}}}, {{{SL, 1}}}, {{{SL, 1}}}, {{{SL, 1}}}}},
    {SR, {{{{FC, 0.5f}}}, {{{FR, kHalfPower}}}, {{{FR, kHalfPower}}}, {{{SR, 1}}}, {{{SR, 1}}}, {{{SR, 1}}}, {{{SR, 1}}}}},
    {ZK_SPEAKER_TOP,
     {{{{kAll, 1}}},
      {{{kAll, kHalfPower}}},
      {{{kAll, 0.57735f}}},
      {{{kAll, 0.5f}}},
      {{{kAll, 0.447214f}}},
      {{{kAll, 0.408248f}}},
      {{{kAll, 0.377964f}}}}},
    {ZK_SPEAKER_HEIGHT_FRONT_LEFT,
     {{{{FC, 0.5f}}},
      {{{FL, kHalfPower}}},
      {{{FL, kHalfPower}}},
      {{{FL, kHalfPower}}},
      {{{FL, kHalfPower}}},
      {{{FL, kHalfPower}}},
      {{{FL, kHalfPower}}}}},
    {ZK_SPEAKER_HEIGHT_FRONT_CENTER,
     {{{{FC, kHalfPower}}},
      {{{FL, 0.5f}, {FR, 0.5f}}},
      {{{FC, kHalfPower}}},
      {{{FL, 0.5f}, {FR, 0.5f}}},
      {{{FC, kHalfPower}}},
      {{{FL, 0.5f}, {FR, 0.5f}}},
      {{{FC, kHalfPower}}}}},
    {ZK_SPEAKER_HEIGHT_FRONT_RIGHT,
     {{{{FC, 0.5f}}},
      {{{FR, kHalfPower}}},
      {{{FR, kHalfPower}}},
      {{{FR, kHalfPower}}},
      {{{FR, kHalfPower}}},
      {{{FR, kHalfPower}}},
      {{{FR, kHalfPower}}}}},
    {ZK_SPEAKER_HEIGHT_BACK_LEFT,
     {{{{FC, 0.353553f}}},
      {{{FL, 0.5f}}},
      {{{FL, 0.5f}}},
      {{{SL, kHalfPower}}},
      {{{SL, kHalfPower}}},
      {{{BL, kHalfPower}}},
      {{{BL, kHalfPower}}}}},
    {ZK_SPEAKER_HEIGHT_BACK_RIGHT,
     {{{{FC, 0.353553f}}},
      {{{FR, 0.5f}}},
      {{{FR, 0.5f}}},
      {{{SR, kHalfPower}}},
      {{{SR, kHalfPower}}},
      {{{BR, kHalfPower}}},
      {{{BR, kHalfPower}}}}},
};
} // namespace

bool CZkSpeakerPan::GetStandardDownmixRow(uint32_t speakerBit, uint32_t outputMask, float* row)
{
    const int layout = LayoutOfMask(outputMask);
    if (layout < 0)
        return false;
    const uint32_t outChannels = CountOf(outputMask);
    std::memset(row, 0, sizeof(float) * outChannels);
    for (const SpeakerRows& entry : kRows)
    {
        if (entry.speaker != speakerBit)
            continue;
        for (const Feed& feed : entry.rows[layout].feeds)
        {
            if (feed.speaker == 0)
                break;
            if (feed.speaker == kAll)
            {
                // "Each": every planar channel of the layout (the table's own channels).
                const uint32_t planar = CountOf(outputMask & kTableSelectMask);
                for (uint32_t c = 0; c < planar; ++c)
                    row[ChannelOf(outputMask, SpeakerOfChannel(outputMask & kTableSelectMask, c))] = feed.gain;
                continue;
            }
            if ((outputMask & feed.speaker) != 0)
                row[ChannelOf(outputMask, feed.speaker)] = feed.gain;
        }
        break;
    }
    return true;
}

void CZkSpeakerPan::DownmixStandard(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    if (!IsConsistentSpeakerConfig(input) || !IsConsistentSpeakerConfig(output))
        return;
    const uint32_t inMask = input.Mask();
    const uint32_t outMask = output.Mask();
    if (LayoutOfMask(outMask) < 0)
        return;
    const uint32_t stride = RowStride(output.NumChannels());
    const uint32_t inputSpeakers = input.NumNonLfeChannels();
    for (uint32_t i = 0; i < inputSpeakers; ++i)
        GetStandardDownmixRow(SpeakerOfChannel(inMask, i), outMask, matrix + i * stride);

    // Top speakers that both sides have go straight to their own channel instead of the fold-down.
    if ((inMask & kExtra) != 0 && (outMask & kExtra) != 0)
    {
        for (uint32_t i = 0; i < inputSpeakers; ++i)
        {
            const uint32_t speaker = SpeakerOfChannel(inMask, i);
            if ((speaker & kTop) == 0)
                continue;
            float* row = matrix + i * stride;
            std::memset(row, 0, sizeof(float) * output.NumChannels());
            if ((outMask & speaker) != 0)
                row[ChannelOf(outMask, speaker)] = 1.0f;
        }
    }
}
