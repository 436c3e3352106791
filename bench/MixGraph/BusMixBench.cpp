// One stereo bus mixing 128 mono inputs per frame through their connections (ramped volume
// matrices, the bus's kernels), beside the same mix as a plain loop compiled without
// vectorisation. Cost: ns per input frame (one frame of one input).
//   BusMix/ours        CZkMixBus::MixInput of every connection, then the bus's end of frame
//   BusMix/loop_no_vectorise
#include "BusMixPeerScalar.h"
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include "ZkAudiolib/Common/Mixing/ZkKernelTables.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"
#include "ZkAudiolib/Common/Voice/ZkPipelineBuffer.h"

#include <cmath>
#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kInputs = 128;
constexpr uint16_t kFrames = 1024;

class MonoInput final : public CZkMixContext
{
public:
    ZkChannelConfig GetOutputConfig() const override { return ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO); }
};

// A bus of its own, outside the renderer's graph.
class StandaloneBus final : public CZkMixBus
{
public:
    StandaloneBus()
    {
        Init(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), ZkMixBusKey());
        SetVolumeDb(0.0f);
    }
};

float Sample(uint32_t input, uint32_t k) { return std::sin(0.01f * static_cast<float>((input + 1) * (k + 1))) * 0.1f; }

struct Inputs
{
    Inputs()
    {
        EnsureMemoryMgr();
        ZkKernelTables::InitMixerKernels();
        SetAudioFormatGlobals(48000, kFrames);
        samples.resize(kInputs);
        for (uint32_t i = 0; i < kInputs; ++i)
        {
            samples[i].resize(kFrames);
            for (uint32_t k = 0; k < kFrames; ++k)
                samples[i][k] = Sample(i, k);
            pointers.push_back(samples[i].data());
            gains.push_back(0.5f);
            gains.push_back(0.25f);
            steps.push_back(0.1f / kFrames);
            steps.push_back(-0.05f / kFrames);
        }
    }
    std::vector<std::vector<float>> samples;
    std::vector<const float*> pointers;
    std::vector<float> gains;
    std::vector<float> steps;
};

Inputs& Shared()
{
    static Inputs inputs;
    return inputs;
}

void Ours(benchmark::State& state)
{
    Inputs& inputs = Shared();
    StandaloneBus bus;
    std::vector<std::unique_ptr<MonoInput>> contexts;
    std::vector<ZkPipelineBuffer> blocks(kInputs);
    std::vector<CZkMixerInputContext*> connections;
    for (uint32_t i = 0; i < kInputs; ++i)
    {
        contexts.push_back(std::make_unique<MonoInput>());
        CZkMixerInputContext* connection = contexts.back()->ConnectTo(bus, kConnectionDirect);
        ZkMixInputEntry& entry = connection->Entry(0);
        entry.matrices.Allocate(1, 2);
        entry.matrices.previous[0] = inputs.gains[2 * i];
        entry.matrices.previous[1] = inputs.gains[2 * i + 1];
        entry.matrices.current[0] = inputs.gains[2 * i] + 0.1f;
        entry.matrices.current[1] = inputs.gains[2 * i + 1] - 0.05f;
        blocks[i].AttachData(inputs.samples[i].data(), kFrames, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO));
        blocks[i].status = ZK_DataReady;
        connections.push_back(connection);
    }
    PeerBench::MeasurePerUnit(state, "input_frame", static_cast<double>(kInputs) * kFrames, [&] {
        for (uint32_t i = 0; i < kInputs; ++i)
        {
            connections[i]->Entry(0).buffer = &blocks[i];
            bus.MixInput(*connections[i]);
        }
        benchmark::DoNotOptimize(bus.Objects()[0].buffer.data);
        bus.EndFrame();
    });
    for (auto& context : contexts)
        while (context->FirstOutput() != nullptr)
            context->RemoveConnection(context->FirstOutput());
}

void LoopNoVectorise(benchmark::State& state)
{
    Inputs& inputs = Shared();
    std::vector<float> left(kFrames);
    std::vector<float> right(kFrames);
    PeerBench::MeasurePerUnit(state, "input_frame", static_cast<double>(kInputs) * kFrames, [&] {
        BusMixPeer::MixMonoInputsIntoStereo(inputs.pointers.data(), kInputs, inputs.gains.data(), inputs.steps.data(),
                                           left.data(), right.data(), kFrames);
        benchmark::DoNotOptimize(left.data());
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
    });
}

const bool s_registered = [] {
    PeerBench::PeerRuns("BusMix/128_mono_into_stereo", "ours", Ours);
    PeerBench::PeerRuns("BusMix/128_mono_into_stereo", "loop_no_vectorise", LoopNoVectorise);
    return true;
}();
} // namespace
