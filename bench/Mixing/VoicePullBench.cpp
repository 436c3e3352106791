// A PCM voice pulled frame by frame, as the render pass pulls it: the source hands out the media's
// 16-bit frames in place, the resampling stage turns them into planar floats at 48 kHz (the copy
// path for 48 kHz media, interpolation for 44.1 kHz), then the filter and modulation stages (off).
// The media is a looping tone in memory, played forever. Counters: ns_per_frame (per output frame)
// and ns_per_frame_ch (per output frame and channel, beside the resampler's own figures above).
#include "BenchSupport.h"
#include "VoiceBenchSupport.h"
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
constexpr int32_t kPcmKey = 0x10001;

void PullVoice(benchmark::State& state, uint32_t mediaRate, uint16_t channels)
{
    EnsureMemoryMgr();
    SetAudioFormatGlobals(kEngineRate, kFramesPerBuffer);
    AudioBufferPool::Init();
    ZK::IZkStreamMgr* streams = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
    PluginRegistry::Init(nullptr);
    const std::vector<uint8_t> file = VoiceBench::ToneFile(mediaRate, channels, kMediaSeconds, 16000.0);
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
        frames += VoiceBench::RunVoiceFrame(*voice, *instance, kFramesPerBuffer);
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
