// The records and callbacks of the engine's output devices, shared by the public interface, the
// output device manager and the sinks.
//
// An output is named by a 64-bit output id: the device id in the high 32 bits and the audio-device
// share-set id in the low 32 bits. Output id 0 names the main device; a share set of 0 means the
// built-in system output ("System") and a device id of 0 its default endpoint.
//
// Threading and ownership: plain value types; the callbacks are called on the engine thread.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK
{
class IZkGlobalPluginContext;
}

typedef uint64_t ZkOutputDeviceID;

constexpr ZkOutputDeviceID ZkMakeOutputID(uint32_t shareSetID, uint32_t deviceID)
{
    return (static_cast<ZkOutputDeviceID>(deviceID) << 32) | shareSetID;
}
constexpr uint32_t ZkOutputShareSetOf(ZkOutputDeviceID id)
{
    return static_cast<uint32_t>(id);
}
constexpr uint32_t ZkOutputDeviceOf(ZkOutputDeviceID id)
{
    return static_cast<uint32_t>(id >> 32);
}

namespace ZK::SoundEngine
{
// The settings of an output device; its first 8 bytes are the output id of the device it creates.
struct ZkOutputSettings
{
    uint32_t audioDeviceShareSetID = 0; // 0: the default system output
    uint32_t idDevice = 0;              // 0: the default device of the share set
    uint32_t panningRule = 0;
    ZkChannelConfig channelConfig;      // requested main-mix configuration; 0 lets the sink choose
};
static_assert(sizeof(ZkOutputSettings) == 16, "output settings are 16 bytes");
} // namespace ZK::SoundEngine

namespace ZK::SoundEngine
{
// States of an audio endpoint, as bits: a mask selects endpoints in any of the states it names.
enum ZkAudioDeviceState : uint32_t
{
    ZkDeviceState_Active = 0x1,
    ZkDeviceState_Disabled = 0x2,
    ZkDeviceState_NotPresent = 0x4,
    ZkDeviceState_Unplugged = 0x8,
    ZkDeviceState_All = 0xF,
};

// One device a sink plug-in can open, as the device lists describe it.
struct ZkDeviceDescription
{
    static constexpr uint32_t kNameCapacity = 260; // wide characters, the terminator included

    uint32_t idDevice = 0;
    wchar_t deviceName[kNameCapacity] = {};
    uint32_t deviceStateMask = 0; // one ZkAudioDeviceState bit
    uint8_t isDefaultDevice = 0;
};
} // namespace ZK::SoundEngine

// What happened to an output device, as the audio-device status callback reports it.
enum ZkAudioDeviceEvent : uint32_t
{
    ZkAudioDeviceEvent_Initialization = 0, // with 1, or the failure code of the sink's start
    ZkAudioDeviceEvent_Removal = 1,        // with 1
    ZkAudioDeviceEvent_DeviceLost = 2,     // with 1
};

typedef void (*ZkAudioDeviceStatusCallback)(ZK::IZkGlobalPluginContext* context, uint32_t shareSetID,
                                            uint32_t deviceID, ZkAudioDeviceEvent event, ZKRESULT result);

// Receives every frame of an output device's final mix: interleaved 32-bit float samples in the
// device's channel configuration, zero-padded to the buffer's full length.
typedef void (*ZkCaptureCallback)(ZkAudioBuffer& buffer, ZkOutputDeviceID outputID, void* cookie);
