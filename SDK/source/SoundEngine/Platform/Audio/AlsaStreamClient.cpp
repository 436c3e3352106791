#include "Platform/Audio/AlsaStreamClient.h"

#include "Platform/Audio/AlsaPump.h"
#include "Platform/Audio/EndpointBuildingBlocks.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

namespace ZK::Platform
{
namespace
{
constexpr uint16_t kMaximumChannels = 8;

snd_pcm_uframes_t FramesOf(int64_t duration, uint32_t rate)
{
    return static_cast<snd_pcm_uframes_t>((duration * rate + kDurationUnitsPerSecond - 1) / kDurationUnitsPerSecond);
}

bool IsDeviceGone(long error)
{
    return error == -ENODEV || error == -EBADFD || error == -ENXIO;
}

class AlsaStreamClient final
    : public AudioObject<IStreamClient2, InterfaceId::StreamClient, InterfaceId::StreamClient2>
{
public:
    explicit AlsaStreamClient(std::string pcmName) : m_pcmName(std::move(pcmName)) {}


    AudioResult Initialize(ShareMode mode, uint32_t flags, int64_t duration, int64_t, const WaveFormat* format,
                           const void*) override
    {
        if (format == nullptr || duration <= 0)
            return kAudioInvalidArgument;
        if (m_pcm != nullptr)
            return kAudioAlreadyInitialized;
        if (mode != ShareMode::Shared || !IsFloat32(*format) || format->channels == 0 ||
            format->channels > kMaximumChannels || format->samplesPerSecond == 0)
            return kAudioUnsupportedFormat;
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, m_pcmName.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
            return kAudioDeviceInvalidated;
        const AudioResult configured = Configure(pcm, flags, duration, *format);
        if (AudioFailed(configured))
        {
            snd_pcm_close(pcm);
            return configured;
        }
        m_pcm = pcm;
        m_format = *format;
        m_flags = flags;
        m_staging.assign(static_cast<size_t>(m_bufferFrames) * format->channels, 0.0f);
        return kAudioOk;
    }

    AudioResult GetBufferSize(uint32_t* frames) override
    {
        if (frames == nullptr)
            return kAudioInvalidArgument;
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        *frames = m_bufferFrames;
        return kAudioOk;
    }

    AudioResult GetCurrentPadding(uint32_t* frames) override
    {
        if (frames == nullptr)
            return kAudioInvalidArgument;
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        snd_pcm_sframes_t available = snd_pcm_avail(m_pcm);
        if (available < 0)
        {
            if (const AudioResult recovered = Recover(available); AudioFailed(recovered))
                return recovered;
            available = static_cast<snd_pcm_sframes_t>(m_bufferFrames); // emptied by the underrun
        }
        *frames = m_bufferFrames - std::min<uint32_t>(m_bufferFrames, static_cast<uint32_t>(available));
        return kAudioOk;
    }

    AudioResult IsFormatSupported(ShareMode mode, const WaveFormat* format, WaveFormat** closestMatch) override
    {
        if (closestMatch != nullptr)
            *closestMatch = nullptr;
        if (format == nullptr)
            return kAudioInvalidArgument;
        const bool supported = mode == ShareMode::Shared && IsFloat32(*format) && format->channels != 0 &&
                               format->channels <= kMaximumChannels && format->samplesPerSecond == kAlsaMixRateHz;
        return supported ? kAudioOk : kAudioUnsupportedFormat;
    }

    AudioResult GetMixFormat(WaveFormat** format) override
    {
        if (format == nullptr)
            return kAudioInvalidArgument;
        *format = CopyFormatToTaskMemory(AlsaStreamMixFormat());
        return *format != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod) override
    {
        if (defaultPeriod != nullptr)
            *defaultPeriod = kAlsaDefaultPeriod;
        if (minimumPeriod != nullptr)
            *minimumPeriod = kAlsaMinimumPeriod;
        return kAudioOk;
    }

    AudioResult Start() override
    {
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if ((m_flags & kStreamFlagEventCallback) != 0 && m_event == nullptr)
            return kAudioEventHandleNotSet;
        if (m_started)
            return kAudioOk;
        // From now on the PCM starts with the first frame it holds (again after an underrun).
        if (SetStartThreshold(1) < 0)
            return kAudioFail;
        if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED && snd_pcm_avail(m_pcm) < static_cast<long>(m_bufferFrames))
            snd_pcm_start(m_pcm);
        if (m_event != nullptr && !m_pump.Start(m_pcm, m_event, m_periodMicroseconds))
            return kAudioFail;
        m_started = true;
        return kAudioOk;
    }

