#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine
{
CZkPerObjectNodeList::~CZkPerObjectNodeList()
{
    if (g_pObjectIndex != nullptr)
    {
        for (const ZkNodeIdList::Node* entry = m_nodes.First(); entry != nullptr; entry = entry->next)
        {
            // Every object of the node tables is a hierarchy node.
            auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(entry->id, entry->isBus != 0));
            if (node == nullptr)
                continue;
            node->RemoveGameObjectData(owner);
            node->Release();
        }
    }
    m_nodes.Term();
}
} // namespace ZK::SoundEngine
