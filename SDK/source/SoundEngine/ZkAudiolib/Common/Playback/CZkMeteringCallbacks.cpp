#include "ZkAudiolib/Common/Playback/CZkMeteringCallbacks.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
namespace
{
bool IsBusLoaded(ZkUniqueID busID)
{
    if (g_pObjectIndex == nullptr)
        return false;
    CZkIndexedObject* bus = g_pObjectIndex->GetNodePtrAndAddRef(busID, true);
    if (bus == nullptr)
        return false;
    bus->Release();
    return true;
}
} // namespace

template <typename Entry> Entry* CZkMeteringCallbacks::Find(ZK::ZkArray<Entry>& table, decltype(Entry::id) id)
{
    for (Entry& entry : table)
    {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

template <typename Entry>
ZKRESULT CZkMeteringCallbacks::Store(ZK::ZkArray<Entry>& table, const Entry& entry, bool remove)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    Entry* existing = Find(table, entry.id);
    if (remove)
    {
        if (existing != nullptr)
            table.EraseSwap(static_cast<uint32_t>(existing - table.Data()));
        return ZK_Success;
    }
    if (existing != nullptr)
    {
        *existing = entry;
        return ZK_Success;
    }
    return table.AddLast(entry) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

ZKRESULT CZkMeteringCallbacks::SetBusVolumeCallback(ZkUniqueID busID, ZkBusVolumeCallbackFunc callback,
                                                    void* cookie)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (!IsBusLoaded(busID))
        return ZK_InvalidID;
    const ZKRESULT result = Store(m_busVolume, BusVolumeEntry{busID, callback, cookie}, callback == nullptr);
    if (result == ZK_Success)
        CZkAudioRenderer::SetBusVolumeCallbackFlag(busID, callback != nullptr);
    return result;
}

ZKRESULT CZkMeteringCallbacks::SetBusMeteringCallback(ZkUniqueID busID, ZkBusMeteringCallbackFunc callback,
                                                      ZkMeteringFlags flags, void* cookie)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (!IsBusLoaded(busID))
        return ZK_InvalidID;
    const bool remove = callback == nullptr && flags != ZkMeteringFlag_None;
    const ZKRESULT result = Store(m_busMetering, BusMeteringEntry{busID, callback, flags, cookie}, remove);
    if (result == ZK_Success)
        CZkAudioRenderer::SetBusMeteringFlags(busID, callback != nullptr ? flags : ZkMeteringFlag_None);
    return result;
}

ZKRESULT CZkMeteringCallbacks::SetOutputDeviceMeteringCallback(ZkOutputDeviceID deviceID,
                                                               ZkOutputDeviceMeteringCallbackFunc callback,
                                                               ZkMeteringFlags flags, void* cookie)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    const CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(deviceID);
    if (device == nullptr)
        return ZK_DeviceNotFound;
    const bool remove = callback == nullptr && flags != ZkMeteringFlag_None;
    return Store(m_deviceMetering, DeviceMeteringEntry{device->OutputID(), callback, flags, cookie}, remove);
}

bool CZkMeteringCallbacks::NotifyBusMetering(ZkUniqueID busID, ZkChannelConfig channelConfig,
                                             const void* meteringData, ZkGameObjectID gameObject)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const BusMeteringEntry* entry = Find(m_busMetering, busID);
    if (entry == nullptr)
        return false;
    if (entry->callback != nullptr)
    {
        ZkBusMeteringCallbackInfo info;
        info.cookie = entry->cookie;
        info.gameObjID = gameObject;
        info.busID = busID;
        info.channelConfig = channelConfig;
        info.flags = entry->flags;
        info.meteringData = meteringData;
        entry->callback(&info);
    }
    return true;
}

bool CZkMeteringCallbacks::NotifyBusVolume(ZkUniqueID busID, ZkSpeakerVolumeMatrixCallbackInfo& info)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const BusVolumeEntry* entry = Find(m_busVolume, busID);
    if (entry == nullptr)
        return false;
    info.cookie = entry->cookie;
    entry->callback(&info);
    return true;
}

ZkMeteringFlags CZkMeteringCallbacks::GetBusMeteringFlags(ZkUniqueID busID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const BusMeteringEntry* entry = Find(m_busMetering, busID);
    return entry != nullptr ? entry->flags : ZkMeteringFlag_None;
}

bool CZkMeteringCallbacks::HasBusVolumeCallback(ZkUniqueID busID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    return Find(m_busVolume, busID) != nullptr;
}

void CZkMeteringCallbacks::Term()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_busVolume.Term();
    m_busMetering.Term();
    m_deviceMetering.Term();
}
} // namespace ZK::SoundEngine
