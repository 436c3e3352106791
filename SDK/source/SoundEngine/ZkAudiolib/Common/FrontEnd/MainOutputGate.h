// The main-output gate: the interface calls that need the main output device wait here until the
// engine has started it (the Init bank's master bus asks for it) or given up on it. While no device
// exists at all the gate only keeps the engine awake; once devices exist it ends a frame per round,
// so that the engine applies what is queued. Both phases are bounded to 200 rounds of 5 ms (without
// an engine thread the caller runs the ticks instead of sleeping).
//
// Threading: any game thread; the main output's state is read under the global engine lock.
// Ownership: nothing.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
// 1 when the main output is ready; 2 before the engine's initialisation; 92 when it did not start.
ZKRESULT WaitForMainOutput();
} // namespace ZK::SoundEngine
