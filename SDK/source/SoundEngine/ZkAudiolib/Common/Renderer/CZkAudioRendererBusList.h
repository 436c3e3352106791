// The renderer's mix-graph state: the bus list (ordered by level after each level computation:
// roots first, buses no root reaches last), the per-level bus counts and serial flags, the
// graph-changed and feedback flags, and the game-parameter outputs of the bus windows.
//
// Threading: engine thread, under the global engine lock; the frame's bus jobs only read it.
// Ownership: the arrays (memory pool 5); the list owns its buses.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkGameParameterOutput
{
    ZkUniqueID parameter;
    ZkGameObjectID object; // ZK_ALL_GAME_OBJECTS: global
    float value;
};

struct ZkRendererBusList
{
    ZK::ZkArray<CZkMixBus*, ZkMemID_Processing> buses;
    ZK::ZkArray<int32_t, ZkMemID_Processing> levelCounts;
    ZK::ZkArray<uint8_t, ZkMemID_Processing> serialFlags;
    ZK::ZkArray<ZkGameParameterOutput, ZkMemID_Processing> outputs;
    // Work space of the level computation, kept from frame to frame.
    ZK::ZkArray<CZkMixBus*, ZkMemID_Processing> scratch;
    ZK::ZkArray<uint32_t, ZkMemID_Processing> keys;
    bool graphChanged = false;
    bool feedback = false;
};

ZkRendererBusList& RendererBuses();
} // namespace ZK::SoundEngine
