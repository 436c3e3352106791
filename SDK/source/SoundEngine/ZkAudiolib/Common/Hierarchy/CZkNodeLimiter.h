// CZkNodeLimiter: the instance limiter of a node, for all game objects (embedded in the node's
// activity record) or for one (allocated per game object when the node's limit counts per object).
// It is a keyed target of the node for game parameter 16 only: a value of that parameter becomes
// its maximum, so the game can move a node's max instances at run time.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the activity record's (per-object limiters: memory pool 0). The limiter registers with
// its node at Subscribe and unregisters when it is destroyed.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"

namespace ZK::SoundEngine
{
constexpr uint32_t kMaxInstancesParam = 16;

class CZkNodeLimiter final : public CZkKeyedParamTarget, public CZkInstanceLimiter
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    CZkNodeLimiter(const ZkRTPCKey& key, uint16_t maxCount, bool olderFirst, bool virtualOnLimit, uint64_t limiterKey)
        : CZkKeyedParamTarget(key), CZkInstanceLimiter(maxCount, olderFirst, virtualOnLimit, limiterKey, kNodeLimitReason)
    {
    }

    // Listens to the node's game parameter 16 (through its subscription walk).
    void Subscribe(CZkHierarchyNode* node) { RegisterWithNode(node, 1ull << kMaxInstancesParam, false); }

    void GetParamMask(uint64_t& mask) override { mask = 1ull << kMaxInstancesParam; }
    void OnParamValue(uint32_t bit, uint32_t, ZkUniqueID, float value, float) override;

    // A parameter value as a maximum: rounded, clamped to 0..65535.
    static uint16_t MaxFromValue(float value);
};
} // namespace ZK::SoundEngine
