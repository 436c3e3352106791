// The render pass against OpenAL Soft: 32, 128 and 512 voices, each a mono 16-bit source at
// 44.1 kHz looping at a random pitch (uniform within +-600 cents), rendered into a stereo float mix
// at 48 kHz, 1024 frames per block; nanoseconds per voice-frame (a block costs voices x 1024).
//   ours      the running engine rendering offline on the base sink (no endpoint), one RenderAudio
//             per block: a bank of one bus on the main device and one looping sound whose pitch
//             range the engine draws from, posted once per voice; each frame runs the whole tick
//             and render pass (voice preparation, resampling, the 2-D pan of a mono voice
//             unpositioned onto stereo, the bus, the master mix and the device)
//   openal    OpenAL Soft's loopback device with as many looping sources of the same kind of
//             buffer, the linear resampler, no HRTF, no filter. OpenAL pans every source in three
//             dimensions, while ours pans in two here: the peer does somewhat more panning work.
#include "Support/BenchEngine.h"
#include "Support/OpenAlLoopbackVoices.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint16_t kBlockFrames = 1024;
constexpr uint32_t kSourceRate = 44100;
constexpr uint32_t kMixRate = 48000;
constexpr uint32_t kSourceFrames = kSourceRate; // one second, looped
constexpr float kLowestCents = -600.0f;
constexpr float kHighestCents = 600.0f;
constexpr ZkGameObjectID kObject = 7;
constexpr uint32_t kStartFrames = 4;

// The bank of the benchmark, written by the project's bank writer.
std::vector<uint8_t> BenchBank()
{
    const std::string description = R"({"name": "RenderBench.bnk",
      "media": [{"id": 1, "wave": {"rate": 44100, "channels": 1, "frames": 44100,
                 "parts": [{"tone": 440, "amp": 0.6}]}}],
      "chunks": [{"tag": "BKHD"}, {"tag": "STMG", "max_voices": 1024, "second_voice_limit": 1024},
                 {"tag": "DIDX"}, {"tag": "DATA"},
        {"tag": "HIRC", "items": [
          {"type": "bus", "id": "Bench Bus", "device": "System"},
          {"type": "sound", "id": 10, "media": 1, "bus": "Bench Bus", "props": {"loop_count": 0},
           "ranges": {"2": [-600, 600]}},
          {"type": "action", "id": 20, "action": "play", "target": 10},
          {"type": "event", "id": "Play_Voice", "actions": [20]}]}]})";
    return WrittenBank(description, "zk_render_bench");
}

class EngineVoices
{
public:
    explicit EngineVoices(uint32_t voices)
    {
        if (!m_engine.Started())
            return;
        SetOfflineRenderingFrameTime(static_cast<float>(kBlockFrames) / kMixRate);
        SetRandomSeed(11);
        m_bank = BenchBank();
        ZkBankID bank = 0;
        if (m_bank.empty() || LoadBankMemoryView(m_bank.data(), static_cast<uint32_t>(m_bank.size()), bank) != ZK_Success)
            return;
        RegisterGameObj(kObject);
        RenderAudio(true);
        for (uint32_t v = 0; v < voices; ++v)
            PostEvent("Play_Voice", kObject);
        for (uint32_t frame = 0; frame < kStartFrames; ++frame)
            RenderAudio(true);
        m_ready = CZkAudioRenderer::VoiceCount() == voices;
    }
    bool Ready() const { return m_ready; }
    void RenderBlock() { RenderAudio(true); }

private:
    std::vector<uint8_t> m_bank; // viewed by the engine until its end: declared before it
    BenchEngine m_engine;
    bool m_ready = false;
};

#if KP_BENCH_OPENAL
class OpenAlVoices
{
public:
    explicit OpenAlVoices(uint32_t voices)
        : m_voices(SourceSamples(), kSourceRate, kMixRate, Voices(voices), kBlockFrames, -1.0f)
    {
    }
    bool Ready() const { return m_voices.Ready(); }
    void RenderBlock() { benchmark::DoNotOptimize(m_voices.RenderBlock()); }

private:
    static std::vector<int16_t> SourceSamples()
    {
        std::vector<int16_t> samples(kSourceFrames);
        for (uint32_t i = 0; i < kSourceFrames; ++i)
            samples[i] = static_cast<int16_t>(0.6 * 32767.0 * std::sin(2.0 * M_PI * 440.0 * i / kSourceRate));
        return samples;
    }
    // Unpositioned: every source straight ahead.
    static std::vector<OpenAlLoopbackVoices::Voice> Voices(uint32_t count)
    {
        std::mt19937 generator(11);
        std::uniform_real_distribution<float> cents(kLowestCents, kHighestCents);
        std::vector<OpenAlLoopbackVoices::Voice> voices(count);
        for (OpenAlLoopbackVoices::Voice& voice : voices)
            voice = {cents(generator), 0.0f, 0};
        return voices;
    }

    OpenAlLoopbackVoices m_voices;
};
#endif

template <class Voices, uint32_t Count>
void RenderVoices(benchmark::State& state)
{
    PeerBench::MeasureVoiceBlocks<Voices>(state, Count, static_cast<double>(Count) * kBlockFrames);
}

template <uint32_t Count>
void Register()
{
    const std::string comparison = "RenderPass/" + std::to_string(Count) + "_voices";
    PeerBench::PeerRuns(comparison, "ours", RenderVoices<EngineVoices, Count>);
#if KP_BENCH_OPENAL
    PeerBench::PeerRuns(comparison, "openal", RenderVoices<OpenAlVoices, Count>);
#endif
}

const bool s_registered = [] {
    Register<32>();
    Register<128>();
    Register<512>();
    return true;
}();
} // namespace
