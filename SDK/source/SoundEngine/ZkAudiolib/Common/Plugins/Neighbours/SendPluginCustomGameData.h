// ZK::SoundEngine::SendPluginCustomGameData (declaration only): the interface call that hands a
// plug-in's custom game data (a copy) to the engine for a bus and game object. The global plug-in
// context offers the same service.
//
// Threading: any thread. Ownership: the data stays the caller's (the call copies it).
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// Not built yet: 4, nothing copied or posted.
inline ZKRESULT SendPluginCustomGameData(ZkUniqueID, ZkGameObjectID, ZK::ZkPluginType, uint32_t, uint32_t, const void*,
                                         uint32_t)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
