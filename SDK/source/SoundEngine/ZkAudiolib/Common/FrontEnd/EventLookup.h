// The event look-up of the posting calls: the event table of the object index, under that table's
// lock, with a reference added that the poster hands to the engine in its message (or releases when
// it gives up).
//
// Threading: any thread. Ownership: the caller owns the reference it gets.
#pragma once

#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

// The event with a reference added; null when it is not loaded (or before the initialisation).
CZkIndexedObject* FindEventAndAddRef(ZkUniqueID eventID);

// A new playing id (the ids of event posts and source plug-in plays share one counter).
ZkPlayingID NewPlayingID();

// The record of one post of an event: the event (with the reference the post holds), the game
// object, a new playing id from g_PlayingID, the caller's playing-id filter and external sources.
ZkPostEventMessage NewEventPost(CZkIndexedObject* event, ZkUniqueID eventID, ZkGameObjectID gameObject,
                                ZkPlayingID playingIDFilter, ZkExternalSourceArray* externalSources);

// Posts a message that carries the event's reference: the reference goes with the message, or is
// released when nothing could be posted. 1; 2 for an event that is not loaded (or no engine).
template <typename Body, typename Fill>
ZKRESULT PostWithEvent(uint16_t type, ZkUniqueID eventID, Fill fill)
{
    CZkIndexedObject* event = FindEventAndAddRef(eventID);
    if (event == nullptr)
        return ZK_Fail;
    const Body body = fill(event);
    if (MessagePosting::PostFixed(type, body) != ZK_Success)
    {
        event->Release();
        return ZK_Fail;
    }
    return ZK_Success;
}

// The lenient name rule: a null name is id 0, which no loaded event has.
template <typename Char>
ZkUniqueID LenientID(const Char* name)
{
    return name == nullptr ? ZK_INVALID_UNIQUE_ID : GetIDFromString(name);
}
} // namespace ZK::SoundEngine
