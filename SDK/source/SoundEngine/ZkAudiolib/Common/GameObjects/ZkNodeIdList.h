// ZkNodeIdList: records once each hierarchy node (id and bus flag) that keeps runtime data of its
// own without a game object. A pooled singly linked list: a block of 8 nodes is preallocated, more
// come one by one from memory pool 0.
//
// Threading: audio thread, under the global engine lock.
// Ownership: owns its nodes and block.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkFixedNodeStore.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkNodeIdList
{
public:
    static constexpr uint32_t kBlockNodes = 8;

    struct Node
    {
        Node* next;
        ZkUniqueID id;
        uint8_t isBus;
    };

    ~ZkNodeIdList() { Term(); }

    ZKRESULT Init() { return m_store.Init(kBlockNodes); }
    // 1 when added or already present; 52 out of memory.
    ZKRESULT Add(ZkUniqueID id, bool isBus)
    {
        for (const Node* node = m_head; node != nullptr; node = node->next)
        {
            if (node->id == id && (node->isBus != 0) == isBus)
                return ZK_Success;
        }
        Node* node = m_store.Create(Node{nullptr, id, static_cast<uint8_t>(isBus ? 1 : 0)});
        if (node == nullptr)
            return ZK_InsufficientMemory;
        (m_tail != nullptr ? m_tail->next : m_head) = node;
        m_tail = node;
        ++m_used;
        return ZK_Success;
    }
    const Node* First() const { return m_head; }
    uint32_t Length() const { return m_used; }
    void Term()
    {
        while (m_head != nullptr)
        {
            Node* next = m_head->next;
            m_store.Destroy(m_head);
            m_head = next;
        }
        m_tail = nullptr;
        m_used = 0;
        m_store.Term();
    }

private:
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    ZK::ZkFixedNodeStore<Node> m_store;
    uint32_t m_used = 0;
};
} // namespace ZK::SoundEngine
