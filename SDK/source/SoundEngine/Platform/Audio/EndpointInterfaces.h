// The endpoint interfaces of the audio layer: the enumerator of a system's audio endpoints, a
// collection of them, an endpoint (its id string, its state, its properties, and the activation of
// a stream client on it), an endpoint's property store, and the notification client through which
// the system tells of endpoints that come, go, change state or become the default.
//
// An endpoint is named by its id string, stable while the endpoint exists. The default endpoint of
// a role (console, multimedia, communications) is where a program plays when it names none.
//
// Threading: every call may come from any thread; notifications are delivered on a thread of the
// system's choosing (the notification client must only queue them). Ownership: every object handed
// out carries one reference for the caller; text and formats handed out are task memory.
#pragma once

#include "Platform/Audio/AudioObject.h"
#include "Platform/Audio/PropertyValue.h"

namespace ZK::Platform
{
class IEndpointPropertyStore : public IAudioUnknown
{
public:
    // kAudioOk with the value (Empty when the endpoint has no such property).
    virtual AudioResult GetValue(const PropertyKey& key, PropertyValue& value) = 0;
};

class IEndpoint : public IAudioUnknown
{
public:
    // A new object of the interface on this endpoint: a stream client or a session manager.
    virtual AudioResult Activate(InterfaceId id, void** object) = 0;
    // A new object of an interface that is activated with a record of parameters (a blob): the
    // spatial client (InterfaceId::SpatialAudioClient, SpatialInterfaces.h).
    virtual AudioResult ActivateWithParameters(InterfaceId id, const PropertyValue& parameters, void** object) = 0;
    virtual AudioResult OpenPropertyStore(IEndpointPropertyStore** store) = 0;
    // The id string, in task memory.
    virtual AudioResult GetId(wchar_t** id) = 0;
    // One of the kDeviceState bits.
    virtual AudioResult GetState(uint32_t* state) = 0;
};

class IEndpointCollection : public IAudioUnknown
{
public:
    virtual AudioResult GetCount(uint32_t* count) = 0;
    virtual AudioResult Item(uint32_t index, IEndpoint** endpoint) = 0;
};

class IEndpointNotificationClient : public IAudioUnknown
{
public:
    virtual AudioResult OnDeviceStateChanged(const wchar_t* id, uint32_t state) = 0;
    virtual AudioResult OnDeviceAdded(const wchar_t* id) = 0;
    virtual AudioResult OnDeviceRemoved(const wchar_t* id) = 0;
    virtual AudioResult OnDefaultDeviceChanged(DataFlow flow, DeviceRole role, const wchar_t* id) = 0;
    virtual AudioResult OnPropertyValueChanged(const wchar_t* id, const PropertyKey& key) = 0;
};

class IEndpointEnumerator : public IAudioUnknown
{
public:
    // The endpoints of the flow whose state is one of the mask's bits.
    virtual AudioResult EnumAudioEndpoints(DataFlow flow, uint32_t stateMask, IEndpointCollection** endpoints) = 0;
    // kAudioNotFound when the role has no default endpoint.
    virtual AudioResult GetDefaultAudioEndpoint(DataFlow flow, DeviceRole role, IEndpoint** endpoint) = 0;
    // The endpoint with that id string, in any state; kAudioNotFound when none.
    virtual AudioResult GetDevice(const wchar_t* id, IEndpoint** endpoint) = 0;
    // The client is not referenced: it must unregister before it goes.
    virtual AudioResult RegisterEndpointNotificationCallback(IEndpointNotificationClient* client) = 0;
    virtual AudioResult UnregisterEndpointNotificationCallback(IEndpointNotificationClient* client) = 0;
};
} // namespace ZK::Platform
