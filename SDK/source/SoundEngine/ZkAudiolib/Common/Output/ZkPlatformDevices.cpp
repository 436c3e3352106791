// The exported device functions of the platform (ZkPlatformDevices.h) and the device lists behind
// ZK::SoundEngine::GetDeviceList.
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEndpointQueries.h"
#include "ZkAudiolib/Common/Output/ZkSpatialClientActivation.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <Platform/Audio/EndpointProvider.h>
#include <Platform/Audio/TaskMemory.h>
#include <ZK/SoundEngine/Common/ZkPlatformDevices.h>

#include <cwchar>

using namespace ZK::Platform;
using ZK::SoundEngine::ZkDeviceDescription;
using ZK::SoundEngine::ZkScopedApartment;

namespace
{
constexpr uint32_t kFirstPlatformSink = 174;
constexpr uint32_t kLastPlatformSink = 180;
constexpr uint32_t kBaseSinkNumber = 181;
constexpr uint32_t kBuiltInCompany = 0;
constexpr uint32_t kCompanyBits = 0xFFF;

// A plug-in id is (plug-in number << 16) | (company << 4) | type.
constexpr uint32_t CompanyOf(uint32_t pluginID)
{
    return (pluginID >> 4) & kCompanyBits;
}

// The render endpoints in the states of the mask, or null.
IEndpointCollection* ListEndpoints(IEndpointEnumerator* enumerator, uint32_t stateMask)
{
    IEndpointCollection* collection = nullptr;
    if (enumerator == nullptr || AudioFailed(enumerator->EnumAudioEndpoints(DataFlow::Render, stateMask, &collection)))
        return nullptr;
    return collection;
}

// An enumerator of the installed provider, released at the end of the scope.
class ScopedEnumerator
{
public:
    ScopedEnumerator() { CreateEndpointEnumerator(&m_enumerator); }
    ~ScopedEnumerator() { ReleaseAndClear(m_enumerator); }
    ScopedEnumerator(const ScopedEnumerator&) = delete;
    ScopedEnumerator& operator=(const ScopedEnumerator&) = delete;
    IEndpointEnumerator* operator->() const { return m_enumerator; }
    IEndpointEnumerator* Get() const { return m_enumerator; }

private:
    IEndpointEnumerator* m_enumerator = nullptr;
};

// The endpoint at index among those of the mask (-1: the role's default), with a reference.
IEndpoint* EndpointAt(IEndpointEnumerator* enumerator, int32_t index, uint32_t stateMask, DeviceRole defaultRole)
{
    if (enumerator == nullptr)
        return nullptr;
    IEndpoint* endpoint = nullptr;
    if (index == -1)
    {
        enumerator->GetDefaultAudioEndpoint(DataFlow::Render, defaultRole, &endpoint);
        return endpoint;
    }
    IEndpointCollection* collection = ListEndpoints(enumerator, stateMask);
    if (collection == nullptr)
        return nullptr;
    if (index >= 0)
        collection->Item(static_cast<uint32_t>(index), &endpoint);
    collection->Release();
    return endpoint;
}

bool IdContains(IEndpoint* endpoint, const wchar_t* text)
{
    wchar_t* id = nullptr;
    if (AudioFailed(endpoint->GetId(&id)) || id == nullptr)
        return false;
    const bool found = std::wcsstr(id, text) != nullptr;
    FreeTaskMemory(id);
    return found;
}
} // namespace

namespace ZK
{
uint32_t GetDeviceID(IEndpoint* device)
{
    return ZK::SoundEngine::EndpointDeviceID(device);
}

uint32_t GetDeviceIDFromName(const wchar_t* name)
{
    if (name == nullptr)
        return ZK::SoundEngine::kInvalidEndpointID;
    ZkScopedApartment apartment;
    ScopedEnumerator enumerator;
    IEndpointCollection* collection = ListEndpoints(enumerator.Get(), ZK::SoundEngine::ZkDeviceState_All);
    if (collection == nullptr)
        return ZK::SoundEngine::kInvalidEndpointID;
    uint32_t inactiveMatch = ZK::SoundEngine::kInvalidEndpointID;
    uint32_t activeMatch = ZK::SoundEngine::kInvalidEndpointID;
    uint32_t count = 0;
    collection->GetCount(&count);
    for (uint32_t index = 0; index < count && activeMatch == ZK::SoundEngine::kInvalidEndpointID; ++index)
    {
        IEndpoint* endpoint = nullptr;
        if (AudioFailed(collection->Item(index, &endpoint)))
            continue;
        wchar_t friendly[ZkDeviceDescription::kNameCapacity];
        const bool matches = IdContains(endpoint, name) ||
                             (ZK::SoundEngine::ReadEndpointName(endpoint, friendly, ZkDeviceDescription::kNameCapacity) &&
                              std::wcsstr(friendly, name) != nullptr);
        if (matches)
        {
            if (ZK::SoundEngine::EndpointState(endpoint) == kDeviceStateActive)
                activeMatch = GetDeviceID(endpoint);
            else if (inactiveMatch == ZK::SoundEngine::kInvalidEndpointID)
                inactiveMatch = GetDeviceID(endpoint);
        }
        endpoint->Release();
    }
    collection->Release();
    return activeMatch != ZK::SoundEngine::kInvalidEndpointID ? activeMatch : inactiveMatch;
}

uint32_t GetWindowsDeviceCount(uint32_t stateMask)
{
    ScopedEnumerator enumerator;
    IEndpointCollection* collection = ListEndpoints(enumerator.Get(), stateMask);
    if (collection == nullptr)
        return 0;
    uint32_t count = 0;
    if (AudioFailed(collection->GetCount(&count)))
        count = 0;
    collection->Release();
    return count;
}

bool GetWindowsDevice(int32_t index, uint32_t& deviceID, IEndpoint** device, uint32_t stateMask)
{
    if (device != nullptr)
        *device = nullptr;
    ScopedEnumerator enumerator;
    IEndpoint* endpoint = EndpointAt(enumerator.Get(), index, stateMask, DeviceRole::Console);
    deviceID = GetDeviceID(endpoint);
    const bool found = endpoint != nullptr && deviceID != ZK::SoundEngine::kInvalidEndpointID;
    if (found && device != nullptr)
        *device = endpoint;
    else if (endpoint != nullptr)
        endpoint->Release();
    return found;
}

const wchar_t* GetWindowsDeviceName(int32_t index, uint32_t& deviceID, uint32_t stateMask)
{
    static wchar_t s_name[ZkDeviceDescription::kNameCapacity];
    ZkScopedApartment apartment;
    ScopedEnumerator enumerator;
    IEndpoint* endpoint = EndpointAt(enumerator.Get(), index, stateMask, DeviceRole::Multimedia);
    deviceID = GetDeviceID(endpoint);
    const bool named = ZK::SoundEngine::ReadEndpointName(endpoint, s_name, ZkDeviceDescription::kNameCapacity);
    if (endpoint != nullptr)
        endpoint->Release();
    return named ? s_name : nullptr;
}
} // namespace ZK

