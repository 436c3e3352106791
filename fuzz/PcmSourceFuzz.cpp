// The codec file source over arbitrary bytes as media in memory (the PCM codec, the header, the
// loop and the markers it reads from them): whatever it answers, every block it hands out lies
// inside the input, holds whole frames of the format it reported, and the play ends.
#include "support/SoundSources.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kPcmKey = 0x10001;
constexpr uint32_t kMostBuffers = 64;
constexpr uint16_t kFramesPerBuffer = 1024;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundSources();
    const std::vector<uint8_t> bytes(data, data + size);
    ZkMediaRef media;
    media.Init();
    media.SetInMemory(static_cast<int32_t>(kPcmKey), const_cast<uint8_t*>(bytes.data()),
                      ZkMediaInfo{1, kNoFileID, static_cast<uint32_t>(bytes.size()), kMediaKindInMemory << kMediaKindShift});
    CZkPlayingInstance* instance = CZkPlayingInstance::Create(PlayLaunchParams{}, nullptr, &media, ZkPriorityRecord{});
    Check(instance != nullptr);
    instance->AcquireMedia();
    instance->SetLoopCount(size % 3 == 0 ? 3 : 1); // loops, when the media has a loop
    CZkVoiceSource* source = CZkVoiceSource::Create(kSourceKindInMemory, instance->CodecKey(), instance);
    Check(source != nullptr);
    ZkVoiceMarkers markers;
    Check(markers.Init() == ZK_Success);
    source->SetMarkers(&markers);
    if (source->StartOnce(instance->MediaData(), instance->MediaSize()) == ZK_Success)
    {
        const uint32_t blockAlign = (source->Format().formatBits >> 6) & 0x3FF;
        ZKRESULT result = ZK_DataReady;
        for (uint32_t call = 0; call < kMostBuffers && result == ZK_DataReady; ++call)
        {
            ZkPipelineBuffer buffer;
            buffer.maxFrames = kFramesPerBuffer;
            result = source->GetBuffer(buffer);
            if (buffer.validFrames == 0)
                continue;
            const auto* begin = static_cast<const uint8_t*>(buffer.data);
            Check(begin >= bytes.data() && begin + size_t{buffer.validFrames} * blockAlign <= bytes.data() + size);
            Check(buffer.markers.first + buffer.markers.count <= markers.Count());
            markers.RemoveFront(markers.Count());
            source->ReleaseBuffer();
        }
    }
    source->StopStream();
    CZkVoiceSource::Destroy(source);
    CZkPlayingInstance::Free(instance);
    return 0;
}
