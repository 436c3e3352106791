#include "ZkAudiolib/Common/Banks/BankRequestQueue.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <new>

namespace ZK::SoundEngine
{
ZKRESULT BankRequestQueue::Init()
{
    if (m_block != nullptr)
        return ZK_Success;
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(Node) * kPreallocatedNodes);
    if (memory == nullptr)
        return ZK_InsufficientMemory;
    m_block = static_cast<Node*>(memory);
    for (uint32_t index = 0; index < kPreallocatedNodes; ++index)
    {
        Node* node = new (m_block + index) Node;
        node->next = m_free;
        m_free = node;
    }
    return ZK_Success;
}

void BankRequestQueue::Term()
{
    BankRequest dropped;
    while (Pop(dropped))
        BankManager::FreeRequestHoldings(dropped);
    if (m_block != nullptr)
        ZK::MemoryMgr::Free(kPool, m_block); // the nodes are plain records
    m_block = nullptr;
    m_free = nullptr;
}

bool BankRequestQueue::Push(const BankRequest& request)
{
    Node* node = m_free;
    if (node != nullptr)
        m_free = node->next;
    else
    {
        node = ZK::ZkNew<Node>(kPool);
        if (node == nullptr)
            return false;
        ++m_extraNodes;
    }
    node->request = request;
    node->next = nullptr;
    if (m_tail != nullptr)
        m_tail->next = node;
    else
        m_head = node;
    m_tail = node;
    ++m_count;
    return true;
}

void BankRequestQueue::PopLast()
{
    Node* last = m_tail;
    if (last == nullptr)
        return;
    Node* previous = nullptr;
    for (Node* node = m_head; node != last; node = node->next)
        previous = node;
    if (previous != nullptr)
        previous->next = nullptr;
    else
        m_head = nullptr;
    m_tail = previous;
    --m_count;
    Recycle(last);
}

bool BankRequestQueue::Pop(BankRequest& request)
{
    Node* node = m_head;
    if (node == nullptr)
        return false;
    request = node->request;
    m_head = node->next;
    if (m_head == nullptr)
        m_tail = nullptr;
    --m_count;
    Recycle(node);
    return true;
}

void BankRequestQueue::Recycle(Node* node)
{
    if (IsPreallocated(node))
    {
        node->next = m_free;
        m_free = node;
        return;
    }
    ZK::ZkDelete(kPool, node);
    --m_extraNodes;
}
} // namespace ZK::SoundEngine
