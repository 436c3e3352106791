// The game's sound game-object ids. Every Audio component registers a listener and an emitter
// object with the sound engine; the ids are taken from these two lists, whose lengths are the only
// thing that counts: a new id is the list's length plus one, and the list grows by one entry. Both
// lists grow together, so a component's listener and emitter share one id. Start-up registers the
// default listener and emitter first (id 1). Ids are never reused while the game runs.
//
// Threading: main thread. Ownership: plain global values; shutdown empties the lists.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <vector>

extern std::vector<ZkGameObjectID> listenerIds;
extern std::vector<ZkGameObjectID> emitterIds;

// The next id of `ids` (its length plus one), appended to it.
ZkGameObjectID TakeSoundGameObjectId(std::vector<ZkGameObjectID>& ids);
