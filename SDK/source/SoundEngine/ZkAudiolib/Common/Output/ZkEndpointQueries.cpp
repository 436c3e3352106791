#include "ZkAudiolib/Common/Output/ZkEndpointQueries.h"

#include <Platform/PlatformCom.h>

#include <cwchar>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

bool ReadEndpointName(IEndpoint* endpoint, wchar_t* name, size_t capacity)
{
    if (capacity == 0)
        return false;
    name[0] = L'\0';
    IEndpointPropertyStore* store = nullptr;
    if (endpoint == nullptr || AudioFailed(endpoint->OpenPropertyStore(&store)))
        return false;
    PropertyValue value;
    const bool found = AudioSucceeded(store->GetValue(kPropertyFriendlyName, value)) &&
                       value.kind == PropertyKind::WideText && value.text != nullptr;
    if (found)
    {
        std::wcsncpy(name, value.text, capacity - 1);
        name[capacity - 1] = L'\0';
    }
    ClearPropertyValue(value);
    store->Release();
    return found;
}

uint32_t EndpointState(IEndpoint* endpoint)
{
    uint32_t state = 0;
    if (endpoint == nullptr || AudioFailed(endpoint->GetState(&state)))
        return 0;
    return state;
}

ZkScopedApartment::ZkScopedApartment() : m_started(InitializeApartment()) {}

ZkScopedApartment::~ZkScopedApartment()
{
    if (m_started)
        UninitializeApartment();
}
} // namespace ZK::SoundEngine
