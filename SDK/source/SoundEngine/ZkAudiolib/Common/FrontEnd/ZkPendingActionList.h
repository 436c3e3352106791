// ZkPendingActionList: one of the event manager's two lists of pending actions, singly linked and
// sorted by a 32-bit key: the due frame in the active list, the action's id in the paused list. A
// new entry goes after every entry of an equal or smaller key, so entries of one key keep their
// insertion order (actions due on the same frame run in the order they were queued).
//
// The list nodes come from a block of kBlockNodes preallocated by Init (memory pool 0); beyond it
// one node at a time is taken from the pool and freed when it comes back.
//
// Threading: engine thread, under the global engine lock.
// Ownership: the list owns its nodes, not the pending actions they point at: whoever takes an
// entry out (Extract, PopFirstDue) owns its record.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkFixedNodeStore.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class PendingAction;

class ZkPendingActionList
{
public:
    static constexpr uint32_t kBlockNodes = 32;

    ZkPendingActionList() = default;
    ~ZkPendingActionList() { Term(); }
    ZkPendingActionList(const ZkPendingActionList&) = delete;
    ZkPendingActionList& operator=(const ZkPendingActionList&) = delete;

    // Preallocates the block. 1, or 52 (the list then takes its nodes one at a time).
    ZKRESULT Init() { return m_nodes.Init(kBlockNodes); }
    // Frees the nodes and the block. The records still listed are forgotten, not freed.
    void Term();

    // Inserts after every entry whose key is not greater. False when no node can be had.
    bool Insert(uint32_t key, PendingAction* pending);
    // Takes out the first entry when its key is not above maxKey; null otherwise.
    PendingAction* PopFirstDue(uint32_t maxKey);
    // Takes out the entry of this record. False when it is not listed.
    bool Remove(const PendingAction* pending);
    // Takes out every entry for which take(record) is true and chains their records through
    // their pNextExtracted link, in list order. Returns the first record of the chain (or null).
    template <typename Predicate>
    PendingAction* Extract(Predicate take);
    // Calls visit(record) for each entry in order; visit must not change the list.
    template <typename Visit>
    void ForEach(Visit visit) const
    {
        for (const Node* node = m_head; node != nullptr; node = node->next)
            visit(node->pending);
    }

    uint32_t Length() const { return m_count; }
    bool IsEmpty() const { return m_head == nullptr; }
    PendingAction* First() const { return m_head != nullptr ? m_head->pending : nullptr; }

private:
    struct Node
    {
        Node* next;
        uint32_t key;
        PendingAction* pending;
    };

    void Unlink(Node* previous, Node* node);

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    ZK::ZkFixedNodeStore<Node> m_nodes;
    uint32_t m_count = 0;
};
} // namespace ZK::SoundEngine

#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"

namespace ZK::SoundEngine
{
template <typename Predicate>
PendingAction* ZkPendingActionList::Extract(Predicate take)
{
    PendingAction* first = nullptr;
    PendingAction** last = &first;
    Node* previous = nullptr;
    for (Node* node = m_head; node != nullptr;)
    {
        Node* next = node->next;
        if (take(*node->pending))
        {
            PendingAction* pending = node->pending;
            Unlink(previous, node);
            pending->pNextExtracted = nullptr;
            *last = pending;
            last = &pending->pNextExtracted;
        }
        else
        {
            previous = node;
        }
        node = next;
    }
    return first;
}
} // namespace ZK::SoundEngine
