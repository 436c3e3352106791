// CZkStopAction (declaration only): the stop action of events. StopAll's message makes a transient
// one (kind 0x105 for one game object, 0x104 for every object), executes it with the object and
// destroys it.
//
// Threading: engine thread, under the global engine lock. Ownership: the transient action is the
// handler's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRegisteredObj;

class CZkStopAction
{
public:
    static constexpr uint16_t kStopAllObjects = 0x104;
    static constexpr uint16_t kStopOneObject = 0x105;

    // Not built yet: 4, nothing stops.
    static ZKRESULT ExecuteTransient(uint16_t, CZkRegisteredObj*) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
