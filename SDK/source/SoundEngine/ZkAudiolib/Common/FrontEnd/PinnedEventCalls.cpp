// The interface calls that pin events in the stream cache: pin and unpin post message 36 with the
// event's reference (the engine thread does the work, PinnedEventPrefetch); the buffering status
// is read at once on the caller's thread. Names follow the lenient rule (a null name is id 0).
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint16_t kPin = 1;
constexpr uint16_t kUnpin = 0;

ZKRESULT PostPin(ZkUniqueID eventID, int8_t activePriority, int8_t inactivePriority, uint16_t pin)
{
    return PostWithEvent<ZkPinEventMessage>(ZkMessage_PinEventInStreamCache, eventID, [&](CZkIndexedObject* event) {
        return ZkPinEventMessage{ZK_ALL_GAME_OBJECTS, event, eventID, activePriority, inactivePriority, pin};
    });
}

ZKRESULT BufferStatus(ZkUniqueID eventID, float& percent, bool& cacheFull)
{
    percent = 0.0f;
    cacheFull = false;
    CZkIndexedObject* event = FindEventAndAddRef(eventID);
    if (event == nullptr)
        return ZK_Fail;
    // Every object of the event table is an event.
    const ZKRESULT result =
        PinnedEventPrefetch::GetStatus(static_cast<const CZkEventObject*>(event), nullptr, percent, cacheFull);
    event->Release();
    return result;
}
} // namespace

ZKRESULT PinEventInStreamCache(ZkUniqueID eventID, int8_t activePriority, int8_t inactivePriority)
{
    return PostPin(eventID, activePriority, inactivePriority, kPin);
}

ZKRESULT PinEventInStreamCache(const char* eventName, int8_t activePriority, int8_t inactivePriority)
{
    return PostPin(LenientID(eventName), activePriority, inactivePriority, kPin);
}

ZKRESULT PinEventInStreamCache(const wchar_t* eventName, int8_t activePriority, int8_t inactivePriority)
{
    return PostPin(LenientID(eventName), activePriority, inactivePriority, kPin);
}

ZKRESULT UnpinEventInStreamCache(ZkUniqueID eventID)
{
    return PostPin(eventID, 0, 0, kUnpin);
}

ZKRESULT UnpinEventInStreamCache(const char* eventName)
{
    return PostPin(LenientID(eventName), 0, 0, kUnpin);
}

ZKRESULT UnpinEventInStreamCache(const wchar_t* eventName)
{
    return PostPin(LenientID(eventName), 0, 0, kUnpin);
}

ZKRESULT GetBufferStatusForPinnedEvent(ZkUniqueID eventID, float& percent, bool& cacheFull)
{
    return BufferStatus(eventID, percent, cacheFull);
}

ZKRESULT GetBufferStatusForPinnedEvent(const char* eventName, float& percent, bool& cacheFull)
{
    return BufferStatus(LenientID(eventName), percent, cacheFull);
}

ZKRESULT GetBufferStatusForPinnedEvent(const wchar_t* eventName, float& percent, bool& cacheFull)
{
    return BufferStatus(LenientID(eventName), percent, cacheFull);
}
} // namespace ZK::SoundEngine
