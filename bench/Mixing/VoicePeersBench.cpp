// A full voice against OpenAL Soft: 256 voices, each a mono 16-bit source at 44.1 kHz played at a
// random pitch, resampled (linear), low-pass filtered or not, and panned onto a stereo float mix at
// 48 kHz, 512 frames per block; nanoseconds per voice-frame (a block costs 256 x 512 of them).
//   ours      per voice: CZkResampler (16-bit mono, linear), the voice's filter pair (low-pass only)
//             in place, ZkMixer::MixOneInNChannels onto the stereo mix; with the kernel tables and the
//             filter forms the renderer installs, inside the render scope that flushes denormals
//   openal    OpenAL Soft through its loopback device (ALC_SOFT_loopback, alcRenderSamplesSOFT,
//             stereo float at 48 kHz, no HRTF, no limiter), 256 looping sources on one 16-bit mono
//             buffer, the linear resampler, and an EFX low-pass direct filter when filtered
// The unfiltered voice of each is measured too; the goal is ours filtered against OpenAL's
// unfiltered voice, so that comparison is printed as its own ratio.
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include <Plugins/Effects/Common/ZkDspAudioFormat.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>
#include <ZkAudiolib/Common/Mixing/ZkFlushDenormals.h>
#include <ZkAudiolib/Common/Mixing/ZkKernelTables.h>
#include <ZkAudiolib/Common/Voice/ZkResampler.h>

#if KP_BENCH_OPENAL
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>
#endif

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr uint32_t kVoices = 256;
constexpr uint16_t kBlockFrames = 512;
constexpr uint32_t kSourceRate = 44100;
constexpr uint32_t kMixRate = 48000;
constexpr uint32_t kSourceFrames = kSourceRate; // one second, looped
constexpr float kLowestCents = -600.0f;
constexpr float kHighestCents = 600.0f;
constexpr float kLowPassValue = 40.0f;  // our 0-100 scale: about 2.4 kHz
constexpr float kOpenAlGainHf = 0.25f;  // OpenAL's low-pass: the gain above its reference frequency
constexpr float kPi = 3.14159265f;

std::vector<int16_t> SourceSamples()
{
    std::vector<int16_t> samples(kSourceFrames);
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    for (uint32_t i = 0; i < kSourceFrames; ++i)
    {
        const float tone = 0.6f * std::sin(2.0f * kPi * 440.0f * static_cast<float>(i) / kSourceRate);
        samples[i] = static_cast<int16_t>((tone + noise(generator)) * 32767.0f);
    }
    return samples;
}

struct VoiceSetting
{
    float cents;
    float azimuth; // radians, 0 ahead, positive to the left
};

std::vector<VoiceSetting> VoiceSettings()
{
    std::mt19937 generator(11);
    std::uniform_real_distribution<float> cents(kLowestCents, kHighestCents);
    std::uniform_real_distribution<float> azimuth(-kPi / 2.0f, kPi / 2.0f);
    std::vector<VoiceSetting> settings(kVoices);
    for (VoiceSetting& s : settings)
        s = {cents(generator), azimuth(generator)};
    return settings;
}

struct OurVoice
{
    CZkResampler resampler;
    CZkSrcLpHpFilter filter;
    uint32_t position = 0;
    float volumes[2] = {};
};

