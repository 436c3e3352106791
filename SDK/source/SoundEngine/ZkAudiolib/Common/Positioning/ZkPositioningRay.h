// ZkPositioningRay: one emitter as a listener hears it, as the three-dimensional panner reads it:
// the emitter's position relative to the listener (x right, y up, z front, in the listener's
// frame), the orientation frame that turns the emitter's own channel arrangement into listener
// space (front and top unit vectors; side = top x front is the right-hand direction), how widely
// its channels spread around the emitter direction, how narrowly each channel focuses, the share
// of a front centre speaker, and the speaker mask of the input channels that are spatialised at all.
//
// Threading and ownership: a plain record, owned by whoever pans.
#pragma once

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkPositioningRay
{
    ZkVector position = {0.0f, 0.0f, 0.0f};
    ZkVector front = {0.0f, 0.0f, 1.0f};
    ZkVector top = {0.0f, 1.0f, 0.0f};
    float spread = 0.0f;                          // 0..1: 0 gathers every channel at the emitter
    float focus = 0.0f;                           // 0..1: 1 collapses each channel onto its direction
    float centrePercentage = 1.0f;                // 0..1: share of FC against the layout without it
    uint32_t channelMask = kZkAllInputChannels;   // speaker bits of the spatialised inputs
};
} // namespace ZK::SoundEngine
