// ZkMixInputEntry: one listener ray of a mix connection (CZkMixerInputContext): the buffer its
// input published for this frame, the gains and filter state it is mixed with, the rays it pans,
// and the pair of volume matrices the positioning step computes for it. A connection has one
// entry per ray of its listener that reaches the destination bus (usually exactly one).
//
// Entries live in their connection's array and are moved when the array grows or an entry leaves
// (CZkMixerInputContext::MoveEntry): the filter memory, matrix block, held buffers and ray list
// travel with them.
//
// Threading: the thread rendering the connection's input (during a frame a voice writes only its
// own connections' entries). Ownership: the entry owns its filter memory, matrix block, ray list
// (pool 6, through the plug-in allocator) and held buffers.
#pragma once

#include "ZkAudiolib/Common/MixGraph/ZkMixBufferHold.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"
#include "ZkAudiolib/Common/Positioning/ZkVolumeMatrixPair.h"

#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkBusObjectRecord;
struct ZkPipelineBuffer;
struct ZkRay;

// The rays an entry pans, copied from its input's instance when the entry is refreshed.
struct ZkEntryRayList
{
    const ZkRay** items = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0;
};

struct ZkMixInputEntry
{
    static constexpr uint32_t kAllChannels = 0xFFFF;
    static constexpr uint64_t kSerialMask = (uint64_t{1} << 56) - 1;

    uint64_t key = 0;                    // chosen by whoever adds the entry
    uint64_t serial = 0;                 // engine-wide counter value, low 56 bits
    uint32_t rayID = 0;
    void* ownedObject = nullptr;         // a mixer plug-in's per-input object (moves with the entry)

    // Buffer record.
    ZkPipelineBuffer* buffer = nullptr;  // published by the input for this frame, null between frames
    const ZkBusObjectRecord* object = nullptr; // the audio object behind the buffer (id, metadata), if any
    float previousGain = 1.0f;
    float nextGain = 1.0f;
    float previousFactor = 1.0f;
    float nextFactor = 1.0f;
    uint32_t channelMask = kAllChannels;
    float lowPassGain = 1.0f;
    float highPassGain = 1.0f;
    uint32_t framesMixed = 0;
    uint8_t firstFrame = 1;
    float previousScale = 1.0f;
    float nextScale = 1.0f;
    ZkMixBufferHold hold;

    uint32_t bits = 0;
    CZkSrcLpHpFilter filter;
    ZkEntryRayList rays;
    ZkChannelConfig destinationConfig;   // the destination bus's configuration when made
    ZkVolumeMatrixPair matrices;
    uint8_t stale = 0;                   // refreshed before it is positioned again
    uint32_t configWord = 0;             // the frame's channel configuration
    uint8_t keep = 0;
    // Where an object destination places the entry's ray this frame (placed: set by the
    // positioning step for a positioned input).
    ZkObjectPlacement placement;
    uint8_t placed = 0;
};
} // namespace ZK::SoundEngine
