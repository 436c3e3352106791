// The interface calls that change output devices, their panning and routing, and the effects and
// mixers of buses and devices: argument checks, then one message each. AddOutput waits for the main
// output first.
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/MainOutputGate.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkOutputCalls.h>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
constexpr ZkMemoryId kAnglesPool = ZkMemID_Default;
constexpr uint32_t kMinSpeakerAngles = 3;
constexpr uint32_t kBusFlag = 1;

// A bus in the bus table: 1 for a top-level bus, 31 for one with a parent, 15 when not loaded.
ZKRESULT CheckTopLevelBus(ZkUniqueID busID)
{
    CZkIndexedObject* object =
        g_pObjectIndex != nullptr ? g_pObjectIndex->GetNodePtrAndAddRef(busID, true) : nullptr;
    if (object == nullptr)
        return ZK_InvalidID;
    const bool hasParent = static_cast<CZkHierarchyNode*>(object)->Parent() != nullptr;
    object->Release();
    return hasParent ? ZK_InvalidParameter : ZK_Success;
}

// A device of the built-in system sink other than the default must name an endpoint that is active
// or unplugged. Under the global engine lock.
bool EndpointAvailable(uint32_t sinkPluginKey, uint32_t deviceID)
{
    if (sinkPluginKey != CZkOutputDevice::kSystemSinkPluginID || deviceID == 0)
        return true;
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    return notifier != nullptr && notifier->IsDeviceActive(deviceID);
}

ZKRESULT PostNodeEffect(ZkUniqueID nodeID, uint32_t effectIndex, ZkUniqueID effectShareSetID, uint32_t isBus)
{
    return PostFixed(ZkMessage_SetNodeEffect, ZkNodeEffectMessage{nodeID, effectIndex, effectShareSetID, isBus});
}
} // namespace

ZKRESULT AddOutput(const ZkOutputSettings& settings, ZkOutputDeviceID* outputID, const ZkGameObjectID* listeners,
                   uint32_t listenerCount)
{
    if (WaitForMainOutput() != ZK_Success)
        return ZK_MainOutputNotReady;
    if ((listeners != nullptr) != (listenerCount > 0))
        return ZK_InvalidParameter;
    uint32_t sinkPluginKey = 0;
    const ZKRESULT shareSet = CZkOutputDeviceMgr::GetShareSetSinkPlugin(settings.audioDeviceShareSetID, sinkPluginKey);
    if (shareSet != ZK_Success)
        return shareSet;
    const uint64_t size = MessageBytes<ZkAddOutputMessage>() + uint64_t{listenerCount} * sizeof(ZkGameObjectID) +
                          kListenerListTailBytes;
    const ZKRESULT result = PostHeadAndItems(ZkMessage_AddOutput, ZkAddOutputMessage{settings, 0, listenerCount},
                                             listeners, size_t{listenerCount} * sizeof(ZkGameObjectID), size);
    if (result != ZK_Success)
        return result;
    if (outputID != nullptr)
        *outputID = ZkMakeOutputID(settings.audioDeviceShareSetID, settings.idDevice);
    return ZK_Success;
}

ZKRESULT RemoveOutput(ZkOutputDeviceID outputID)
{
    return PostFixed(ZkMessage_RemoveOutput, ZkOutputIDMessage{outputID});
}

ZKRESULT ReplaceOutput(const ZkOutputSettings& settings, ZkOutputDeviceID outputID, ZkOutputDeviceID* newOutputID)
{
    uint32_t sinkPluginKey = 0;
    const ZKRESULT shareSet = CZkOutputDeviceMgr::GetShareSetSinkPlugin(settings.audioDeviceShareSetID, sinkPluginKey);
    if (shareSet != ZK_Success)
        return shareSet;
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        if (CZkOutputDeviceMgr::GetDevice(outputID) == nullptr)
            return ZK_DeviceNotFound;
        if (!EndpointAvailable(sinkPluginKey, settings.idDevice))
            return ZK_DeviceNotActive;
    }
    const ZKRESULT result = PostFixed(ZkMessage_ReplaceOutput, ZkReplaceOutputMessage{settings, outputID});
    if (result == ZK_Success && newOutputID != nullptr)
        *newOutputID = ZkMakeOutputID(settings.audioDeviceShareSetID, settings.idDevice);
    return result;
}

ZkOutputDeviceID GetOutputID(ZkUniqueID shareSetID, uint32_t deviceID)
{
    if (IsInitialized() && (shareSetID == 0 || deviceID == 0))
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        if (const CZkOutputDevice* device = CZkOutputDeviceMgr::FindDevice(shareSetID, deviceID))
            return device->OutputID();
    }
    return ZkMakeOutputID(shareSetID, deviceID);
}

ZkOutputDeviceID GetOutputID(const char* shareSetName, uint32_t deviceID)
{
    return GetOutputID(LenientID(shareSetName), deviceID);
}

ZkOutputDeviceID GetOutputID(const wchar_t* shareSetName, uint32_t deviceID)
{
    return GetOutputID(LenientID(shareSetName), deviceID);
}

