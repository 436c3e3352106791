// The engine's processed-item counter: raised once for each message the ring's reader handles and
// for each pending action executed; the voice lists read and reset it to spread their work.
//
// Threading: changed and read only under the global engine lock.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
extern uint32_t g_ProcessedItemCount;
} // namespace ZK::SoundEngine
