// The virtual audio system's spatial sound: the client of an endpoint, its format enumerator, the
// object render stream and its audio objects, each call counted and able to fail as the endpoint's
// spatial policy says, every update's samples, volumes and positions captured.
#include "Platform/Audio/VirtualAudioState.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ZK::Platform
{
namespace
{
using StatePtr = std::shared_ptr<VirtualAudioSystem::State>;
using RecordPtr = std::shared_ptr<VirtualEndpointRecord>;

class VirtualFormatEnumerator final : public AudioObject<IAudioFormatEnumerator>
{
public:
    VirtualFormatEnumerator(StatePtr state, RecordPtr record, std::vector<WaveFormat> formats)
        : m_state(std::move(state)), m_record(std::move(record)), m_formats(std::move(formats))
    {
    }

    AudioResult GetCount(uint32_t* count) override
    {
        if (count == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::GetFormatCount))
            return kAudioFail;
        *count = static_cast<uint32_t>(m_formats.size());
        return kAudioOk;
    }

    AudioResult GetFormat(uint32_t index, WaveFormat** format) override
    {
        if (format == nullptr)
            return kAudioInvalidArgument;
        *format = nullptr;
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::GetFormat))
            return kAudioFail;
        if (index >= m_formats.size())
            return kAudioInvalidArgument;
        *format = &m_formats[index];
        return kAudioOk;
    }

private:
    StatePtr m_state;
    RecordPtr m_record;
    std::vector<WaveFormat> m_formats;
};

class VirtualSpatialStream;

class VirtualSpatialObject final : public AudioObject<ISpatialAudioObject>
{
public:
    VirtualSpatialObject(StatePtr state, RecordPtr record, VirtualSpatialStream& stream, uint32_t captureIndex);

    AudioResult GetBuffer(uint8_t** buffer, uint32_t* bytes) override;
    AudioResult SetVolume(float volume) override
    {
        std::lock_guard guard(m_state->lock);
        m_object.volume = volume;
        return kAudioOk;
    }
    AudioResult SetPosition(float x, float y, float z) override
    {
        std::lock_guard guard(m_state->lock);
        m_object.position = VirtualObjectPosition{x, y, z};
        return kAudioOk;
    }

private:
    ~VirtualSpatialObject() override;

    StatePtr m_state;
    RecordPtr m_record;
    VirtualSpatialStream& m_stream;
    VirtualSpatialObjectState m_object;
};

class VirtualSpatialStream final : public AudioObject<ISpatialAudioObjectRenderStream>
{
public:
    VirtualSpatialStream(StatePtr state, RecordPtr record, ZkEvent* event, uint32_t maxDynamicObjects)
        : m_state(std::move(state)), m_record(std::move(record))
    {
        std::lock_guard guard(m_state->lock);
        m_stream.event = event;
        m_stream.maxDynamicObjects = maxDynamicObjects;
        m_record->spatialStreams.push_back(&m_stream);
        ++m_record->spatialCapture.openStreams;
    }

