// The stream interfaces of the audio layer: a stream client (one stream on one endpoint, in the
// shared mode of the endpoint's own mixer), its render client (the buffer the program writes
// frames into) and the session interfaces through which the stream asks not to be ducked.
//
// Life of a stream: Activate a client on an endpoint; GetMixFormat, IsFormatSupported; Initialize
// once with a format, flags and a buffer duration; SetEventHandle (event-driven streams: the event
// is set once per device period, when room has been made in the buffer); GetBufferSize;
// GetService for the render client; Start; then, per refill, GetCurrentPadding (frames queued and
// not yet played), GetBuffer (frames free at most) and ReleaseBuffer; Stop; Release.
//
// Threading: a stream is driven by one thread; the layer's own threads (clocks, pumps) only set
// the event. Ownership: formats handed out are task memory; every object handed out carries one
// reference for the caller; the event belongs to the caller and must outlive the stream's start.
#pragma once

#include "Platform/Audio/AudioObject.h"
#include "Platform/Audio/WaveFormat.h"

#include <cstdint>

namespace ZK::Platform
{
class ZkEvent;

class IStreamClient : public IAudioUnknown
{
public:
    virtual AudioResult Initialize(ShareMode mode, uint32_t streamFlags, int64_t bufferDuration, int64_t periodicity,
                                   const WaveFormat* format, const void* sessionId) = 0;
    virtual AudioResult GetBufferSize(uint32_t* frames) = 0;
    virtual AudioResult GetCurrentPadding(uint32_t* frames) = 0;
    // kAudioOk: supported; kAudioFalse with a closest match in task memory; else a failure (and no
    // closest match).
    virtual AudioResult IsFormatSupported(ShareMode mode, const WaveFormat* format, WaveFormat** closestMatch) = 0;
    // The format the endpoint mixes in, in task memory.
    virtual AudioResult GetMixFormat(WaveFormat** format) = 0;
    // Durations in 100-ns units.
    virtual AudioResult GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod) = 0;
    virtual AudioResult Start() = 0;
    virtual AudioResult Stop() = 0;
    virtual AudioResult SetEventHandle(ZkEvent* event) = 0;
    // The render client (InterfaceId::RenderClient).
    virtual AudioResult GetService(InterfaceId id, void** object) = 0;
};

class IStreamClient2 : public IStreamClient
{
public:
    virtual AudioResult IsOffloadCapable(uint32_t category, bool* capable) = 0;
    virtual AudioResult SetClientProperties(const StreamClientProperties* properties) = 0;
};

class IStreamRenderClient : public IAudioUnknown
{
public:
    // Room for frames interleaved frames of the stream format.
    virtual AudioResult GetBuffer(uint32_t frames, uint8_t** data) = 0;
    // Queues the first frames of the buffer (kBufferFlagSilent: as silence).
    virtual AudioResult ReleaseBuffer(uint32_t frames, uint32_t flags) = 0;
};

class ISessionControl : public IAudioUnknown
{
};

class ISessionControl2 : public ISessionControl
{
public:
    // True: other streams' communications do not lower this session's volume.
    virtual AudioResult SetDuckingPreference(bool optOut) = 0;
};

class ISessionManager : public IAudioUnknown
{
public:
    // The control of a session (null id: the default session of this process).
    virtual AudioResult GetAudioSessionControl(const void* sessionId, uint32_t flags, ISessionControl** control) = 0;
};
} // namespace ZK::Platform
