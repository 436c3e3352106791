// CZkModulatorMgr: the engine's single owner of running modulator instances and of the table that
// ties modulators to the objects whose parameters they drive (by target address). Game-parameter
// subscriptions whose parameter names a modulator are handed to it (AddSubscription); a play
// collects its targets' entries (AppendEntryForKey) and starts or joins their instances
// (ProcessForKeyList, CZkModulator::Attach); once per engine frame (Update) it steps every instance
// in batches of one kind, pushes the values to the subscribers and drops finished instances; it
// answers value queries for modulator ids.
//
// Update, in order: every listed instance advances one frame and its kernel record is packed into
// the batches of its kind (16 records per batch, 16-byte aligned, kept from frame to frame and
// trimmed when a kind's last used batch is less than half full); the kernels run over the batches
// (LFO, then envelope, then time), audio-rate records writing their slices of the batch's sample
// buffer; then, under the object index's modulator-table lock, every modulator's instances push
// their values to its subscribers (except those served by links); finished instances leave the
// trees and the list. An instance that could not be packed (out of memory) keeps its last value.
//
// Life cycle: construct (empty table, no engine), Init (the instance engine), Update per frame,
// TermInstances (the engine part) and Term (table and engine) at the engine's termination.
// Threading: the audio thread, inside the engine tick or under the global engine lock.
// Ownership: the engine's singleton (memory pool 16, g_pModulatorMgr); the table's buckets and
// entries, the instance engine and its batches come from memory pool 0. Each entry holds a
// reference on each of its modulators, the instance list one on each listed instance.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkModulator;
class CZkModulatorInstance;
struct ZkModulatorBatch;
struct ZkModulatorLinkEntry;
struct ZkModulatorLinksHandle;
struct ZkModulatorTrigger;
struct ZkRTPCSubscription;

class CZkModulatorMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr ZkMemoryId kEnginePool = ZkMemID_Default;
    static constexpr uint32_t kBatchRecords = 16;
    static constexpr uint32_t kBatchAlignment = 16;
    // The parameters the voice modulates itself through links (volume and the make-up gain).
    static constexpr uint32_t kLinkedBits[2] = {0, 7};
    // Modulators driving modulators that drive modulators...: a bank can make a cycle (a modulator
    // driven by itself, directly or through others), which would start instances without end.
    static constexpr uint32_t kMaxDriveDepth = 8;

    CZkModulatorMgr() = default;
    ~CZkModulatorMgr() { Term(); }
    CZkModulatorMgr(const CZkModulatorMgr&) = delete;
    CZkModulatorMgr& operator=(const CZkModulatorMgr&) = delete;

    // The instance engine, zeroed. 1; 52 when pool 0 is exhausted; 1 with nothing done when it
    // exists already.
    ZKRESULT Init();
    // The target table (entries released), then the instance engine.
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

    // --- Targets ---
    // The subscription's target gets the modulator (the entry keeps a reference), and the modulator
    // the subscription. The modulator's result; 2 for an unknown modulator or when the entry
    // cannot be made.
    ZKRESULT AddSubscription(ZkUniqueID modulatorID, ZkRTPCSubscription* subscription);
    // The subscription leaves each modulator (the one given, or all for 0) its curves no longer
    // name; a modulator no other subscriber of the target uses leaves the target's entry. 1.
    ZKRESULT RemoveSubscription(ZkRTPCSubscription* subscription, ZkUniqueID modulatorID);
    // Appends {key, entry} when the key's target has modulators (nothing on allocation failure).
    void AppendEntryForKey(const ZkModulatorTargetKey& key, ZkModulatorKeyList& list) const;
    // Starts or joins the instances of every modulator of the key's target, then those of the
    // modulators that drive each one's own parameters. 1 when every attach succeeded, else 2.
    ZKRESULT ProcessForKey(const ZkModulatorTargetKey& key, const ZkModulatorTrigger& trigger,
                           ZkModulatorLinksHandle* links);
    // The same for every item of a play's key list.
    ZKRESULT ProcessForKeyList(const ZkModulatorKeyList& list, const ZkModulatorTrigger& trigger,
                               ZkModulatorLinksHandle* links);
    // The modulator's instances whose key matches stop (the owner of a scope went away). 1; 2 for an
    // unknown modulator (nothing done).
    ZKRESULT StopForKey(ZkUniqueID modulatorID, const ZkRTPCKey& key);
    // The link entry of the modulator on the target's parameter bit (0 or 7): the gain line of the
    // last curve of the target's subscription that names the modulator. False when there is none.
    bool GetLinkEntry(const void* target, uint32_t bit, ZkUniqueID modulatorID, ZkModulatorLinkEntry& entry) const;

    // A new instance that Attach made joins the end of the list (a reference taken). False without
    // an engine.
    bool AppendInstance(CZkModulatorInstance* instance);

    // --- Inspection (tests, tools) ---
    bool HasEngine() const { return m_engine != nullptr; }
    uint32_t TargetCount() const { return m_targets.Length(); }
    const ZkModulatorTargetEntry* FindEntry(const void* target) const;
    uint32_t InstanceCount() const { return m_engine != nullptr ? m_engine->instances.count : 0; }
    // Batches allocated for a kind (ZkModulatorKind).
    uint32_t BatchCount(int32_t kind) const;
    // The result of the last frame's step: 1; 52 when packing ran out of memory; 2 when a sample
    // buffer could not be allocated.
    ZKRESULT LastStepResult() const { return m_lastStepResult; }

private:
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
        BatchList batches[kKinds]; // envelope, LFO, time
    };
    using TargetTable = ZK::CZkHashTable<ZkModulatorTargetEntry, &ZkModulatorTargetEntry::pNextItem,
                                         &ZkModulatorTargetEntry::key>;

    ZkModulatorTargetEntry* FindTarget(const void* target) const;
    ZkModulatorTargetEntry* FindOrCreateTarget(const void* target);
    void FreeTarget(ZkModulatorTargetEntry* entry);
    // Attaches the entry's modulators for key, and recursively those that drive them (keyed on the
    // driven modulator, triggered by drivingNode), at most kMaxDriveDepth levels deep.
    ZKRESULT ProcessEntry(const ZkModulatorTargetEntry& entry, const ZkModulatorTargetKey& key,
                          const ZkModulatorTrigger& trigger, ZkModulatorLinksHandle* links,
                          CZkHierarchyNode* drivingNode, uint32_t depth);

    // Update's parts.
    ZKRESULT StepInstances(uint32_t frames);
    ZKRESULT PackInstance(CZkModulatorInstance& instance, uint32_t frames);
    ZKRESULT RunKernels(uint32_t frames);
    void PushValues();
    void PurgeFinished();
    static BatchList& ListOfKind(Engine& engine, int32_t kind);
    static void TrimBatches(BatchList& list, uint32_t used);
    static void FreeBatches(BatchList& list);

    TargetTable m_targets;
    Engine* m_engine = nullptr;
    // The batch of each kind being filled by the frame's packing (in the order of Engine::batches).
    ZkModulatorBatch* m_filling[Engine::kKinds] = {};
    ZKRESULT m_lastStepResult = ZK_Success;
};

// Null until the engine's initialisation creates the modulator manager.
extern CZkModulatorMgr* g_pModulatorMgr;
} // namespace ZK::SoundEngine
