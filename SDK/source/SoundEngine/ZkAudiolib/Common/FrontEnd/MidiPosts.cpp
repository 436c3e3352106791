// The interface calls that post MIDI on an event (message 34) and stop it (message 35). A MIDI post
// goes under a playing id: the one the game gives when the playing manager knows it for the same
// object and event (the post then adds a pending reference to it), else a new one registered
// without a message record. The engine drops that pending reference once it has queued the posts.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/FrontEnd/MidiPosting.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

#include <cstring>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

ZkPlayingID TakeMidiPlayingID(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback,
                              void* cookie, ZkPlayingID playingID)
{
    if (g_pPlayingMgr == nullptr)
        return ZK_INVALID_PLAYING_ID;
    if (playingID != ZK_INVALID_PLAYING_ID && g_pPlayingMgr->HasPlayingID(playingID, gameObject, eventID))
        return playingID;
    const ZkPlayingID fresh = NewPlayingID();
    if (g_pPlayingMgr->AddPlayingIDNoMessage(fresh, gameObject, callback, cookie, flags, eventID) != ZK_Success)
        return ZK_INVALID_PLAYING_ID;
    return fresh;
}

ZkPlayingID PostMIDIOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkMIDIPost* posts, uint16_t count,
                            bool absoluteOffsets, uint32_t flags, ZkCallbackFunc callback, void* cookie,
                            ZkPlayingID playingID)
{
    if (count == 0 || posts == nullptr)
        return ZK_INVALID_PLAYING_ID;
    CZkIndexedObject* event = FindEventAndAddRef(eventID);
    if (event == nullptr)
        return ZK_INVALID_PLAYING_ID;
    const uint64_t size = PostMIDIMessageBytes(count);
    ZKRESULT reserved = ZK_Fail;
    uint8_t* message = Reserve(ZkMessage_PostMIDIOnEvent, size, reserved);
    if (message == nullptr)
    {
        event->Release();
        return ZK_INVALID_PLAYING_ID;
    }
    ZkPostMIDIMessage body{gameObject, event, eventID, 0, static_cast<uint16_t>(absoluteOffsets ? 1 : 0), count};
    std::memcpy(message + MessageBytes<ZkPostMIDIMessage>(), posts, size_t{kMIDIPostBytes} * count);
    body.playingID = TakeMidiPlayingID(eventID, gameObject, flags, callback, cookie, playingID);
    if (body.playingID == ZK_INVALID_PLAYING_ID)
    {
        event->Release();
        Abandon(message);
        return ZK_INVALID_PLAYING_ID;
    }
    std::memcpy(message + kMessageHeaderBytes, &body, sizeof(body));
    Finish();
    return body.playingID;
}

ZKRESULT StopMIDIOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkPlayingID playingID)
{
    if (eventID == ZK_INVALID_UNIQUE_ID)
        return PostFixed(ZkMessage_StopMIDIOnEvent, ZkStopMIDIMessage{gameObject, nullptr, 0, playingID});
    return PostWithEvent<ZkStopMIDIMessage>(ZkMessage_StopMIDIOnEvent, eventID, [&](CZkIndexedObject* event) {
        return ZkStopMIDIMessage{gameObject, event, eventID, playingID};
    });
}
} // namespace ZK::SoundEngine
