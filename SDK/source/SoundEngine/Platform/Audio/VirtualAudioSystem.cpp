// The control surface of the virtual audio system: its endpoints, policies, captures, clock and
// notifications.
#include "Platform/Audio/VirtualAudioState.h"

#include "Platform/PlatformClock.h"

#include <algorithm>
#include <chrono>

namespace ZK::Platform
{
namespace
{
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

void ClockThreadMain(void* argument)
{
    auto& state = *static_cast<VirtualAudioSystem::State*>(argument);
    int64_t last = PerformanceCounter();
    for (;;)
    {
        const bool stopped = state.clockStop.Wait(state.clockPeriodMilliseconds);
        if (stopped)
            return;
        const int64_t now = PerformanceCounter();
        const int64_t elapsed = now - last;
        last = now;
        std::lock_guard guard(state.lock);
        for (const auto& endpoint : state.endpoints)
        {
            for (VirtualStream* stream : endpoint->streams)
            {
                if (!stream->started)
                    continue;
                // Whole frames of the time that passed; the remainder waits for the next period.
                stream->playedNanoseconds += elapsed;
                const int64_t frames = stream->playedNanoseconds * stream->format.samplesPerSecond / kNanosecondsPerSecond;
                stream->playedNanoseconds -= frames * kNanosecondsPerSecond / stream->format.samplesPerSecond;
                VirtualAudioSystem::State::AdvanceStream(*endpoint, *stream, static_cast<uint32_t>(frames));
            }
            // Spatial streams run at the first stream's rate: the engine's, which the sink checks.
            if (!endpoint->spatialStreams.empty())
            {
                endpoint->spatialPlayedNanoseconds += elapsed;
                const uint32_t rate = endpoint->spatial.formats.empty() ? 48000 : endpoint->spatial.formats[0].samplesPerSecond;
                const int64_t frames = endpoint->spatialPlayedNanoseconds * rate / kNanosecondsPerSecond;
                endpoint->spatialPlayedNanoseconds -= frames * kNanosecondsPerSecond / rate;
                VirtualAudioSystem::State::AdvanceSpatialStreams(*endpoint, static_cast<uint32_t>(frames));
            }
        }
    }
}

struct RaiseArgument
{
    VirtualAudioSystem* system;
    const std::function<void(VirtualAudioSystem&)>* raise;
};

void RaiseThreadMain(void* argument)
{
    auto* raise = static_cast<RaiseArgument*>(argument);
    (*raise->raise)(*raise->system);
}
} // namespace

WaveFormat VirtualEndpointRecord::MixFormat() const
{
    if (!settings.mixFormatExtensible)
        return MakePlainFloatFormat(settings.mixRate, settings.mixChannels);
    return MakeFloatFormat(settings.mixRate, settings.mixChannels, settings.mixChannelMask);
}

uint16_t VirtualEndpointRecord::DeviceFormatChannels() const
{
    return settings.deviceFormatChannels != 0 ? settings.deviceFormatChannels : settings.mixChannels;
}

std::shared_ptr<VirtualEndpointRecord> VirtualAudioSystem::State::Find(const std::wstring& id) const
{
    for (const auto& endpoint : endpoints)
    {
        if (!endpoint->removed && endpoint->settings.id == id)
            return endpoint;
    }
    return nullptr;
}

bool VirtualEndpointRecord::SpatialCallFails(SpatialCall call)
{
    const uint32_t index = static_cast<uint32_t>(call);
    const uint32_t n = ++spatialCapture.calls[index];
    return spatialPolicy.failAtCall[index] != 0 && spatialPolicy.failAtCall[index] == n;
}

void VirtualAudioSystem::State::AdvanceSpatialStreams(VirtualEndpointRecord& endpoint, uint32_t frames)
{
    for (VirtualSpatialStreamState* stream : endpoint.spatialStreams)
    {
        if (!stream->started || frames == 0)
            continue;
        stream->owedFrames += frames;
        if (stream->event != nullptr)
            stream->event->Set();
    }
}

void VirtualAudioSystem::State::AdvanceStream(VirtualEndpointRecord& endpoint, VirtualStream& stream, uint32_t frames)
{
    const uint32_t channels = stream.format.channels;
    const uint64_t queuedFrames = channels != 0 ? stream.queued.size() / channels : 0;
    const uint64_t played = std::min<uint64_t>(frames, queuedFrames);
    std::vector<float>& out = endpoint.capture.played;
    out.insert(out.end(), stream.queued.begin(), stream.queued.begin() + static_cast<ptrdiff_t>(played * channels));
    stream.queued.erase(stream.queued.begin(), stream.queued.begin() + static_cast<ptrdiff_t>(played * channels));
    const uint64_t missing = frames - played;
    out.insert(out.end(), missing * channels, 0.0f);
    endpoint.capture.underrunFrames += missing;
    if (stream.event != nullptr)
        stream.event->Set();
}

VirtualAudioSystem::VirtualAudioSystem() : m_state(std::make_shared<State>()) {}

VirtualAudioSystem::~VirtualAudioSystem()
{
    StopRealTimeClock();
}

void VirtualAudioSystem::AddEndpoint(const VirtualEndpointSettings& settings)
{
    std::lock_guard guard(m_state->lock);
    auto record = std::make_shared<VirtualEndpointRecord>();
    record->settings = settings;
    m_state->endpoints.push_back(record);
    if (settings.state != kDeviceStateActive)
        return;
    for (std::wstring& role : m_state->defaults)
    {
        if (role.empty())
            role = settings.id;
    }
}

void VirtualAudioSystem::RemoveEndpoint(const std::wstring& id)
{
    std::lock_guard guard(m_state->lock);
    if (auto record = m_state->Find(id))
    {
        record->removed = true;
        record->invalidated = true;
        record->settings.state = kDeviceStateNotPresent;
    }
}

void VirtualAudioSystem::InvalidateEndpoint(const std::wstring& id)
{
    std::lock_guard guard(m_state->lock);
    if (auto record = m_state->Find(id))
        record->invalidated = true;
}

void VirtualAudioSystem::SetEndpointState(const std::wstring& id, uint32_t state)
{
    std::lock_guard guard(m_state->lock);
    if (auto record = m_state->Find(id))
        record->settings.state = state;
}

void VirtualAudioSystem::SetDefaultEndpoint(DeviceRole role, const std::wstring& id)
{
    std::lock_guard guard(m_state->lock);
    m_state->defaults[static_cast<uint32_t>(role)] = id;
}

void VirtualAudioSystem::SetPolicy(const std::wstring& id, const VirtualEndpointPolicy& policy)
{
    std::lock_guard guard(m_state->lock);
    if (auto record = m_state->Find(id))
        record->policy = policy;
}

VirtualEndpointCapture VirtualAudioSystem::Capture(const std::wstring& id) const
{
    std::lock_guard guard(m_state->lock);
    for (const auto& endpoint : m_state->endpoints)
    {
        if (endpoint->settings.id == id)
            return endpoint->capture;
    }
    return VirtualEndpointCapture{};
}

VirtualEndpointCapture VirtualAudioSystem::TakeCapture(const std::wstring& id)
{
    std::lock_guard guard(m_state->lock);
    for (const auto& endpoint : m_state->endpoints)
    {
        if (endpoint->settings.id != id)
            continue;
        // The frames move out (no copy of a long capture); the rest is copied and kept.
        std::vector<float> written;
        std::vector<VirtualRelease> releases;
        std::vector<float> played;
        written.swap(endpoint->capture.written);
        releases.swap(endpoint->capture.releases);
        played.swap(endpoint->capture.played);
        VirtualEndpointCapture taken = endpoint->capture;
        taken.written = std::move(written);
        taken.releases = std::move(releases);
        taken.played = std::move(played);
        return taken;
    }
    return VirtualEndpointCapture{};
}

VirtualStreamFill VirtualAudioSystem::Fill(const std::wstring& id) const
{
    std::lock_guard guard(m_state->lock);
    for (const auto& endpoint : m_state->endpoints)
    {
        if (endpoint->settings.id != id)
            continue;
        for (const VirtualStream* stream : endpoint->streams)
        {
            const uint32_t channels = stream->format.channels;
            if (stream->started && channels != 0)
                return VirtualStreamFill{static_cast<uint32_t>(stream->queued.size() / channels), stream->bufferFrames,
                                         stream->releasedFrames};
        }
    }
    return VirtualStreamFill{};
}

void VirtualAudioSystem::Advance(uint32_t frames)
{
    std::lock_guard guard(m_state->lock);
    for (const auto& endpoint : m_state->endpoints)
    {
        for (VirtualStream* stream : endpoint->streams)
        {
            if (stream->started)
                State::AdvanceStream(*endpoint, *stream, frames);
        }
        State::AdvanceSpatialStreams(*endpoint, frames);
    }
}

void VirtualAudioSystem::SetSpatial(const std::wstring& id, const VirtualSpatialSettings& settings)
{
    std::lock_guard guard(m_state->lock);
    if (auto record = m_state->Find(id))
        record->spatial = settings;
}

void VirtualAudioSystem::SetSpatialPolicy(const std::wstring& id, const VirtualSpatialPolicy& policy)
{
    std::lock_guard guard(m_state->lock);
    if (auto record = m_state->Find(id))
        record->spatialPolicy = policy;
}

VirtualSpatialCapture VirtualAudioSystem::SpatialCapture(const std::wstring& id) const
{
    std::lock_guard guard(m_state->lock);
    for (const auto& endpoint : m_state->endpoints)
    {
        if (endpoint->settings.id == id)
            return endpoint->spatialCapture;
    }
    return VirtualSpatialCapture{};
}

bool VirtualAudioSystem::WaitForSpatialUpdates(const std::wstring& id, uint32_t updates, uint32_t deadlineMilliseconds) const
{
    std::unique_lock guard(m_state->lock);
    std::shared_ptr<VirtualEndpointRecord> record = m_state->Find(id);
    if (record == nullptr)
        return false;
    return m_state->spatialUpdated.wait_for(guard, std::chrono::milliseconds(deadlineMilliseconds),
                                            [&] { return record->spatialUpdates >= updates; });
}

void VirtualAudioSystem::StartRealTimeClock(uint32_t periodMilliseconds)
{
    State& state = *m_state;
    if (state.clockRunning)
        return;
    state.clockPeriodMilliseconds = std::max(1u, periodMilliseconds);
    if (!state.clockStop.Init(EventReset::Manual))
        return;
    ThreadProperties properties;
    properties.name = "ZK VirtualClock";
    if (StartThread(state.clockThread, &ClockThreadMain, &state, properties).status != ThreadStartStatus::Started)
    {
        state.clockStop.Term();
        return;
    }
    state.clockRunning = true;
}

void VirtualAudioSystem::StopRealTimeClock()
{
    State& state = *m_state;
    if (!state.clockRunning)
        return;
    state.clockStop.Set();
    JoinThread(state.clockThread);
    state.clockStop.Term();
    state.clockRunning = false;
}

namespace
{
template <typename Call>
void NotifyAll(VirtualAudioSystem::State& state, Call call)
{
    std::lock_guard delivering(state.deliveryLock);
    std::vector<IEndpointNotificationClient*> clients;
    {
        std::lock_guard guard(state.lock);
        clients = state.clients;
    }
    for (IEndpointNotificationClient* client : clients)
        call(*client);
}
} // namespace

void VirtualAudioSystem::NotifyStateChanged(const std::wstring& id, uint32_t state)
{
    NotifyAll(*m_state, [&](IEndpointNotificationClient& client) { client.OnDeviceStateChanged(id.c_str(), state); });
}

void VirtualAudioSystem::NotifyAdded(const std::wstring& id)
{
    NotifyAll(*m_state, [&](IEndpointNotificationClient& client) { client.OnDeviceAdded(id.c_str()); });
}

void VirtualAudioSystem::NotifyRemoved(const std::wstring& id)
{
    NotifyAll(*m_state, [&](IEndpointNotificationClient& client) { client.OnDeviceRemoved(id.c_str()); });
}

void VirtualAudioSystem::NotifyDefaultChanged(DataFlow flow, DeviceRole role, const std::wstring& id)
{
    NotifyAll(*m_state,
              [&](IEndpointNotificationClient& client) { client.OnDefaultDeviceChanged(flow, role, id.c_str()); });
}

void VirtualAudioSystem::NotifyPropertyChanged(const std::wstring& id, const PropertyKey& key)
{
    NotifyAll(*m_state, [&](IEndpointNotificationClient& client) { client.OnPropertyValueChanged(id.c_str(), key); });
}

void VirtualAudioSystem::RaiseNotificationsFromThread(const std::function<void(VirtualAudioSystem&)>& raise)
{
    RaiseArgument argument{this, &raise};
    ZkThreadHandle thread;
    ThreadProperties properties;
    properties.name = "ZK VirtualNotify";
    if (StartThread(thread, &RaiseThreadMain, &argument, properties).status == ThreadStartStatus::Started)
        JoinThread(thread);
}

uint32_t VirtualAudioSystem::RegisteredNotificationClients() const
{
    std::lock_guard guard(m_state->lock);
    return static_cast<uint32_t>(m_state->clients.size());
}

AudioResult VirtualAudioSystem::CreateEnumerator(IEndpointEnumerator** enumerator)
{
    if (enumerator == nullptr)
        return kAudioInvalidArgument;
    *enumerator = MakeVirtualEnumerator(m_state);
    return *enumerator != nullptr ? kAudioOk : kAudioOutOfMemory;
}
} // namespace ZK::Platform
