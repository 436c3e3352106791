// What the fuzz entries that read media through sources share: the memory manager, a stream
// manager (sources read media in memory through its memory streams) and the plug-in registry with
// the built-in codec, made once for the whole run; extra registrations go with them.
#pragma once

#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <cstdint>
#include <vector>

namespace kp::fuzz
{
template <typename Register>
void StartSoundSources(Register registerMore)
{
    static bool started = false;
    if (started)
        return;
    started = true;
    StartSoundMemory();
    MakeForTheWholeRun([&] {
        ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ZK::SoundEngine::PluginRegistry::Init(nullptr);
        registerMore();
    });
}

inline void StartSoundSources()
{
    StartSoundSources([] {});
}

// A playing instance of bytes as media in memory of a codec key, its source (started when it
// answers 1) and the voice's marker array; everything goes at the end of the scope.
class MediaInMemory
{
public:
    MediaInMemory(const std::vector<uint8_t>& bytes, uint32_t codecKey, uint16_t loops)
    {
        using namespace ZK::SoundEngine;
        StartSoundSources();
        m_media.Init();
        m_media.SetInMemory(static_cast<int32_t>(codecKey), const_cast<uint8_t*>(bytes.data()),
                            ZkMediaInfo{1, kNoFileID, static_cast<uint32_t>(bytes.size()),
                                        kMediaKindInMemory << kMediaKindShift});
        instance = CZkPlayingInstance::Create(PlayLaunchParams{}, nullptr, &m_media, ZkPriorityRecord{});
        Check(instance != nullptr);
        instance->AcquireMedia();
        instance->SetLoopCount(loops);
        source = CZkVoiceSource::Create(kSourceKindInMemory, instance->CodecKey(), instance);
        Check(source != nullptr);
        Check(markers.Init() == ZK_Success);
        source->SetMarkers(&markers);
        started = source->StartOnce(instance->MediaData(), instance->MediaSize()) == ZK_Success;
    }
    ~MediaInMemory()
    {
        source->StopStream();
        ZK::SoundEngine::CZkVoiceSource::Destroy(source);
        ZK::SoundEngine::CZkPlayingInstance::Free(instance);
    }
    MediaInMemory(const MediaInMemory&) = delete;
    MediaInMemory& operator=(const MediaInMemory&) = delete;

    ZK::SoundEngine::CZkPlayingInstance* instance = nullptr;
    ZK::SoundEngine::CZkVoiceSource* source = nullptr;
    ZK::SoundEngine::ZkVoiceMarkers markers;
    bool started = false;

private:
    ZK::SoundEngine::ZkMediaRef m_media;
};
} // namespace kp::fuzz
