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
#include "Support/OpenAlLoopbackVoices.h"
#include "Support/PeerRatios.h"

#include <Plugins/Effects/Common/ZkDspAudioFormat.h>
#include <Plugins/Effects/Common/ZkSrcLpHpFilter.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMixer.h>
#include <ZkAudiolib/Common/Mixing/ZkFlushDenormals.h>
#include <ZkAudiolib/Common/Mixing/ZkKernelTables.h>
#include <ZkAudiolib/Common/Voice/ZkResampler.h>

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
    PeerBench::MeasureVoiceBlocks<Voices>(state, Filtered, static_cast<double>(kVoices) * kBlockFrames);
}

#if KP_BENCH_OPENAL
class OpenAlVoices
{
public:
    explicit OpenAlVoices(bool filtered)
        : m_voices(SourceSamples(), kSourceRate, kMixRate, Voices(), kBlockFrames, filtered ? kOpenAlGainHf : -1.0f)
    {
    }
    bool Ready() const { return m_voices.Ready(); }
    void RenderBlock() { benchmark::DoNotOptimize(m_voices.RenderBlock()); }

private:
    static std::vector<OpenAlLoopbackVoices::Voice> Voices()
    {
        const std::vector<VoiceSetting> settings = VoiceSettings();
        std::vector<OpenAlLoopbackVoices::Voice> voices(kVoices);
        for (uint32_t v = 0; v < kVoices; ++v)
            voices[v] = {settings[v].cents, settings[v].azimuth, (v * 997u) % kSourceFrames};
        return voices;
    }

    OpenAlLoopbackVoices m_voices;
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
