// The ALSA endpoints: the audio endpoints of this machine's sound system, through libasound. The
// endpoints are the playback PCMs that ALSA's device hints list (each counts as active; its name
// for people is the hint's description), plus "default", which is the default endpoint of every
// role whether or not the hints list it. Streams are 32-bit float, interleaved, at 48 kHz
// (AlsaStreamClient.h); ALSA tells of no endpoint changes, so no notification is ever delivered.
//
// On a machine without a sound card the "default" PCM does not open: a stream's Initialize fails
// and the sound engine takes its own path for a machine without a device.
//
// Threading: any thread. Ownership: the provider is a process-wide object.
#pragma once

#include "Platform/Audio/EndpointProvider.h"

namespace ZK::Platform
{
// The name of the endpoint that is every role's default.
constexpr wchar_t kAlsaDefaultEndpointId[] = L"default";

IEndpointProvider& AlsaEndpointProvider();
// True when ALSA knows at least one sound card.
bool AlsaHasSoundCard();
} // namespace ZK::Platform
