// The callbacks a game registers per bus and per output device rather than per playback: the bus's
// volume matrices (for voices that have no playing id), the bus's meters, and an output device's
// meters; the metering flags say which measurements are wanted.
//
// Threading: these callbacks run on the engine's thread, under the engine's metering lock: they must
// not wait for another thread that registers metering callbacks.
// Ownership: as ZkCallbackTypes.h: records live for the duration of the call.
#pragma once

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

#include <cstdint>

// Measurements a metering callback asks for.
enum ZkMeteringFlags : uint32_t
{
    ZkMeteringFlag_None = 0,
    ZkMeteringFlag_Peak = 0x01,
    ZkMeteringFlag_TruePeak = 0x02,
    ZkMeteringFlag_RMS = 0x04,
    ZkMeteringFlag_KWeightedPower = 0x10,
    ZkMeteringFlag_SignedPeak = 0x20,
};

// One bus's meters of the current frame for one game object's mix.
struct ZkBusMeteringCallbackInfo : ZkCallbackInfo
{
    ZkUniqueID busID = 0;
    ZkChannelConfig channelConfig;
    ZkMeteringFlags flags = ZkMeteringFlag_None;
    const void* meteringData = nullptr; // the bus's meter, valid during the call
};

// Delivered by the output side.
struct ZkOutputDeviceMeteringCallbackInfo;

typedef void (*ZkBusVolumeCallbackFunc)(ZkSpeakerVolumeMatrixCallbackInfo* info);
typedef void (*ZkBusMeteringCallbackFunc)(ZkBusMeteringCallbackInfo* info);
typedef void (*ZkOutputDeviceMeteringCallbackFunc)(ZkOutputDeviceMeteringCallbackInfo* info);
