// The activation of an endpoint's spatial client, as the system sink and the device query make
// it: the 48-byte activation record (a tracing id of this run from the system's random source,
// zero when it fails; the program's own id and version) handed over as a blob in task memory and
// cleared after the call.
//
// Threading: any thread. Ownership: the client handed out carries one reference for the caller.
#pragma once

#include <Platform/Audio/EndpointInterfaces.h>
#include <Platform/Audio/SpatialInterfaces.h>

namespace ZK::SoundEngine
{
// The layer's answer; the client is null on failure.
ZK::Platform::AudioResult ActivateSpatialClient(ZK::Platform::IEndpoint* endpoint, ZK::Platform::ISpatialAudioClient** client);

// A record as a blob in task memory (the caller clears the value); false when out of memory.
bool MakeActivationBlob(const void* record, uint32_t size, ZK::Platform::PropertyValue& value);
} // namespace ZK::SoundEngine