namespace ZK::SoundEngine
{
ZKRESULT GetDeviceSpatialAudioSupport(uint32_t deviceID)
{
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    if (notifier == nullptr)
        return ZK_Fail;
    uint32_t foundID = kInvalidEndpointID;
    IEndpoint* endpoint = notifier->FindEndpoint(deviceID, foundID);
    if (endpoint == nullptr)
        return ZK_Fail;
    ISpatialAudioClient* client = nullptr;
    const AudioResult activated = ActivateSpatialClient(endpoint, &client);
    endpoint->Release();
    if (AudioFailed(activated) || client == nullptr)
        return ZK_Fail;
    uint32_t objects = 0;
    if (AudioFailed(client->GetMaxDynamicObjectCount(&objects)))
        objects = 0;
    client->Release();
    return objects > 0 ? ZK_Success : ZK_NotImplemented;
}

ZKRESULT GetWindowsDeviceList(uint32_t pluginNumber, uint32_t& count, ZkDeviceDescription* descriptions)
{
    const uint32_t room = count;
    count = 0;
    if (pluginNumber != CZkMMDeviceNotifier::kSystemSinkNumber &&
        pluginNumber != CZkMMDeviceNotifier::kCommunicationsSinkNumber)
        return ZK_NotImplemented;
    ZkScopedApartment apartment;
    ScopedEnumerator enumerator;
    IEndpointCollection* collection = ListEndpoints(enumerator.Get(), ZkDeviceState_All);
    if (collection == nullptr)
        return ZK_Fail;
    uint32_t defaultID = kInvalidEndpointID;
    IEndpoint* defaultEndpoint = nullptr;
    const DeviceRole role = pluginNumber == CZkMMDeviceNotifier::kCommunicationsSinkNumber ? DeviceRole::Communications
                                                                                          : DeviceRole::Console;
    if (AudioSucceeded(enumerator->GetDefaultAudioEndpoint(DataFlow::Render, role, &defaultEndpoint)))
    {
        defaultID = EndpointDeviceID(defaultEndpoint);
        defaultEndpoint->Release();
    }
    uint32_t endpoints = 0;
    collection->GetCount(&endpoints);
    for (uint32_t index = 0; index < endpoints && (descriptions == nullptr || count < room); ++index)
    {
        IEndpoint* endpoint = nullptr;
        if (AudioFailed(collection->Item(index, &endpoint)))
            continue;
        ZkDeviceDescription description;
        if (ReadEndpointName(endpoint, description.deviceName, ZkDeviceDescription::kNameCapacity))
        {
            if (descriptions != nullptr)
            {
                description.idDevice = EndpointDeviceID(endpoint);
                description.deviceStateMask = EndpointState(endpoint);
                description.isDefaultDevice = description.idDevice == defaultID ? 1 : 0;
                descriptions[count] = description;
            }
            ++count;
        }
        endpoint->Release();
    }
    collection->Release();
    return ZK_Success;
}

ZKRESULT GetDeviceList(uint32_t companyID, uint32_t pluginID, uint32_t& count, ZkDeviceDescription* descriptions)
{
    ZKRESULT result = ZK_NothingToReport;
    if (companyID == kBuiltInCompany && pluginID >= kFirstPlatformSink && pluginID <= kLastPlatformSink)
        result = GetWindowsDeviceList(pluginID, count, descriptions);
    else if (companyID == kBuiltInCompany && pluginID == kBaseSinkNumber)
        result = ZK_NothingToReport;
    else if (PluginRegistry::GetPluginEntry(ZK::ZkMakePluginKey(ZK::ZkPluginTypeSink, companyID, pluginID)) == nullptr)
        result = ZK_PluginNotRegistered;
    // A registered plug-in of another company lists no devices: the registry keeps no device-list
    // function for it.
    if (result != ZK_Success)
        count = 0;
    return result;
}

ZKRESULT GetDeviceList(uint32_t shareSetID, uint32_t& count, ZkDeviceDescription* descriptions)
{
    if (shareSetID == 0)
    {
        count = 0;
        return ZK_InvalidShareSetID;
    }
    uint32_t pluginID = 0;
    const ZKRESULT found = CZkOutputDeviceMgr::GetShareSetSinkPlugin(shareSetID, pluginID);
    if (found != ZK_Success)
    {
        count = 0;
        return found;
    }
    return GetDeviceList(CompanyOf(pluginID), pluginID >> 16, count, descriptions);
}
} // namespace ZK::SoundEngine
