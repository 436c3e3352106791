// The output device manager's device list: look-ups, creation with the sink fallbacks, removal,
// replacement, the listener sets and the status reports.
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/ZkOutputDeviceMgrState.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkPlatformDevices.h>

namespace ZK::SoundEngine
{
namespace OutputDeviceMgrState
{
DeviceList& Devices()
{
    static DeviceList list;
    return list;
}

Render& Rendering()
{
    static Render render;
    return render;
}
} // namespace OutputDeviceMgrState

using OutputDeviceMgrState::Devices;

namespace
{
bool IsBaseSinkFallback(ZKRESULT result)
{
    return result == ZK_NotImplemented || result == ZK_InvalidID || result == ZK_PluginNotRegistered;
}

CZkOutputDevice* FirstOfShareSet(uint32_t shareSetID)
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->ShareSetID() == shareSetID)
            return device;
    }
    return nullptr;
}

CZkOutputDevice* WithOutputID(ZkOutputDeviceID outputID)
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->OutputID() == outputID)
            return device;
    }
    return nullptr;
}

// Two devices of one share set split its listeners: each must have listeners of its own, and no
// listener may be heard twice.
bool ListenersConflict(CZkOutputDevice& existing, const ZkListenerSet& listeners)
{
    return (!existing.IsSplit() && existing.Listeners().IsEmpty()) || listeners.IsEmpty() ||
           existing.Listeners().SharesAnyWith(listeners);
}

void SetMainOutputFailed(bool isMain)
{
    if (isMain)
        Devices().mainOutputStatus = CZkOutputDeviceMgr::MainOutput_Failed;
}
} // namespace

CZkOutputDevice* CZkOutputDeviceMgr::FirstDevice()
{
    return Devices().head;
}

uint32_t CZkOutputDeviceMgr::DeviceCount()
{
    return Devices().count;
}

int32_t CZkOutputDeviceMgr::GetMainOutputStatus()
{
    return Devices().mainOutputStatus;
}

const ZkListenerSet& CZkOutputDeviceMgr::ListenerUnion()
{
    return Devices().listenerUnion;
}

ZKRESULT CZkOutputDeviceMgr::GetShareSetSinkPlugin(uint32_t shareSetID, uint32_t& pluginKey)
{
    pluginKey = CZkOutputDevice::kSystemSinkPluginID;
    if (shareSetID == 0)
        return ZK_Success;
    CZkEffectObject* shareSet =
        g_pObjectIndex != nullptr
            ? static_cast<CZkEffectObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::AudioDevices, shareSetID))
            : nullptr;
    if (shareSet == nullptr)
        return shareSetID == kSystemShareSetID ? ZK_Success : ZK_InvalidID;
    pluginKey = shareSet->pluginID;
    shareSet->Release();
    return ZK_Success;
}

void CZkOutputDeviceMgr::ResolveDefaultOutput(uint32_t& shareSetID, uint32_t& deviceID)
{
    if (shareSetID == 0)
        shareSetID = kSystemShareSetID;
    if (deviceID != 0)
        return;
    ZkDeviceDescription records[kMaxDefaultDeviceRecords];
    uint32_t count = kMaxDefaultDeviceRecords;
    if (GetDeviceList(shareSetID, count, records) != ZK_Success || count == 0)
        return;
    deviceID = records[0].idDevice;
    for (uint32_t index = 0; index < count && index < kMaxDefaultDeviceRecords; ++index)
    {
        if (records[index].isDefaultDevice != 0)
        {
            deviceID = records[index].idDevice;
            break;
        }
    }
}

CZkOutputDevice* CZkOutputDeviceMgr::GetMainDevice()
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->IsMain())
            return device;
    }
    return nullptr;
}

CZkOutputDevice* CZkOutputDeviceMgr::GetDevice(ZkOutputDeviceID outputID)
{
    if (outputID == 0)
        return GetMainDevice();
    // A device listed under exactly this id needs no default resolved: the render pass asks for
    // its devices every frame, and a resolution walks the platform's device list.
    if (CZkOutputDevice* listed = WithOutputID(outputID))
        return listed;
    uint32_t shareSetID = ZkOutputShareSetOf(outputID);
    uint32_t deviceID = ZkOutputDeviceOf(outputID);
    if (shareSetID == 0 || deviceID == 0)
        ResolveDefaultOutput(shareSetID, deviceID);
    return WithOutputID(ZkMakeOutputID(shareSetID, deviceID));
}

