// CZkPerObjectNodeList: the hierarchy nodes (id and bus flag) that keep data of their own for one
// game object (play histories, modified properties). When the game object goes, each recorded node
// is asked to drop its data for it.
//
// Threading: audio thread, under the global engine lock.
// Ownership: a component of its game object (memory pool 4); owns its pooled list (pool 0). The
// nodes belong to the object index; the list records ids only.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"
#include "ZkAudiolib/Common/GameObjects/ZkNodeIdList.h"

namespace ZK::SoundEngine
{
class CZkPerObjectNodeList final : public CZkListedComponent<CZkPerObjectNodeList>
{
public:
    CZkPerObjectNodeList() = default;
    // Asks every recorded node still in the object index to drop its data for the owner.
    ~CZkPerObjectNodeList() override;

    // Preallocates the list's block of nodes. 1, or 52.
    ZKRESULT Init(ZkGameObjectID) override { return m_nodes.Init(); }
    // Records the node once. 1 when added or present; 2 out of memory.
    ZKRESULT AddNode(ZkUniqueID nodeID, bool isBus)
    {
        return m_nodes.Add(nodeID, isBus) == ZK_Success ? ZK_Success : ZK_Fail;
    }
    const ZkNodeIdList& Nodes() const { return m_nodes; }

private:
    ZkNodeIdList m_nodes;
};
} // namespace ZK::SoundEngine
