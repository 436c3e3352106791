// CZkModulatorMgr: the engine's single owner of running modulator instances and of the table that
// ties modulators to the objects whose parameters they drive (by target address). Game-parameter
// subscriptions whose parameter names a modulator are handed to it; once per engine frame (Update)
// it steps every instance, pushes the values to the subscribers and drops finished instances; it
// answers value queries for modulator ids.
//
// GetValue and IsModulator answer for the modulators the banks loaded. Attaching modulators to
// their targets is not built yet: the target table and the instance engine stay empty, so Update
// has nothing to step, and the operations that attach subscriptions or stop instances answer 4.
//
// Life cycle: construct (empty table, no engine), Init (the instance engine), Update per frame,
// TermInstances (the engine part) and Term (table and engine) at the engine's termination.
// Threading: the audio thread, inside the engine tick or under the global engine lock.
// Ownership: the engine's singleton (memory pool 16, g_pModulatorMgr); the table's buckets and the
// instance engine come from memory pool 0.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkModulator;
class CZkModulatorInstance;
struct ZkModulatorBatch;
struct ZkRTPCSubscription;

class CZkModulatorMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr ZkMemoryId kEnginePool = ZkMemID_Default;

    CZkModulatorMgr() = default;
    ~CZkModulatorMgr() { Term(); }
    CZkModulatorMgr(const CZkModulatorMgr&) = delete;
    CZkModulatorMgr& operator=(const CZkModulatorMgr&) = delete;

    // The instance engine, zeroed. 1; 52 when pool 0 is exhausted; 1 with nothing done when it
    // exists already.
    ZKRESULT Init();
    // The table's buckets, then the instance engine.
    void Term();
    // The instance engine only (every instance terminated, the batches and the engine freed).
    void TermInstances();

    // Once per engine frame: steps every instance, pushes the values, drops the finished ones.
    void Update();

    // The value of the modulator's instance for the key. False for an unknown modulator or when no
    // instance matches.
    bool GetValue(ZkUniqueID modulatorID, const ZkRTPCKey& key, float& value) const;
    // Whether the id names a modulator that links to its targets (LFO and envelope modulators).
    bool IsModulator(ZkUniqueID modulatorID) const;

    // Not built yet (modulators come with their bank objects): each answers 4.
    // The subscription's target gets the modulator (attached to the subscription).
    ZKRESULT AddSubscription(ZkUniqueID modulatorID, ZkRTPCSubscription* subscription);
    // The subscription leaves the modulator (0: every modulator of its target).
    ZKRESULT RemoveSubscription(ZkRTPCSubscription* subscription, ZkUniqueID modulatorID);
    // The modulator's instances whose key matches stop (the owner of a scope went away).
    ZKRESULT StopForKey(ZkUniqueID modulatorID, const ZkRTPCKey& key);

    bool HasEngine() const { return m_engine != nullptr; }
    uint32_t TargetCount() const { return m_targets.Length(); }
    uint32_t InstanceCount() const { return m_engine != nullptr ? m_engine->instances.count : 0; }

private:
    // The modulators attached to one target object.
    struct TargetEntry
    {
        TargetEntry* pNextItem = nullptr;
        uint32_t key = 0; // the target's address, truncated
        const void* target = nullptr;
        ZK::ZkArray<CZkModulator*> modulators; // each holds a reference
    };
    // The running instances in list order, and the batches of each kind (envelope, LFO, time) that
    // a frame packs them into.
    struct InstanceList
    {
        uint32_t count;
        CZkModulatorInstance* head;
        CZkModulatorInstance* tail;
    };
    struct BatchList
    {
        uint32_t count;
        ZkModulatorBatch* tail;
        ZkModulatorBatch* head;
    };
    struct Engine
    {
        static constexpr uint32_t kKinds = 3;
        InstanceList instances;
        BatchList batches[kKinds];
    };

    ZK::CZkHashTable<TargetEntry, &TargetEntry::pNextItem, &TargetEntry::key> m_targets;
    Engine* m_engine = nullptr;
};

// Null until the engine's initialisation creates the modulator manager.
extern CZkModulatorMgr* g_pModulatorMgr;
} // namespace ZK::SoundEngine
