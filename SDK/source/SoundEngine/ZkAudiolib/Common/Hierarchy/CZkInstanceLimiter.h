// CZkInstanceLimiter: the instances that count against one limit (a node's max instances, globally
// or for one game object, or the engine's voice maximum), sorted highest priority first (the order
// of CZkLiveInstance.h), with the maximum, the tie-break and virtual-on-limit flags, the counts of
// instances held and of those counted as virtual, and the key by which the engine sorts its array
// of active limiters.
//
// A limiter holding its first instance joins the engine's array of active limiters, whose
// per-frame pass calls Enforce; the one that lets go of its last instance leaves it.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the limiter owns its array (memory pool 0), not the instances.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLiveInstance.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The stop reasons an enforcement hands to the instances it sends off.
constexpr uint8_t kNodeLimitReason = 1;
constexpr uint8_t kEngineLimitReason = 2;

// Limiter keys: node id in bits 0-31, the node's number of ancestors in bits 32-60, and in bits
// 61-62 1 for a bus and 2 for any other node.
constexpr uint64_t LimiterKey(ZkUniqueID nodeID, uint32_t depth, bool isBus)
{
    return uint64_t{nodeID} | (uint64_t{depth} & 0x1FFFFFFFull) << 32 | uint64_t{isBus ? 1u : 2u} << 61;
}

class CZkInstanceLimiter
{
public:
    CZkInstanceLimiter(uint16_t maxCount, bool olderFirst, bool virtualOnLimit, uint64_t key, uint8_t reason)
        : m_key(key), m_maxCount(maxCount), m_olderFirst(olderFirst), m_virtualOnLimit(virtualOnLimit), m_reason(reason)
    {
    }
    ~CZkInstanceLimiter();
    CZkInstanceLimiter(const CZkInstanceLimiter&) = delete;
    CZkInstanceLimiter& operator=(const CZkInstanceLimiter&) = delete;

    // Inserts the instance at its sorted place. 1; 2 when the array cannot grow (nothing added).
    ZKRESULT Insert(CZkLiveInstance* instance);
    // Removes the instance (found by its key); nothing when absent.
    void Remove(CZkLiveInstance* instance);
    // Moves the instance to the place of its new priority (50 when not finite); the instance's own
    // record is not changed (its owner stores the priority afterwards).
    void ChangePriority(CZkLiveInstance* instance, float newPriority);
    // With a maximum below the number held: from the highest priority, the instances that hold a
    // place take the maximum's places; every later one that is neither stopping nor virtual is
    // sent off (virtual or stopped, by the virtual-on-limit flag).
    void Enforce();

    // Flips the order of equal priorities and sorts again.
    void SetTieBreak(bool olderFirst);
    void SetVirtualOnLimit(bool virtualOnLimit) { m_virtualOnLimit = virtualOnLimit; }
    void SetMaxCount(uint16_t maxCount) { m_maxCount = maxCount; }
    // An instance of the limiter became virtual (+1) or left virtual (-1).
    void AddVirtual(int32_t delta) { m_virtualCount = static_cast<uint16_t>(m_virtualCount + delta); }

    uint16_t MaxCount() const { return m_maxCount; }
    bool OlderFirst() const { return m_olderFirst; }
    bool VirtualOnLimit() const { return m_virtualOnLimit; }
    uint32_t HeldCount() const { return m_entries.Length(); }
    uint16_t VirtualCount() const { return m_virtualCount; }
    uint64_t OrderKey() const { return m_key; }
    CZkLiveInstance* At(uint32_t index) const { return m_entries[index]; }
    // The array itself, as the limit decision walks it.
    const ZK::ZkArray<CZkLiveInstance*>& Instances() const { return m_entries; }
    bool IsIdle() const { return m_entries.IsEmpty() && m_virtualCount == 0; }
    // Frees the array of a limiter that holds no instance (a limiter that outlives the engine).
    void FreeStorage()
    {
        if (m_entries.IsEmpty())
            m_entries.Term();
    }

private:
    // First index whose instance does not rank before record.
    uint32_t LowerBound(const ZkPriorityRecord& record) const;
    // Index of the instance, or HeldCount() when absent.
    uint32_t IndexOf(const CZkLiveInstance* instance) const;

    ZK::ZkArray<CZkLiveInstance*> m_entries;
    uint64_t m_key;
    uint16_t m_maxCount;
    uint16_t m_virtualCount = 0;
    bool m_olderFirst;
    bool m_virtualOnLimit;
    uint8_t m_reason;
};
} // namespace ZK::SoundEngine
