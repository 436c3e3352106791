// CZkEffectObject (declaration only): an effect plug-in's bank object. Game parameters reach its
// plug-in parameters (subscriber kind 1) through SetRTPC.
//
// Threading: audio thread, under the global engine lock. Ownership: the object index's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectObject
{
public:
    // (parameter bit, game parameter id, combine mode, value, value is a neutral default).
    // Not built yet: 4.
    ZKRESULT SetRTPC(uint32_t, ZkUniqueID, uint32_t, float, bool) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
