// The virtual audio system's streams: a stream client per Activate, its render client, the
// format rules of the endpoint's policy, and the capture of every frame released.
#include "Platform/Audio/EndpointBuildingBlocks.h"
#include "Platform/Audio/VirtualAudioState.h"

#include <algorithm>
#include <new>

namespace ZK::Platform
{
namespace
{
using StatePtr = std::shared_ptr<VirtualAudioSystem::State>;
using RecordPtr = std::shared_ptr<VirtualEndpointRecord>;

constexpr uint16_t kMaximumChannels = 8;

uint32_t FramesOf(int64_t duration, uint32_t rate)
{
    return static_cast<uint32_t>((duration * rate + kDurationUnitsPerSecond - 1) / kDurationUnitsPerSecond);
}

bool CallFails(uint32_t callNumber, uint32_t failingCall)
{
    return failingCall != VirtualEndpointPolicy::kNever && callNumber == failingCall;
}

class VirtualStreamClient final
    : public AudioObject<IStreamClient2, InterfaceId::StreamClient, InterfaceId::StreamClient2>
{
public:
    VirtualStreamClient(StatePtr state, RecordPtr record) : m_state(std::move(state)), m_record(std::move(record))
    {
        std::lock_guard guard(m_state->lock);
        ++m_record->capture.openStreams;
    }


    AudioResult Initialize(ShareMode mode, uint32_t flags, int64_t duration, int64_t periodicity, const WaveFormat* format,
                           const void*) override
    {
        if (format == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        VirtualInitializeCall call{flags, duration, periodicity, *format, kAudioOk};
        call.result = InitializeLocked(mode, flags, duration, *format);
        m_record->capture.initializeCalls.push_back(call);
        return call.result;
    }

    AudioResult GetBufferSize(uint32_t* frames) override
    {
        if (frames == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        *frames = m_stream.bufferFrames;
        return kAudioOk;
    }

    AudioResult GetCurrentPadding(uint32_t* frames) override
    {
        if (frames == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        const uint32_t call = ++m_record->capture.paddingCalls;
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if (CallFails(call, m_record->policy.failPaddingAtCall))
            return kAudioFail;
        *frames = QueuedFrames();
        return kAudioOk;
    }

    AudioResult IsFormatSupported(ShareMode mode, const WaveFormat* format, WaveFormat** closestMatch) override
    {
        if (closestMatch != nullptr)
            *closestMatch = nullptr;
        if (format == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        if (mode == ShareMode::Shared && Supports(*format) && format->samplesPerSecond == m_record->settings.mixRate)
            return kAudioOk;
        const VirtualEndpointPolicy& policy = m_record->policy;
        if (policy.offerClosestMatch && !policy.refuseEveryFormat && closestMatch != nullptr)
        {
            *closestMatch = CopyFormatToTaskMemory(policy.closestMatch);
            return *closestMatch != nullptr ? kAudioFalse : kAudioOutOfMemory;
        }
        return kAudioUnsupportedFormat;
    }

    AudioResult GetMixFormat(WaveFormat** format) override
    {
        if (format == nullptr)
            return kAudioInvalidArgument;
        *format = nullptr;
        std::lock_guard guard(m_state->lock);
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        if (m_record->policy.failGetMixFormat)
            return kAudioFail;
        *format = CopyFormatToTaskMemory(m_record->MixFormat());
        return *format != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod) override
    {
        std::lock_guard guard(m_state->lock);
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        if (defaultPeriod != nullptr)
            *defaultPeriod = m_record->settings.defaultPeriod;
        if (minimumPeriod != nullptr)
            *minimumPeriod = m_record->settings.minimumPeriod;
        return kAudioOk;
    }

    AudioResult Start() override
    {
        std::lock_guard guard(m_state->lock);
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if ((m_flags & kStreamFlagEventCallback) != 0 && m_stream.event == nullptr)
            return kAudioEventHandleNotSet;
        if (m_record->policy.failStart)
            return kAudioFail;
        m_stream.started = true;
        ++m_record->capture.starts;
        return kAudioOk;
    }

    AudioResult Stop() override
    {
        std::lock_guard guard(m_state->lock);
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if (m_stream.started)
            ++m_record->capture.stops;
        m_stream.started = false;
        return kAudioOk;
    }

    AudioResult SetEventHandle(ZkEvent* event) override
    {
        if (event == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        m_stream.event = event;
        return kAudioOk;
    }

    AudioResult GetService(InterfaceId id, void** object) override;

    AudioResult IsOffloadCapable(uint32_t, bool* capable) override
    {
        if (capable == nullptr)
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        *capable = m_record->policy.offloadCapable;
        return kAudioOk;
    }

    AudioResult SetClientProperties(const StreamClientProperties* properties) override
    {
        if (properties == nullptr || properties->size != sizeof(StreamClientProperties))
            return kAudioInvalidArgument;
        std::lock_guard guard(m_state->lock);
        if (m_initialized)
            return kAudioAlreadyInitialized;
        m_record->capture.hasProperties = true;
        m_record->capture.properties = *properties;
        return kAudioOk;
    }

    // The render client's two calls.
    AudioResult GetBuffer(uint32_t frames, uint8_t** data)
    {
        if (data == nullptr)
            return kAudioInvalidArgument;
        *data = nullptr;
        std::lock_guard guard(m_state->lock);
        const uint32_t call = ++m_record->capture.getBufferCalls;
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if (CallFails(call, m_record->policy.failGetBufferAtCall))
            return kAudioFail;
        if (m_bufferOut)
            return kAudioOutOfOrder;
        if (frames > m_stream.bufferFrames - QueuedFrames())
            return kAudioBufferTooLarge;
        m_bufferOut = true;
        m_framesOut = frames;
        *data = reinterpret_cast<uint8_t*>(m_staging.data());
        return kAudioOk;
    }

    AudioResult ReleaseBuffer(uint32_t frames, uint32_t flags)
    {
        std::lock_guard guard(m_state->lock);
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if (!m_bufferOut)
            return kAudioOutOfOrder;
        if (frames > m_framesOut)
            return kAudioBufferSizeError;
        m_bufferOut = false;
        const size_t samples = static_cast<size_t>(frames) * m_stream.format.channels;
        if ((flags & kBufferFlagSilent) != 0)
            std::fill_n(m_staging.begin(), samples, 0.0f);
        VirtualEndpointCapture& capture = m_record->capture;
        capture.written.insert(capture.written.end(), m_staging.begin(), m_staging.begin() + static_cast<ptrdiff_t>(samples));
        capture.releases.push_back({frames, flags});
        m_stream.queued.insert(m_stream.queued.end(), m_staging.begin(), m_staging.begin() + static_cast<ptrdiff_t>(samples));
        m_stream.releasedFrames += frames;
        return kAudioOk;
    }

private:
    ~VirtualStreamClient() override
    {
        std::lock_guard guard(m_state->lock);
        auto& streams = m_record->streams;
        streams.erase(std::remove(streams.begin(), streams.end(), &m_stream), streams.end());
        --m_record->capture.openStreams;
    }

    // Under the lock.
    AudioResult Usable() const
    {
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        return m_initialized ? kAudioOk : kAudioNotInitialized;
    }

    uint32_t QueuedFrames() const
    {
        return m_stream.format.channels != 0 ? static_cast<uint32_t>(m_stream.queued.size() / m_stream.format.channels) : 0;
    }

    bool Supports(const WaveFormat& format) const
    {
        const VirtualEndpointPolicy& policy = m_record->policy;
        if (policy.refuseEveryFormat || !IsFloat32(format) || format.channels == 0 || format.channels > kMaximumChannels)
            return false;
        // The closest match an endpoint offers is a format it takes.
        return !policy.refuseOtherChannelCounts || format.channels == m_record->settings.mixChannels ||
               (policy.offerClosestMatch && format.channels == policy.closestMatch.channels);
    }

    AudioResult InitializeLocked(ShareMode mode, uint32_t flags, int64_t duration, const WaveFormat& format)
    {
        if (m_record->invalidated)
            return kAudioDeviceInvalidated;
        if (m_initialized)
            return kAudioAlreadyInitialized;
        if (m_record->policy.failInitialize)
            return kAudioFail;
        if (mode != ShareMode::Shared || !Supports(format) || format.samplesPerSecond == 0)
            return kAudioUnsupportedFormat;
        if (format.samplesPerSecond != m_record->settings.mixRate &&
            ((flags & kStreamFlagAutoConvertPcm) == 0 || m_record->policy.refuseAutoConversion))
            return kAudioUnsupportedFormat;
        const uint32_t rate = format.samplesPerSecond;
        m_stream.format = format;
        m_stream.bufferFrames =
            std::max(FramesOf(duration, rate), FramesOf(m_record->settings.minimumPeriod, rate));
        m_staging.assign(static_cast<size_t>(m_stream.bufferFrames) * format.channels, 0.0f);
        m_flags = flags;
        m_initialized = true;
        m_record->streams.push_back(&m_stream);
        VirtualEndpointCapture& capture = m_record->capture;
        capture.channels = format.channels;
        capture.sampleRate = rate;
        capture.bufferFrames = m_stream.bufferFrames;
        return kAudioOk;
    }

    StatePtr m_state;
    RecordPtr m_record;
    VirtualStream m_stream;
    std::vector<float> m_staging;
    uint32_t m_flags = 0;
    uint32_t m_framesOut = 0;
    bool m_initialized = false;
    bool m_bufferOut = false;
};

AudioResult VirtualStreamClient::GetService(InterfaceId id, void** object)
{
    if (object == nullptr)
        return kAudioInvalidArgument;
    *object = nullptr;
    {
        std::lock_guard guard(m_state->lock);
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
    }
    if (id != InterfaceId::RenderClient)
        return kAudioNoInterface;
    auto* render = new (std::nothrow) StreamRenderClient<VirtualStreamClient>(*this);
    *object = static_cast<IStreamRenderClient*>(render);
    return render != nullptr ? kAudioOk : kAudioOutOfMemory;
}
} // namespace

IStreamClient2* MakeVirtualStreamClient(StatePtr state, RecordPtr record)
{
    return new (std::nothrow) VirtualStreamClient(std::move(state), std::move(record));
}
} // namespace ZK::Platform
