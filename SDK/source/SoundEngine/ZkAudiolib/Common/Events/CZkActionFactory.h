// CZkActionFactory: makes the action object for an action type, by its kind byte alone (the scope
// is not checked here). Kinds 0x00, 0x05 (run-time plays), 0x15 to 0x18, 0x23 to 0x2F and above
// 0x30 make nothing.
//
// Threading: the bank thread (or the engine thread). Ownership: the new action holds one reference,
// its creator's; an action with a non-zero id is already in the action table.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventAction;

namespace CZkActionFactory
{
// The action of the type, or null for a kind without one or when memory runs out. A table that
// cannot grow leaves the action out of it (it lives by the creator's reference).
CZkEventAction* Create(uint16_t type, ZkUniqueID id);
} // namespace CZkActionFactory
} // namespace ZK::SoundEngine
