#include "StreamMgr/StreamMgrDevices.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/ZkDeferredOpen.h"
#include "StreamMgr/ZkGrowableArray.h"

namespace ZK::StreamMgr
{
namespace
{
ZkGrowableArray<CZkStreamDevice*> g_devices(ZkMemID_StreamMgr);
}

CZkStreamDevice* GetDevice(uint32_t deviceId)
{
    return deviceId < g_devices.Count() ? g_devices[deviceId] : nullptr;
}

uint32_t DeviceCount()
{
    return g_devices.Count();
}

uint32_t ReserveDeviceId()
{
    for (uint32_t index = 0; index < g_devices.Count(); ++index)
    {
        if (!g_devices[index])
            return index;
    }
    if (!g_devices.Append(nullptr))
        return ZK_InvalidDeviceID;
    return g_devices.Count() - 1;
}

uint32_t StartDevice(uint32_t deviceId, CZkStreamDevice* device, const ZkDeviceSettings& settings)
{
    if (device->Init(settings, deviceId) != ZK_Success)
    {
        device->Destroy();
        return ZK_InvalidDeviceID;
    }
    g_devices[deviceId] = device;
    return deviceId;
}

uint32_t AddDevice(CZkStreamDevice* device, const ZkDeviceSettings& settings)
{
    const uint32_t deviceId = ReserveDeviceId();
    if (deviceId == ZK_InvalidDeviceID)
    {
        device->Destroy();
        return ZK_InvalidDeviceID;
    }
    return StartDevice(deviceId, device, settings);
}

ZKRESULT DestroyDevice(uint32_t deviceId)
{
    CZkStreamDevice* device = GetDevice(deviceId);
    if (!device)
        return ZK_InvalidParameter;
    device->Destroy();
    g_devices[deviceId] = nullptr;
    return ZK_Success;
}

void DestroyAllDevices()
{
    for (uint32_t index = 0; index < g_devices.Count(); ++index)
    {
        if (CZkStreamDevice* device = g_devices[index])
        {
            device->Destroy();
            g_devices[index] = nullptr;
        }
    }
    g_devices.Term();
}

bool ReleaseMemoryForStream(CZkStreamDevice* requesting, uint8_t priority)
{
    bool killed = false;
    for (uint32_t index = 0; index < g_devices.Count(); ++index)
    {
        if (CZkStreamDevice* device = g_devices[index])
            killed = device->ReleaseMemoryForStream(device == requesting, priority) || killed;
    }
    return killed;
}

void FlushAllCaches()
{
    for (uint32_t index = 0; index < g_devices.Count(); ++index)
    {
        if (CZkStreamDevice* device = g_devices[index])
            device->FlushCache();
    }
}

ZKRESULT RunDeferredOpen(CZkStreamTask* stream)
{
    if (stream->IsToBeDestroyed())
        return ZK_Success;
    ZkDeferredOpen* record = stream->TakeDeferredOpen();
    if (!record)
        return ZK_Success;

    // The resolver fills a copy: the client may read the stream's descriptor (under the stream's
    // lock) while the open runs.
    ZkFileDescriptor fileDesc;
    {
        Platform::ZkScopedLock lock(stream->Lock());
        fileDesc = *stream->FileDescriptor();
    }
    IZkFileLocationResolver* resolver = GetFileLocationResolver();
    bool syncOpen = true;
    ZKRESULT result = ZK_Fail;
    if (resolver)
    {
        if (record->flagWord & kDeferredOpenHasName)
            result = resolver->OpenByName(record->fileName, record->openMode, record->FlagsOrNull(), syncOpen, fileDesc);
        else
            result = resolver->OpenByID(record->fileId, record->openMode, record->FlagsOrNull(), syncOpen, fileDesc);
    }
    const bool opened = result == ZK_Success && syncOpen;
    const bool usable = opened && (fileDesc.fileSize > 0 || record->openMode != ZK_OpenModeRead);
    if (usable)
    {
        {
            Platform::ZkScopedLock lock(stream->Lock());
            *stream->FileDescriptor() = fileDesc;
        }
        stream->OnFileOpened();
    }
    else if (opened)
    {
        // Opened but empty for reading: the stream will not read it, so it must not keep it open.
        if (IZkLowLevelIOHook* hook = stream->Device() ? stream->Device()->Hook() : nullptr)
            hook->Close(fileDesc);
    }
    FreeDeferredOpen(record);
    return usable ? ZK_Success : ZK_Fail;
}
} // namespace ZK::StreamMgr
