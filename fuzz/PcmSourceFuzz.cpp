// The codec file source over arbitrary bytes as media in memory (the PCM codec, the header, the
// loop and the markers it reads from them): whatever it answers, every block it hands out lies
// inside the input, holds whole frames of the format it reported, and the play ends.
#include "support/SoundSources.h"


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
    const std::vector<uint8_t> bytes(data, data + size);
    kp::fuzz::MediaInMemory play(bytes, kPcmKey, size % 3 == 0 ? 3 : 1); // loops, when the media has a loop
    if (play.started)
    {
        const uint32_t blockAlign = (play.source->Format().formatBits >> 6) & 0x3FF;
        ZKRESULT result = ZK_DataReady;
        for (uint32_t call = 0; call < kMostBuffers && result == ZK_DataReady; ++call)
        {
            ZkPipelineBuffer buffer;
            buffer.maxFrames = kFramesPerBuffer;
            result = play.source->GetBuffer(buffer);
            if (buffer.validFrames == 0)
                continue;
            const auto* begin = static_cast<const uint8_t*>(buffer.data);
            Check(begin >= bytes.data() && begin + size_t{buffer.validFrames} * blockAlign <= bytes.data() + size);
            Check(buffer.markers.first + buffer.markers.count <= play.markers.Count());
            play.markers.RemoveFront(play.markers.Count());
            play.source->ReleaseBuffer();
        }
    }
    return 0;
}