ZKRESULT SetBusDevice(ZkUniqueID busID, ZkUniqueID deviceShareSetID)
{
    const ZKRESULT bus = CheckTopLevelBus(busID);
    if (bus != ZK_Success)
        return bus;
    uint32_t sinkPluginKey = 0;
    if (deviceShareSetID == 0 || CZkOutputDeviceMgr::GetShareSetSinkPlugin(deviceShareSetID, sinkPluginKey) != ZK_Success)
        return ZK_InvalidID;
    return PostFixed(ZkMessage_SetBusDevice, ZkSetBusDeviceMessage{busID, deviceShareSetID});
}

ZKRESULT SetBusDevice(const char* busName, const char* deviceShareSetName)
{
    return SetBusDevice(LenientID(busName), LenientID(deviceShareSetName));
}

ZKRESULT SetBusDevice(const wchar_t* busName, const wchar_t* deviceShareSetName)
{
    return SetBusDevice(LenientID(busName), LenientID(deviceShareSetName));
}

ZKRESULT SetOutputVolume(ZkOutputDeviceID outputID, float volume)
{
    if (!IsFinite(volume))
        return ZK_NotFinite;
    return PostFixed(ZkMessage_SetOutputVolume, ZkOutputVolumeMessage{outputID, volume});
}

ZKRESULT SetPanningRule(ZkPanningRule rule, ZkOutputDeviceID outputID)
{
    return PostFixed(ZkMessage_SetPanningRule, ZkPanningRuleMessage{outputID, static_cast<uint32_t>(rule)});
}

ZKRESULT SetSpeakerAngles(const float* angles, uint32_t count, float heightAngle, ZkOutputDeviceID outputID)
{
    if (angles == nullptr || count < kMinSpeakerAngles)
        return ZK_InvalidParameter;
    for (uint32_t index = 0; index < count; ++index)
    {
        if (!IsFinite(angles[index]))
            return ZK_NotFinite;
    }
    if (!IsFinite(heightAngle))
        return ZK_NotFinite;
    float smallestGap = 0.0f;
    if (CZkSpeakerPan::ValidateSpeakerAngles(angles, count, smallestGap) != ZK_Success)
        return ZK_InvalidParameter;
    return PostWithCopy(ZkMessage_SetSpeakerAngles, ZkSpeakerAnglesMessage{nullptr, count, heightAngle, outputID},
                        &ZkSpeakerAnglesMessage::angles, angles, size_t{count} * sizeof(float), kAnglesPool);
}

ZKRESULT SetBusConfig(ZkUniqueID busID, ZkChannelConfig channelConfig)
{
    if (busID == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return PostFixed(ZkMessage_SetBusConfig, ZkSetBusConfigMessage{busID, channelConfig.word});
}

ZKRESULT SetBusConfig(const char* busName, ZkChannelConfig channelConfig)
{
    return SetBusConfig(LenientID(busName), channelConfig);
}

ZKRESULT SetBusConfig(const wchar_t* busName, ZkChannelConfig channelConfig)
{
    return SetBusConfig(LenientID(busName), channelConfig);
}

ZKRESULT SetBusEffect(ZkUniqueID busID, uint32_t effectIndex, ZkUniqueID effectShareSetID)
{
    if (busID == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return PostNodeEffect(busID, effectIndex, effectShareSetID, kBusFlag);
}

ZKRESULT SetBusEffect(const char* busName, uint32_t effectIndex, ZkUniqueID effectShareSetID)
{
    return SetBusEffect(LenientID(busName), effectIndex, effectShareSetID);
}

ZKRESULT SetBusEffect(const wchar_t* busName, uint32_t effectIndex, ZkUniqueID effectShareSetID)
{
    return SetBusEffect(LenientID(busName), effectIndex, effectShareSetID);
}

ZKRESULT SetActorMixerEffect(ZkUniqueID nodeID, uint32_t effectIndex, ZkUniqueID effectShareSetID)
{
    return PostNodeEffect(nodeID, effectIndex, effectShareSetID, 0);
}

ZKRESULT SetOutputDeviceEffect(ZkOutputDeviceID outputID, uint32_t effectIndex, ZkUniqueID effectShareSetID)
{
    return PostFixed(ZkMessage_SetOutputDeviceEffect,
                     ZkOutputDeviceEffectMessage{outputID, effectIndex, effectShareSetID});
}

ZKRESULT SetMixer(ZkUniqueID busID, ZkUniqueID mixerShareSetID)
{
    if (busID == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return PostFixed(ZkMessage_SetMixer, ZkSetMixerMessage{busID, 0, mixerShareSetID, kBusFlag});
}

ZKRESULT SetMixer(const char* busName, ZkUniqueID mixerShareSetID)
{
    return SetMixer(LenientID(busName), mixerShareSetID);
}

ZKRESULT SetMixer(const wchar_t* busName, ZkUniqueID mixerShareSetID)
{
    return SetMixer(LenientID(busName), mixerShareSetID);
}
} // namespace ZK::SoundEngine
