// The virtual audio system's enumerator and endpoints.
#include "Platform/Audio/EndpointBuildingBlocks.h"
#include "Platform/Audio/TaskMemory.h"
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

class VirtualEndpoint final : public AudioObject<IEndpoint>
{
public:
    VirtualEndpoint(StatePtr state, RecordPtr record) : m_state(std::move(state)), m_record(std::move(record)) {}


    AudioResult Activate(InterfaceId id, void** object) override
    {
        if (object == nullptr)
            return kAudioInvalidArgument;
        *object = nullptr;
        std::unique_lock guard(m_state->lock);
        if (m_record->invalidated || m_record->settings.state != kDeviceStateActive)
            return kAudioDeviceInvalidated;
        if (m_record->policy.failActivate)
            return kAudioFail;
        if (id == InterfaceId::StreamClient || id == InterfaceId::StreamClient2)
        {
            guard.unlock();
            IStreamClient2* client = MakeVirtualStreamClient(m_state, m_record);
            *object = client;
            return client != nullptr ? kAudioOk : kAudioOutOfMemory;
        }
        guard.unlock();
        std::weak_ptr<VirtualAudioSystem::State> state = m_state;
        std::weak_ptr<VirtualEndpointRecord> record = m_record;
        return ActivateSessionManager(id, object, [state, record](bool optOut) {
            auto lockedState = state.lock();
            auto lockedRecord = record.lock();
            if (lockedState == nullptr || lockedRecord == nullptr)
                return;
            std::lock_guard inner(lockedState->lock);
            lockedRecord->capture.duckingOptOut = optOut ? 1 : 0;
        });
    }

    AudioResult ActivateWithParameters(InterfaceId id, const PropertyValue& parameters, void** object) override
    {
        if (object == nullptr)
            return kAudioInvalidArgument;
        *object = nullptr;
        if (id != InterfaceId::SpatialAudioClient)
            return kAudioNoInterface;
        if (parameters.kind != PropertyKind::Blob || parameters.blob == nullptr ||
            parameters.blobSize != sizeof(SpatialClientActivationParams))
            return kAudioInvalidArgument;
        {
            std::lock_guard guard(m_state->lock);
            if (m_record->invalidated || m_record->settings.state != kDeviceStateActive)
                return kAudioDeviceInvalidated;
            if (m_record->SpatialCallFails(SpatialCall::Activate))
                return kAudioFail;
            SpatialClientActivationParams activation;
            std::memcpy(&activation, parameters.blob, sizeof(activation));
            m_record->spatialCapture.clientActivations.push_back(activation);
        }
        ISpatialAudioClient* client = MakeVirtualSpatialClient(m_state, m_record);
        *object = client;
        return client != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult OpenPropertyStore(IEndpointPropertyStore** store) override
    {
        if (store == nullptr)
            return kAudioInvalidArgument;
        std::optional<WaveFormat> deviceFormat;
        std::wstring name;
        {
            std::lock_guard guard(m_state->lock);
            name = m_record->settings.friendlyName;
            if (m_record->settings.hasDeviceFormat)
                deviceFormat = MakeFloatFormat(m_record->settings.mixRate, m_record->DeviceFormatChannels());
        }
        *store = new (std::nothrow) EndpointPropertyStore(std::move(name), deviceFormat);
        return *store != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetId(wchar_t** id) override
    {
        if (id == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        *id = DuplicateTaskText(m_record->settings.id.c_str());
        return *id != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetState(uint32_t* state) override
    {
        if (state == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        *state = m_record->settings.state;
        return kAudioOk;
    }

private:
    StatePtr m_state;
    RecordPtr m_record;
};

class VirtualEnumerator final : public AudioObject<IEndpointEnumerator>
{
public:
    explicit VirtualEnumerator(StatePtr state) : m_state(std::move(state)) {}


    AudioResult EnumAudioEndpoints(DataFlow flow, uint32_t stateMask, IEndpointCollection** endpoints) override
    {
        if (endpoints == nullptr)
            return kAudioInvalidArgument;
        std::vector<IEndpoint*> found;
        if (flow != DataFlow::Capture)
        {
            std::lock_guard guard(m_state->lock);
            for (const auto& record : m_state->endpoints)
            {
                if (!record->removed && (record->settings.state & stateMask) != 0)
                    found.push_back(new (std::nothrow) VirtualEndpoint(m_state, record));
            }
        }
        const bool complete = std::find(found.begin(), found.end(), nullptr) == found.end();
        *endpoints = complete ? new (std::nothrow) EndpointCollection(found) : nullptr;
        for (IEndpoint* endpoint : found)
        {
            if (endpoint != nullptr)
                endpoint->Release(); // the collection holds its own references
        }
        return *endpoints != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetDefaultAudioEndpoint(DataFlow flow, DeviceRole role, IEndpoint** endpoint) override
    {
        if (endpoint == nullptr || static_cast<uint32_t>(role) >= kDeviceRoleCount)
            return kAudioInvalidArgument;
        *endpoint = nullptr;
        if (flow != DataFlow::Render)
            return kAudioNotFound;
        std::lock_guard guard(m_state->lock);
        RecordPtr record = m_state->Find(m_state->defaults[static_cast<uint32_t>(role)]);
        if (record == nullptr || record->settings.state != kDeviceStateActive)
            return kAudioNotFound;
        *endpoint = new (std::nothrow) VirtualEndpoint(m_state, record);
        return *endpoint != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetDevice(const wchar_t* id, IEndpoint** endpoint) override
    {
        if (endpoint == nullptr || id == nullptr)
            return kAudioInvalidArgument;
        *endpoint = nullptr;
        std::lock_guard guard(m_state->lock);
        RecordPtr record = m_state->Find(id);
        if (record == nullptr)
            return kAudioNotFound;
        *endpoint = new (std::nothrow) VirtualEndpoint(m_state, record);
        return *endpoint != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult RegisterEndpointNotificationCallback(IEndpointNotificationClient* client) override
    {
        if (client == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        m_state->clients.push_back(client);
        return kAudioOk;
    }

    AudioResult UnregisterEndpointNotificationCallback(IEndpointNotificationClient* client) override
    {
        std::lock_guard delivering(m_state->deliveryLock);
        std::lock_guard guard(m_state->lock);
        auto found = std::find(m_state->clients.begin(), m_state->clients.end(), client);
        if (found == m_state->clients.end())
            return kAudioNotFound;
        m_state->clients.erase(found);
        return kAudioOk;
    }

private:
    StatePtr m_state;
};
} // namespace

IEndpointEnumerator* MakeVirtualEnumerator(StatePtr state)
{
    return new (std::nothrow) VirtualEnumerator(std::move(state));
}

IEndpoint* MakeVirtualEndpoint(StatePtr state, RecordPtr record)
{
    return new (std::nothrow) VirtualEndpoint(std::move(state), std::move(record));
}
} // namespace ZK::Platform
