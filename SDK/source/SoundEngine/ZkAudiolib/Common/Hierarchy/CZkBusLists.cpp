// CZkBus: the engine's list of top-level buses, and the engine messages that name buses (31, 46)
// or reach every bus from the top (32, 57).
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// The buses without a parent, each once; not owning. Guarded by the global engine lock.
ZK::ZkArray<CZkBus*>& TopLevelBuses()
{
    static ZK::ZkArray<CZkBus*> buses;
    return buses;
}

CZkBus* FindBus(ZkUniqueID busID)
{
    return g_pObjectIndex != nullptr ? static_cast<CZkBus*>(g_pObjectIndex->GetNodePtrAndAddRef(busID, true)) : nullptr;
}
} // namespace

uint32_t CZkBus::TopLevelCount() { return TopLevelBuses().Length(); }

CZkBus* CZkBus::TopLevelAt(uint32_t index) { return TopLevelBuses()[index]; }

bool CZkBus::IsInTopLevelList(const CZkBus* bus)
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    return TopLevelBuses().Find(const_cast<CZkBus*>(bus)) != TopLevelBuses().Length();
}

ZKRESULT CZkBus::AddTopLevel(CZkBus* bus)
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    ZK::ZkArray<CZkBus*>& buses = TopLevelBuses();
    if (buses.Find(bus) != buses.Length())
        return ZK_Success;
    return buses.AddLast(bus) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

void CZkBus::LeaveTopLevelList()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    ZK::ZkArray<CZkBus*>& buses = TopLevelBuses();
    const uint32_t at = buses.Find(this);
    if (at == buses.Length())
        return;
    buses.Erase(at);
    if (!buses.IsEmpty())
        return;
    // The last top-level bus takes the list and the state groups nothing uses any more with it.
    buses.Term();
    if (g_pStateMgr != nullptr)
        g_pStateMgr->RemoveAllStateGroups(true);
}

void CZkBus::SetBusDevice(ZkUniqueID busID, uint32_t deviceID)
{
    CZkBus* bus = FindBus(busID);
    if (bus == nullptr)
        return;
    bus->SetDeviceID(deviceID);
    bus->Release();
}

void CZkBus::SetBusConfig(ZkUniqueID busID, uint32_t channelConfig)
{
    CZkBus* bus = FindBus(busID);
    if (bus == nullptr)
        return;
    if (!bus->IsTopLevel())
        bus->SetChannelConfig(channelConfig); // a top-level bus keeps the device's configuration
    bus->Release();
}

ZKRESULT CZkBus::ExecuteActionOnPlayingID(const ZkActionParams& params)
{
    // A referenced copy: an action may release buses, and the list may change under the walk.
    ZK::ZkArray<CZkBus*> buses;
    for (CZkBus* bus : TopLevelBuses())
    {
        if (buses.AddLast(bus) != nullptr)
            bus->AddRef();
    }
    for (CZkBus* bus : buses)
    {
        bus->ExecuteAction(params);
        bus->Release();
    }
    return ZK_Success;
}

ZKRESULT CZkBus::ExecuteActionOnPlayingID(uint32_t code, ZkPlayingID playingID, ZkTimeMs transitionTime, uint32_t curve)
{
    ZkActionParams params;
    params.code = static_cast<ZkActionCode>(code);
    params.playingID = playingID;
    params.transitionTime = transitionTime;
    params.curve = curve;
    return ExecuteActionOnPlayingID(params);
}
} // namespace ZK::SoundEngine
