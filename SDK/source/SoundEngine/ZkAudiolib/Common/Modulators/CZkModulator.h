// CZkModulator: a modulator bank object (hierarchy item types 19 LFO, 20 envelope, 22 time): its
// properties and their random ranges in packed lists, the game parameters that drive them, and the
// tree of its running instances. The kinds differ in their instances and how they compute them
// (CZkModulatorKinds.h).
//
// Game parameters drive a modulator through subscriptions of kind 3 made when the bank is read;
// they stay inactive while no instance runs (the active-use count). A running instance reads every
// property for its own key: the bank value or the default, the game parameter's value instead
// when one drives it, plus a random draw of its range (then clamped).
//
// Threading: Create, AddRef and Release take the lock of the object index's modulator table (the
// bank thread creates and reads modulators under the bank lock; the audio thread looks them up);
// everything else runs on the audio thread under the global engine lock.
// Ownership: memory pool 2, owned by its references (the banks that hold it, each running
// instance, look-ups). It owns its lists (pool 0), its instance tree and subscriber array.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPackedPropList.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorInstanceTree.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorRecords.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkModulatorInstance;
class CZkModulatorMgr;
struct ZkModulatorLinksHandle;
struct ZkModulatorTargetKey;
struct ZkModulatorTrigger;
struct ZkRTPCSubscription;

class CZkModulator : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;
    static constexpr ZkMemoryId kListPool = ZkMemID_Default;

    // A new modulator of kind 0, 1 or 2 holding one reference, in the object index's modulator
    // table; null for another kind, when pool 2 is exhausted or without an object index.
    static CZkModulator* Create(ZkUniqueID id, int32_t kind);

    uint32_t AddRef() override;
    uint32_t Release() override;
    void Destroy() override = 0;

    // Reads the bank body (from its id): the properties, the ranges and the game-parameter
    // subscriptions. 1; 7 when a count or entry runs past the body or a value is not finite
    // (nothing changed); 2 when a list cannot be allocated (the previous list kept); a
    // subscription's failure (the entries after it are not read).
    ZKRESULT SetFromBank(const uint8_t* body, uint32_t size);

    // --- Operations of each kind ---
    // Fills the kind's parameter block for the instance (its key, its current value).
    virtual void ComputeParams(void* block, CZkModulatorInstance& instance) = 0;
    // Whether the modulator reaches voice parameters through links (LFO and envelope).
    virtual bool IsLinkable() const = 0;
    // Whether an existing instance is initialised again when triggered again (envelope).
    virtual bool RetriggersExisting() const = 0;
    virtual bool ShouldTrigger(const ZkModulatorTrigger& context) const = 0;
    // Whether the end of an instance stops what it modulates (envelope and time, by property).
    virtual bool StopsPlayback() const = 0;

    // The instance to use for the trigger: the existing one (initialised again on a retrigger),
    // a new one (created set) or null (not triggered, out of memory, or a scoped instance that
    // the trigger kind 0 does not create).
    CZkModulatorInstance* CreateInstance(CZkModulatorInstance* existing, const ZkModulatorTrigger& context,
                                         CZkHierarchyNode* target, int32_t scope, bool& created);

    // Starts or joins the instance of the trigger's key (reduced to the modulator's scope, at least
    // the key's minimum scope): the tree's slot keeps it, the links of the handle (when given) link
    // it, and a new instance whose scope owner is alive (recorded in that owner's scope) joins the
    // manager's list. 1; 2 when no instance serves the trigger, or the links cannot be made (the
    // instance then keeps its slot, unlisted); the links' failure.
    ZKRESULT Attach(const ZkModulatorTargetKey& key, const ZkModulatorTrigger& trigger, CZkModulatorMgr& manager,
                    ZkModulatorLinksHandle* links);

    // A game parameter driving modulator parameter `parameter` changed to value for key: every
    // instance the key (reduced to the modulator's scope) matches takes it. 1.
    ZKRESULT SetParamForKey(uint32_t parameter, float value, const ZkRTPCKey& key);
    // The value of the instance for the key (reduced to the scope; a missing part falls back to
    // the wildcard). False when no instance serves the key.
    bool GetValue(const ZkRTPCKey& key, float& value) const;
    // A game-parameter subscription that uses this modulator as its source (kept sorted by
    // address). 1 (also when present); 52 when the array cannot grow. A subscription that links
    // to a voice parameter lets instances run at audio rate.
    ZKRESULT AddSubscriber(ZkRTPCSubscription* subscription);
    // The subscription no longer uses this modulator (nothing when absent).
    void RemoveSubscriber(ZkRTPCSubscription* subscription);

    // A running instance starts or stops using the modulator: the game-parameter subscriptions
    // are active while one does.
    void AddActiveUse();
    void RemoveActiveUse();

    // --- Properties for an instance ---
    // The value as the bank gives it (or the default), before driving, range and units.
    float StoredValue(uint32_t id) const;
    // The bank value or default, driven by its game parameter for key, plus its range, clamped.
    float ReadProperty(uint32_t id, const ZkRTPCKey& key) const;
    // TimeLoops: with a range, the sum at most 100 and at least 1; 0 means endless.
    int32_t ReadLoops() const;
    int32_t Scope() const { return static_cast<int32_t>(StoredValue(0)); }

    int32_t Kind() const { return m_kind; }
    uint64_t DrivenMask() const { return m_drivenMask; }
    int32_t ActiveUses() const { return m_activeUses; }
    bool HasAudioRateSubscriber() const { return m_audioRate != 0; }
    const ZK::ZkArray<ZkRTPCSubscription*>& Subscribers() const { return m_subscribers; }
    ZkModulatorInstanceTree& Instances() { return m_instances; }
    const ZkModulatorInstanceTree& Instances() const { return m_instances; }

protected:
    CZkModulator(ZkUniqueID id, int32_t kind) : CZkIndexedObject(id), m_kind(kind) {}
    ~CZkModulator() override;
    // A new instance of the kind (no reference); null out of memory.
    virtual CZkModulatorInstance* AllocateInstance() = 0;

private:
    int32_t m_kind;
    ZkPackedPropList<4, kListPool> m_properties;
    ZkPackedPropList<8, kListPool> m_ranges;
    uint64_t m_drivenMask = 0;
    // Parameter numbers of 64 and more: the mask holds them modulo 64, so their subscriptions are
    // listed to be ended with the modulator.
    ZK::ZkArray<uint32_t, kListPool> m_wideParameters;
    int32_t m_activeUses = 0;
    ZkModulatorInstanceTree m_instances;
    ZK::ZkArray<ZkRTPCSubscription*> m_subscribers;
    uint8_t m_audioRate = 0;
};
} // namespace ZK::SoundEngine
