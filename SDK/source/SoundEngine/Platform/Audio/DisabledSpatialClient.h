// The spatial client of an endpoint whose system offers no spatial sound (ALSA's): it activates,
// reports no dynamic objects, which its callers take as "not enabled", offers no object formats
// and activates no stream.
//
// Threading: any thread; the object holds no state. Ownership: reference counted (AudioObject).
#pragma once

#include "Platform/Audio/SpatialInterfaces.h"

namespace ZK::Platform
{
// The answer of ActivateWithParameters for an endpoint without spatial sound: a client for
// InterfaceId::SpatialAudioClient, kAudioNoInterface for any other id.
AudioResult ActivateDisabledSpatialClient(InterfaceId id, void** object);
} // namespace ZK::Platform
