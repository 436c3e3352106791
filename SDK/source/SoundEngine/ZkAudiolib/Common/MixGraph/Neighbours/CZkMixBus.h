// CZkMixBus (declaration only): a run-time instance of a bus node for one output device (and, for
// buses that mix per listener, one listener game object). As the destination of mix connections it
// offers its channel configuration, its bus node, its key's game object (the listener), its own
// level, the output device that serves it, and the registration of its inputs.
//
// Not built yet: nothing creates one in the engine. The fields stand for what the bus derives from
// its key and node; the input registrations reach nobody.
//
// Threading: engine thread, under the global engine lock. Ownership: the renderer's bus list.
#pragma once

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

class CZkOutputDevice;

namespace ZK::SoundEngine
{
class CZkHierarchyNode;

class CZkMixBus : public CZkMixContext
{
public:
    // The bus's channel configuration, and what it outputs (the same until its effects exist).
    ZkChannelConfig GetChannelConfig() const { return channelConfig; }
    ZkChannelConfig GetOutputConfig() const override { return channelConfig; }
    // The device that serves the bus, or null.
    CZkOutputDevice* GetOutputDevice() const { return outputDevice; }
    // The key's game object id (-1 without one).
    ZkGameObjectID GetKeyGameObjectID() const { return keyGameObjectID; }
    CZkHierarchyNode* GetBusNode() const { return busNode; }
    // The bus's own level in dB, added to the level of every connection into it.
    float GetLevelDb() const { return levelDb; }
    // A connection into the bus was made or is going away (mixer plug-ins learn of their inputs).
    void RegisterInput(CZkMixerInputContext*) {}
    void UnregisterInput(CZkMixerInputContext*) {}

    ZkChannelConfig channelConfig;
    CZkOutputDevice* outputDevice = nullptr;
    ZkGameObjectID keyGameObjectID = ZK_ALL_GAME_OBJECTS;
    CZkHierarchyNode* busNode = nullptr;
    float levelDb = 0.0f;
};
} // namespace ZK::SoundEngine
