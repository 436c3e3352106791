// Events and playing ids: posting an event on a game object, acting on the playbacks of an event or
// of one playing id, seeking, MIDI and source plug-in playback, pinning an event's streams, the
// callbacks of a playback, and its play positions.
//
// Every successful post takes a new playing id from g_PlayingID (1, 2, 3, ...; 0 is never handed
// out by a successful post). The engine applies posts at its next tick after RenderAudio.
//
// Names come in three forms (id, UTF-8, wide) and follow the lenient rule: a null name is id 0,
// which no loaded event has.
//
// Threading: any thread after the engine's initialisation; the play-position getters read records
// under their own lock and never wait for the engine.
// Ownership: arguments are read during the call only; external sources (and their file names) are
// copied.
#pragma once

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkMidiTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <atomic>
#include <cstdint>

// A playback's callback: the type it is told (ZkCallbackTypes.h) and the record of that type.
typedef void (*ZkCallbackFunc)(ZkCallbackType type, ZkCallbackInfo* info);

// One external source of a posted event (32 bytes): the source the event's sound asks for by cookie
// is played from a file (by id, else by name) or from memory.
struct ZkExternalSourceInfo
{
    uint32_t cookie = 0;            // the external source's id in the sound's bank
    uint32_t codecID = 0;
    const wchar_t* fileName = nullptr; // copied by the post; null: by file id or from memory
    void* inMemory = nullptr;
    uint32_t memorySize = 0;
    uint32_t fileID = 0;            // 0: none
};
static_assert(sizeof(ZkExternalSourceInfo) == 32, "external sources are 32 bytes");

// What ExecuteActionOnEvent and ExecuteActionOnPlayingID do to the playbacks.
enum ZkActionOnEventType : uint32_t
{
    ZkActionOnEventType_Stop = 0,
    ZkActionOnEventType_Pause = 1,
    ZkActionOnEventType_Resume = 2,
    ZkActionOnEventType_ReleaseEnvelope = 3, // the targets are told to release their envelopes
    ZkActionOnEventType_Break = 4,           // the play chains stop continuing
};

// One sound's play position, as GetSourcePlayPositions reports it (20 bytes).
struct ZkSourcePlayPosition
{
    ZkUniqueID audioNodeID;
    ZkUniqueID mediaID;
    int32_t positionMs;        // never past the sound's duration
    uint32_t positionSamples;
    uint32_t bufferTick;       // the engine frame of the report
};

namespace ZK::SoundEngine
{
// The last playing id handed out (0 before the first post).
extern std::atomic<uint32_t> g_PlayingID;

// Posts the event on the game object. flags (the callback types wanted), callback and cookie ask
// for callbacks on the playback; externalSources (externalSourceCount records) name the media of
// the event's external sources; playingIDFilter limits the event's actions to an existing playback
// (0: none). The new playing id, or 0: event not loaded (also a null name), sources not copied,
// playing id not registered. Nothing is left for the engine when the result is 0.
ZkPlayingID PostEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags = 0,
                      ZkCallbackFunc callback = nullptr, void* cookie = nullptr, uint32_t externalSourceCount = 0,
                      ZkExternalSourceInfo* externalSources = nullptr, ZkPlayingID playingIDFilter = 0);
ZkPlayingID PostEvent(const char* eventName, ZkGameObjectID gameObject, uint32_t flags = 0,
                      ZkCallbackFunc callback = nullptr, void* cookie = nullptr, uint32_t externalSourceCount = 0,
                      ZkExternalSourceInfo* externalSources = nullptr, ZkPlayingID playingIDFilter = 0);
ZkPlayingID PostEvent(const wchar_t* eventName, ZkGameObjectID gameObject, uint32_t flags = 0,
                      ZkCallbackFunc callback = nullptr, void* cookie = nullptr, uint32_t externalSourceCount = 0,
                      ZkExternalSourceInfo* externalSources = nullptr, ZkPlayingID playingIDFilter = 0);

// Stops, pauses, resumes or breaks the playbacks of the event on the object (all ones: every
// object), limited to one playing id (0: all). 1; 2 when the event is not loaded.
ZKRESULT ExecuteActionOnEvent(ZkUniqueID eventID, ZkActionOnEventType action, ZkGameObjectID gameObject,
                              ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                              ZkPlayingID playingID = 0);
ZKRESULT ExecuteActionOnEvent(const char* eventName, ZkActionOnEventType action, ZkGameObjectID gameObject,
                              ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                              ZkPlayingID playingID = 0);
ZKRESULT ExecuteActionOnEvent(const wchar_t* eventName, ZkActionOnEventType action, ZkGameObjectID gameObject,
                              ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                              ZkPlayingID playingID = 0);
// The same for one playback. Playing id 0 does nothing.
void ExecuteActionOnPlayingID(ZkActionOnEventType action, ZkPlayingID playingID, ZkTimeMs transitionMs = 0,
                              ZkCurveInterpolation curve = ZkCurveInterpolation_Linear);
// Stops one playback. Playing id 0 does nothing.
void StopPlayingID(ZkPlayingID playingID, ZkTimeMs transitionMs = 0,
                   ZkCurveInterpolation curve = ZkCurveInterpolation_Linear);
