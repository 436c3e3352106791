// A new music object (memory pool 2) holding its creator's reference and entered in the object
// index's node table; null when it cannot be allocated or entered.
//
// Threading: bank loading under the global engine lock. Ownership: the caller's reference.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::MusicEngine
{
template <typename Node>
Node* NewIndexedNode(ZkUniqueID id)
{
    auto* node = ZK::ZkNew<Node>(Node::kPool, id);
    if (node != nullptr && node->AddToIndex() != ZK_Success)
    {
        ZK::ZkDelete(Node::kPool, node);
        return nullptr;
    }
    return node;
}
} // namespace ZK::MusicEngine
