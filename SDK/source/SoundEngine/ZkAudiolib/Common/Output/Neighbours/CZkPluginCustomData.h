// CZkPluginCustomData (declaration only): the custom game data the game posts for plug-ins, kept by
// (bus, game object, plug-in). The renderer's end clears it.
//
// Threading: engine thread. Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPluginCustomData
{
public:
    // Not built yet: there is nothing to clear.
    static void Clear() {}
    // The data kept for (bus id, plug-in key, game object) and its size. Not built yet: null and 0.
    static const void* Find(ZkUniqueID, uint32_t, ZkGameObjectID, uint32_t& size)
    {
        size = 0;
        return nullptr;
    }
};
} // namespace ZK::SoundEngine
