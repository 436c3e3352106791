// ZkPooledList: a singly linked list (head and tail) of small nodes taken from a ZkFixedNodeStore:
// a block of nodes preallocated at Init, more one by one from the memory manager. Appends go to the
// tail; removals return block nodes to the free list and free the others. Used for the lists that
// change often: state-aware subscribers, trigger receivers, node ids, the bank thread's requests.
//
// Node needs a `Node* next` member.
// Threading: none of its own; the owner's lock (or thread) protects it.
// Ownership: owns its nodes and block; Term gives every node back.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkFixedNodeStore.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK
{
template <typename Node, ZkMemoryId Pool = ZkMemID_Default>
class ZkPooledList
{
public:
    ZkPooledList() = default;
    ~ZkPooledList() { Term(); }
    ZkPooledList(const ZkPooledList&) = delete;
    ZkPooledList& operator=(const ZkPooledList&) = delete;

    // Preallocates blockNodes nodes. 1, or 52.
    ZKRESULT Init(uint32_t blockNodes) { return m_store.Init(blockNodes); }

    // Appends a copy of node at the tail; null when no node can be had.
    Node* Append(const Node& node)
    {
        Node* added = m_store.Create(node);
        if (added == nullptr)
            return nullptr;
        added->next = nullptr;
        (m_tail != nullptr ? m_tail->next : m_head) = added;
        m_tail = added;
        ++m_used;
        return added;
    }

    // Removes the first node, if any.
    void RemoveFirst()
    {
        Node* first = m_head;
        if (first == nullptr)
            return;
        m_head = first->next;
        if (m_tail == first)
            m_tail = nullptr;
        m_store.Destroy(first);
        --m_used;
    }

    // Removes every node for which remove(node) is true, keeping the order of the others.
    template <typename Predicate>
    void RemoveIf(Predicate remove)
    {
        Node* previous = nullptr;
        for (Node* node = m_head; node != nullptr;)
        {
            Node* next = node->next;
            if (remove(*node))
            {
                (previous != nullptr ? previous->next : m_head) = next;
                if (m_tail == node)
                    m_tail = previous;
                m_store.Destroy(node);
                --m_used;
            }
            else
            {
                previous = node;
            }
            node = next;
        }
    }

    Node* First() const { return m_head; }
    Node* Last() const { return m_tail; }
    uint32_t Length() const { return m_used; }
    bool InBlock(const Node* node) const { return m_store.InBlock(node); }

    // Gives every node back and frees the block.
    void Term()
    {
        RemoveIf([](const Node&) { return true; });
        m_store.Term();
    }

private:
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    ZK::ZkFixedNodeStore<Node, Pool> m_store;
    uint32_t m_used = 0;
};
} // namespace ZK