CZkOutputDevice* CZkOutputDeviceMgr::FindDevice(uint32_t shareSetID, uint32_t deviceID)
{
    if (shareSetID == 0)
        return GetMainDevice();
    if (deviceID == 0)
        ResolveDefaultOutput(shareSetID, deviceID);
    return WithOutputID(ZkMakeOutputID(shareSetID, deviceID));
}

CZkOutputDevice* CZkOutputDeviceMgr::FindDeviceForBus(CZkBus* bus, ZkGameObjectID listener, ZkOutputDeviceID outputID)
{
    if (bus == nullptr)
    {
        CZkOutputDevice* device = WithOutputID(outputID);
        return device != nullptr ? device : GetMainDevice();
    }
    const uint32_t shareSetID = bus->ResolveOutputShareSet();
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->ShareSetID() != shareSetID)
            continue;
        if (device->Listeners().Contains(listener))
            return device;
        if (device->Listeners().IsEmpty() && !device->IsSplit() && !Devices().listenerUnion.Contains(listener))
            return device;
    }
    return nullptr;
}

void CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(ZkAudioDeviceStatusCallback callback)
{
    Devices().statusCallback = callback;
}

void CZkOutputDeviceMgr::ReportDeviceEvent(const CZkOutputDevice& device, ZkAudioDeviceEvent event, ZKRESULT result)
{
    const ZkAudioDeviceStatusCallback callback = Devices().statusCallback;
    if (callback == nullptr)
        return;
    uint32_t shareSetID = 0;
    uint32_t deviceID = 0;
    device.GetOutputIDs(shareSetID, deviceID);
    callback(GetGlobalPluginContext(), shareSetID, deviceID, event, result);
}

void CZkOutputDeviceMgr::Link(CZkOutputDevice* device)
{
    OutputDeviceMgrState::DeviceList& list = Devices();
    if (device->IsMain())
    {
        device->next = list.head;
        list.head = device;
        if (list.tail == nullptr)
            list.tail = device;
    }
    else
    {
        device->next = nullptr;
        if (list.tail != nullptr)
            list.tail->next = device;
        else
            list.head = device;
        list.tail = device;
    }
    ++list.count;
}

void CZkOutputDeviceMgr::Unlink(CZkOutputDevice* device)
{
    OutputDeviceMgrState::DeviceList& list = Devices();
    CZkOutputDevice* previous = nullptr;
    for (CZkOutputDevice* current = list.head; current != nullptr; previous = current, current = current->next)
    {
        if (current != device)
            continue;
        if (previous != nullptr)
            previous->next = current->next;
        else
            list.head = current->next;
        if (list.tail == current)
            list.tail = previous;
        current->next = nullptr;
        --list.count;
        return;
    }
}

void CZkOutputDeviceMgr::DestroyDevice(CZkOutputDevice* device)
{
    ZK::ZkDelete(CZkOutputDevice::kPool, device);
}

void CZkOutputDeviceMgr::RebuildListenerUnion()
{
    ZkListenerSet& listeners = Devices().listenerUnion;
    listeners.RemoveAll();
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
        listeners.Union(device->Listeners());
}

