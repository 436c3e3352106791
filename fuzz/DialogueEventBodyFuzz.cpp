// The body of a bank's dialogue event (item type 15) over arbitrary bytes: it is read within its size
// or refused with 7 (or an out-of-memory answer), and an event that was read resolves a path of its
// depth without reading outside its tree.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Dialogue/CZkDialogueEvent.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    CZkDialogueEvent* event = CZkDialogueEvent::Create(1);
    Check(event != nullptr);
    const ZKRESULT result = event->SetFromBank(data, static_cast<uint32_t>(size));
    Check(result == ZK_Success || result == ZK_InvalidFile || result == ZK_InsufficientMemory || result == ZK_Fail);
    const uint32_t depth = event->ArgumentCount();
    if (result == ZK_Success && depth <= 64)
    {
        // The path of the keys of the first node of each level, where the data has them.
        std::vector<uint32_t> path(depth, 0);
        const ZkDecisionNodes nodes = event->Tree().Nodes();
        for (uint32_t level = 0; level < depth && level + 1 < nodes.count; ++level)
            path[level] = nodes.Key(level + 1);
        event->Tree().ResolvePath(1, path.data(), depth, 0, nullptr, nullptr);
    }
    event->Release();
    Check(g_pObjectIndex->Table(ZkIndexKind::DialogueEvents).Length() == 0);
    return 0;
}