    AudioResult GetAvailableDynamicObjectCount(uint32_t* count) override
    {
        if (count == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::GetAvailableDynamicObjectCount))
            return kAudioFail;
        *count = Available();
        return kAudioOk;
    }

    AudioResult ActivateSpatialAudioObject(uint32_t type, ISpatialAudioObject** object) override
    {
        if (object == nullptr)
            return kAudioInvalidArgument;
        *object = nullptr;
        std::unique_lock guard(m_state->lock);
        const bool dynamic = type == kAudioObjectTypeDynamic;
        if (m_record->SpatialCallFails(dynamic ? SpatialCall::ActivateDynamicObject : SpatialCall::ActivateStaticObject))
            return kAudioFail;
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        if (dynamic ? Available() == 0 : (type & kStaticObjectTypes712) == 0 || (type & (type - 1)) != 0)
            return kAudioInvalidArgument;
        VirtualSpatialCapture& capture = m_record->spatialCapture;
        const auto index = static_cast<uint32_t>(capture.objects.size());
        VirtualObjectCapture entry;
        entry.type = type;
        entry.firstUpdate = m_stream.updates;
        capture.objects.push_back(entry);
        if (dynamic)
            ++m_stream.dynamicObjects;
        guard.unlock();
        auto* made = new (std::nothrow) VirtualSpatialObject(m_state, m_record, *this, index);
        *object = made;
        return made != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult Start() override
    {
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::Start))
            return kAudioFail;
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        m_stream.started = true;
        ++m_record->spatialCapture.starts;
        return kAudioOk;
    }

    AudioResult Stop() override
    {
        std::lock_guard guard(m_state->lock);
        m_stream.started = false;
        return kAudioOk;
    }

    AudioResult BeginUpdatingAudioObjects(uint32_t* availableDynamicObjects, uint32_t* frameCount) override
    {
        if (availableDynamicObjects == nullptr || frameCount == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::BeginUpdate))
            return kAudioFail;
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        if (m_stream.updating)
            return kAudioOutOfOrder;
        m_stream.updating = true;
        m_frames = m_stream.owedFrames;
        m_stream.owedFrames = 0;
        for (VirtualSpatialObjectState* object : m_stream.objects)
            object->buffer.assign(m_frames, 0.0f);
        *availableDynamicObjects = Available();
        *frameCount = m_frames;
        return kAudioOk;
    }

    AudioResult EndUpdatingAudioObjects() override
    {
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::EndUpdate))
        {
            m_stream.updating = false;
            return kAudioFail;
        }
        if (!m_stream.updating)
            return kAudioOutOfOrder;
        m_stream.updating = false;
        VirtualSpatialCapture& capture = m_record->spatialCapture;
        for (VirtualSpatialObjectState* object : m_stream.objects)
        {
            if (!m_record->spatial.captureSamples)
                break;
            VirtualObjectCapture& entry = capture.objects[object->captureIndex];
            entry.samples.insert(entry.samples.end(), object->buffer.begin(), object->buffer.end());
            entry.volumes.push_back(object->volume);
            entry.positions.push_back(object->position);
        }
        capture.updateFrames.push_back(m_frames);
        ++m_stream.updates;
        ++m_record->spatialUpdates;
        m_state->spatialUpdated.notify_all();
        return kAudioOk;
    }

    // The objects' calls, under the lock.
    void Attach(VirtualSpatialObjectState* object) { m_stream.objects.push_back(object); }
    void Detach(VirtualSpatialObjectState* object)
    {
        auto& objects = m_stream.objects;
        objects.erase(std::remove(objects.begin(), objects.end(), object), objects.end());
    }
    const VirtualSpatialStreamState& Stream() const { return m_stream; }
    uint32_t UpdateFrames() const { return m_frames; }

private:
    ~VirtualSpatialStream() override
    {
        std::lock_guard guard(m_state->lock);
        auto& streams = m_record->spatialStreams;
        streams.erase(std::remove(streams.begin(), streams.end(), &m_stream), streams.end());
        --m_record->spatialCapture.openStreams;
    }

    // Under the lock: dynamic objects this stream may still activate.
    uint32_t Available() const
    {
        const uint32_t offered = m_record->spatial.availableDynamicObjects == VirtualSpatialSettings::kAllOffered
                                     ? m_record->spatial.maxDynamicObjects
                                     : m_record->spatial.availableDynamicObjects;
        const uint32_t allowed = std::min(offered, m_stream.maxDynamicObjects);
        return allowed > m_stream.dynamicObjects ? allowed - m_stream.dynamicObjects : 0;
    }

    StatePtr m_state;
    RecordPtr m_record;
    VirtualSpatialStreamState m_stream;
    uint32_t m_frames = 0;
};

VirtualSpatialObject::VirtualSpatialObject(StatePtr state, RecordPtr record, VirtualSpatialStream& stream,
                                           uint32_t captureIndex)
    : m_state(std::move(state)), m_record(std::move(record)), m_stream(stream)
{
    m_stream.AddRef();
    std::lock_guard guard(m_state->lock);
    m_object.captureIndex = captureIndex;
    m_stream.Attach(&m_object);
}

