// The process-wide provider of audio endpoints. CreateEndpointEnumerator asks the installed
// provider for an enumerator; unless a program installs another, the provider is ALSA's (the
// system's sound cards, AlsaEndpoints.h). Tests install a virtual audio system
// (VirtualAudioSystem.h) before the sound engine starts and put ALSA back after it ended.
//
// Threading: CreateEndpointEnumerator from any thread; InstallEndpointProvider while no enumerator
// of the previous provider is being made (objects already made keep working: they hold their own
// references). Ownership: the installer keeps its provider alive while it is installed.
#pragma once

#include "Platform/Audio/EndpointInterfaces.h"

namespace ZK::Platform
{
class IEndpointProvider
{
public:
    virtual AudioResult CreateEnumerator(IEndpointEnumerator** enumerator) = 0;

protected:
    ~IEndpointProvider() = default;
};

// A new enumerator of the installed provider's endpoints.
AudioResult CreateEndpointEnumerator(IEndpointEnumerator** enumerator);
// Installs a provider; null puts the ALSA provider back.
void InstallEndpointProvider(IEndpointProvider* provider);
IEndpointProvider& InstalledEndpointProvider();
} // namespace ZK::Platform
