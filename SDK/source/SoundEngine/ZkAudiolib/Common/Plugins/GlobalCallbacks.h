// GlobalCallbacks: the engine's 13 lists of global callbacks, one per location bit, and their
// dispatch at the fixed points of the engine's life (the tick's stages, its initialisation and
// termination, the output devices' suspend and wake-up). An entry is {callback, cookie, plug-in key};
// the entries of locations 1 and 128 carry key 0. Lists grow from memory pool 0 as the engine's
// growable arrays do (capacity + capacity + capacity / 2, 1 when empty).
//
// Threading: Register, Unregister and Clear hold the global engine lock. Dispatch reads the lists
// without a lock: it runs only where the lists cannot change meanwhile (on the engine thread, whose
// tick holds the global engine lock, and from the engine's Init and Term). A callback may register
// or unregister callbacks while it is called.
// Ownership: the lists are process-wide; Clear (the engine's Term) empties them and frees their
// storage. Callbacks and cookies belong to the callers.
#pragma once

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine::GlobalCallbacks
{
// Adds the callback to the list of every location bit in the mask, lowest first, then calls it for
// location 1 when that bit is set. 31 for a null callback or a mask of 8192 or more; 52 when a list
// cannot grow (the lists of the lower bits keep their new entry).
ZKRESULT Register(ZK::ZkGlobalCallbackFunc callback, uint32_t locations, void* cookie, uint32_t pluginKey);
// Removes the first entry of the callback (whatever its cookie) from each list of the mask. 31 for
// a mask of 8192 or more, or when one of the lists does not hold the callback.
ZKRESULT Unregister(ZK::ZkGlobalCallbackFunc callback, uint32_t locations);
// Calls every callback of one location, newest first, as callback(context, location, cookie).
void Dispatch(uint32_t location);
// Empties every list and frees its storage.
void Clear();
// The callbacks registered for one location.
uint32_t Count(uint32_t location);
} // namespace ZK::SoundEngine::GlobalCallbacks
