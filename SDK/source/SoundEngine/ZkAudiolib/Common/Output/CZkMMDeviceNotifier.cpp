#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"

#include <Platform/Audio/EndpointProvider.h>
#include <Platform/Audio/TaskMemory.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

namespace
{
// The endpoint properties whose change may change what a stream on the endpoint can do: the device
// format, and three more that describe the endpoint's processing and its jack.
constexpr Guid kProcessingGroup{0xE4870E26, 0x3CC5, 0x4CD2, {0xBA, 0x46, 0xCA, 0x0A, 0x9A, 0x70, 0xED, 0x04}};
constexpr Guid kJackGroup{0x3D6E1656, 0x2E50, 0x4C4C, {0x8D, 0x85, 0xD0, 0xAC, 0xAE, 0x3C, 0x6C, 0x68}};
constexpr Guid kFormFactorGroup{0x624F56DE, 0xFD24, 0x473E, {0x81, 0x4A, 0xDE, 0x40, 0xAA, 0xCA, 0xED, 0x16}};
constexpr PropertyKey kWatchedProperties[] = {
    kPropertyDeviceFormat, {kProcessingGroup, 0}, {kProcessingGroup, 3}, {kJackGroup, 2}, {kJackGroup, 3},
    {kFormFactorGroup, 3},
};

class EndpointAccessFactory final : public IZkEndpointAccessFactory
{
public:
    IZkEndpointAccess* GetEndpointAccess() override { return CZkMMDeviceNotifier::AcquireShared(); }
};

struct SharedNotifier
{
    ZK::Platform::ZkCriticalSection lock;
    CZkMMDeviceNotifier* notifier = nullptr;
    EndpointAccessFactory* factory = nullptr;
};

SharedNotifier& SharedState()
{
    static SharedNotifier shared;
    return shared;
}

uint32_t PluginNumberOf(uint32_t pluginID)
{
    return pluginID >> 16;
}

// Marks lost every output device that plays on the endpoint.
void MarkDevicesOnEndpointLost(uint32_t deviceID)
{
    for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
    {
        if (ZkOutputDeviceOf(device->OutputID()) == deviceID)
            device->SetDeviceLost();
    }
}

// Marks lost every device that follows the default endpoint and runs that sink.
void MarkDefaultFollowersLost(uint32_t sinkNumber)
{
    for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
    {
        if (device->IsDeviceIDDefaulted() && PluginNumberOf(device->SinkPluginID()) == sinkNumber)
            device->SetDeviceLost();
    }
}
} // namespace

uint32_t EndpointDeviceID(IEndpoint* endpoint)
{
    if (endpoint == nullptr)
        return kInvalidEndpointID;
    wchar_t* id = nullptr;
    if (AudioFailed(endpoint->GetId(&id)) || id == nullptr)
        return kInvalidEndpointID;
    const uint32_t deviceID = GetIDFromString(id);
    FreeTaskMemory(id);
    return deviceID;
}

// --- The shared notifier and the factory ---

