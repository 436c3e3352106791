// The spatial-audio interfaces of the audio layer: a spatial client on an endpoint (how many
// dynamic objects the system offers, the object formats it takes, and the activation of an object
// render stream), the enumerator of those formats, the object render stream (static objects for the
// speakers of a bed, dynamic objects placed anywhere around the listener, updated together once per
// period) and one audio object of that stream.
//
// Life of a stream: activate a client on an endpoint with its activation record
// (ActivateSpatialClient below); GetMaxDynamicObjectCount (0: spatial sound is not enabled);
// GetSupportedAudioObjectFormatEnumerator; ActivateSpatialAudioStream with a stream activation
// record (format, static object mask, dynamic object counts, category, the event the stream sets
// once per period); ActivateSpatialAudioObject for every object; Start; then per period, after the
// event: BeginUpdatingAudioObjects (frames this update asks for), every object's GetBuffer (room
// for those frames of one 32-bit float channel), SetVolume and SetPosition, EndUpdatingAudioObjects.
//
// Threading: a stream is updated by one thread at a time; the layer's own threads only set the
// event. Ownership: every object handed out carries one reference for the caller; formats of the
// enumerator belong to the enumerator; object buffers are valid between Begin and End.
#pragma once

#include "Platform/Audio/AudioObject.h"
#include "Platform/Audio/PropertyValue.h"
#include "Platform/Audio/WaveFormat.h"

#include <cstdint>

namespace ZK::Platform
{
class ZkEvent;
class IEndpoint;

// Audio-object types: a dynamic object, or the static object of one speaker (its speaker bit
// shifted left by one: front left 0x2 ... top back right 0x1000).
constexpr uint32_t kAudioObjectTypeDynamic = 0x1;
constexpr uint32_t kAudioObjectTypeFrontLeft = 0x2;
constexpr uint32_t kStaticObjectTypes712 = 0x1FFE; // the twelve speakers of a 7.1.4 bed

// The record a spatial client is activated with (48 bytes): a tracing id of this run, the id of the
// program and its version numbers.
struct SpatialClientActivationParams
{
    Guid tracingContextId;
    Guid applicationId;
    int32_t majorVersion = 0;
    int32_t minorVersion1 = 0;
    int32_t minorVersion2 = 0;
    int32_t minorVersion3 = 0;
};
static_assert(sizeof(SpatialClientActivationParams) == 48, "the client activation record is 48 bytes");

// The record an object render stream is activated with (40 bytes).
struct SpatialStreamActivationParams
{
    const WaveFormat* objectFormat = nullptr;
    uint32_t staticObjectTypeMask = 0;
    uint32_t minDynamicObjectCount = 0;
    uint32_t maxDynamicObjectCount = 0;
    uint32_t category = 0;
    ZkEvent* eventHandle = nullptr;
    void* notifyObject = nullptr;
};
static_assert(sizeof(SpatialStreamActivationParams) == 40, "the stream activation record is 40 bytes");

class ISpatialAudioObject : public IAudioUnknown
{
public:
    // Room for the update's frames of one float channel; bytes is its size.
    virtual AudioResult GetBuffer(uint8_t** buffer, uint32_t* bytes) = 0;
    virtual AudioResult SetVolume(float volume) = 0;
    // Listener space: x right, y up, z toward the back.
    virtual AudioResult SetPosition(float x, float y, float z) = 0;
};

class IAudioFormatEnumerator : public IAudioUnknown
{
public:
    virtual AudioResult GetCount(uint32_t* count) = 0;
    // A format owned by the enumerator.
    virtual AudioResult GetFormat(uint32_t index, WaveFormat** format) = 0;
};

class ISpatialAudioObjectRenderStream : public IAudioUnknown
{
public:
    virtual AudioResult GetAvailableDynamicObjectCount(uint32_t* count) = 0;
    // A static object of one speaker type, or a dynamic object (kAudioObjectTypeDynamic).
    virtual AudioResult ActivateSpatialAudioObject(uint32_t type, ISpatialAudioObject** object) = 0;
    virtual AudioResult Start() = 0;
    virtual AudioResult Stop() = 0;
    virtual AudioResult BeginUpdatingAudioObjects(uint32_t* availableDynamicObjects, uint32_t* frameCount) = 0;
    virtual AudioResult EndUpdatingAudioObjects() = 0;
};

class ISpatialAudioClient : public IAudioUnknown
{
public:
    virtual AudioResult GetMaxDynamicObjectCount(uint32_t* count) = 0;
    virtual AudioResult GetSupportedAudioObjectFormatEnumerator(IAudioFormatEnumerator** enumerator) = 0;
    // parameters: a blob holding a SpatialStreamActivationParams.
    virtual AudioResult ActivateSpatialAudioStream(const PropertyValue& parameters, ISpatialAudioObjectRenderStream** stream) = 0;
};
} // namespace ZK::Platform