class OurVoices
{
public:
    explicit OurVoices(bool filtered) : m_filtered(filtered), m_source(SourceSamples()), m_scratch(kBlockFrames), m_mix(2 * kBlockFrames)
    {
        EnsureMemoryMgr();
        ZkKernelTables::InitMixerKernels();
        ZkKernelTables::InitResamplerKernels();
        ZkDspAudioFormat::Set(kMixRate, kBlockFrames);
        const std::vector<VoiceSetting> settings = VoiceSettings();
        m_voices = std::make_unique<OurVoice[]>(kVoices);
        ZkAudioFormat format;
        format.sampleRate = kSourceRate;
        format.channelConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
        format.formatBits = 16;
        for (uint32_t v = 0; v < kVoices; ++v)
        {
            OurVoice& voice = m_voices[v];
            voice.resampler.Init();
            voice.resampler.Setup(format, kMixRate);
            voice.resampler.SetPitch(settings[v].cents, false);
            voice.position = (v * 997u) % kSourceFrames;
            // Constant-power pan: left gets the cosine of the angle from hard left.
            const float angle = (kPi / 2.0f - settings[v].azimuth) / 2.0f;
            voice.volumes[0] = std::cos(angle);
            voice.volumes[1] = std::sin(angle);
            voice.filter.Init();
            if (filtered)
            {
                if (voice.filter.Setup(format.channelConfig) != ZK_Success)
                    std::abort();
                voice.filter.SetLowPassTarget(kLowPassValue);
            }
        }
    }
    ~OurVoices()
    {
        for (uint32_t v = 0; v < kVoices; ++v)
        {
            m_voices[v].filter.Term();
            m_voices[v].resampler.Term();
        }
    }

