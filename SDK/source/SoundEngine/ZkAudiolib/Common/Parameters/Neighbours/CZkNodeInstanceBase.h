// CZkNodeInstanceBase (declaration only): binds one node to one game object for playback. Game
// parameters reach its built-in values (subscriber kind 0) through SetBuiltInParamValue.
//
// Threading: audio thread, under the global engine lock. Ownership: its playing instance's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkNodeInstanceBase
{
public:
    // Not built yet: 4.
    ZKRESULT SetBuiltInParamValue(uint16_t, float, uint32_t) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
