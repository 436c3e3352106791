// Game parameters, states, switches and triggers as the game sets them. Each call checks its
// arguments and queues one message for the engine's next tick; 1 means queued. Before the engine's
// initialisation (and after its termination) every call answers 2 and queues nothing.
//
// Names come in three forms (id, UTF-8, wide) and follow the strict rule: a null name, or one whose
// id computes to 0, gives 15. An empty name is not null.
//
// Threading: any thread after the engine's initialisation. Ownership: arguments are read only.
#pragma once

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The parameter's value on the object (all ones: its global value), reached over transitionMs
// along curve unless bypassInternalInterpolation. 95 for a value that is not finite or is the
// largest finite float.
ZKRESULT SetRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                      ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                      bool bypassInternalInterpolation = false);
ZKRESULT SetRTPCValue(const char* parameterName, float value, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                      ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                      bool bypassInternalInterpolation = false);
ZKRESULT SetRTPCValue(const wchar_t* parameterName, float value, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                      ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                      bool bypassInternalInterpolation = false);
// The same for one playback; 94 when no game object is known for the playing id.
ZKRESULT SetRTPCValueByPlayingID(ZkUniqueID parameterID, float value, ZkPlayingID playingID,
                                 ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                                 bool bypassInternalInterpolation = false);
ZKRESULT SetRTPCValueByPlayingID(const char* parameterName, float value, ZkPlayingID playingID,
                                 ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                                 bool bypassInternalInterpolation = false);
ZKRESULT SetRTPCValueByPlayingID(const wchar_t* parameterName, float value, ZkPlayingID playingID,
                                 ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                                 bool bypassInternalInterpolation = false);
// Back to the parameter's default on the object (all ones: globally).
ZKRESULT ResetRTPCValue(ZkUniqueID parameterID, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                        ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                        bool bypassInternalInterpolation = false);
ZKRESULT ResetRTPCValue(const char* parameterName, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                        ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                        bool bypassInternalInterpolation = false);
ZKRESULT ResetRTPCValue(const wchar_t* parameterName, ZkGameObjectID gameObject = ZK_ALL_GAME_OBJECTS,
                        ZkTimeMs transitionMs = 0, ZkCurveInterpolation curve = ZkCurveInterpolation_Linear,
                        bool bypassInternalInterpolation = false);

ZKRESULT SetState(ZkUniqueID stateGroup, ZkUniqueID state);
ZKRESULT SetState(const char* stateGroupName, const char* stateName);
ZKRESULT SetState(const wchar_t* stateGroupName, const wchar_t* stateName);

ZKRESULT SetSwitch(ZkUniqueID switchGroup, ZkUniqueID switchState, ZkGameObjectID gameObject);
ZKRESULT SetSwitch(const char* switchGroupName, const char* switchStateName, ZkGameObjectID gameObject);
ZKRESULT SetSwitch(const wchar_t* switchGroupName, const wchar_t* switchStateName, ZkGameObjectID gameObject);

// On the object (all ones: on every object).
ZKRESULT PostTrigger(ZkUniqueID trigger, ZkGameObjectID gameObject);
ZKRESULT PostTrigger(const char* triggerName, ZkGameObjectID gameObject);
ZKRESULT PostTrigger(const wchar_t* triggerName, ZkGameObjectID gameObject);
} // namespace ZK::SoundEngine