VirtualSpatialObject::~VirtualSpatialObject()
{
    {
        std::lock_guard guard(m_state->lock);
        m_stream.Detach(&m_object);
        m_record->spatialCapture.objects[m_object.captureIndex].released = true;
    }
    m_stream.Release();
}

AudioResult VirtualSpatialObject::GetBuffer(uint8_t** buffer, uint32_t* bytes)
{
    if (buffer == nullptr || bytes == nullptr)
        return kAudioInvalidArgument;
    *buffer = nullptr;
    *bytes = 0;
    std::lock_guard guard(m_state->lock);
    if (m_record->SpatialCallFails(SpatialCall::GetObjectBuffer))
        return kAudioFail;
    if (!m_stream.Stream().updating)
        return kAudioOutOfOrder;
    *buffer = reinterpret_cast<uint8_t*>(m_object.buffer.data());
    *bytes = static_cast<uint32_t>(m_object.buffer.size() * sizeof(float));
    return kAudioOk;
}

class VirtualSpatialClient final : public AudioObject<ISpatialAudioClient, InterfaceId::SpatialAudioClient>
{
public:
    VirtualSpatialClient(StatePtr state, RecordPtr record) : m_state(std::move(state)), m_record(std::move(record))
    {
        std::lock_guard guard(m_state->lock);
        ++m_record->spatialCapture.openClients;
    }

    AudioResult GetMaxDynamicObjectCount(uint32_t* count) override
    {
        if (count == nullptr)
            return kAudioInvalidArgument;
        *count = 0;
        std::lock_guard guard(m_state->lock);
        if (m_record->SpatialCallFails(SpatialCall::GetMaxDynamicObjectCount))
            return kAudioFail;
        *count = m_record->spatial.maxDynamicObjects;
        return kAudioOk;
    }

    AudioResult GetSupportedAudioObjectFormatEnumerator(IAudioFormatEnumerator** enumerator) override
    {
        if (enumerator == nullptr)
            return kAudioInvalidArgument;
        *enumerator = nullptr;
        std::vector<WaveFormat> formats;
        {
            std::lock_guard guard(m_state->lock);
            if (m_record->SpatialCallFails(SpatialCall::GetFormatEnumerator))
                return kAudioFail;
            formats = m_record->spatial.formats;
        }
        *enumerator = new (std::nothrow) VirtualFormatEnumerator(m_state, m_record, std::move(formats));
        return *enumerator != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult ActivateSpatialAudioStream(const PropertyValue& parameters, ISpatialAudioObjectRenderStream** stream) override
    {
        if (stream == nullptr)
            return kAudioInvalidArgument;
        *stream = nullptr;
        if (parameters.kind != PropertyKind::Blob || parameters.blob == nullptr ||
            parameters.blobSize != sizeof(SpatialStreamActivationParams))
            return kAudioInvalidArgument;
        SpatialStreamActivationParams activation;
        std::memcpy(&activation, parameters.blob, sizeof(activation));
        {
            std::lock_guard guard(m_state->lock);
            if (m_record->SpatialCallFails(SpatialCall::ActivateStream))
                return kAudioFail;
            if (activation.objectFormat == nullptr || activation.eventHandle == nullptr)
                return kAudioInvalidArgument;
            VirtualSpatialCapture& capture = m_record->spatialCapture;
            capture.streamFormats.push_back(*activation.objectFormat);
            SpatialStreamActivationParams kept = activation;
            kept.objectFormat = nullptr;
            capture.streamActivations.push_back(kept);
        }
        auto* made = new (std::nothrow)
            VirtualSpatialStream(m_state, m_record, activation.eventHandle, activation.maxDynamicObjectCount);
        *stream = made;
        return made != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

private:
    ~VirtualSpatialClient() override
    {
        std::lock_guard guard(m_state->lock);
        --m_record->spatialCapture.openClients;
    }

    StatePtr m_state;
    RecordPtr m_record;
};
} // namespace

ISpatialAudioClient* MakeVirtualSpatialClient(StatePtr state, RecordPtr record)
{
    return new (std::nothrow) VirtualSpatialClient(std::move(state), std::move(record));
}
} // namespace ZK::Platform
