// ZkAudioObjects (declaration only): a list of audio objects, each a buffer with its metadata (a
// key naming the object, a gain ramp, the channels it uses). Buses carry their audio as such a
// list; an effect that processes objects gets one.
//
// Not built yet: only the fields an object-processing effect stage and the device's object
// processor fill are declared; the list lives in storage its user provides.
//
// Threading: the thread rendering the bus or voice. Ownership: the user's storage; the buffers'
// samples belong to whoever attached them.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

#include <cstdint>

// Where the object is heard, in the listener's space (x right, y up, z forward).
struct ZkAudioObjectPosition
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct ZkAudioObject
{
    static constexpr uint64_t kNoKey = ~uint64_t{0};
    static constexpr uint32_t kAllChannels = 0xFFFF;

    ZkAudioBuffer buffer;
    uint64_t key = kNoKey;
    ZkRamp gain;
    uint32_t channelMask = kAllChannels;
    ZkAudioObjectPosition position;
};

class ZkAudioObjects
{
public:
    ZkAudioObject* objects = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0;
};
