// CZkSwitchMgr (declaration only): the switch groups and their values per game object. Game
// parameters drive parameter-driven switch groups (subscriber kind 6), which an Init bank's "STMG"
// chunk sets up; a registered object's destruction removes its switch values.
//
// Threading: audio thread, under the global engine lock. Ownership: the engine's singleton.
#pragma once

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter;
class CZkRegisteredObj;

// A point of a game-parameter-driven switch group as a bank stores it.
struct ZkSwitchGroupPoint
{
    float value;
    uint32_t switchStateID;
    uint32_t shape;
};
static_assert(sizeof(ZkSwitchGroupPoint) == 12, "bank switch-group points are 12 bytes");

class CZkSwitchMgr
{
public:
    // Not built yet: 4.
    ZKRESULT ApplyRTPCSwitch(void*, int32_t, const ZkRTPCKey&, const CZkRTPCOverrideFilter*) { return ZK_NotImplemented; }
    ZKRESULT UnregisterGameObject(CZkRegisteredObj*) { return ZK_NotImplemented; }
    ZKRESULT SetSwitchGroupRTPC(uint32_t, uint32_t, uint8_t, const ZkSwitchGroupPoint*, uint32_t)
    {
        return ZK_NotImplemented;
    }
};

// Null until the switch manager exists.
inline CZkSwitchMgr* g_pSwitchMgr = nullptr;
} // namespace ZK::SoundEngine
