#include "ZkAudiolib/Common/Hierarchy/ZkUpdatedNodes.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine::ZkUpdatedNodes
{
namespace
{
CZkHierarchyNode* g_head = nullptr;
CZkHierarchyNode* g_tail = nullptr;
} // namespace

void Append(CZkHierarchyNode* node)
{
    node->pNextUpdated = nullptr;
    if (g_tail != nullptr)
        g_tail->pNextUpdated = node;
    else
        g_head = node;
    g_tail = node;
}

void Remove(CZkHierarchyNode* node)
{
    CZkHierarchyNode* previous = nullptr;
    CZkHierarchyNode* at = g_head;
    while (at != nullptr && at != node)
    {
        previous = at;
        at = at->pNextUpdated;
    }
    if (at == nullptr)
        return;
    (previous != nullptr ? previous->pNextUpdated : g_head) = node->pNextUpdated;
    if (g_tail == node)
        g_tail = previous;
    node->pNextUpdated = nullptr;
}

CZkHierarchyNode* First() { return g_head; }

uint32_t Length()
{
    uint32_t length = 0;
    for (CZkHierarchyNode* node = g_head; node != nullptr; node = node->pNextUpdated)
        ++length;
    return length;
}
} // namespace ZK::SoundEngine::ZkUpdatedNodes
