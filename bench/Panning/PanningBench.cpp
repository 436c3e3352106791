// Panning benchmarks: building whole mixing matrices (standard downmix, 2-D panning, steering and
// a cached ambisonic decoder), and panning one direction onto the layouts of 2.0, 5.1 and 7.1.4
// (pairwise for the planar rings, VBAP for 7.1.4).
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Panning/SpeakerMasks.h>
#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>

#include <Support/SpeakerDevice.h>


#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
ZkChannelConfig Speakers(uint32_t mask) { return ZkChannelConfig::FromMask(mask); }

void BuildMatrix(benchmark::State& state, ZkChannelConfig input, ZkChannelConfig output, uint32_t type)
{
    CZkOutputDevice& device = BenchSpeakerDevice();
    std::vector<float> matrix(input.NumChannels() * ZkSpeakerMasks::RowStride(output.NumChannels()));
    float pan = 0.0f;
    for (auto _ : state)
    {
        CZkSpeakerPan::ComputeSpeakerVolumes(pan, 0.3f, 0.1f, 0.5f, type, input, output, matrix.data(), &device);
        benchmark::DoNotOptimize(matrix.data());
        pan = pan > 0.9f ? -1.0f : pan + 0.01f;
    }
}

void BM_Matrix_Downmix_7_1_4_to_5_1(benchmark::State& state) { BuildMatrix(state, Speakers(0x2D63F), Speakers(0x60F), 0); }
void BM_Matrix_Pan2D_5_1_to_7_1(benchmark::State& state) { BuildMatrix(state, Speakers(0x60F), Speakers(0x63F), 1); }
void BM_Matrix_Steering_7_1_to_7_1_4(benchmark::State& state) { BuildMatrix(state, Speakers(0x63F), Speakers(0x2D63F), 2); }
void BM_Matrix_AmbisonicDecode_3rd_to_7_1_4(benchmark::State& state)
{
    BuildMatrix(state, ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | 16), Speakers(0x2D63F), 0);
}
void BM_Matrix_SpeakerEncode_7_1_4_to_3rd(benchmark::State& state)
{
    BuildMatrix(state, Speakers(0x2D63F), ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | 16), 0);
}

// One direction (turning a little every iteration) panned onto a layout.
void PanDirection(benchmark::State& state, uint32_t mask)
{
    const ZkSpeakerLayout* layout = BenchSpeakerDevice().GetSpeakerLayout(Speakers(mask));
    if (layout == nullptr)
    {
        state.SkipWithError("no layout");
        return;
    }
    float gains[ZkSpeakerMasks::kMaxSpeakerChannels] = {};
    float azimuth = 0.0f;
    const uint32_t speakers = ZkSpeakerMasks::CountOf(mask & ~ZK_SPEAKER_LOW_FREQUENCY);
    for (auto _ : state)
    {
        if (layout->vbap != nullptr)
            layout->vbap->ComputeGainsForAngles(azimuth, 0.3f, speakers, gains);
        else
        {
            for (uint32_t s = 0; s < speakers; ++s)
                gains[s] = 0.0f;
            CZkSpeakerPan::PanPairwise(layout->ring.pairs, layout->ring.positionCount, -std::sin(azimuth),
                                       std::cos(azimuth), 1.0f, layout->ring.channels, gains);
        }
        benchmark::DoNotOptimize(gains);
        azimuth = azimuth > 3.1f ? -3.1f : azimuth + 0.05f;
    }
}

void BM_PanDirection_2_0(benchmark::State& state) { PanDirection(state, 0x3); }
void BM_PanDirection_5_1(benchmark::State& state) { PanDirection(state, 0x60F); }
void BM_PanDirection_7_1_4(benchmark::State& state) { PanDirection(state, 0x2D63F); }
} // namespace

BENCHMARK(BM_Matrix_Downmix_7_1_4_to_5_1);
BENCHMARK(BM_Matrix_Pan2D_5_1_to_7_1);
BENCHMARK(BM_Matrix_Steering_7_1_to_7_1_4);
BENCHMARK(BM_Matrix_AmbisonicDecode_3rd_to_7_1_4);
BENCHMARK(BM_Matrix_SpeakerEncode_7_1_4_to_3rd);
BENCHMARK(BM_PanDirection_2_0);
BENCHMARK(BM_PanDirection_5_1);
BENCHMARK(BM_PanDirection_7_1_4);
