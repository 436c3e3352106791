// The bodies of a bank's actions (item type 3) and events (item type 4) over arbitrary bytes. The
// first byte chooses: even, the rest is an action body (its type word picks the kind, as the bank
// reader does); odd, an event body read against four loaded actions. Every body is read within its
// size or refused, the action's delay and fade are never negative, and a released event gives each
// of its actions its reference back.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Events/CZkActionFactory.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

constexpr ZkUniqueID kLoadedActions = 4;

void ReadAction(const std::vector<std::uint8_t>& body)
{
    if (body.size() < 6)
        return;
    CZkEventAction* action = CZkActionFactory::Create(ZK::LoadLittleEndian<uint16_t>(body.data() + 4), 0);
    if (action == nullptr)
        return; // a kind without class
    const ZKRESULT result = action->ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
    Check(result == ZK_Success || result == ZK_InvalidFile || result == ZK_Fail || result == ZK_InsufficientMemory);
    Check(action->GetFadeTime() >= 0);
    action->GetDelay();
    action->Release();
}

void ReadEvent(const std::vector<std::uint8_t>& body)
{
    std::vector<CZkEventAction*> actions;
    for (ZkUniqueID id = 1; id <= kLoadedActions; ++id)
        actions.push_back(CZkActionFactory::Create(0x0403, id));
    CZkEventObject* event = CZkEventObject::Create(9);
    Check(event != nullptr);
    const ZKRESULT result = event->ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
    Check(result == ZK_Success || result == ZK_InvalidFile || result == ZK_InvalidShareSetID || result == ZK_Fail);
    Check(event->ActionCount() <= kLoadedActions);
    event->Release();
    for (CZkEventAction* action : actions)
    {
        Check(action->RefCount() == 1);
        action->Release();
    }
    Check(g_pObjectIndex->Table(ZkIndexKind::Actions).Length() == 0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    if (size == 0)
        return 0;
    // A copy of exactly the body's bytes, so that a read past it is seen.
    const std::vector<std::uint8_t> body(data + 1, data + size);
    if ((data[0] & 1) == 0)
        ReadAction(body);
    else
        ReadEvent(body);
    return 0;
}
