// The ADPCM source over arbitrary bytes as media in memory (its memory stream, the header checks,
// both block decoders, the loop and the markers): pulled to its end with loops, a seek and the end
// of looping. Whatever it answers, every buffer holds at most its decode capacity of whole blocks,
// the markers it hands out exist, and the play ends.
#include "support/SoundSources.h"

#include "ZkAudiolib/Common/Sources/CZkSrcFileAdpcm.h"

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
    const std::vector<uint8_t> bytes(data, data + size);
    // Forever, once or twice.
    kp::fuzz::MediaInMemory play(bytes, kAdpcmKey, static_cast<uint16_t>(size % 3));
    if (!play.started)
        return 0;
    auto& adpcm = static_cast<CZkSrcFileAdpcm&>(*play.source);
    ZKRESULT result = ZK_DataReady;
    for (uint32_t call = 0; call < kMostBuffers && (result == ZK_DataReady || result == ZK_NoDataReady); ++call)
    {
        if (call == 3)
        {
            play.instance->SeekToSamples(static_cast<uint32_t>(size * 7));
            adpcm.Seek();
        }
        if (call == kMostBuffers / 2)
            adpcm.StopLooping();
        ZkPipelineBuffer buffer;
        buffer.maxFrames = kFramesPerBuffer;
        result = adpcm.GetBuffer(buffer);
        Check(buffer.validFrames <= adpcm.DecodeCapacity() && buffer.validFrames % 64 == 0);
        Check(buffer.markers.first + buffer.markers.count <= play.markers.Count());
        play.markers.RemoveFront(play.markers.Count());
        adpcm.ReleaseBuffer();
    }
    return 0;
}
