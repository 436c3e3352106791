// CZkDuckRecoveryAction (declaration only): the pending action (type 0x1820) that ends a bus's
// ducking some time after the bus's activity ended. Queue makes one for the bus, with its delay
// (action property 15) set to the recovery time in frames and its target the bus, and hands it to
// the event manager's pending actions; when it runs it calls CZkBus::EndDuckRecovery on the bus,
// which it looks up by id in the bus table.
//
// Threading: audio thread, under the global engine lock. Ownership: the event manager's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkDuckRecoveryAction
{
public:
    // 1 when queued. Not built yet: 4, nothing queued (the bus then releases its ducks at once).
    static ZKRESULT Queue(ZkUniqueID, uint32_t) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
