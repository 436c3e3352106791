// ZkMidiNoteList: a singly linked list of small entries with a block of four nodes made when the
// list is set up, so that a note's first voices and actions cost no allocation of their own;
// further nodes are allocated one by one (memory pool 0) and freed when they leave.
//
// Threading: audio thread. Ownership: the list owns its nodes and its block, not what the entries
// point at.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <new>

namespace ZK::SoundEngine
{
template <typename Entry>
class ZkMidiNoteList
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kBlockNodes = 4;

    struct Node
    {
        Node* next;
        Entry entry;
    };

    ZkMidiNoteList() = default;
    ~ZkMidiNoteList() { Term(); }
    ZkMidiNoteList(const ZkMidiNoteList&) = delete;
    ZkMidiNoteList& operator=(const ZkMidiNoteList&) = delete;

    // The block of four nodes. 1; 52 out of memory.
    ZKRESULT Init()
    {
        m_block = static_cast<Node*>(ZK::MemoryMgr::Malloc(kPool, sizeof(Node) * kBlockNodes));
        if (m_block == nullptr)
            return ZK_InsufficientMemory;
        for (uint32_t i = 0; i < kBlockNodes; ++i)
            m_block[i].next = i + 1 < kBlockNodes ? &m_block[i + 1] : nullptr;
        m_free = m_block;
        return ZK_Success;
    }

    // Every entry goes, then the block.
    void Term()
    {
        while (m_head != nullptr)
            Unlink(nullptr, m_head);
        if (m_block != nullptr)
            ZK::MemoryMgr::Free(kPool, m_block);
        m_block = nullptr;
        m_free = nullptr;
    }

    // Appends the entry; false when no node can be had.
    bool Add(const Entry& entry)
    {
        Node* node = m_free;
        if (node != nullptr)
            m_free = node->next;
        else
            node = static_cast<Node*>(ZK::MemoryMgr::Malloc(kPool, sizeof(Node)));
        if (node == nullptr)
            return false;
        node->next = nullptr;
        node->entry = entry;
        (m_tail != nullptr ? m_tail->next : m_head) = node;
        m_tail = node;
        ++m_count;
        return true;
    }

    // Takes out the first entry for which match is true; false when there is none.
    template <typename Match>
    bool Remove(Match match)
    {
        Node* before = nullptr;
        for (Node* node = m_head; node != nullptr; before = node, node = node->next)
        {
            if (match(node->entry))
            {
                Unlink(before, node);
                return true;
            }
        }
        return false;
    }

    // Visits every entry; the visit may remove the entry it is given (and only that one).
    template <typename Visit>
    void ForEach(Visit visit) const
    {
        for (Node* node = m_head; node != nullptr;)
        {
            Node* next = node->next;
            visit(node->entry);
            node = next;
        }
    }

    bool IsEmpty() const { return m_head == nullptr; }
    uint32_t Count() const { return m_count; }

private:
    void Unlink(Node* before, Node* node)
    {
        (before != nullptr ? before->next : m_head) = node->next;
        if (m_tail == node)
            m_tail = before;
        --m_count;
        if (node >= m_block && node < m_block + kBlockNodes)
        {
            node->next = m_free;
            m_free = node;
        }
        else
        {
            ZK::MemoryMgr::Free(kPool, node);
        }
    }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    uint32_t m_count = 0;
    Node* m_block = nullptr;
    Node* m_free = nullptr;
};
} // namespace ZK::SoundEngine
