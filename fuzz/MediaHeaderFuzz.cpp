// The media header parser over arbitrary bytes: whatever it answers, every chunk it hands back lies
// inside the input (the "data" chunk alone may announce more bytes than given), and its markers are
// whole.
#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"


#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

bool Inside(const ZkMediaChunk& chunk, const std::vector<uint8_t>& bytes)
{
    if (chunk.data == nullptr)
        return true;
    const uint8_t* begin = bytes.data();
    return chunk.data >= begin && chunk.data + chunk.size <= begin + bytes.size();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundMemory();
    std::vector<uint8_t> bytes(data, data + size);
    ZkMediaChunk format, engineChunk, seekTable;
    ZkMarkerTable markers;
    uint32_t loopStart = 0, loopEnd = 0, dataSize = 0, dataOffset = 0;
    const ZKRESULT result =
        MediaHeaderParser::Parse(bytes.data(), static_cast<uint32_t>(size), format, &markers, loopStart, loopEnd,
                                 dataSize, dataOffset, &engineChunk, &seekTable, size % 2 == 0);
    Check(Inside(format, bytes) && Inside(engineChunk, bytes) && Inside(seekTable, bytes));
    Check(result != ZK_Success || format.data == nullptr || dataOffset <= size);
    for (uint32_t index = 0; index < markers.Count(); ++index)
        Check(markers[index].label == nullptr || std::strlen(markers[index].label) <= size);
    return 0;
}
