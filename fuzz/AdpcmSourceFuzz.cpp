// The ADPCM source over arbitrary bytes as media in memory (its memory stream, the header checks,
// both block decoders, the loop and the markers): pulled to its end with loops, a seek and the end
// of looping. Whatever it answers, every buffer holds at most its decode capacity of whole blocks,
// the markers it hands out exist, and the play ends.
#include "support/SoundSources.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Sources/CZkSrcFileAdpcm.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kAdpcmKey = 0x20001;
constexpr uint32_t kMostBuffers = 256;
constexpr uint16_t kFramesPerBuffer = 1024;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundSources();
    const std::vector<uint8_t> bytes(data, data + size);
    ZkMediaRef media;
    media.Init();
    media.SetInMemory(static_cast<int32_t>(kAdpcmKey), const_cast<uint8_t*>(bytes.data()),
                      ZkMediaInfo{1, kNoFileID, static_cast<uint32_t>(bytes.size()), kMediaKindInMemory << kMediaKindShift});
    CZkPlayingInstance* instance = CZkPlayingInstance::Create(PlayLaunchParams{}, nullptr, &media, ZkPriorityRecord{});
    Check(instance != nullptr);
    instance->AcquireMedia();
    instance->SetLoopCount(size % 3 == 0 ? 0 : static_cast<uint16_t>(size % 3)); // forever, once, twice
    CZkVoiceSource* source = CZkVoiceSource::Create(kSourceKindInMemory, kAdpcmKey, instance);
    Check(source != nullptr);
    ZkVoiceMarkers markers;
    Check(markers.Init() == ZK_Success);
    source->SetMarkers(&markers);
    if (source->StartOnce(instance->MediaData(), instance->MediaSize()) == ZK_Success)
    {
        auto& adpcm = static_cast<CZkSrcFileAdpcm&>(*source);
        ZKRESULT result = ZK_DataReady;
        for (uint32_t call = 0; call < kMostBuffers && (result == ZK_DataReady || result == ZK_NoDataReady); ++call)
        {
            if (call == 3)
            {
                instance->SeekToSamples(static_cast<uint32_t>(size * 7));
                source->Seek();
            }
            if (call == kMostBuffers / 2)
                source->StopLooping();
            ZkPipelineBuffer buffer;
            buffer.maxFrames = kFramesPerBuffer;
            result = source->GetBuffer(buffer);
            Check(buffer.validFrames <= adpcm.DecodeCapacity() && buffer.validFrames % 64 == 0);
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
