// AlsaStreamClient: a stream client on an ALSA PCM. Streams are 32-bit float, interleaved
// (read-write access), at the mix rate of 48 kHz; the buffer holds the requested duration and a
// period lasts about the device period. A rate other than the PCM's own is converted by alsa-lib's
// plug layer only when the stream asks for automatic conversion; otherwise it is refused, so that
// the program converts the rate itself.
//
// Padding is the buffer size less what snd_pcm_avail reports free. An underrun (-EPIPE) is
// recovered (the PCM is prepared again and restarts with the next write); a device that is gone
// (-ENODEV) or a PCM in a bad state (-EBADFD) makes every later call answer
// kAudioDeviceInvalidated. The event of an event-driven stream is set by an AlsaPump once per
// period.
//
// Threading: one stream, one driving thread (plus the pump). Ownership: the PCM is opened by
// Initialize and closed with the last reference.
#pragma once

#include "Platform/Audio/StreamInterfaces.h"

#include <string>

namespace ZK::Platform
{
constexpr uint32_t kAlsaMixRateHz = 48000;
constexpr uint16_t kAlsaMixChannels = 2;
constexpr int64_t kAlsaDefaultPeriod = 10 * kDurationUnitsPerMillisecond;
constexpr int64_t kAlsaMinimumPeriod = 3 * kDurationUnitsPerMillisecond;

// The format ALSA streams mix in: 32-bit float, stereo, 48 kHz, extensible.
WaveFormat AlsaStreamMixFormat();
// A client on the PCM of that name (not opened yet); null when out of memory.
IStreamClient2* MakeAlsaStreamClient(std::string pcmName);
} // namespace ZK::Platform
