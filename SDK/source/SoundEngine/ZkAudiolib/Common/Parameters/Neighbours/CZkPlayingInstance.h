// CZkPlayingInstance (declaration only): one playing sound of one game object. Game-parameter keys
// may name an instance; its parameter scope records the parameters that hold values under it.
//
// Threading: audio thread, under the global engine lock. Ownership: the playing manager's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class CZkPlayingInstance
{
public:
    // Records parameterID in the instance's parameter scope. Not built yet: 4 (refused).
    ZKRESULT RegisterScopedParameter(ZkUniqueID) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
