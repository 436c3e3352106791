// The body of a bank's container over arbitrary bytes: the first byte chooses a group node (even)
// or a playlist container (odd), the rest is the body. It is read within its size, and the released
// node leaves nothing behind (no node in the table, no subscription).
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    if (size == 0)
        return 0;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    // A copy of exactly the body's bytes, so that a read past it is seen.
    std::vector<std::uint8_t> body(data + 1, data + size);
    const bool playlist = (data[0] & 1) != 0;
    CZkContainerNode* node = playlist ? static_cast<CZkContainerNode*>(CZkPlaylistContainerNode::Create(1))
                                      : static_cast<CZkContainerNode*>(CZkGroupNode::Create(1));
    Check(node != nullptr);
    const auto bodySize = static_cast<std::uint32_t>(body.size());
    const ZKRESULT result = playlist ? CZkPlaylistContainerNode::ReadFromBank(node, body.data(), bodySize, false)
                                     : CZkGroupNode::ReadFromBank(node, body.data(), bodySize, false);
    Check(result != ZK_AlreadyExists);
    if (result == ZK_Success && playlist)
    {
        auto* list = static_cast<CZkPlaylistContainerNode*>(node);
        for (int play = 0; play < 8; ++play)
            Check(list->SelectForStep(nullptr) == nullptr); // no entry is loaded
    }
    node->Release();
    Check(g_pObjectIndex->Table(ZkIndexKind::Nodes).Length() == 0);
    Check(g_pRTPCMgr->SubscriptionCount() == 0);
    return 0;
}
