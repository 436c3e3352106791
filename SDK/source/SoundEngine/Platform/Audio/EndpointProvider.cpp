#include "Platform/Audio/EndpointProvider.h"

#include "Platform/Audio/AlsaEndpoints.h"

#include <atomic>

namespace ZK::Platform
{
namespace
{
std::atomic<IEndpointProvider*> g_installed{nullptr};
} // namespace

IEndpointProvider& InstalledEndpointProvider()
{
    IEndpointProvider* provider = g_installed.load(std::memory_order_acquire);
    return provider != nullptr ? *provider : AlsaEndpointProvider();
}

AudioResult CreateEndpointEnumerator(IEndpointEnumerator** enumerator)
{
    if (enumerator == nullptr)
        return kAudioInvalidArgument;
    *enumerator = nullptr;
    return InstalledEndpointProvider().CreateEnumerator(enumerator);
}

void InstallEndpointProvider(IEndpointProvider* provider)
{
    g_installed.store(provider, std::memory_order_release);
}
} // namespace ZK::Platform
