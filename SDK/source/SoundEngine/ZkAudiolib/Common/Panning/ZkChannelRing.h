// The ring of a speaker input's spatialised channels: the three-dimensional panner and the
// channel-direction warp place the n channels of an input (n at most 7) evenly around the listener,
// in ring order from the left rear to the right rear (BL, SL, FL, FC, FR, SR, BR; other speakers
// after them in channel order), except that two channels stand at the sides and three at the
// sides and the front.
//
// Threading and ownership: constants and pure functions.
#pragma once

#include "SpeakerMasks.h"

#include <cstdint>

namespace ZkChannelRing
{
constexpr uint32_t kMaxChannels = 7;

// Azimuth in degrees (positive to the left) of ring position k of n channels.
inline float AzimuthDeg(uint32_t n, uint32_t k)
{
    static constexpr float kAzimuths[kMaxChannels][kMaxChannels] = {
        {0.0f},
        {90.0f, -90.0f},
        {90.0f, 0.0f, -90.0f},
        {135.0f, 45.0f, -45.0f, -135.0f},
        {144.0f, 72.0f, 0.0f, -72.0f, -144.0f},
        {150.0f, 90.0f, 30.0f, -30.0f, -90.0f, -150.0f},
        {154.29f, 102.86f, 51.43f, 0.0f, -51.43f, -102.86f, -154.29f},
    };
    return kAzimuths[n - 1][k];
}

// The input channels (rows) whose speakers lie in channelMask, in ring order; the LFE never takes
// part. At most kMaxChannels of them (the first ones in ring order). Returns their number.
inline uint32_t SpatialisedRows(uint32_t inputMask, uint32_t channelMask, uint8_t* rows)
{
    static constexpr uint32_t kRingOrder[kMaxChannels] = {
        ZK_SPEAKER_BACK_LEFT,  ZK_SPEAKER_SIDE_LEFT,  ZK_SPEAKER_FRONT_LEFT, ZK_SPEAKER_FRONT_CENTER,
        ZK_SPEAKER_FRONT_RIGHT, ZK_SPEAKER_SIDE_RIGHT, ZK_SPEAKER_BACK_RIGHT,
    };
    const uint32_t selected = inputMask & channelMask & ~ZK_SPEAKER_LOW_FREQUENCY;
    uint32_t count = 0;
    uint32_t placed = 0;
    for (uint32_t speaker : kRingOrder)
        if ((selected & speaker) != 0 && count < kMaxChannels)
        {
            rows[count++] = static_cast<uint8_t>(ZkSpeakerMasks::ChannelOf(inputMask, speaker));
            placed |= speaker;
        }
    for (uint32_t rest = selected & ~placed; rest != 0 && count < kMaxChannels; rest &= rest - 1)
        rows[count++] = static_cast<uint8_t>(ZkSpeakerMasks::ChannelOf(inputMask, rest & (~rest + 1)));
    return count;
}
} // namespace ZkChannelRing