ZKRESULT CZkMMDeviceNotifier::CreateFactory()
{
    SharedNotifier& shared = SharedState();
    ZkScopedLock guard(shared.lock);
    if (shared.factory == nullptr)
        shared.factory = ZK::ZkNew<EndpointAccessFactory>(kFactoryPool);
    return shared.factory != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

void CZkMMDeviceNotifier::DestroyFactory()
{
    SharedNotifier& shared = SharedState();
    ZkScopedLock guard(shared.lock);
    ZK::ZkDelete(kFactoryPool, shared.factory);
    shared.factory = nullptr;
}

IZkEndpointAccessFactory* CZkMMDeviceNotifier::Factory()
{
    SharedNotifier& shared = SharedState();
    ZkScopedLock guard(shared.lock);
    return shared.factory;
}

CZkMMDeviceNotifier* CZkMMDeviceNotifier::AcquireShared()
{
    SharedNotifier& shared = SharedState();
    ZkScopedLock guard(shared.lock);
    if (shared.notifier == nullptr)
        shared.notifier = Create();
    return shared.notifier;
}

CZkMMDeviceNotifier* CZkMMDeviceNotifier::Shared()
{
    SharedNotifier& shared = SharedState();
    ZkScopedLock guard(shared.lock);
    return shared.notifier;
}

void CZkMMDeviceNotifier::ReleaseShared()
{
    SharedNotifier& shared = SharedState();
    ZkScopedLock guard(shared.lock);
    if (shared.notifier != nullptr)
        shared.notifier->Release();
    shared.notifier = nullptr;
}

// --- Life ---

CZkMMDeviceNotifier* CZkMMDeviceNotifier::Create()
{
    CZkMMDeviceNotifier* notifier = ZK::ZkNew<CZkMMDeviceNotifier>(kPool);
    if (notifier == nullptr)
        return nullptr;
    if (AudioFailed(CreateEndpointEnumerator(&notifier->m_enumerator)) || notifier->m_enumerator == nullptr ||
        notifier->m_queue.Init() != ZK_Success)
    {
        notifier->Release();
        return nullptr;
    }
    notifier->ListEndpoints();
    notifier->m_registered = AudioSucceeded(notifier->m_enumerator->RegisterEndpointNotificationCallback(notifier));
    return notifier;
}

CZkMMDeviceNotifier::~CZkMMDeviceNotifier()
{
    if (m_registered)
        m_enumerator->UnregisterEndpointNotificationCallback(this);
    {
        ZkScopedLock guard(m_lock);
        ReleaseEndpoints();
        m_queue.Term();
    }
    ReleaseAndClear(m_enumerator);
}

uint32_t CZkMMDeviceNotifier::AddRef()
{
    return m_references.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t CZkMMDeviceNotifier::Release()
{
    const uint32_t left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        ZK::ZkDelete(kPool, this);
    return left;
}

AudioResult CZkMMDeviceNotifier::QueryInterface(InterfaceId id, void** object)
{
    if (object == nullptr)
        return kAudioInvalidArgument;
    *object = nullptr;
    if (id != InterfaceId::Unknown && id != InterfaceId::NotificationClient)
        return kAudioNoInterface;
    *object = static_cast<IEndpointNotificationClient*>(this);
    AddRef();
    return kAudioOk;
}

void CZkMMDeviceNotifier::ListEndpoints()
{
    IEndpointCollection* collection = nullptr;
    if (AudioFailed(m_enumerator->EnumAudioEndpoints(DataFlow::Render, kDeviceStateAll, &collection)))
        return;
    uint32_t count = 0;
    collection->GetCount(&count);
    for (uint32_t index = 0; index < count; ++index)
    {
        IEndpoint* endpoint = nullptr;
        if (AudioFailed(collection->Item(index, &endpoint)))
            continue;
        if (m_endpoints.AddLast(Entry{endpoint, EndpointDeviceID(endpoint)}) == nullptr)
            endpoint->Release(); // out of memory: the endpoint stays unlisted
    }
    collection->Release();
}

void CZkMMDeviceNotifier::ReleaseEndpoints()
{
    for (Entry& entry : m_endpoints)
        entry.endpoint->Release();
    m_endpoints.Term();
}

uint32_t CZkMMDeviceNotifier::IndexOf(uint32_t deviceID) const
{
    for (uint32_t index = 0; index < m_endpoints.Length(); ++index)
    {
        if (m_endpoints[index].deviceID == deviceID)
            return index;
    }
    return m_endpoints.Length();
}

// --- Engine thread ---

ZKRESULT CZkMMDeviceNotifier::ProcessNotifications()
{
    ZkScopedLock guard(m_lock);
    if (m_queue.Overflowed())
    {
        ReleaseEndpoints();
        m_queue.DropAll();
        ListEndpoints();
        m_queue.ClearOverflow();
    }
    ZkEndpointNotificationQueue::IdText id;
    ZkEndpointNotificationQueue::Kind kind = ZkEndpointNotificationQueue::Kind_Added;
    while (m_queue.Pop(id, kind))
        Apply(id, kind);
    return ZK_Success;
}

void CZkMMDeviceNotifier::Apply(const wchar_t* id, ZkEndpointNotificationQueue::Kind kind)
{
    const uint32_t deviceID = GetIDFromString(id);
    IEndpoint* endpoint = nullptr;
    m_enumerator->GetDevice(id, &endpoint);
    switch (kind)
    {
    case ZkEndpointNotificationQueue::Kind_Added:
        // An endpoint listed already (the list was rebuilt after it came) is not listed twice.
        if (endpoint != nullptr && IndexOf(deviceID) == m_endpoints.Length() &&
            m_endpoints.AddLast(Entry{endpoint, deviceID}) != nullptr)
            endpoint = nullptr; // the list keeps the reference
        break;
    case ZkEndpointNotificationQueue::Kind_Removed:
        if (const uint32_t index = IndexOf(deviceID); index < m_endpoints.Length())
        {
            m_endpoints[index].endpoint->Release();
            m_endpoints.EraseSwap(index);
        }
        MarkDevicesOnEndpointLost(deviceID);
        break;
    case ZkEndpointNotificationQueue::Kind_StateChanged:
        MarkDevicesOnEndpointLost(deviceID);
        break;
    case ZkEndpointNotificationQueue::Kind_DefaultCommunications:
        MarkDefaultFollowersLost(kCommunicationsSinkNumber);
        break;
    case ZkEndpointNotificationQueue::Kind_DefaultMultimedia:
    case ZkEndpointNotificationQueue::Kind_DefaultConsole:
        MarkDefaultFollowersLost(kSystemSinkNumber);
        break;
    }
    if (endpoint != nullptr)
        endpoint->Release();
}

bool CZkMMDeviceNotifier::IsDeviceActive(uint32_t deviceID)
{
    uint32_t foundID = kInvalidEndpointID;
    IEndpoint* endpoint = FindEndpoint(deviceID, foundID);
    if (endpoint == nullptr)
        return false;
    uint32_t state = 0;
    const bool known = AudioSucceeded(endpoint->GetState(&state));
    endpoint->Release();
    return known && (state == kDeviceStateActive || state == kDeviceStateUnplugged);
}

IEndpoint* CZkMMDeviceNotifier::GetDefaultEndpoint(DeviceRole role, uint32_t& deviceID)
{
    deviceID = kInvalidEndpointID;
    IEndpoint* endpoint = nullptr;
    if (AudioFailed(m_enumerator->GetDefaultAudioEndpoint(DataFlow::Render, role, &endpoint)))
        return nullptr;
    deviceID = EndpointDeviceID(endpoint);
    return endpoint;
}

// --- IZkEndpointAccess ---

uint32_t CZkMMDeviceNotifier::GetEndpointCount()
{
    ZkScopedLock guard(m_lock);
    return m_endpoints.Length();
}

IEndpoint* CZkMMDeviceNotifier::GetEndpoint(uint32_t index, uint32_t& deviceID)
{
    ZkScopedLock guard(m_lock);
    deviceID = kInvalidEndpointID;
    if (index >= m_endpoints.Length())
        return nullptr;
    deviceID = m_endpoints[index].deviceID;
    m_endpoints[index].endpoint->AddRef();
    return m_endpoints[index].endpoint;
}

IEndpoint* CZkMMDeviceNotifier::FindEndpoint(uint32_t deviceID, uint32_t& foundID)
{
    ZkScopedLock guard(m_lock);
    if (deviceID == 0)
        return GetDefaultEndpoint(DeviceRole::Console, foundID);
    foundID = kInvalidEndpointID;
    const uint32_t index = IndexOf(deviceID);
    if (index == m_endpoints.Length())
        return nullptr;
    foundID = deviceID;
    m_endpoints[index].endpoint->AddRef();
    return m_endpoints[index].endpoint;
}

// --- Notifications (system threads) ---

void CZkMMDeviceNotifier::Queue(const wchar_t* id, ZkEndpointNotificationQueue::Kind kind)
{
    if (id == nullptr)
        return;
    m_queue.Push(id, kind);
    CZkOutputDeviceMgr::RaiseNotificationCounter();
    EngineWakeEvent::Signal();
}

AudioResult CZkMMDeviceNotifier::OnDeviceStateChanged(const wchar_t* id, uint32_t)
{
    Queue(id, ZkEndpointNotificationQueue::Kind_StateChanged);
    return kAudioOk;
}

AudioResult CZkMMDeviceNotifier::OnDeviceAdded(const wchar_t* id)
{
    Queue(id, ZkEndpointNotificationQueue::Kind_Added);
    return kAudioOk;
}

AudioResult CZkMMDeviceNotifier::OnDeviceRemoved(const wchar_t* id)
{
    Queue(id, ZkEndpointNotificationQueue::Kind_Removed);
    return kAudioOk;
}

AudioResult CZkMMDeviceNotifier::OnDefaultDeviceChanged(DataFlow flow, DeviceRole role, const wchar_t* id)
{
    if (flow != DataFlow::Render)
        return kAudioOk;
    switch (role)
    {
    case DeviceRole::Console:
        Queue(id, ZkEndpointNotificationQueue::Kind_DefaultConsole);
        break;
    case DeviceRole::Multimedia:
        Queue(id, ZkEndpointNotificationQueue::Kind_DefaultMultimedia);
        break;
    case DeviceRole::Communications:
        Queue(id, ZkEndpointNotificationQueue::Kind_DefaultCommunications);
        break;
    }
    return kAudioOk;
}

AudioResult CZkMMDeviceNotifier::OnPropertyValueChanged(const wchar_t* id, const PropertyKey& key)
{
    for (const PropertyKey& watched : kWatchedProperties)
    {
        if (watched == key)
        {
            Queue(id, ZkEndpointNotificationQueue::Kind_StateChanged);
            break;
        }
    }
    return kAudioOk;
}
} // namespace ZK::SoundEngine
