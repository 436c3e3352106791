// The voice's modulation stage for 512 stereo voices, each with one audio-rate modulator (its own
// buffer of 1024 gains) and one control-rate ramp on its volume, in nanoseconds per sample frame
// (one sample of every channel of one voice):
//   ours          the stage's two gain forms (the kernels this processor runs)
//   plain_loop    one plain loop doing both products per sample, as a user would write it
//   unmodulated   the stage on the same blocks with no modulators: the block passes unchanged
#include "Support/PeerRatios.h"

#include "ZkAudiolib/Common/Voice/CZkModulationStage.h"

#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kVoices = 512;
constexpr uint32_t kChannels = 2;
constexpr uint16_t kFrames = 1024;

struct Voices
{
    std::vector<float> samples;
    std::vector<float> modulation;
    std::vector<ZkAudioBuffer> blocks;

    Voices() : samples(size_t{kVoices} * kChannels * kFrames, 0.25f), modulation(size_t{kVoices} * kFrames), blocks(kVoices)
    {
        for (size_t i = 0; i < modulation.size(); ++i)
            modulation[i] = 0.5f + 0.5f * static_cast<float>(i % 97) / 97.0f;
        for (uint32_t v = 0; v < kVoices; ++v)
            blocks[v].AttachData(samples.data() + size_t{v} * kChannels * kFrames, kFrames, ZkChannelConfig::Anonymous(kChannels));
    }
    const float* Modulation(uint32_t voice) const { return modulation.data() + size_t{voice} * kFrames; }
};

class NoLinks final : public IZkModulationOwner
{
public:
    const CZkModulatorLinks* GetModulatorLinks() const override { return nullptr; }
    bool HasConstantModulation() const override { return false; }
    int32_t GetStopFrame() const override { return -1; }
};

// Gains that stay near 1 so that repeated passes neither vanish nor overflow.
constexpr float kScale = 0.002f;
constexpr float kOffset = 0.999f;
constexpr ZkControlRateModulation kRamp{0.9995f, 1.0005f};

template <class Pass>
void Run(benchmark::State& state, Pass pass)
{
    Voices voices;
    PeerBench::NsPerUnit cost(state, "sample_frame");
    cost.Start();
    for (auto _ : state)
    {
        for (uint32_t v = 0; v < kVoices; ++v)
            pass(voices, v);
        benchmark::ClobberMemory();
    }
    cost.Stop(static_cast<double>(state.iterations()) * kVoices * kFrames);
}

void Ours(benchmark::State& state)
{
    Run(state, [](Voices& voices, uint32_t v) {
        CZkModulationStage::ApplyAudioRate(voices.blocks[v], ZkAudioRateModulation{kOffset, kScale, voices.Modulation(v)});
        CZkModulationStage::ApplyControlRate(voices.blocks[v], kRamp);
    });
}

void PlainLoop(benchmark::State& state)
{
    Run(state, [](Voices& voices, uint32_t v) {
        const float* m = voices.Modulation(v);
        const float step = (kRamp.end - kRamp.start) / kFrames;
        for (uint32_t c = 0; c < kChannels; ++c)
        {
            float* x = voices.blocks[v].GetChannel(c);
            for (uint32_t k = 0; k < kFrames; ++k)
                x[k] *= (kScale * m[k] + kOffset) * (kRamp.start + static_cast<float>(k) * step);
        }
    });
}

void Unmodulated(benchmark::State& state)
{
    static NoLinks owner;
    static CZkModulationStage stage;
    stage.SetOwner(&owner);
    Run(state, [](Voices& voices, uint32_t v) { stage.Process(voices.blocks[v]); });
}

[[maybe_unused]] const bool kRegistered = [] {
    ZK::ZkRuntimeEnvironmentMgr::Instance(); // the processor's features are read before the runs
    PeerBench::PeerRuns("ModulationStage/512_stereo_voices", "ours", Ours);
    PeerBench::PeerRuns("ModulationStage/512_stereo_voices", "plain_loop", PlainLoop);
    PeerBench::PeerRuns("ModulationStage/512_stereo_voices", "unmodulated", Unmodulated);
    return true;
}();
} // namespace