// Stops every playback on the object (all ones: on every object).
void StopAll(ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS);

// Moves the playbacks of the event on the object to a position: milliseconds, or a fraction of the
// duration. 1; 2 when the event is not loaded.
ZKRESULT SeekOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, int32_t positionMs,
                     bool snapToNearestMarker = false, ZkPlayingID playingID = 0);
ZKRESULT SeekOnEvent(const char* eventName, ZkGameObjectID gameObject, int32_t positionMs,
                     bool snapToNearestMarker = false, ZkPlayingID playingID = 0);
ZKRESULT SeekOnEvent(const wchar_t* eventName, ZkGameObjectID gameObject, int32_t positionMs,
                     bool snapToNearestMarker = false, ZkPlayingID playingID = 0);
ZKRESULT SeekOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, float positionFraction,
                     bool snapToNearestMarker = false, ZkPlayingID playingID = 0);
ZKRESULT SeekOnEvent(const char* eventName, ZkGameObjectID gameObject, float positionFraction,
                     bool snapToNearestMarker = false, ZkPlayingID playingID = 0);
ZKRESULT SeekOnEvent(const wchar_t* eventName, ZkGameObjectID gameObject, float positionFraction,
                     bool snapToNearestMarker = false, ZkPlayingID playingID = 0);

// MIDI events on the event's nodes (those of its play actions), for the game object: count posts
// (ZkMidiTypes.h), their offsets relative to the next audio frame or, with absoluteOffsets, to the
// engine's start. The answer is the playing id the posts go under: the one given when the playing
// manager knows it for this object and event, else a new one; 0 for no posts, an event that is not
// loaded, posts too many for the message ring, or a registration that fails.
// StopMIDIOnEvent stops the MIDI of the event (0: every event) on the object (all ones: every
// object) and playing id (0: every one): 1; 2 when a non-zero event is not loaded.
ZkPlayingID PostMIDIOnEvent(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkMIDIPost* posts, uint16_t count,
                            bool absoluteOffsets = false, uint32_t flags = 0, ZkCallbackFunc callback = nullptr,
                            void* cookie = nullptr, ZkPlayingID playingID = 0);
ZKRESULT StopMIDIOnEvent(ZkUniqueID eventID = 0, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                         ZkPlayingID playingID = 0);

// A source plug-in played on its own (with its default parameters) on a registered game object,
// and its stop. The play answers its new playing id (the play itself happens at the next tick:
// nothing plays for an unregistered object or plug-in), 0 when nothing could be posted; the stop
// answers 1. The playing id is not registered with the playing manager: no callback comes, and
// StopSourcePlugin (not StopPlayingID) stops it.
ZkPlayingID PlaySourcePlugin(uint32_t pluginID, uint32_t companyID, ZkGameObjectID gameObject);
ZKRESULT StopSourcePlugin(uint32_t pluginID, uint32_t companyID, ZkPlayingID playingID);

// The event's streams kept in the stream cache, and their state. Not available in this version: 4.
ZKRESULT PinEventInStreamCache(ZkUniqueID eventID, int8_t activePriority, int8_t inactivePriority);
ZKRESULT PinEventInStreamCache(const char* eventName, int8_t activePriority, int8_t inactivePriority);
ZKRESULT PinEventInStreamCache(const wchar_t* eventName, int8_t activePriority, int8_t inactivePriority);
ZKRESULT UnpinEventInStreamCache(ZkUniqueID eventID);
ZKRESULT UnpinEventInStreamCache(const char* eventName);
ZKRESULT UnpinEventInStreamCache(const wchar_t* eventName);
ZKRESULT GetBufferStatusForPinnedEvent(ZkUniqueID eventID, float& percentBuffered, bool& cachePinnedMemoryFull);
ZKRESULT GetBufferStatusForPinnedEvent(const char* eventName, float& percentBuffered, bool& cachePinnedMemoryFull);
ZKRESULT GetBufferStatusForPinnedEvent(const wchar_t* eventName, float& percentBuffered,
                                       bool& cachePinnedMemoryFull);

// No more callbacks for one playback, for every playback of a cookie, or of a game object. A
// callback running on another thread is waited for. Nothing happens before the initialisation.
void CancelEventCallback(ZkPlayingID playingID);
void CancelEventCallbackCookie(void* cookie);
void CancelEventCallbackGameObject(ZkGameObjectID gameObject);

// Play positions of the playbacks posted with the play-position flag. extrapolate adds the time
// since the last report. 1; 2 when no sound of the playing id reported a position yet; 31 for a
// null output.
ZKRESULT GetSourcePlayPosition(ZkPlayingID playingID, int32_t* positionMs, bool extrapolate = true);
// count: in, the room of positions (0 with a null array: count only); out, the positions written
// (or found).
ZKRESULT GetSourcePlayPositions(ZkPlayingID playingID, ZkSourcePlayPosition* positions, uint32_t* count,
                                bool extrapolate = true);
// How much of the playing id's stream is buffered, and whether the stream has all it needs. 1; 2
// when the playing id streams nothing.
ZKRESULT GetSourceStreamBuffering(ZkPlayingID playingID, int32_t& bufferingMs, bool& hasData);
} // namespace ZK::SoundEngine