    bool Ready() const { return true; }
    void RenderBlock()
    {
        ZkFlushDenormals renderScope;
        ZkAudioBuffer mix;
        mix.AttachData(m_mix.data(), kBlockFrames, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
        std::fill(m_mix.begin(), m_mix.end(), 0.0f);
        const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
        const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
        for (uint32_t v = 0; v < kVoices; ++v)
        {
            OurVoice& voice = m_voices[v];
            ZkAudioBuffer out;
            out.AttachData(m_scratch.data(), kBlockFrames, mono);
            out.validFrames = 0;
            voice.resampler.framesWanted = kBlockFrames;
            for (;;)
            {
                const uint32_t available = kSourceFrames - voice.position;
                ZkAudioBuffer in;
                in.AttachData(m_source.data() + voice.position, static_cast<uint16_t>(std::min<uint32_t>(available, 0xFFF0u)), mono);
                const uint16_t given = in.validFrames;
                const ZKRESULT result = voice.resampler.Execute(&in, &out);
                voice.position += given - in.validFrames;
                if (voice.position >= kSourceFrames)
                    voice.position = 0;
                if (result == ZK_DataReady)
                    break;
            }
            voice.resampler.ResetOffsets();
            if (m_filtered)
                voice.filter.Process(&out);
            ZkRamp base;
            ZkMixer::MixOneInNChannels(m_scratch.data(), &mix, stereo, base, voice.volumes, voice.volumes,
                                       1.0f / kBlockFrames, kBlockFrames);
        }
        benchmark::DoNotOptimize(m_mix.data());
    }

private:
    bool m_filtered;
    std::vector<int16_t> m_source;
    std::vector<float> m_scratch;
    std::vector<float> m_mix;
    std::unique_ptr<OurVoice[]> m_voices;
};

// Renders blocks of every voice; ns per voice-frame.
template <class Voices, bool Filtered>
void RenderVoices(benchmark::State& state)
{
    Voices voices(Filtered);
    if (!voices.Ready())
    {
        state.SkipWithError("voices not available");
        return;
    }
    voices.RenderBlock();
    PeerBench::MeasurePerUnit(state, "voice_frame", static_cast<double>(kVoices) * kBlockFrames, [&] { voices.RenderBlock(); });
}

#if KP_BENCH_OPENAL
class OpenAlVoices
{
public:
    explicit OpenAlVoices(bool filtered) : m_mix(2 * kBlockFrames)
    {
        auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        m_render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (!openLoopback || !m_render)
            return;
        m_device = openLoopback(nullptr);
        if (!m_device)
            return;
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                     ALC_FREQUENCY, static_cast<ALCint>(kMixRate), ALC_MONO_SOURCES, static_cast<ALCint>(kVoices),
                                     ALC_STEREO_SOURCES, 0, ALC_HRTF_SOFT, ALC_FALSE, ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
        m_context = alcCreateContext(m_device, attributes);
        if (!m_context || !alcMakeContextCurrent(m_context))
            return;
        alDistanceModel(AL_NONE);

        const std::vector<int16_t> samples = SourceSamples();
        alGenBuffers(1, &m_buffer);
        alBufferData(m_buffer, AL_FORMAT_MONO16, samples.data(), static_cast<ALsizei>(samples.size() * sizeof(int16_t)), kSourceRate);

        ALint linear = 0;
        auto resamplerName = reinterpret_cast<const ALchar* (*)(ALenum, ALsizei)>(alGetProcAddress("alGetStringiSOFT"));
        ALint resamplers = 0;
        alGetIntegerv(AL_NUM_RESAMPLERS_SOFT, &resamplers);
        for (ALint i = 0; resamplerName && i < resamplers; ++i)
            if (std::string(resamplerName(AL_RESAMPLER_NAME_SOFT, i)).find("Linear") != std::string::npos)
                linear = i;

        if (filtered)
        {
            auto genFilters = reinterpret_cast<LPALGENFILTERS>(alGetProcAddress("alGenFilters"));
            auto filteri = reinterpret_cast<LPALFILTERI>(alGetProcAddress("alFilteri"));
            auto filterf = reinterpret_cast<LPALFILTERF>(alGetProcAddress("alFilterf"));
            genFilters(1, &m_filter);
            filteri(m_filter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
            filterf(m_filter, AL_LOWPASS_GAIN, 1.0f);
            filterf(m_filter, AL_LOWPASS_GAINHF, kOpenAlGainHf);
        }

        const std::vector<VoiceSetting> settings = VoiceSettings();
        m_sources.resize(kVoices);
        alGenSources(static_cast<ALsizei>(kVoices), m_sources.data());
        for (uint32_t v = 0; v < kVoices; ++v)
        {
            const ALuint source = m_sources[v];
            alSourcei(source, AL_BUFFER, static_cast<ALint>(m_buffer));
            alSourcei(source, AL_LOOPING, AL_TRUE);
            alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
            alSourcei(source, AL_SOURCE_RESAMPLER_SOFT, linear);
            alSourcef(source, AL_PITCH, std::exp2(settings[v].cents / 1200.0f));
            // x right, z towards the listener: an azimuth to the left is negative x, ahead is -z.
            alSource3f(source, AL_POSITION, -std::sin(settings[v].azimuth), 0.0f, -std::cos(settings[v].azimuth));
            if (filtered)
                alSourcei(source, AL_DIRECT_FILTER, static_cast<ALint>(m_filter));
            alSourcei(source, AL_SAMPLE_OFFSET, static_cast<ALint>((v * 997u) % kSourceFrames));
            alSourcePlay(source);
        }
        m_ready = alGetError() == AL_NO_ERROR;
    }
    ~OpenAlVoices()
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
    bool Ready() const { return m_ready; }
    void RenderBlock()
    {
        m_render(m_device, m_mix.data(), kBlockFrames);
        benchmark::DoNotOptimize(m_mix.data());
    }

private:
    LPALCRENDERSAMPLESSOFT m_render = nullptr;
    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    ALuint m_buffer = 0;
    ALuint m_filter = 0;
    std::vector<ALuint> m_sources;
    std::vector<float> m_mix;
    bool m_ready = false;
};

#endif

const bool s_registered = [] {
    PeerBench::PeerRuns("Voice/unfiltered", "ours", RenderVoices<OurVoices, false>);
    PeerBench::PeerRuns("Voice/filtered", "ours", RenderVoices<OurVoices, true>);
    PeerBench::PeerRuns("Voice/filtered_vs_unfiltered_peer", "ours", RenderVoices<OurVoices, true>);
#if KP_BENCH_OPENAL
    PeerBench::PeerRuns("Voice/unfiltered", "openal", RenderVoices<OpenAlVoices, false>);
    PeerBench::PeerRuns("Voice/filtered", "openal", RenderVoices<OpenAlVoices, true>);
    PeerBench::PeerRuns("Voice/filtered_vs_unfiltered_peer", "openal_unfiltered", RenderVoices<OpenAlVoices, false>);
#endif
    return true;
}();
} // namespace
