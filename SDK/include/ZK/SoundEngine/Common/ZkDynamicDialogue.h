// Dynamic dialogue: a dialogue event of a loaded bank resolves a path of argument values (one value
// per argument of the event, for instance speaker and line) into the audio node to play, usually
// through a dynamic sequence. The path is given as ids, or as names that are hashed as
// GetIDFromString does (an empty name stands for 0, "any value"). Dialogue events also carry custom
// properties the game reads by index.
//
// A resolution runs on the caller's thread under the engine's global lock, which the engine's tick
// holds too: the weighted pick and the probability roll draw from the engine's random generator,
// in step with the engine's own draws (SetRandomSeed makes them repeatable). The candidate callback
// is called on the caller's thread, with that lock held: it must not wait for the engine's thread.
//
// Threading: any thread after the engine's initialisation. Ownership: nothing is kept of the
// caller's arrays.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine::DynamicDialogue
{
// Asked about each audio node that matches the path: (dialogue event id, audio node id, cookie);
// false rejects it.
using ZkCandidateCallbackFunc = bool (*)(ZkUniqueID eventID, ZkUniqueID audioNodeID, void* cookie);

// The audio node id the path resolves to; 0 when the event is not loaded, the count differs from
// its argument count, nothing matches or the event's probability refuses. The 32-bit value is
// accepted and takes no part in the resolution.
ZkUniqueID ResolveDialogueEvent(ZkUniqueID eventID, const ZkUniqueID* argumentValues, uint32_t count,
                                uint32_t value = 0, ZkCandidateCallbackFunc callback = nullptr,
                                void* cookie = nullptr);
// The name forms: the event's name and each argument's name are turned into ids first (a null
// event name is not found).
ZkUniqueID ResolveDialogueEvent(const char* eventName, const char** argumentNames, uint32_t count,
                                uint32_t value = 0, ZkCandidateCallbackFunc callback = nullptr,
                                void* cookie = nullptr);
ZkUniqueID ResolveDialogueEvent(const wchar_t* eventName, const wchar_t** argumentNames, uint32_t count,
                                uint32_t value = 0, ZkCandidateCallbackFunc callback = nullptr,
                                void* cookie = nullptr);

// The 32-bit value of the event's custom property of this index, as an integer or a float (the
// same bits). 1; 3 when the event has no such property; 15 when the event is not loaded; 2 before
// the engine's initialisation.
ZKRESULT GetDialogueEventCustomPropertyValue(ZkUniqueID eventID, uint32_t propertyIndex, int32_t& value);
ZKRESULT GetDialogueEventCustomPropertyValue(ZkUniqueID eventID, uint32_t propertyIndex, float& value);
} // namespace ZK::SoundEngine::DynamicDialogue
