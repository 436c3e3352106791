// Voices of the silence source pulled as the render pass pulls them, 64, 256 and 1,024 at a time,
// beside as many PCM voices of a silent media (the same program's other way to occupy time: a
// sound of zeros). Each silence voice runs its plug-in through the source plug-in host, whose
// output buffer is allocated and freed every frame; the PCM voice hands its media out in place.
// Counter: ns_per_voice_frame (per voice and output frame).
#include "Support/BenchMemory.h"
#include "VoiceBenchSupport.h"
#include "Support/PeerRatios.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>
#include <Plugins/Sources/ZkSilenceSource/ZkFXSrcSilence.h>
#include <ZkAudiolib/Common/Buffers/AudioBufferPool.h>
#include <ZkAudiolib/Common/Bytes/ZkByteCursor.h>
#include <ZkAudiolib/Common/Containers/ZkNew.h>
#include <ZkAudiolib/Common/Effects/CZkEffectObject.h>
#include <ZkAudiolib/Common/Hierarchy/ZkMediaRef.h>
#include <ZkAudiolib/Common/ObjectIndex/ObjectIndex.h>
#include <ZkAudiolib/Common/Playback/CZkActiveInstances.h>
#include <ZkAudiolib/Common/Playback/CZkPlayingInstance.h>
#include <ZkAudiolib/Common/Plugins/PluginRegistry.h>
#include <ZkAudiolib/Common/Sources/CZkVoiceSource.h>
#include <ZkAudiolib/Common/Voice/CZkVoice.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <cstring>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kEngineRate = 48000;
constexpr uint16_t kFramesPerBuffer = 1024;
constexpr int32_t kPcmKey = 0x10001;

template <bool kSilence, uint32_t kVoices>
void PullVoices(benchmark::State& state)
{
    EnsureMemoryMgr();
    SetAudioFormatGlobals(kEngineRate, kFramesPerBuffer);
    AudioBufferPool::Init();
    ZK::IZkStreamMgr* streams = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
    PluginRegistry::Init(nullptr);
    g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
    g_pObjectIndex->InitTables();
    CZkEffectObject* effect = CZkEffectObject::FindOrCreateSourcePlugin(CZkSrcSilence::kPluginNumber, CZkSrcSilence::kCompany);

    const std::vector<uint8_t> file = VoiceBench::ToneFile(kEngineRate, 1, 1, 0.0); // a second of zeros
    ZkMediaRef media;
    media.Init();
    if (kSilence)
    {
        media.mediaID = effect->ID();
        media.sourceType = static_cast<int32_t>(effect->pluginID);
    }
    else
        media.SetInMemory(kPcmKey, const_cast<uint8_t*>(file.data()),
                          ZkMediaInfo{1, kNoFileID, static_cast<uint32_t>(file.size()), kMediaKindInMemory << kMediaKindShift});
    std::vector<CZkPlayingInstance*> instances;
    std::vector<CZkVoice*> voices;
    for (uint32_t i = 0; i < kVoices; ++i)
    {
        CZkPlayingInstance* instance = CZkPlayingInstance::Create(PlayLaunchParams{}, nullptr, &media, ZkPriorityRecord{});
        instance->AcquireMedia();
        instance->SetLoopCount(0); // both play for as long as the benchmark runs
        CZkVoice* voice = CZkVoice::Create();
        if (voice->AttachSource(instance, true) != ZK_Success)
        {
            state.SkipWithError("a voice could not attach its source");
            CZkVoice::Destroy(voice);
            CZkPlayingInstance::Free(instance);
            break;
        }
        voice->Start();
        instances.push_back(instance);
        voices.push_back(voice);
    }
    uint64_t voiceFrames = 0;
    for (auto _ : state)
    {
        for (size_t i = 0; i < voices.size(); ++i)
            voiceFrames += VoiceBench::RunVoiceFrame(*voices[i], *instances[i], kFramesPerBuffer);
        AudioBufferPool::Flush();
    }
    for (size_t i = 0; i < voices.size(); ++i)
    {
        CZkVoice::Destroy(voices[i]);
        CZkPlayingInstance::Free(instances[i]);
    }
    CZkActiveInstances::Term();
    effect->Release();
    g_pObjectIndex->FreeTables();
    ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
    g_pObjectIndex = nullptr;
    PluginRegistry::Term();
    streams->Destroy();
    AudioBufferPool::Flush();
    state.counters["ns_per_voice_frame"] = benchmark::Counter(static_cast<double>(voiceFrames) * 1e-9,
                                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const bool s_registered = [] {
    PeerBench::PeerRuns("SilenceVoices/64", "ours", PullVoices<true, 64>);
    PeerBench::PeerRuns("SilenceVoices/64", "pcm_voices", PullVoices<false, 64>);
    PeerBench::PeerRuns("SilenceVoices/256", "ours", PullVoices<true, 256>);
    PeerBench::PeerRuns("SilenceVoices/256", "pcm_voices", PullVoices<false, 256>);
    PeerBench::PeerRuns("SilenceVoices/1024", "ours", PullVoices<true, 1024>);
    PeerBench::PeerRuns("SilenceVoices/1024", "pcm_voices", PullVoices<false, 1024>);
    return true;
}();
} // namespace
