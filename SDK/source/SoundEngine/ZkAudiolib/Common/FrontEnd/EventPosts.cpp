// The interface calls that post events and act on their playbacks: PostEvent with its playing id
// and external sources, the actions on an event or a playing id, StopAll and the seeks.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

#include <cstring>
#include <type_traits>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

std::atomic<uint32_t> g_PlayingID{0};

ZkPlayingID NewPlayingID()
{
    return g_PlayingID.fetch_add(1, std::memory_order_relaxed) + 1;
}

CZkIndexedObject* FindEventAndAddRef(ZkUniqueID eventID)
{
    return g_pObjectIndex != nullptr ? g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, eventID) : nullptr;
}

ZkPostEventMessage NewEventPost(CZkIndexedObject* event, ZkUniqueID eventID, ZkGameObjectID gameObject,
                                ZkPlayingID playingIDFilter, ZkExternalSourceArray* externalSources)
{
    ZkPostEventMessage post{};
    post.gameObject = gameObject;
    post.playingID = NewPlayingID();
    post.playingIDFilter = playingIDFilter;
    post.externalSources = externalSources;
    post.event = event;
    post.eventID = eventID;
    return post;
}

namespace
{
// Registers the message's playing id; false when there is no playing manager or it refuses.
bool RegisterPlayingID(const ZkPostEventMessage& body, ZkCallbackFunc callback, void* cookie, uint32_t flags)
{
    return g_pPlayingMgr != nullptr &&
           g_pPlayingMgr->AddPlayingID(body, callback, cookie, flags, body.eventID) == ZK_Success;
}

template <typename Position>
ZKRESULT PostSeek(ZkUniqueID eventID, ZkGameObjectID gameObject, Position position, bool snapToNearestMarker,
                  ZkPlayingID playingID)
{
    return PostWithEvent<ZkSeekOnEventMessage>(ZkMessage_SeekOnEvent, eventID, [&](CZkIndexedObject* event) {
        ZkSeekOnEventMessage body{gameObject, event, eventID, {}, playingID, 0, static_cast<uint16_t>(snapToNearestMarker)};
        if constexpr (std::is_same_v<Position, float>)
        {
            body.position.fraction = position;
            body.isFraction = 1;
        }
        else
        {
            body.position.milliseconds = position;
        }
        return body;
    });
}
} // namespace

ZkPlayingID PostEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback,
                      void* cookie, uint32_t externalSourceCount, ZkExternalSourceInfo* externalSources,
                      ZkPlayingID playingIDFilter)
{
    ZkExternalSourceArray* sources = nullptr;
    if (externalSourceCount != 0)
    {
        sources = ZkExternalSourceArray::Create(externalSources, externalSourceCount);
        if (sources == nullptr)
            return ZK_INVALID_PLAYING_ID;
    }
    CZkIndexedObject* event = FindEventAndAddRef(eventID);
    ZKRESULT reserved = ZK_Fail;
    uint8_t* message = event != nullptr ? Reserve(ZkMessage_PostEvent, MessageBytes<ZkPostEventMessage>(), reserved)
                                        : nullptr;
    if (message == nullptr)
    {
        if (event != nullptr)
            event->Release();
        if (sources != nullptr)
            sources->Release();
        return ZK_INVALID_PLAYING_ID;
    }

    const ZkPostEventMessage body = NewEventPost(event, eventID, gameObject, playingIDFilter, sources);
    std::memcpy(message + kMessageHeaderBytes, &body, sizeof(body));

    // The registration holds one pending reference on the playing id until the engine has turned
    // the message into pending actions.
    if (!RegisterPlayingID(body, callback, cookie, flags))
    {
        event->Release();
        Abandon(message);
        if (sources != nullptr)
            sources->Release();
        return ZK_INVALID_PLAYING_ID;
    }
    Finish();
    return body.playingID;
}

ZkPlayingID PostEvent(const char* eventName, ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback,
                      void* cookie, uint32_t externalSourceCount, ZkExternalSourceInfo* externalSources,
                      ZkPlayingID playingIDFilter)
{
    return PostEvent(LenientID(eventName), gameObject, flags, callback, cookie, externalSourceCount, externalSources,
                     playingIDFilter);
}

ZkPlayingID PostEvent(const wchar_t* eventName, ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback,
                      void* cookie, uint32_t externalSourceCount, ZkExternalSourceInfo* externalSources,
                      ZkPlayingID playingIDFilter)
{
    return PostEvent(LenientID(eventName), gameObject, flags, callback, cookie, externalSourceCount, externalSources,
                     playingIDFilter);
}

