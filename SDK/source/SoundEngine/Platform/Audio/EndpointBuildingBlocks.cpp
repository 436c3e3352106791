#include "Platform/Audio/EndpointBuildingBlocks.h"

#include "Platform/Audio/TaskMemory.h"

#include <cstring>
#include <new>

namespace ZK::Platform
{
namespace
{
class StreamSessionControl final
    : public AudioObject<ISessionControl2, InterfaceId::SessionControl, InterfaceId::SessionControl2>
{
public:
    explicit StreamSessionControl(StreamSessionManager::DuckingRecorder recorder) : m_recorder(std::move(recorder)) {}

    AudioResult SetDuckingPreference(bool optOut) override
    {
        if (m_recorder)
            m_recorder(optOut);
        return kAudioOk;
    }

private:
    StreamSessionManager::DuckingRecorder m_recorder;
};
} // namespace

EndpointPropertyStore::EndpointPropertyStore(std::wstring friendlyName, std::optional<WaveFormat> deviceFormat)
    : m_friendlyName(std::move(friendlyName)), m_deviceFormat(deviceFormat)
{
}

AudioResult EndpointPropertyStore::GetValue(const PropertyKey& key, PropertyValue& value)
{
    value = PropertyValue{};
    if (key == kPropertyFriendlyName && !m_friendlyName.empty())
    {
        value.text = DuplicateTaskText(m_friendlyName.c_str());
        if (value.text == nullptr)
            return kAudioOutOfMemory;
        value.kind = PropertyKind::WideText;
    }
    else if (key == kPropertyDeviceFormat && m_deviceFormat.has_value())
    {
        value.blob = AllocateTaskMemory(sizeof(WaveFormat));
        if (value.blob == nullptr)
            return kAudioOutOfMemory;
        std::memcpy(value.blob, &*m_deviceFormat, sizeof(WaveFormat));
        value.blobSize = sizeof(WaveFormat);
        value.kind = PropertyKind::Blob;
    }
    return kAudioOk;
}

EndpointCollection::EndpointCollection(const std::vector<IEndpoint*>& endpoints) : m_endpoints(endpoints)
{
    for (IEndpoint* endpoint : m_endpoints)
        endpoint->AddRef();
}

EndpointCollection::~EndpointCollection()
{
    for (IEndpoint* endpoint : m_endpoints)
        endpoint->Release();
}

AudioResult EndpointCollection::GetCount(uint32_t* count)
{
    if (count == nullptr)
        return kAudioInvalidArgument;
    *count = static_cast<uint32_t>(m_endpoints.size());
    return kAudioOk;
}

AudioResult EndpointCollection::Item(uint32_t index, IEndpoint** endpoint)
{
    if (endpoint == nullptr)
        return kAudioInvalidArgument;
    *endpoint = nullptr;
    if (index >= m_endpoints.size())
        return kAudioInvalidArgument;
    *endpoint = m_endpoints[index];
    (*endpoint)->AddRef();
    return kAudioOk;
}

StreamSessionManager::StreamSessionManager(DuckingRecorder recorder) : m_recorder(std::move(recorder)) {}

AudioResult StreamSessionManager::GetAudioSessionControl(const void*, uint32_t, ISessionControl** control)
{
    if (control == nullptr)
        return kAudioInvalidArgument;
    *control = new (std::nothrow) StreamSessionControl(m_recorder);
    return *control != nullptr ? kAudioOk : kAudioOutOfMemory;
}

AudioResult ActivateSessionManager(InterfaceId id, void** object, StreamSessionManager::DuckingRecorder recorder)
{
    if (object == nullptr)
        return kAudioInvalidArgument;
    *object = nullptr;
    if (id != InterfaceId::SessionManager)
        return kAudioNoInterface;
    auto* manager = new (std::nothrow) StreamSessionManager(std::move(recorder));
    if (manager == nullptr)
        return kAudioOutOfMemory;
    *object = static_cast<ISessionManager*>(manager);
    return kAudioOk;
}
} // namespace ZK::Platform
