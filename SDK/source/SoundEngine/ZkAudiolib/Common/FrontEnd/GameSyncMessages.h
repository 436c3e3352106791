// The message builders behind the game-parameter and state calls, for the engine's own posters:
// the plug-in context's game-parameter setter and the music engine's state setter post through
// them, without the interface's name checks.
//
// Threading: any thread (ring writers). Ownership: nothing kept.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// Message 2, or 3 when the transition is not 0 or the bypass flag is set. 95 for a value that is
// not finite or is the largest finite float; 2 without an engine; else 1.
ZKRESULT PostRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject, ZkPlayingID playingID,
                       ZkTimeMs transitionMs, uint32_t curve, bool bypassInternalInterpolation);
// Message 7 with the setter's two options (immediate: no transition, and the change applies even
// to the current state; skipNotification: no notice to the group's listeners and hook). 1; 2
// without an engine.
ZKRESULT SetStateInternal(ZkUniqueID stateGroup, ZkUniqueID state, bool immediate, bool skipNotification);
} // namespace ZK::SoundEngine