ZKRESULT ExecuteActionOnEvent(ZkUniqueID eventID, ZkActionOnEventType action, ZkGameObjectID gameObject,
                              ZkTimeMs transitionMs, ZkCurveInterpolation curve, ZkPlayingID playingID)
{
    return PostWithEvent<ZkActionOnEventMessage>(ZkMessage_ExecuteActionOnEvent, eventID, [&](CZkIndexedObject* event) {
        return ZkActionOnEventMessage{gameObject, event, eventID, action, transitionMs, curve, playingID};
    });
}

ZKRESULT ExecuteActionOnEvent(const char* eventName, ZkActionOnEventType action, ZkGameObjectID gameObject,
                              ZkTimeMs transitionMs, ZkCurveInterpolation curve, ZkPlayingID playingID)
{
    return ExecuteActionOnEvent(LenientID(eventName), action, gameObject, transitionMs, curve, playingID);
}

ZKRESULT ExecuteActionOnEvent(const wchar_t* eventName, ZkActionOnEventType action, ZkGameObjectID gameObject,
                              ZkTimeMs transitionMs, ZkCurveInterpolation curve, ZkPlayingID playingID)
{
    return ExecuteActionOnEvent(LenientID(eventName), action, gameObject, transitionMs, curve, playingID);
}

void ExecuteActionOnPlayingID(ZkActionOnEventType action, ZkPlayingID playingID, ZkTimeMs transitionMs,
                              ZkCurveInterpolation curve)
{
    if (playingID != ZK_INVALID_PLAYING_ID)
        PostFixed(ZkMessage_ExecuteActionOnPlayingID, ZkActionOnPlayingIDMessage{action, playingID, transitionMs, curve});
}

void StopPlayingID(ZkPlayingID playingID, ZkTimeMs transitionMs, ZkCurveInterpolation curve)
{
    if (playingID != ZK_INVALID_PLAYING_ID)
        PostFixed(ZkMessage_StopPlayingID, ZkStopPlayingIDMessage{playingID, transitionMs, curve});
}

void StopAll(ZkGameObjectID gameObject)
{
    PostFixed(ZkMessage_StopAll, ZkGameObjectMessage{gameObject});
}

ZKRESULT SeekOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, int32_t positionMs, bool snapToNearestMarker,
                     ZkPlayingID playingID)
{
    return PostSeek(eventID, gameObject, positionMs, snapToNearestMarker, playingID);
}

ZKRESULT SeekOnEvent(const char* eventName, ZkGameObjectID gameObject, int32_t positionMs, bool snapToNearestMarker,
                     ZkPlayingID playingID)
{
    return PostSeek(LenientID(eventName), gameObject, positionMs, snapToNearestMarker, playingID);
}

ZKRESULT SeekOnEvent(const wchar_t* eventName, ZkGameObjectID gameObject, int32_t positionMs,
                     bool snapToNearestMarker, ZkPlayingID playingID)
{
    return PostSeek(LenientID(eventName), gameObject, positionMs, snapToNearestMarker, playingID);
}

ZKRESULT SeekOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, float positionFraction, bool snapToNearestMarker,
                     ZkPlayingID playingID)
{
    return PostSeek(eventID, gameObject, positionFraction, snapToNearestMarker, playingID);
}

ZKRESULT SeekOnEvent(const char* eventName, ZkGameObjectID gameObject, float positionFraction,
                     bool snapToNearestMarker, ZkPlayingID playingID)
{
    return PostSeek(LenientID(eventName), gameObject, positionFraction, snapToNearestMarker, playingID);
}

ZKRESULT SeekOnEvent(const wchar_t* eventName, ZkGameObjectID gameObject, float positionFraction,
                     bool snapToNearestMarker, ZkPlayingID playingID)
{
    return PostSeek(LenientID(eventName), gameObject, positionFraction, snapToNearestMarker, playingID);
}

void CancelEventCallback(ZkPlayingID playingID)
{
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->CancelCallbacksByPlayingID(playingID);
}

void CancelEventCallbackCookie(void* cookie)
{
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->CancelCallbacksByCookie(cookie);
}

void CancelEventCallbackGameObject(ZkGameObjectID gameObject)
{
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->CancelCallbacksByGameObject(gameObject);
}
} // namespace ZK::SoundEngine
