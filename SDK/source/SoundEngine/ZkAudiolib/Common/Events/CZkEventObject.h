// CZkEventObject: what the game posts by id (bank hierarchy item type 4): an ordered list of
// actions and nothing else. Posting an event schedules one pending action per action of the list,
// in list order (EventManager::EnqueueEventActions).
//
// Bank body: u32 event id, the action count as a variable-length number, then that many u32
// action ids in execution order. The actions must have been read before the event (the bank
// reader creates items in file order); each one listed gains a reference, released when the event
// goes.
//
// Threading: created and read on the bank thread, before it is put into the event table; its
// reference count changes under the event table's lock (any thread); posted on the engine thread.
// Ownership: the object index's references (memory pool 1). The event owns one reference on each
// action of its list.
#pragma once

#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkObjectInfo.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventObject final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankData;

    // An empty event holding one reference, not yet in the event table; null out of memory.
    static CZkEventObject* Create(ZkUniqueID id);
    // Inserts the event into the event table (growing it first). 1; 52 when the table has no
    // buckets and none can be had (the event is then left out).
    ZKRESULT AddToIndex();
    // Fills the action list from the body (from the id on), within size. 1; 7 the count or an id
    // runs past the body; 14 an action id of 0; 2 an action that is not loaded. The actions read
    // before a failure stay in the list.
    ZKRESULT ReadFromBank(const uint8_t* body, uint32_t size);

    uint32_t AddRef() override;
    // At 0 the event leaves its table and is destroyed: its pinned prefetch records go first,
    // then each action of its list is released.
    uint32_t Release() override;
    void Destroy() override;

    CZkEventAction* FirstAction() const { return m_firstAction; }
    uint32_t ActionCount() const;

    // Preparations of the event (BankManager::PrepareEvent). While above 0 the event holds one
    // reference of its own, the preparation's. Written by the bank thread (and the music engine's
    // direct calls), under the event table's lock when every prepared event is cleared.
    uint32_t PreparationCount() const { return m_preparationCount; }
    void SetPreparationCount(uint32_t count) { m_preparationCount = count; }

    // For each play action whose target node is loaded: visit(node), the node holding a reference
    // for the call. Returns 1.
    template <typename Visit>
    ZKRESULT ForEachPlayTarget(Visit visit) const;
    // For Query::QueryAudioObjectIDs: with a non-zero capacity, writes a record for each play
    // action's loaded target until capacity records are written; with capacity 0 only counts. The
    // count goes back into capacity. 1 when the capacity was not 0, 3 when it was.
    ZKRESULT CollectPlayTargets(uint32_t& capacity, ZkObjectInfo* out) const;
    // The record of a node an event plays: its id, its source's media (a sound's; 0 for a node
    // without a source of its own), depth 0.
    static ZkObjectInfo PlayTargetInfo(const CZkHierarchyNode& node);

    // Use Create (pool 1).
    explicit CZkEventObject(ZkUniqueID id) : CZkIndexedObject(id) {}
    ~CZkEventObject() override;

private:
    CZkEventAction* m_firstAction = nullptr;
    uint32_t m_preparationCount = 0;
};

template <typename Visit>
ZKRESULT CZkEventObject::ForEachPlayTarget(Visit visit) const
{
    for (const CZkEventAction* action = m_firstAction; action != nullptr; action = action->pNextAction)
    {
        if (action->Type() != kPlayActionType)
            continue;
        if (CZkHierarchyNode* node = action->GetTargetNode())
        {
            visit(node);
            node->Release();
        }
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
