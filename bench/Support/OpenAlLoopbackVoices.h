// The voices' peer: OpenAL Soft rendering looping sources of one 16-bit mono buffer through its
// loopback device (ALC_SOFT_loopback, alcRenderSamplesSOFT), stereo float, no HRTF, no output
// limiter, the linear resampler, each source at its pitch and at a direction on the horizontal
// plane (OpenAL pans in three dimensions), with an optional EFX low-pass direct filter.
// Only where the benchmark program links OpenAL (KP_BENCH_OPENAL).
#pragma once

#if KP_BENCH_OPENAL
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

class OpenAlLoopbackVoices
{
public:
    struct Voice
    {
        float cents;
        float azimuth;    // radians, 0 ahead, positive to the left
        uint32_t offset;  // the first sample frame it plays
    };
    // A negative lowPassGainHf: no filter.
    OpenAlLoopbackVoices(const std::vector<int16_t>& samples, uint32_t sourceRate, uint32_t mixRate,
                         const std::vector<Voice>& voices, uint16_t blockFrames, float lowPassGainHf)
        : m_mix(2u * blockFrames), m_blockFrames(blockFrames)
    {
        auto openLoopback =
            reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        m_render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (!openLoopback || !m_render)
            return;
        m_device = openLoopback(nullptr);
        if (!m_device)
            return;
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                     ALC_FREQUENCY, static_cast<ALCint>(mixRate), ALC_MONO_SOURCES,
                                     static_cast<ALCint>(voices.size()), ALC_STEREO_SOURCES, 0, ALC_HRTF_SOFT,
                                     ALC_FALSE, ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
        m_context = alcCreateContext(m_device, attributes);
        if (!m_context || !alcMakeContextCurrent(m_context))
            return;
        alDistanceModel(AL_NONE);

        alGenBuffers(1, &m_buffer);
        alBufferData(m_buffer, AL_FORMAT_MONO16, samples.data(), static_cast<ALsizei>(samples.size() * sizeof(int16_t)),
                     static_cast<ALsizei>(sourceRate));

        ALint linear = 0;
        auto resamplerName = reinterpret_cast<const ALchar* (*)(ALenum, ALsizei)>(alGetProcAddress("alGetStringiSOFT"));
        ALint resamplers = 0;
        alGetIntegerv(AL_NUM_RESAMPLERS_SOFT, &resamplers);
        for (ALint i = 0; resamplerName && i < resamplers; ++i)
            if (std::string(resamplerName(AL_RESAMPLER_NAME_SOFT, i)).find("Linear") != std::string::npos)
                linear = i;

        if (lowPassGainHf >= 0.0f)
        {
            auto genFilters = reinterpret_cast<LPALGENFILTERS>(alGetProcAddress("alGenFilters"));
            auto filteri = reinterpret_cast<LPALFILTERI>(alGetProcAddress("alFilteri"));
            auto filterf = reinterpret_cast<LPALFILTERF>(alGetProcAddress("alFilterf"));
            genFilters(1, &m_filter);
            filteri(m_filter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
            filterf(m_filter, AL_LOWPASS_GAIN, 1.0f);
            filterf(m_filter, AL_LOWPASS_GAINHF, lowPassGainHf);
        }

        m_sources.resize(voices.size());
        alGenSources(static_cast<ALsizei>(voices.size()), m_sources.data());
        for (size_t v = 0; v < voices.size(); ++v)
        {
            const ALuint source = m_sources[v];
            alSourcei(source, AL_BUFFER, static_cast<ALint>(m_buffer));
            alSourcei(source, AL_LOOPING, AL_TRUE);
            alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
            alSourcei(source, AL_SOURCE_RESAMPLER_SOFT, linear);
            alSourcef(source, AL_PITCH, std::exp2(voices[v].cents / 1200.0f));
            // x right, z towards the listener: an azimuth to the left is negative x, ahead is -z.
            alSource3f(source, AL_POSITION, -std::sin(voices[v].azimuth), 0.0f, -std::cos(voices[v].azimuth));
            if (m_filter)
                alSourcei(source, AL_DIRECT_FILTER, static_cast<ALint>(m_filter));
            alSourcei(source, AL_SAMPLE_OFFSET, static_cast<ALint>(voices[v].offset));
            alSourcePlay(source);
        }
        m_ready = alGetError() == AL_NO_ERROR;
    }
    ~OpenAlLoopbackVoices()
    {
        if (m_context)
        {
            if (!m_sources.empty())
                alDeleteSources(static_cast<ALsizei>(m_sources.size()), m_sources.data());
            if (m_filter)
                reinterpret_cast<LPALDELETEFILTERS>(alGetProcAddress("alDeleteFilters"))(1, &m_filter);
            if (m_buffer)
                alDeleteBuffers(1, &m_buffer);
            alcMakeContextCurrent(nullptr);
            alcDestroyContext(m_context);
        }
        if (m_device)
            alcCloseDevice(m_device);
    }
    OpenAlLoopbackVoices(const OpenAlLoopbackVoices&) = delete;
    OpenAlLoopbackVoices& operator=(const OpenAlLoopbackVoices&) = delete;

    bool Ready() const { return m_ready; }
    // One block of every source into the stereo mix.
    const float* RenderBlock()
    {
        m_render(m_device, m_mix.data(), m_blockFrames);
        return m_mix.data();
    }

private:
    LPALCRENDERSAMPLESSOFT m_render = nullptr;
    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    ALuint m_buffer = 0;
    ALuint m_filter = 0;
    std::vector<ALuint> m_sources;
    std::vector<float> m_mix;
    uint16_t m_blockFrames;
    bool m_ready = false;
};
#endif