    AudioResult Stop() override
    {
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        m_pump.Stop();
        if (m_started)
        {
            snd_pcm_drop(m_pcm);
            snd_pcm_prepare(m_pcm);
            SetStartThreshold(0);
        }
        m_started = false;
        return kAudioOk;
    }

    AudioResult SetEventHandle(ZkEvent* event) override
    {
        if (event == nullptr)
            return kAudioInvalidArgument;
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        m_event = event;
        return kAudioOk;
    }

    AudioResult GetService(InterfaceId id, void** object) override
    {
        if (object == nullptr)
            return kAudioInvalidArgument;
        *object = nullptr;
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if (id != InterfaceId::RenderClient)
            return kAudioNoInterface;
        auto* render = new (std::nothrow) StreamRenderClient<AlsaStreamClient>(*this);
        *object = static_cast<IStreamRenderClient*>(render);
        return render != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult IsOffloadCapable(uint32_t, bool* capable) override
    {
        if (capable == nullptr)
            return kAudioInvalidArgument;
        *capable = false;
        return kAudioOk;
    }

    AudioResult SetClientProperties(const StreamClientProperties* properties) override
    {
        if (properties == nullptr || properties->size != sizeof(StreamClientProperties))
            return kAudioInvalidArgument;
        return m_pcm == nullptr ? kAudioOk : kAudioAlreadyInitialized;
    }

    AudioResult GetBuffer(uint32_t frames, uint8_t** data)
    {
        if (data == nullptr)
            return kAudioInvalidArgument;
        *data = nullptr;
        uint32_t padding = 0;
        if (const AudioResult known = GetCurrentPadding(&padding); AudioFailed(known))
            return known;
        if (m_bufferOut)
            return kAudioOutOfOrder;
        if (frames > m_bufferFrames - padding)
            return kAudioBufferTooLarge;
        m_bufferOut = true;
        m_framesOut = frames;
        *data = reinterpret_cast<uint8_t*>(m_staging.data());
        return kAudioOk;
    }

    AudioResult ReleaseBuffer(uint32_t frames, uint32_t flags)
    {
        if (const AudioResult usable = Usable(); AudioFailed(usable))
            return usable;
        if (!m_bufferOut)
            return kAudioOutOfOrder;
        if (frames > m_framesOut)
            return kAudioBufferSizeError;
        m_bufferOut = false;
        if ((flags & kBufferFlagSilent) != 0)
            std::fill_n(m_staging.begin(), static_cast<size_t>(frames) * m_format.channels, 0.0f);
        const float* next = m_staging.data();
        uint32_t left = frames;
        bool recovered = false;
        while (left > 0)
        {
            const snd_pcm_sframes_t written = snd_pcm_writei(m_pcm, next, left);
            if (written == -EAGAIN)
                break; // the PCM took fewer frames than it reported free: the rest is dropped
            if (written < 0)
            {
                // One recovery per release: a PCM that underruns again at once is reported next time.
                if (recovered)
                    break;
                if (const AudioResult result = Recover(written); AudioFailed(result))
                    return result;
                recovered = true;
                continue;
            }
            left -= static_cast<uint32_t>(written);
            next += static_cast<size_t>(written) * m_format.channels;
        }
        return kAudioOk;
    }

private:
    ~AlsaStreamClient() override
    {
        m_pump.Stop();
        if (m_pcm != nullptr)
            snd_pcm_close(m_pcm);
    }

    AudioResult Usable() const
    {
        if (m_invalidated)
            return kAudioDeviceInvalidated;
        return m_pcm != nullptr ? kAudioOk : kAudioNotInitialized;
    }

    AudioResult Configure(snd_pcm_t* pcm, uint32_t flags, int64_t duration, const WaveFormat& format)
    {
        snd_pcm_hw_params_t* hardware = nullptr;
        snd_pcm_hw_params_alloca(&hardware);
        if (snd_pcm_hw_params_any(pcm, hardware) < 0)
            return kAudioFail;
        // alsa-lib's plug layer converts the rate only when the stream asks for conversion.
        const unsigned resample = (flags & kStreamFlagAutoConvertPcm) != 0 ? 1 : 0;
        if (snd_pcm_hw_params_set_rate_resample(pcm, hardware, resample) < 0 ||
            snd_pcm_hw_params_set_access(pcm, hardware, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
            snd_pcm_hw_params_set_format(pcm, hardware, SND_PCM_FORMAT_FLOAT_LE) < 0 ||
            snd_pcm_hw_params_set_channels(pcm, hardware, format.channels) < 0 ||
            snd_pcm_hw_params_set_rate(pcm, hardware, format.samplesPerSecond, 0) < 0)
            return kAudioUnsupportedFormat;
        snd_pcm_uframes_t bufferFrames = FramesOf(duration, format.samplesPerSecond);
        snd_pcm_uframes_t periodFrames = FramesOf(kAlsaDefaultPeriod, format.samplesPerSecond);
        if (snd_pcm_hw_params_set_buffer_size_near(pcm, hardware, &bufferFrames) < 0 ||
            snd_pcm_hw_params_set_period_size_near(pcm, hardware, &periodFrames, nullptr) < 0 ||
            snd_pcm_hw_params(pcm, hardware) < 0)
            return kAudioFail;
        snd_pcm_hw_params_get_buffer_size(hardware, &bufferFrames);
        snd_pcm_hw_params_get_period_size(hardware, &periodFrames, nullptr);
        m_bufferFrames = static_cast<uint32_t>(bufferFrames);
        m_periodMicroseconds = static_cast<uint32_t>(uint64_t{periodFrames} * 1'000'000 / format.samplesPerSecond);

        snd_pcm_sw_params_t* software = nullptr;
        snd_pcm_sw_params_alloca(&software);
        snd_pcm_uframes_t boundary = 0;
        // Data queued before Start waits for it: the start threshold lies beyond any fill.
        if (snd_pcm_sw_params_current(pcm, software) < 0 || snd_pcm_sw_params_get_boundary(software, &boundary) < 0 ||
            snd_pcm_sw_params_set_avail_min(pcm, software, periodFrames) < 0 ||
            snd_pcm_sw_params_set_start_threshold(pcm, software, boundary) < 0 || snd_pcm_sw_params(pcm, software) < 0)
            return kAudioFail;
        return kAudioOk;
    }

    // 0: the threshold beyond any fill (no start by itself).
    int SetStartThreshold(snd_pcm_uframes_t frames)
    {
        snd_pcm_sw_params_t* software = nullptr;
        snd_pcm_sw_params_alloca(&software);
        int result = snd_pcm_sw_params_current(m_pcm, software);
        if (result < 0)
            return result;
        if (frames == 0)
            snd_pcm_sw_params_get_boundary(software, &frames);
        result = snd_pcm_sw_params_set_start_threshold(m_pcm, software, frames);
        return result < 0 ? result : snd_pcm_sw_params(m_pcm, software);
    }

    // An error of the PCM: an underrun or a suspension is recovered, a lost device latched.
    AudioResult Recover(long error)
    {
        if (IsDeviceGone(error) || snd_pcm_recover(m_pcm, static_cast<int>(error), 1) < 0)
        {
            m_invalidated = true;
            m_pump.Stop();
            return kAudioDeviceInvalidated;
        }
        return kAudioOk;
    }

    std::string m_pcmName;
    snd_pcm_t* m_pcm = nullptr;
    WaveFormat m_format;
    uint32_t m_flags = 0;
    uint32_t m_bufferFrames = 0;
    uint32_t m_periodMicroseconds = 0;
    std::vector<float> m_staging;
    ZkEvent* m_event = nullptr;
    AlsaPump m_pump;
    uint32_t m_framesOut = 0;
    bool m_bufferOut = false;
    bool m_started = false;
    bool m_invalidated = false;
};

} // namespace

WaveFormat AlsaStreamMixFormat()
{
    return MakeFloatFormat(kAlsaMixRateHz, kAlsaMixChannels);
}

IStreamClient2* MakeAlsaStreamClient(std::string pcmName)
{
    return new (std::nothrow) AlsaStreamClient(std::move(pcmName));
}
} // namespace ZK::Platform
