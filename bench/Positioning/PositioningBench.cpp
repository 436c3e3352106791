// Positioning of 1,000 emitters heard by one listener, per frame: each emitter's ray geometry, its
// attenuation (dry, send and filter curves, cone), its listener filters, its ray in listener space
// and its three-dimensional mix matrix (a mono voice onto stereo and onto 5.1). Beside it, the
// two-dimensional matrix of the same voices. Reported per emitter and frame.
#include <ZkAudiolib/Common/Attenuations/CZkAttenuation.h>
#include <ZkAudiolib/Common/GameObjects/CZkEmitter.h>
#include <ZkAudiolib/Common/GameObjects/CZkListener.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Panning/SpeakerMasks.h>
#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>
#include <ZkAudiolib/Common/Positioning/CZkPositioningMath.h>

#include <Support/SpeakerDevice.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kEmitters = 1000;

struct PositioningEnvironment
{
    PositioningEnvironment()
    {
        // An attenuation as a bank holds it: a cone, dry and send on one curve, a low-pass, spread
        // and focus curves of three points each.
        std::vector<uint8_t> body;
        const auto put = [&body](const void* bytes, size_t count) {
            body.insert(body.end(), static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + count);
        };
        const uint32_t id = 1;
        const uint8_t flags[2] = {0, 1};
        const float cone[5] = {90.0f, 240.0f, -6.0f, 20.0f, 10.0f};
        const uint8_t map[7] = {0, 0, 255, 1, 255, 2, 3};
        const uint8_t curveCount = 4;
        put(&id, 4);
        put(flags, 2);
        put(cone, sizeof(cone));
        put(map, sizeof(map));
        put(&curveCount, 1);
        for (uint8_t curve = 0; curve < curveCount; ++curve)
        {
            const uint8_t scaling = 0;
            const uint16_t points = 3;
            put(&scaling, 1);
            put(&points, 2);
            const float xs[3] = {0.0f, 50.0f, 200.0f};
            for (uint32_t point = 0; point < points; ++point)
            {
                const float y = curve == 0 ? -10.0f * static_cast<float>(point) : 30.0f * static_cast<float>(point);
                const uint32_t shape = 4;
                put(&xs[point], 4);
                put(&y, 4);
                put(&shape, 4);
            }
        }
        const uint16_t noParameterCurves = 0;
        put(&noParameterCurves, 2);
        attenuation.ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
    }
    CZkOutputDevice& device = BenchSpeakerDevice();
    CZkAttenuation attenuation{1};
};

PositioningEnvironment& Environment()
{
    static PositioningEnvironment environment;
    return environment;
}

// Emitters on a spiral around the listener at the origin.
std::vector<ZkRay> Rays()
{
    std::vector<ZkRay> rays(kEmitters);
    for (uint32_t index = 0; index < kEmitters; ++index)
    {
        const float angle = 0.37f * static_cast<float>(index);
        const float radius = 5.0f + 0.15f * static_cast<float>(index);
        rays[index].emitter.position = {radius * std::sin(angle), 0.01f * static_cast<float>(index % 50),
                                        radius * std::cos(angle)};
        rays[index].listenerID = 1;
        rays[index].inputChannelMask = kZkAllInputChannels;
        rays[index].occlusionPercent = static_cast<float>(index % 7) * 10.0f;
    }
    return rays;
}

void BM_Positioning3D(benchmark::State& state, uint32_t outputMask)
{
    PositioningEnvironment& environment = Environment();
    const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    const ZkChannelConfig output = ZkChannelConfig::FromMask(outputMask);
    CZkListener listener;
    CZkEmitter emitter;
    const ZkListenerFrame frame = ZkListenerFrame::Of(listener);
    std::vector<ZkRay> rays = Rays();
    std::vector<float> matrix(ZkSpeakerMasks::RowStride(output.NumChannels()));
    std::vector<float> scratch(CZkPositioningMath::MultiRayScratchFloats(1, mono, output));
    ZkPositioningRay base;
    base.spread = 1.0f;
    base.focus = 1.0f;
    ZkMultiRayRequest request;
    request.input = mono;
    request.rayCount = 1;
    request.pan.pan3D = true;
    ZkMixMatrixTarget target;
    target.output = output;
    target.matrix = matrix.data();
    target.device = &environment.device;
    for (auto _ : state)
    {
        for (ZkRay& ray : rays)
        {
            ray.dryGain = ray.auxGain1 = ray.auxGain2 = 1.0f;
            CZkPositioningMath::ComputeRayDistanceAndAngles(listener, emitter, ray);
            CZkPositioningMath::ComputeRayAttenuation(&environment.attenuation, nullptr, &ray, 1);
            float lowPass = 0.0f, highPass = 0.0f;
            CZkPositioningMath::ComputeListenerFilters(&environment.attenuation, nullptr, &ray, 1, 1, 0, lowPass,
                                                       highPass);
            const ZkRay* collected = &ray;
            ZkPositioningRay item;
            CZkPositioningMath::ComputeRays(frame, &environment.attenuation, &collected, 1, base, 1, &item);
            request.items = &item;
            request.gains = &ray.dryGain;
            CZkPositioningMath::ComputeMultiRayMixMatrix(request, target, scratch.data());
            benchmark::DoNotOptimize(matrix.data());
            benchmark::DoNotOptimize(lowPass);
        }
    }
    state.counters["ns_per_emitter_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kEmitters, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Matrix2D(benchmark::State& state, uint32_t outputMask)
{
    PositioningEnvironment& environment = Environment();
    const ZkChannelConfig mono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    const ZkChannelConfig output = ZkChannelConfig::FromMask(outputMask);
    std::vector<float> matrix(ZkSpeakerMasks::RowStride(output.NumChannels()));
    ZkMixMatrixTarget target;
    target.output = output;
    target.matrix = matrix.data();
    target.device = &environment.device;
    ZkPanParams pan;
    pan.pan2D = true;
    for (auto _ : state)
    {
        for (uint32_t index = 0; index < kEmitters; ++index)
        {
            pan.panX = static_cast<float>(index % 200) * 0.01f - 1.0f;
            CZkPositioningMath::ComputeMixMatrix(mono, pan, 0, target);
            benchmark::DoNotOptimize(matrix.data());
        }
    }
    state.counters["ns_per_emitter_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kEmitters, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(BM_Positioning3D, mono_to_stereo, ZK_SPEAKER_SETUP_STEREO)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Positioning3D, mono_to_5_1, ZK_SPEAKER_SETUP_5POINT1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Matrix2D, mono_to_stereo, ZK_SPEAKER_SETUP_STEREO)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Matrix2D, mono_to_5_1, ZK_SPEAKER_SETUP_5POINT1)->Unit(benchmark::kMicrosecond);
} // namespace
