// The body of a bank's sound (item type 2) over arbitrary bytes: it is read within its size, and the
// released node leaves nothing behind (no node in the table, no subscription, no state link).
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    // A copy of exactly the input's bytes, so that a read past it is seen.
    std::vector<std::uint8_t> body(data, data + size);
    CZkSoundNode* sound = CZkSoundNode::Create(1);
    Check(sound != nullptr);
    const ZKRESULT result =
        CZkSoundNode::ReadFromBank(sound, body.data(), static_cast<std::uint32_t>(body.size()), size % 7 == 3);
    Check(result != ZK_AlreadyExists);
    sound->Release();
    Check(g_pObjectIndex->Table(ZkIndexKind::Nodes).Length() == 0);
    Check(g_pRTPCMgr->SubscriptionCount() == 0);
    return 0;
}
