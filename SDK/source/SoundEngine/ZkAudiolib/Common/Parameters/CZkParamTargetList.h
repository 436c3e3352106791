// CZkParamTargetList: embedded in every hierarchy node; subscribes the node to game parameters once
// for all its playing instances, and routes each change to the keyed targets (CZkKeyedParamTarget)
// that the change's key concerns and that listen to the parameter bit.
//
// Targets are kept sorted by key (game object, playing id, MIDI target, (channel + 1) AND 31,
// (note + 1) AND 255, instance), so the targets a key concerns form one run from its lower bound.
// The common mask (AND of all targets' masks) lets a change skip per-target mask tests.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the list owns its record (ZkParamTargetSet, memory pool 2, created on first need) and
// the target array, not the targets. Its destructor unsubscribes every used bit.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;
class CZkKeyedParamTarget;
class CZkRTPCOverrideFilter;

struct ZkMaskedTarget
{
    uint64_t mask;
    CZkKeyedParamTarget* target;
};

struct ZkParamTargetSet
{
    uint64_t usedBits = 0;
    uint64_t commonMask = ~0ull;
    ZK::ZkArray<ZkMaskedTarget> targets;
    uint8_t modulatorFlag = 0;
};

class CZkParamTargetList
{
public:
    // ownerNode: the node that embeds the list (its reference is held by active subscriptions);
    // may be null for a list that belongs to no indexed object.
    CZkParamTargetList(ZkUniqueID ownerID, CZkIndexedObject* ownerNode) : m_ownerID(ownerID), m_ownerNode(ownerNode) {}
    virtual ~CZkParamTargetList();
    CZkParamTargetList(const CZkParamTargetList&) = delete;
    CZkParamTargetList& operator=(const CZkParamTargetList&) = delete;

    // Routes a change of bit for key to the targets it concerns (all with the bit for the global key),
    // skipping those the filter reports overridden.
    virtual void SetParamValue(uint32_t bit, const ZkRTPCKey& key, float value, float delta,
                               const CZkRTPCOverrideFilter* filter);
    // OnNotification of every target, without mask test.
    virtual void ForwardNotification(uint8_t flag, uint32_t value);
    virtual void ForwardNotification64(uint8_t flag, uint64_t value);

    // Subscribes the node (global key, kind 2). 2 when the record cannot be made or there is no
    // game-parameter manager; otherwise the manager's result.
    ZKRESULT SubscribeRTPC(ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit, uint32_t curveID,
                           uint32_t scaling, const ZkCurvePoint* points, uint32_t pointCount);
    ZKRESULT AddParamBit(uint32_t bit);
    void RemoveParamBit(uint32_t bit, uint32_t curveID);

    void SetParamValueForKey(uint32_t bit, const ZkRTPCKey& key, float value, float delta);
    void SetParamValueForKeyFiltered(uint32_t bit, const ZkRTPCKey& key, float value, float delta,
                                     const CZkRTPCOverrideFilter& filter);
    void BroadcastParamValue(uint32_t bit, float value, float delta);

    // Position of the first target whose key is not below key.
    uint32_t FindTarget(const ZkRTPCKey& key) const;
    // Inserts the target at its key's position. 1; 2 out of memory.
    ZKRESULT AddTarget(CZkKeyedParamTarget* target, uint64_t mask);
    bool RemoveTarget(CZkKeyedParamTarget* target);
    // Adds the target with mask, gives a present target the new mask, or removes it for mask 0. The
    // list's first target activates its subscriptions at the game-parameter manager, and the last
    // one to leave deactivates them. 1; 2 out of memory.
    ZKRESULT SetTarget(CZkKeyedParamTarget* target, uint64_t mask);
    bool HasTarget(const CZkKeyedParamTarget* target) const;

    ZkUniqueID OwnerID() const { return m_ownerID; }
    CZkIndexedObject* OwnerNode() const { return m_ownerNode; }
    const ZkParamTargetSet* Record() const { return m_record; }
    uint32_t TargetCount() const { return m_record != nullptr ? m_record->targets.Length() : 0; }
    // The parameter bits this list drives.
    uint64_t UsedBits() const { return m_record != nullptr ? m_record->usedBits : 0; }

    // Lexicographic order of target keys (channel and note shifted so that "any" sorts first).
    static bool KeyBefore(const ZkRTPCKey& a, const ZkRTPCKey& b);

private:
    bool EnsureRecord();
    void FreeRecordIfUnused();
    void RecomputeCommonMask();
    void Deliver(const ZkMaskedTarget& entry, uint32_t bit, float value, float delta) const;
    // Index of the entry holding this very target, or the target count.
    uint32_t IndexOf(const CZkKeyedParamTarget* target) const;

    ZkParamTargetSet* m_record = nullptr;
    ZkUniqueID m_ownerID;
    CZkIndexedObject* m_ownerNode;
};
} // namespace ZK::SoundEngine
