// Positions and routing values of game objects as the game hands them to the sound engine:
// transforms, emitter positions with their channel masks, obstruction and occlusion values, and aux
// send values.
//
// Threading and ownership: plain value types, copied into the engine's messages.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

struct ZkVector
{
    float x;
    float y;
    float z;
};

// Orientation (front and top unit vectors) and position of an emitter or listener (36 bytes).
struct ZkTransform
{
    ZkVector front;
    ZkVector top;
    ZkVector position;
};
static_assert(sizeof(ZkTransform) == 36, "ZkTransform is 36 bytes");

// Front (0, 0, 1), top (0, 1, 0), at the origin.
constexpr ZkTransform kZkDefaultTransform = {{0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};

// Input channel mask that emits every channel of a sound from one position.
constexpr uint32_t kZkAllInputChannels = 261951;

// One position of an emitter and the input channels it emits (40 bytes).
struct ZkChannelEmitter
{
    ZkTransform transform;
    uint32_t inputChannelMask;
};
static_assert(sizeof(ZkChannelEmitter) == 40, "ZkChannelEmitter is 40 bytes");

// How several positions of one emitter combine.
enum MultiPositionType : uint32_t
{
    MultiPositionType_SingleSource = 0,
    MultiPositionType_MultiSources = 1,
    MultiPositionType_MultiDirections = 2,
};

// Obstruction and occlusion of one emitter position towards one listener, each 0..1 (8 bytes).
struct ZkObstructionOcclusionValues
{
    float occlusion;
    float obstruction;
};
static_assert(sizeof(ZkObstructionOcclusionValues) == 8, "ZkObstructionOcclusionValues is 8 bytes");

// Send level of a game object to an aux bus, for one listener (ZK_ALL_GAME_OBJECTS: every listener
// of the emitter); control value 0..16 (16 bytes).
struct ZkAuxSendValue
{
    ZkGameObjectID listenerID;
    ZkUniqueID auxBusID;
    float controlValue;
};
static_assert(sizeof(ZkAuxSendValue) == 16, "ZkAuxSendValue is 16 bytes");