ZKRESULT CZkOutputDeviceMgr::CreateDevice(ZkOutputDeviceID outputID, const ZkOutputSettings& settings,
                                          ZkListenerSet& listeners, uint32_t carriedValue, bool isMain,
                                          bool /*isReplacement*/, bool deviceIDDefaulted)
{
    const uint32_t askedShareSetID =
        settings.audioDeviceShareSetID != 0 ? settings.audioDeviceShareSetID : kSystemShareSetID;
    CZkOutputDevice* device =
        ZK::ZkNew<CZkOutputDevice>(CZkOutputDevice::kPool, outputID, settings, isMain, deviceIDDefaulted);
    if (device == nullptr || !device->Listeners().Assign(listeners))
    {
        DestroyDevice(device);
        SetMainOutputFailed(isMain);
        return ZK_InsufficientMemory;
    }

    // The device that takes the listener set: the new one, or the "System" device it falls back to.
    CZkOutputDevice* owner = device;
    ZKRESULT result = ZK_Success;
    if (IsOfflineRendering())
    {
        result = device->InstallBaseSink(CZkOutputDevice::State_Running);
    }
    else
    {
        for (;;)
        {
            const ZKRESULT started = device->InitSink();
            if (started == ZK_Success)
                break;
            if (IsBaseSinkFallback(started))
            {
                if (CZkOutputDevice* system = FirstOfShareSet(kSystemShareSetID))
                {
                    DestroyDevice(device);
                    device = nullptr;
                    owner = system;
                    if (!system->Listeners().Assign(listeners))
                        return ZK_InsufficientMemory;
                    break;
                }
                if (device->ShareSetID() == kSystemShareSetID)
                {
                    result = device->InstallBaseSink(CZkOutputDevice::State_OnBaseSink);
                    break;
                }
                CZkBus::ResolveDeviceIDs(device->ShareSetID(), kSystemShareSetID);
                uint32_t shareSetID = kSystemShareSetID;
                uint32_t deviceID = 0;
                ResolveDefaultOutput(shareSetID, deviceID);
                device->Retarget(shareSetID, deviceID, true);
                continue;
            }
            if (started == ZK_InsufficientMemory)
            {
                result = started;
                break;
            }
            result = device->InstallBaseSink(started == ZK_SinkAsksForBaseSink ? CZkOutputDevice::State_Running
                                                                                : CZkOutputDevice::State_OnBaseSink);
            break;
        }
    }

    if (device != nullptr)
    {
        if (result == ZK_Success)
        {
            // The default angles are valid: only their table can fail to be allocated.
            if (device->SetDefaultSpeakerAngles() != ZK_Success)
            {
                result = ZK_InsufficientMemory;
                ReportDeviceEvent(*device, ZkAudioDeviceEvent_Initialization, result);
            }
        }
        if (result == ZK_Success)
        {
            for (CZkOutputDevice* other = Devices().head; other != nullptr; other = other->next)
            {
                if (other->ShareSetID() == device->ShareSetID() && ListenersConflict(*other, device->Listeners()))
                {
                    result = ZK_ListenerSetConflict;
                    ReportDeviceEvent(*device, ZkAudioDeviceEvent_Initialization, result);
                    break;
                }
            }
        }
        if (result != ZK_Success)
        {
            DestroyDevice(device);
            SetMainOutputFailed(isMain);
            return result;
        }
        for (CZkOutputDevice* other = Devices().head; other != nullptr; other = other->next)
        {
            if (other->ShareSetID() == device->ShareSetID())
            {
                other->SetSplit();
                device->SetSplit();
            }
        }
        Link(device);
        if (Devices().captureName != nullptr)
            OpenNumberedCaptureFile(*device);
        if (isMain && Devices().mainOutputStatus == MainOutput_Unknown)
            Devices().mainOutputStatus = Devices().head->ShareSetID() == askedShareSetID ? MainOutput_Ready
                                                                                         : MainOutput_Failed;
    }

    listeners.Term();
    owner->SetCarriedValue(carriedValue);
    RebuildListenerUnion();
    CZkAudioRenderer::SetGraphDirty(0);
    ReportDeviceEvent(*owner, ZkAudioDeviceEvent_Initialization, ZK_Success);
    return ZK_Success;
}

ZKRESULT CZkOutputDeviceMgr::AddOutput(const ZkOutputSettings& settings, const ZkGameObjectID* listeners,
                                       uint32_t count)
{
    ZkOutputSettings resolved = settings;
    const bool deviceIDDefaulted = settings.idDevice == 0;
    if (resolved.audioDeviceShareSetID == 0 || resolved.idDevice == 0)
        ResolveDefaultOutput(resolved.audioDeviceShareSetID, resolved.idDevice);
    const ZkOutputDeviceID outputID = ZkMakeOutputID(resolved.audioDeviceShareSetID, resolved.idDevice);
    if (WithOutputID(outputID) != nullptr)
        return ZK_Success;
    ZkListenerSet set;
    for (uint32_t index = 0; index < count && listeners != nullptr; ++index)
    {
        if (set.Add(listeners[index]) != ZK_Success)
        {
            set.Term();
            return ZK_InsufficientMemory;
        }
    }
    return CreateDevice(outputID, resolved, set, 0, false, false, deviceIDDefaulted);
}

