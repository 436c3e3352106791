// ZkNodeIdList: records once each hierarchy node (id and bus flag): the registry's nodes that keep
// runtime data of their own without a game object, and each game object's per-object node list.
// A pooled list: a block of 8 nodes is preallocated, more come one by one from memory pool 0.
//
// Threading: audio thread, under the global engine lock.
// Ownership: owns its nodes and block.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkPooledList.h"

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

    ZKRESULT Init() { return m_nodes.Init(kBlockNodes); }
    // 1 when added or already present; 52 out of memory.
    ZKRESULT Add(ZkUniqueID id, bool isBus)
    {
        for (const Node* node = m_nodes.First(); node != nullptr; node = node->next)
        {
            if (node->id == id && (node->isBus != 0) == isBus)
                return ZK_Success;
        }
        return m_nodes.Append(Node{nullptr, id, static_cast<uint8_t>(isBus ? 1 : 0)}) != nullptr ? ZK_Success
                                                                                                : ZK_InsufficientMemory;
    }
    const Node* First() const { return m_nodes.First(); }
    uint32_t Length() const { return m_nodes.Length(); }
    void Term() { m_nodes.Term(); }

private:
    ZK::ZkPooledList<Node> m_nodes;
};
} // namespace ZK::SoundEngine
