// CZkStateMgr (declaration only): the engine's state groups. An Init bank's "STMG" chunk adds its
// state groups with their default and custom transition times.
//
// Threading: under the global engine lock. Ownership: the engine's singleton (g_pStateMgr).
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkStateMgr
{
public:
    // Not built yet: 4.
    ZKRESULT AddStateGroup(ZkUniqueID) { return ZK_NotImplemented; }
    ZKRESULT SetDefaultTransitionTime(ZkUniqueID, uint32_t) { return ZK_NotImplemented; }
    ZKRESULT AddStateTransition(ZkUniqueID, ZkUniqueID, ZkUniqueID, uint32_t, bool) { return ZK_NotImplemented; }
};

// Null until the state manager exists.
inline CZkStateMgr* g_pStateMgr = nullptr;
} // namespace ZK::SoundEngine