ZKRESULT CZkOutputDeviceMgr::RemoveOutput(ZkOutputDeviceID outputID, bool notify)
{
    CZkOutputDevice* device = WithOutputID(outputID);
    if (device == nullptr)
        return ZK_Fail;
    RemoveDevice(device, notify);
    return ZK_Success;
}

void CZkOutputDeviceMgr::RemoveDevice(CZkOutputDevice* device, bool notify)
{
    Unlink(device);
    RebuildListenerUnion();
    if (notify && device->RunsRealSink())
        ReportDeviceEvent(*device, ZkAudioDeviceEvent_Removal, ZK_Success);
    DestroyDevice(device);
    CZkAudioRenderer::SetGraphDirty(0);
    OutputDeviceMgrState::DeviceList& list = Devices();
    if (list.head == nullptr && list.captureName != nullptr)
    {
        ZK::MemoryMgr::Free(CZkOutputDevice::kPool, list.captureName);
        list.captureName = nullptr;
    }
}

ZKRESULT CZkOutputDeviceMgr::ReplaceOutput(const ZkOutputSettings& settings, ZkOutputDeviceID oldOutputID)
{
    CZkOutputDevice* old = GetDevice(oldOutputID);
    if (old == nullptr)
        return ZK_Fail;
    ZkOutputSettings next = settings;
    ZkListenerSet listeners;
    if (!listeners.Assign(old->Listeners()))
        return ZK_InsufficientMemory;
    const bool isMain = old->IsMain();
    const uint32_t carriedValue = old->CarriedValue();
    if (next.audioDeviceShareSetID == 0)
        next.audioDeviceShareSetID = old->ShareSetID();
    else
        CZkBus::ResolveDeviceIDs(old->ShareSetID(), next.audioDeviceShareSetID);
    RemoveDevice(old, true);
    if (isMain)
        Devices().mainOutputSettings = settings;
    const bool deviceIDDefaulted = next.idDevice == 0;
    ResolveDefaultOutput(next.audioDeviceShareSetID, next.idDevice);
    return CreateDevice(ZkMakeOutputID(next.audioDeviceShareSetID, next.idDevice), next, listeners, carriedValue,
                        isMain, true, deviceIDDefaulted);
}

ZKRESULT CZkOutputDeviceMgr::ReplaceMainOutput(const ZkOutputSettings& settings)
{
    // The main device a bank's main bus asks for carries the value 1: its bus is assigned.
    constexpr uint32_t kMainBusAssigned = 1;
    ZkOutputSettings next = settings;
    const bool deviceIDDefaulted = next.idDevice == 0;
    ResolveDefaultOutput(next.audioDeviceShareSetID, next.idDevice);
    const ZkOutputDeviceID outputID = ZkMakeOutputID(next.audioDeviceShareSetID, next.idDevice);
    if (CZkOutputDevice* main = GetMainDevice())
    {
        if (main->OutputID() == outputID && main->GetState() != CZkOutputDevice::State_OnBaseSink &&
            main->RunsRealSink())
            return ZK_Success;
        RemoveDevice(main, main->OutputID() != outputID);
    }
    ZkListenerSet listeners;
    return CreateDevice(outputID, next, listeners, kMainBusAssigned, true, true, deviceIDDefaulted);
}

ZKRESULT CZkOutputDeviceMgr::SetPanningRule(ZkOutputDeviceID outputID, uint32_t rule)
{
    CZkOutputDevice* device = GetDevice(outputID);
    if (device == nullptr)
        return ZK_Fail;
    device->panningRule = rule;
    CZkListener::RefreshAll();
    return ZK_Success;
}

void CZkOutputDeviceMgr::RefreshDeviceEffects(uint32_t shareSetID, uint32_t deviceID, uint32_t slot)
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->ShareSetID() == shareSetID && device->DeviceID() == deviceID)
            device->SetEffect(slot);
    }
}

void CZkOutputDeviceMgr::SetDeviceShareSetValue(uint32_t shareSetID, uint32_t deviceID, uint8_t value)
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->ShareSetID() == shareSetID && (deviceID == kAnyDeviceID || device->DeviceID() == deviceID))
            device->SetShareSetBypass(value);
    }
}
} // namespace ZK::SoundEngine
