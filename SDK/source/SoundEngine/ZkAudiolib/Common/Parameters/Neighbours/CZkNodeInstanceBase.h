// CZkNodeInstanceBase (declaration only): binds one node to one game object for playback. Game
// parameters reach its built-in values (subscriber kind 0) through SetBuiltInParamValue. The mix
// graph's bus node instance derives from it: it starts and ends it, reads its volume, gain and
// sends, and extends its parameter handling.
//
// Not built yet: Start answers 4 (so no instance is ever started), every query answers "nothing"
// (no volume slot, gain 1.0, no sends), the rest does nothing.
//
// Threading: audio thread, under the global engine lock. Ownership: its owner's.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/ZkListenerGainTable.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;

class CZkNodeInstanceBase
{
public:
    static constexpr uint32_t kSlotVolume = 0;
    static constexpr float kUnsetSendValue = 101.0f;

    CZkNodeInstanceBase(CZkGameObject*, CZkHierarchyNode*, bool) {}
    virtual ~CZkNodeInstanceBase() = default;

    // Not built yet: 4.
    ZKRESULT SetBuiltInParamValue(uint16_t, float, uint32_t) { return ZK_NotImplemented; }
    virtual void SetParameterValue(uint32_t, float, float) {}
    // Not built yet: 4 (the instance is not started).
    virtual ZKRESULT Start() { return ZK_NotImplemented; }
    virtual void Term() {}
    virtual void RefreshFromNode() {}
    bool HasActiveSends() const { return false; }
    void CollectSends(ZK::ZkArray<ZkSendRecord>&) const {}
    float ValueSlot(uint32_t) const { return 0.0f; }
    float LinearGain() const { return 1.0f; }
    void SetSendValue(float) {}
};
} // namespace ZK::SoundEngine
