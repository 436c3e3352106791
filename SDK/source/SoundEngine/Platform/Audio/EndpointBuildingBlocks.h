// Pieces that every kind of endpoint of the layer shares: a property store holding an endpoint's
// name and device format, a collection of endpoints, the session manager and control of a stream,
// which keep the ducking preference they are given, and a stream's render client.
//
// Threading: the store and the collection are immutable once made; the session control keeps its
// preference in an atomic. Ownership: reference counted (AudioObject); the collection holds one
// reference to each of its endpoints.
#pragma once

#include "Platform/Audio/EndpointInterfaces.h"
#include "Platform/Audio/StreamInterfaces.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ZK::Platform
{
class EndpointPropertyStore final : public AudioObject<IEndpointPropertyStore>
{
public:
    // No device format: the format property reads as empty.
    EndpointPropertyStore(std::wstring friendlyName, std::optional<WaveFormat> deviceFormat);

    AudioResult GetValue(const PropertyKey& key, PropertyValue& value) override;

private:
    std::wstring m_friendlyName;
    std::optional<WaveFormat> m_deviceFormat;
};

class EndpointCollection final : public AudioObject<IEndpointCollection>
{
public:
    // Takes a reference to each endpoint.
    explicit EndpointCollection(const std::vector<IEndpoint*>& endpoints);

    AudioResult GetCount(uint32_t* count) override;
    AudioResult Item(uint32_t index, IEndpoint** endpoint) override;

private:
    ~EndpointCollection() override;

    std::vector<IEndpoint*> m_endpoints;
};

// The session manager of an endpoint; its controls report each ducking preference they are given
// to the callback (which may be empty).
class StreamSessionManager final : public AudioObject<ISessionManager, InterfaceId::SessionManager>
{
public:
    using DuckingRecorder = std::function<void(bool optOut)>;
    explicit StreamSessionManager(DuckingRecorder recorder);

    AudioResult GetAudioSessionControl(const void* sessionId, uint32_t flags, ISessionControl** control) override;

private:
    DuckingRecorder m_recorder;
};

// The render client of a stream class that has GetBuffer and ReleaseBuffer of its own; it holds a
// reference to the stream.
template <typename Stream>
class StreamRenderClient final : public AudioObject<IStreamRenderClient, InterfaceId::RenderClient>
{
public:
    explicit StreamRenderClient(Stream& stream) : m_stream(stream) { m_stream.AddRef(); }

    AudioResult GetBuffer(uint32_t frames, uint8_t** data) override { return m_stream.GetBuffer(frames, data); }
    AudioResult ReleaseBuffer(uint32_t frames, uint32_t flags) override { return m_stream.ReleaseBuffer(frames, flags); }

private:
    ~StreamRenderClient() override { m_stream.Release(); }

    Stream& m_stream;
};

// The answer of Activate for the interfaces every endpoint offers besides its stream client: a
// session manager. kAudioNoInterface for any other id.
AudioResult ActivateSessionManager(InterfaceId id, void** object, StreamSessionManager::DuckingRecorder recorder);
} // namespace ZK::Platform
