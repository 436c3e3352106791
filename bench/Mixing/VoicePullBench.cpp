// A PCM voice pulled frame by frame, as the render pass pulls it: the source hands out the media's
// 16-bit frames in place, the resampling stage turns them into planar floats at 48 kHz (the copy
// path for 48 kHz media, interpolation for 44.1 kHz), then the filter and modulation stages (off).
// The media is a looping tone in memory, played forever. Counters: ns_per_frame (per output frame)
// and ns_per_frame_ch (per output frame and channel, beside the resampler's own figures above).
#include "BenchSupport.h"
#include "Support/BenchMemory.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>
#include <ZkAudiolib/Common/Buffers/AudioBufferPool.h>
#include <ZkAudiolib/Common/Bytes/ZkByteCursor.h>
#include <ZkAudiolib/Common/Hierarchy/ZkMediaRef.h>
#include <ZkAudiolib/Common/Playback/CZkActiveInstances.h>
#include <ZkAudiolib/Common/Playback/CZkPlayingInstance.h>
#include <ZkAudiolib/Common/Plugins/PluginRegistry.h>
#include <ZkAudiolib/Common/Sources/CZkVoiceSource.h>
#include <ZkAudiolib/Common/Voice/CZkVoice.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kEngineRate = 48000;
constexpr uint16_t kFramesPerBuffer = 1024;
constexpr uint32_t kMediaSeconds = 4;
constexpr float kThresholdDb = -96.3f;
constexpr int32_t kPcmKey = 0x10001;

// A WAVE-extensible file of a 1 kHz tone (16-bit, interleaved).
std::vector<uint8_t> ToneFile(uint32_t rate, uint16_t channels)
{
    const uint32_t frames = rate * kMediaSeconds;
    const uint16_t blockAlign = static_cast<uint16_t>(channels * 2);
    const uint32_t dataBytes = frames * blockAlign;
    std::vector<uint8_t> file(12 + 8 + 40 + 8 + dataBytes);
    uint8_t* p = file.data();
    std::memcpy(p, "RIFF", 4);
    ZK::StoreLittleEndian<uint32_t>(p + 4, static_cast<uint32_t>(file.size() - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    ZK::StoreLittleEndian<uint32_t>(p + 16, 40);
    uint8_t* format = p + 20;
    ZK::StoreLittleEndian<uint16_t>(format, 0xFFFE);
    ZK::StoreLittleEndian<uint16_t>(format + 2, channels);
    ZK::StoreLittleEndian<uint32_t>(format + 4, rate);
    ZK::StoreLittleEndian<uint32_t>(format + 8, rate * blockAlign);
    ZK::StoreLittleEndian<uint16_t>(format + 12, blockAlign);
    ZK::StoreLittleEndian<uint16_t>(format + 14, 16);
    ZK::StoreLittleEndian<uint16_t>(format + 16, 22);
    ZK::StoreLittleEndian<uint16_t>(format + 18, 16);
    ZK::StoreLittleEndian<uint32_t>(format + 20, channels == 1 ? 0x4101u : 0x3102u);
    std::memcpy(p + 60, "data", 4);
    ZK::StoreLittleEndian<uint32_t>(p + 64, dataBytes);
    auto* samples = reinterpret_cast<int16_t*>(p + 68);
    for (uint32_t f = 0; f < frames; ++f)
        for (uint16_t c = 0; c < channels; ++c)
            samples[f * channels + c] = static_cast<int16_t>(16000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * f / rate));
    return file;
}

void PullVoice(benchmark::State& state, uint32_t mediaRate, uint16_t channels)
{
    EnsureMemoryMgr();
    SetAudioFormatGlobals(kEngineRate, kFramesPerBuffer);
    AudioBufferPool::Init();
    ZK::IZkStreamMgr* streams = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
    PluginRegistry::Init(nullptr);
    const std::vector<uint8_t> file = ToneFile(mediaRate, channels);
    ZkMediaRef media;
    media.Init();
    media.SetInMemory(kPcmKey, const_cast<uint8_t*>(file.data()),
                      ZkMediaInfo{1, kNoFileID, static_cast<uint32_t>(file.size()), kMediaKindInMemory << kMediaKindShift});
    CZkPlayingInstance* instance = CZkPlayingInstance::Create(PlayLaunchParams{}, nullptr, &media, ZkPriorityRecord{});
    instance->AcquireMedia();
    instance->SetLoopCount(0);
    CZkVoice* voice = CZkVoice::Create();
    if (voice->AttachSource(instance, true) != ZK_Success)
    {
        state.SkipWithError("the voice could not attach its source");
        CZkVoice::Destroy(voice);
        CZkPlayingInstance::Free(instance);
        return;
    }
    voice->Start();
    uint64_t frames = 0;
    for (auto _ : state)
    {
        instance->CountDownStartDelay(kFramesPerBuffer); // the render pass's count of the start delay
        voice->MainSource()->FrameStep();
        voice->UpdateGain();
        voice->UpdateSendConnections(true, kThresholdDb);
        voice->ApplyRelatedLevels();
        if (voice->PrepareFrame())
        {
            voice->Pull();
            frames += voice->Buffer().validFrames;
            benchmark::DoNotOptimize(voice->Buffer().data);
            voice->ReleaseFrameBuffers();
        }
        AudioBufferPool::Flush();
    }
    CZkVoice::Destroy(voice);
    CZkPlayingInstance::Free(instance);
    CZkActiveInstances::Term(); // the end the voice posted, never applied here
    PluginRegistry::Term();
    streams->Destroy();
    AudioBufferPool::Flush();
    state.counters["ns_per_frame"] = benchmark::Counter(static_cast<double>(frames) * 1e-9,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ns_per_frame_ch"] = benchmark::Counter(static_cast<double>(frames) * channels * 1e-9,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(PullVoice, Mono48kCopy, 48000, 1);
BENCHMARK_CAPTURE(PullVoice, Stereo48kCopy, 48000, 2);
BENCHMARK_CAPTURE(PullVoice, Mono44kResampled, 44100, 1);
BENCHMARK_CAPTURE(PullVoice, Stereo44kResampled, 44100, 2);
} // namespace
