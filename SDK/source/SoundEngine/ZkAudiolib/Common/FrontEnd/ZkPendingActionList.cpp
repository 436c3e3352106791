#include "ZkAudiolib/Common/FrontEnd/ZkPendingActionList.h"

namespace ZK::SoundEngine
{
void ZkPendingActionList::Term()
{
    while (m_head != nullptr)
        Unlink(nullptr, m_head);
    m_nodes.Term();
}

bool ZkPendingActionList::Insert(uint32_t key, PendingAction* pending)
{
    Node* node = m_nodes.Create(Node{nullptr, key, pending});
    if (node == nullptr)
        return false;
    // Most entries are due after everything queued: they go straight to the tail.
    Node** link = m_tail != nullptr && m_tail->key <= key ? &m_tail->next : &m_head;
    while (*link != nullptr && (*link)->key <= key)
        link = &(*link)->next;
    node->next = *link;
    *link = node;
    if (node->next == nullptr)
        m_tail = node;
    ++m_count;
    return true;
}

PendingAction* ZkPendingActionList::PopFirstDue(uint32_t maxKey)
{
    if (m_head == nullptr || m_head->key > maxKey)
        return nullptr;
    PendingAction* pending = m_head->pending;
    Unlink(nullptr, m_head);
    return pending;
}

bool ZkPendingActionList::Remove(const PendingAction* pending)
{
    Node* previous = nullptr;
    for (Node* node = m_head; node != nullptr; previous = node, node = node->next)
    {
        if (node->pending == pending)
        {
            Unlink(previous, node);
            return true;
        }
    }
    return false;
}

void ZkPendingActionList::Unlink(Node* previous, Node* node)
{
    (previous != nullptr ? previous->next : m_head) = node->next;
    if (m_tail == node)
        m_tail = previous;
    m_nodes.Destroy(node);
    --m_count;
}
} // namespace ZK::SoundEngine
