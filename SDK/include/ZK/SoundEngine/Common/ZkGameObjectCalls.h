// Game objects, their positions, listeners and routing: registration, positions (one or several per
// object), the listeners an emitter is heard by (its own or the default ones), a listener's
// spatialization, aux sends, output bus volumes, obstruction and occlusion, and the scaling factor.
//
// Each call checks its arguments and queues one message for the engine's next tick; 1 means queued.
// Results: 2 for a reserved id where stated, 31 for an invalid argument or a list too large for the
// engine's message ring, 52 when a copy cannot be made, 95 for a value that is not finite. The 32
// highest game-object ids are the engine's (ZkTypes.h). Before the engine's initialisation (and
// after its termination) every call answers 2 and queues nothing.
//
// Clamping: aux send levels and output bus volumes are clamped to 0..16, obstruction and occlusion
// to 0..1 (negative values and NaN become 0). The array forms clamp the caller's array in place,
// item by item, before a later item may be refused.
//
// Threading: any thread after the engine's initialisation; writers never take a lock.
// Ownership: arguments are read during the call only.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// 31 for a reserved id. The name is for profiling and is not kept.
ZKRESULT RegisterGameObj(ZkGameObjectID gameObject);
ZKRESULT RegisterGameObj(ZkGameObjectID gameObject, const char* name);
// 2 for a reserved id.
ZKRESULT UnregisterGameObj(ZkGameObjectID gameObject);
ZKRESULT UnregisterAllGameObj();

// The transform is refused (31) unless every position component is finite, both vectors have a
// squared length in (0.9, 1.1) and their dot product's square is below 0.1.
// SetPosition: 2 for a reserved id. SetPositionInternal takes any id (the engine's own objects).
ZKRESULT SetPosition(ZkGameObjectID gameObject, const ZkTransform& position);
ZKRESULT SetPositionInternal(ZkGameObjectID gameObject, const ZkTransform& position);
// count positions (count > 0 needs an array); a transform array gets the channel mask of every
// channel. 31 for a type above 2, a null array, a list too large, or any invalid transform (the
// message is then dropped: no position changes).
ZKRESULT SetMultiplePositions(ZkGameObjectID gameObject, const ZkChannelEmitter* positions, uint16_t count,
                              MultiPositionType type = MultiPositionType_MultiDirections);
ZKRESULT SetMultiplePositions(ZkGameObjectID gameObject, const ZkTransform* positions, uint16_t count,
                              MultiPositionType type = MultiPositionType_MultiDirections);

// The listeners of an emitter: add or remove one, or set the whole list. 31 when the message does
// not fit the ring.
ZKRESULT AddListener(ZkGameObjectID emitter, ZkGameObjectID listener);
ZKRESULT RemoveListener(ZkGameObjectID emitter, ZkGameObjectID listener);
ZKRESULT SetListeners(ZkGameObjectID emitter, const ZkGameObjectID* listeners, uint32_t count);
// The default listeners, heard by every emitter without a list of its own.
ZKRESULT AddDefaultListener(ZkGameObjectID listener);
ZKRESULT RemoveDefaultListener(ZkGameObjectID listener);
ZKRESULT SetDefaultListeners(const ZkGameObjectID* listeners, uint32_t count);
ZKRESULT ResetListenersToDefault(ZkGameObjectID emitter);

// Whether the listener pans in three dimensions, its channel configuration, and optional volume
// offsets in dB (one per channel of the configuration; copied). 95 for an offset that is not
// finite; 52 when the copy cannot be made.
ZKRESULT SetListenerSpatialization(ZkGameObjectID listener, bool spatialized, ZkChannelConfig channelConfig,
                                   const float* volumeOffsets = nullptr);

// The object's aux sends (replacing the previous ones). 95 for a level that is not finite; 31 when
// the message does not fit the ring.
ZKRESULT SetGameObjectAuxSendValues(ZkGameObjectID gameObject, ZkAuxSendValue* sends, uint32_t count);
// The dry level of an emitter towards one listener (all ones: every listener). 95 when not finite.
ZKRESULT SetGameObjectOutputBusVolume(ZkGameObjectID emitter, ZkGameObjectID listener, float volume);
ZKRESULT SetObjectObstructionAndOcclusion(ZkGameObjectID emitter, ZkGameObjectID listener, float obstruction,
                                          float occlusion);
// One pair per position of the emitter. 31 when the message does not fit the ring; 95 for a value
// that is not finite.
ZKRESULT SetMultipleObstructionAndOcclusion(ZkGameObjectID emitter, ZkGameObjectID listener,
                                            ZkObstructionOcclusionValues* values, uint32_t count);
// 31 for a factor not above 0 (or NaN); 95 for an infinite one.
ZKRESULT SetScalingFactor(ZkGameObjectID gameObject, float factor);
} // namespace ZK::SoundEngine
