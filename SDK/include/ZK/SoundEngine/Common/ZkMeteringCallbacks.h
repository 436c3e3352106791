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

// Every measurement a bus meter can make.
constexpr uint32_t ZkMeteringFlag_All = ZkMeteringFlag_Peak | ZkMeteringFlag_TruePeak | ZkMeteringFlag_RMS |
                                        ZkMeteringFlag_KWeightedPower | ZkMeteringFlag_SignedPeak;

// A bus's meter of one frame: per channel (in the bus's channel order) peak, true peak (4x
// oversampled), RMS and, for ambisonic buses, the signed value of every channel where channel 0
// peaks; the K-weighted power of the whole mix (loudness in LUFS is -0.691 + 10 log10 of it).
// Amplitudes are linear, full scale 1.0. A measurement the flags did not ask for reads null (0
// for the power).
class IZkBusMeter
{
public:
    virtual ~IZkBusMeter() = default;
    virtual const float* GetPeak() const = 0;
    virtual const float* GetTruePeak() const = 0;
    virtual const float* GetRMS() const = 0;
    virtual float GetKWeightedPower() const = 0;
    virtual const float* GetSignedPeak() const = 0;
};

// One bus's meters of the current frame for one game object's mix.
struct ZkBusMeteringCallbackInfo : ZkCallbackInfo
{
    ZkUniqueID busID = 0;
    ZkChannelConfig channelConfig;
    ZkMeteringFlags flags = ZkMeteringFlag_None;
    const void* meteringData = nullptr; // the bus's meter (an IZkBusMeter), valid during the call
};

// Delivered by the output side.
struct ZkOutputDeviceMeteringCallbackInfo;

typedef void (*ZkBusVolumeCallbackFunc)(ZkSpeakerVolumeMatrixCallbackInfo* info);
typedef void (*ZkBusMeteringCallbackFunc)(ZkBusMeteringCallbackInfo* info);
typedef void (*ZkOutputDeviceMeteringCallbackFunc)(ZkOutputDeviceMeteringCallbackInfo* info);
