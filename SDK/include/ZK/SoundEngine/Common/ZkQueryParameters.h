// ZK::SoundEngine::Query: questions about the engine's live state, answered at once on the caller's
// thread. They see what the engine has applied, not what is still queued: a value set and asked
// for before the next tick reads the old value. Each holds the global engine lock for its whole
// read (so it never sees half a tick), except the three playing-id questions, which ask the playing
// manager under its own lock.
//
// Before the engine's initialisation (and after its termination): the playing-id questions answer
// 0, all ones and 2; the others answer 2 (or false, or 0) and write nothing.
//
// Counts are in/out: in, the room of the caller's array; out, the number available or written as
// each function says. Names come in three forms (id, UTF-8, wide).
//
// Threading: any thread; do not call from a callback that runs on the engine thread while the
// caller holds a lock the engine waits for. Ownership: results are copied to the caller.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkObjectInfo.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkPositioningInfo.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

// The largest attenuation radius among the sounds playing on a game object.
struct ZkRadiusInfo
{
    ZkGameObjectID gameObject;
    float radius;
};

namespace ZK::SoundEngine::Query
{
// The scope a game-parameter value was found in (and, on input, the scope asked for).
enum RTPCValue_type : uint32_t
{
    RTPCValue_Default = 0,     // the parameter's default value
    RTPCValue_Global = 1,
    RTPCValue_GameObject = 2,
    RTPCValue_PlayingID = 3,
    RTPCValue_Unavailable = 4, // no value in any scope and no default
};

// The value asked for in the scope type (1 global, 2 the game object, 3 the playing id; with the
// game object all ones, the playing id's own object). The best match narrows the scope: type says
// where the value was found. 1; 15 (type 4) when neither a value nor a default exists.
ZKRESULT GetRTPCValue(ZkUniqueID parameterID, ZkGameObjectID gameObject, ZkPlayingID playingID, float& value,
                      RTPCValue_type& type);
ZKRESULT GetRTPCValue(const char* parameterName, ZkGameObjectID gameObject, ZkPlayingID playingID, float& value,
                      RTPCValue_type& type);
ZKRESULT GetRTPCValue(const wchar_t* parameterName, ZkGameObjectID gameObject, ZkPlayingID playingID, float& value,
                      RTPCValue_type& type);

// 1; 15 for a group the engine does not know.
ZKRESULT GetState(ZkUniqueID stateGroup, ZkUniqueID& state);
ZKRESULT GetState(const char* stateGroupName, ZkUniqueID& state);
ZKRESULT GetState(const wchar_t* stateGroupName, ZkUniqueID& state);
// 1; 15 for an unknown object or group.
ZKRESULT GetSwitch(ZkUniqueID switchGroup, ZkGameObjectID gameObject, ZkUniqueID& switchState);
ZKRESULT GetSwitch(const char* switchGroupName, ZkGameObjectID gameObject, ZkUniqueID& switchState);
ZKRESULT GetSwitch(const wchar_t* switchGroupName, ZkGameObjectID gameObject, ZkUniqueID& switchState);

// The registered game objects that hold a reference beyond the registry's (something plays on
// them): count = their number, min(room, number) ids written. 1; 2 when the room was smaller.
ZKRESULT GetActiveGameObjects(ZkGameObjectID* gameObjects, uint32_t& count);
bool GetIsGameObjectActive(ZkGameObjectID gameObject);

// The emitter's first position (the default transform when it has none). 1; 15 for an unknown
// object or an object without emitter.
ZKRESULT GetPosition(ZkGameObjectID gameObject, ZkTransform& position);
ZKRESULT GetPosition(ZkGameObjectID gameObject, ZkChannelEmitter& position);
// 1; 2 for an unknown object or an object that is not a listener.
ZKRESULT GetListenerPosition(ZkGameObjectID listener, ZkTransform& position);
// The listener's spatialization; volumeOffsets (room for offsetCapacity values, may be null)
// receives its dB offsets, one per channel, zeros when it has none. 1; 31 unknown listener.
ZKRESULT GetListenerSpatialization(ZkGameObjectID listener, bool& spatialized, float* volumeOffsets,
                                   uint32_t offsetCapacity, ZkChannelConfig& channelConfig);
// The listeners the emitter is heard by: count = their number, min(room, number) ids written
// (listeners may be null). 1; 2 when the room was smaller; 15 for an unknown object.
ZKRESULT GetListeners(ZkGameObjectID emitter, ZkGameObjectID* listeners, uint32_t& count);
// The emitter's aux sends (its own, else the default ones): min(room, available) written. 1; 31
// for room 0 or a null array; 15 for an unknown object.
ZKRESULT GetGameObjectAuxSendValues(ZkGameObjectID gameObject, ZkAuxSendValue* sends, uint32_t& count);
// The emitter's dry level towards the listener. 1; 15 for an unknown object or no routing.
ZKRESULT GetGameObjectDryLevelValue(ZkGameObjectID emitter, ZkGameObjectID listener, float& dryLevel);
// 1 (0, 0 when nothing is set for that listener); 15 for an unknown object or no emitter.
ZKRESULT GetObjectObstructionAndOcclusion(ZkGameObjectID emitter, ZkGameObjectID listener, float& obstruction,
                                          float& occlusion);

// The playing ids of a game object: with count 0 on input only their number is returned in count;
// otherwise at most count are written and count becomes the number written. 31 for a null array
// with a count above 0; 2 before the initialisation.
ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count, ZkPlayingID* playingIDs);
// 0 when unknown.
ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID playingID);
// All ones when unknown.
ZkGameObjectID GetGameObjectFromPlayingID(ZkPlayingID playingID);

// The largest attenuation radius of every active object (count as GetActiveGameObjects), or of one.
ZKRESULT GetMaxRadius(ZkRadiusInfo* radii, uint32_t& count);
float GetMaxRadius(ZkGameObjectID gameObject);

// A custom property of an audio node (copied as 32 bits for both forms). 1; 15 unknown node; 3 no
// such property.
ZKRESULT GetCustomPropertyValue(ZkUniqueID audioNodeID, uint32_t propertyID, int32_t& value);
ZKRESULT GetCustomPropertyValue(ZkUniqueID audioNodeID, uint32_t propertyID, float& value);
// 15 for an unknown node.
ZKRESULT GetPositioningInfo(ZkUniqueID audioNodeID, ZkPositioningInfo& info);
// The audio nodes an event plays (one per play action whose target is loaded), or, for the id of a
// node, that node. A count of 0 only counts them (3, the number in count); otherwise up to count
// are written and count becomes the number written (1). 31 for a null array with a count above 0;
// 15 for an unknown id (and for a name whose id is 0).
ZKRESULT QueryAudioObjectIDs(ZkUniqueID eventID, uint32_t& count, ZkObjectInfo* objectInfos);
ZKRESULT QueryAudioObjectIDs(const char* eventName, uint32_t& count, ZkObjectInfo* objectInfos);
ZKRESULT QueryAudioObjectIDs(const wchar_t* eventName, uint32_t& count, ZkObjectInfo* objectInfos);
} // namespace ZK::SoundEngine::Query
