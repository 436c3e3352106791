// Pieces that every kind of endpoint of the layer shares: a property store holding an endpoint's
// name and device format, a collection of endpoints, and the session manager and control of a
// stream, which keep the ducking preference they are given.
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

    AudioResult QueryInterface(InterfaceId id, void** object) override;
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

    AudioResult QueryInterface(InterfaceId id, void** object) override;
    AudioResult GetCount(uint32_t* count) override;
    AudioResult Item(uint32_t index, IEndpoint** endpoint) override;

private:
    ~EndpointCollection() override;

    std::vector<IEndpoint*> m_endpoints;
};

// The session manager of an endpoint; its controls report each ducking preference they are given
// to the callback (which may be empty).
class StreamSessionManager final : public AudioObject<ISessionManager>
{
public:
    using DuckingRecorder = std::function<void(bool optOut)>;
    explicit StreamSessionManager(DuckingRecorder recorder);

    AudioResult QueryInterface(InterfaceId id, void** object) override;
    AudioResult GetAudioSessionControl(const void* sessionId, uint32_t flags, ISessionControl** control) override;

private:
    DuckingRecorder m_recorder;
};

// The answer of Activate for the interfaces every endpoint offers besides its stream client: a
// session manager. kAudioNoInterface for any other id.
AudioResult ActivateSessionManager(InterfaceId id, void** object, StreamSessionManager::DuckingRecorder recorder);
} // namespace ZK::Platform
