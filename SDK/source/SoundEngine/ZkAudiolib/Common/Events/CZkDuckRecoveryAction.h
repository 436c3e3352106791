// CZkDuckRecoveryAction: the pending action (type 0x1820) that ends a bus's ducking some time
// after the bus went quiet. Queue makes one for the bus, with its delay (property 15) set to the
// recovery time in samples and its target the bus, and hands it to the event manager's pending
// actions; when it runs, it looks the bus up by id and calls CZkBus::EndDuckRecovery (a bus that
// is gone needs nothing). No pause, resume, stop or remove walker touches it: a bus waiting for
// its recovery always gets it. No bank holds one.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the pending action's reference (memory pool 1).
#pragma once

#include "ZkAudiolib/Common/Events/CZkEventAction.h"

namespace ZK::SoundEngine
{
class CZkDuckRecoveryAction final : public CZkEventAction
{
public:
    CZkDuckRecoveryAction() : CZkEventAction(kDuckRecoveryActionType, 0) {}

    // Queues a recovery of the bus due recoverySamples from now (at the next tick at the earliest).
    // 1; 52 when it cannot be made or queued; 2 without an event manager.
    static ZKRESULT Queue(ZkUniqueID busID, uint32_t recoverySamples);

    // 1, whether the bus is still loaded or not.
    ZKRESULT Execute(PendingAction& pending) override;
};
} // namespace ZK::SoundEngine
