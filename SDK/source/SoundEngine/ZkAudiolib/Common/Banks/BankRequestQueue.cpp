#include "ZkAudiolib/Common/Banks/BankRequestQueue.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"

namespace ZK::SoundEngine
{
void BankRequestQueue::Term()
{
    BankRequest dropped;
    while (Pop(dropped))
        BankManager::FreeRequestHoldings(dropped);
    m_nodes.Term();
}

void BankRequestQueue::PopLast()
{
    const Node* last = m_nodes.Last();
    m_nodes.RemoveIf([last](const Node& node) { return &node == last; });
}

bool BankRequestQueue::Pop(BankRequest& request)
{
    const Node* first = m_nodes.First();
    if (first == nullptr)
        return false;
    request = first->request;
    m_nodes.RemoveFirst();
    return true;
}

uint32_t BankRequestQueue::ExtraNodes() const
{
    uint32_t extra = 0;
    for (const Node* node = m_nodes.First(); node != nullptr; node = node->next)
        extra += m_nodes.InBlock(node) ? 0 : 1;
    return extra;
}
} // namespace ZK::SoundEngine
