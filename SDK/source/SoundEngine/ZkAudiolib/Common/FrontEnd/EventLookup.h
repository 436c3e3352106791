// The event look-up of the posting calls: the event table of the object index, under that table's
// lock, with a reference added that the poster hands to the engine in its message (or releases when
// it gives up).
//
// Threading: any thread. Ownership: the caller owns the reference it gets.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

// The event with a reference added; null when it is not loaded (or before the initialisation).
CZkIndexedObject* FindEventAndAddRef(ZkUniqueID eventID);

// The record of one post of an event: the event (with the reference the post holds), the game
// object, a new playing id from g_PlayingID, the caller's playing-id filter and external sources.
ZkPostEventMessage NewEventPost(CZkIndexedObject* event, ZkUniqueID eventID, ZkGameObjectID gameObject,
                                ZkPlayingID playingIDFilter, ZkExternalSourceArray* externalSources);

// The lenient name rule: a null name is id 0, which no loaded event has.
template <typename Char>
ZkUniqueID LenientID(const Char* name)
{
    return name == nullptr ? ZK_INVALID_UNIQUE_ID : GetIDFromString(name);
}
} // namespace ZK::SoundEngine
