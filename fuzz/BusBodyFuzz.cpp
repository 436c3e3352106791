// The body of a bank's bus (item types 8 and 18) over arbitrary bytes: it is read within its size,
// and the released bus leaves nothing behind (not in the bus table, its parent's child buses, the
// top-level list, the game-parameter manager). Bus 2 is loaded, for bodies that name a parent.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    CZkBus* parent = CZkBus::Create(2);
    Check(parent != nullptr);
    // A copy of exactly the input's bytes, so that a read past it is seen.
    std::vector<std::uint8_t> body(data, data + size);
    CZkBus* bus = size % 2 == 0 ? CZkBus::Create(1) : CZkBusType18::Create(1);
    Check(bus != nullptr);
    bus->SetFromBank(body.data(), static_cast<std::uint32_t>(body.size()));
    bus->Release();
    Check(g_pObjectIndex->Table(ZkIndexKind::Buses).Length() == 1);
    Check(parent->ChildBusCount() == 0 && parent->RefCount() == 1);
    Check(CZkBus::TopLevelCount() == 0);
    Check(g_pRTPCMgr->SubscriptionCount() == 0);
    parent->Release();
    CZkBus::UnmuteBackgroundMusic();
    return 0;
}
