#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Bytes/ZkFourCC.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"

#include <bit>

namespace ZK::SoundEngine::MediaHeaderParser
{
namespace
{
constexpr uint32_t kRiffHeaderBytes = 12;
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kCuePointBytes = 24;
constexpr uint32_t kListTypeBytes = 4;
// "smpl": loop count at 28, sampler-data size at 32, the first loop's start and end at 44 and 48.
constexpr uint32_t kSamplerLoopCountOffset = 28;
constexpr uint32_t kSamplerDataSizeOffset = 32;
constexpr uint32_t kSamplerLoopStartOffset = 44;
constexpr uint32_t kSamplerLoopEndOffset = 48;

// What the walk has found so far, and where it writes what it returns.
struct Walk
{
    ZkMediaChunk& format;
    ZkMarkerTable* markers;
    uint32_t& loopStart;
    uint32_t& loopEnd;
    ZkMediaChunk* engineChunk;
    ZkMediaChunk* seekTable;
    bool keepChannelMask;
    bool formatFound = false;
    bool cueFound = false;
};

void TakeFormat(Walk& walk, uint8_t* chunk, uint32_t size)
{
    if (walk.formatFound)
        return; // a second "fmt " is ignored
    walk.formatFound = true;
    walk.format = {size, chunk};
    if (walk.keepChannelMask || size < kChannelWordOffset + sizeof(uint32_t))
        return;
    const uint32_t word = LoadLittleEndian<uint32_t>(chunk + kChannelWordOffset);
    const uint32_t normalized = NormalizeChannelWord(word, LoadLittleEndian<uint16_t>(chunk + 2));
    std::memcpy(chunk + kChannelWordOffset, &normalized, sizeof(normalized));
}

ZKRESULT TakeCuePoints(Walk& walk, const uint8_t* chunk, uint32_t size)
{
    if (walk.cueFound || walk.markers == nullptr)
        return ZK_Success; // the markers come from the first "cue " only
    walk.cueFound = true;
    ZkByteCursor cursor(chunk, size);
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kCuePointBytes))
        return ZK_InvalidFile;
    const ZKRESULT made = walk.markers->Init(count);
    if (made != ZK_Success)
        return made;
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t* point = cursor.Take(kCuePointBytes);
        (*walk.markers)[index].id = LoadLittleEndian<uint32_t>(point);
        (*walk.markers)[index].position = LoadLittleEndian<uint32_t>(point + 4);
    }
    return ZK_Success;
}

ZKRESULT TakeLabel(Walk& walk, const uint8_t* chunk, uint32_t size)
{
    if (size < sizeof(uint32_t))
        return ZK_InvalidFile;
    if (!walk.cueFound)
        return ZK_Success; // labels attach only to markers already read
    const uint32_t cueID = LoadLittleEndian<uint32_t>(chunk);
    const uint32_t index = walk.markers->IndexOf(cueID);
    if (index == walk.markers->Count())
        return ZK_Success;
    const char* text = reinterpret_cast<const char*>(chunk + sizeof(uint32_t));
    return walk.markers->SetLabel(index, text, size - static_cast<uint32_t>(sizeof(uint32_t)));
}

ZKRESULT TakeLoop(Walk& walk, const uint8_t* chunk, uint32_t size)
{
    if (size < kSamplerDataSizeOffset + sizeof(uint32_t))
        return ZK_InvalidFile;
    if (LoadLittleEndian<uint32_t>(chunk + kSamplerLoopCountOffset) == 0)
        return ZK_Success;
    // The loop records follow the sampler data; both must lie inside the chunk.
    const uint64_t samplerData = LoadLittleEndian<uint32_t>(chunk + kSamplerDataSizeOffset);
    if (kSamplerLoopEndOffset + sizeof(uint32_t) + samplerData > size)
        return ZK_InvalidFile;
    walk.loopStart = LoadLittleEndian<uint32_t>(chunk + kSamplerLoopStartOffset + samplerData);
    walk.loopEnd = LoadLittleEndian<uint32_t>(chunk + kSamplerLoopEndOffset + samplerData);
    return ZK_Success;
}
} // namespace

uint32_t NormalizeChannelWord(uint32_t word, uint16_t channelCount)
{
    const uint32_t type = (word >> 8) & 0xFu;
    if ((word & 0xFFu) == channelCount && type <= 2)
        return word;
    return (word << 12) | static_cast<uint32_t>(std::popcount(word)) | 0x100u;
}

uint32_t ChannelWordOf(const ZkMediaChunk& format)
{
    constexpr uint32_t kChannelCountOffset = 2;
    if (format.data == nullptr || format.size < kChannelWordOffset + sizeof(uint32_t))
        return 0;
    return NormalizeChannelWord(LoadLittleEndian<uint32_t>(format.data + kChannelWordOffset),
                                LoadLittleEndian<uint16_t>(format.data + kChannelCountOffset));
}

ZKRESULT Parse(uint8_t* data, uint32_t size, ZkMediaChunk& format, ZkMarkerTable* markers, uint32_t& loopStart,
               uint32_t& loopEnd, uint32_t& dataSize, uint32_t& dataOffset, ZkMediaChunk* engineChunk,
               ZkMediaChunk* seekTable, bool keepChannelMask)
{
    if (data == nullptr || size == 0)
        return ZK_InvalidParameter;
    loopStart = 0;
    loopEnd = 0;
    if (size < kRiffHeaderBytes)
        return ZK_InvalidFile;
    const uint32_t riff = LoadLittleEndian<uint32_t>(data);
    if (riff == ZkFourCC("OggS"))
        return ZK_Success;
    if (riff != ZkFourCC("RIFF") || LoadLittleEndian<uint32_t>(data + 8) != ZkFourCC("WAVE"))
        return ZK_InvalidFile;

    Walk walk{format, markers, loopStart, loopEnd, engineChunk, seekTable, keepChannelMask};
    uint64_t position = kRiffHeaderBytes;
    while (size - position >= kChunkHeaderBytes)
    {
        const uint32_t id = LoadLittleEndian<uint32_t>(data + position);
        const uint32_t chunkSize = LoadLittleEndian<uint32_t>(data + position + 4);
        const uint64_t body = position + kChunkHeaderBytes;
        if (id == ZkFourCC("data"))
        {
            if (!walk.formatFound)
                return ZK_InvalidFile;
            dataSize = chunkSize;
            dataOffset = static_cast<uint32_t>(body);
            return ZK_Success;
        }
        if (chunkSize > size - body)
            break; // the rest of the header is not in the bytes given
        uint8_t* chunk = data + body;
        uint64_t next = body + chunkSize;
        ZKRESULT result = ZK_Success;
        if (id == ZkFourCC("fmt "))
            TakeFormat(walk, chunk, chunkSize);
        else if (id == ZkFourCC("cue "))
            result = walk.formatFound ? TakeCuePoints(walk, chunk, chunkSize) : ZK_InvalidFile;
        else if (id == ZkFourCC("LIST"))
        {
            // Only the list type is skipped: the chunks inside are walked like any other.
            if (chunkSize < kListTypeBytes)
                return ZK_InvalidFile;
            next = body + kListTypeBytes;
        }
        else if (id == ZkFourCC("labl"))
            result = TakeLabel(walk, chunk, chunkSize);
        else if (id == ZkFourCC("smpl"))
            result = TakeLoop(walk, chunk, chunkSize);
        else if (id == ZkFourCC("zkd ") && engineChunk != nullptr)
            *engineChunk = {chunkSize, chunk};
        else if (id == ZkFourCC("seek") && seekTable != nullptr)
            *seekTable = {chunkSize, chunk};
        if (result != ZK_Success)
            return result;
        if (id != ZkFourCC("LIST") && (chunkSize & 1u) != 0 && next < size && data[next] == 0)
            ++next; // pad byte after an odd-sized chunk
        position = next;
    }
    return ZK_HeaderIncomplete;
}
} // namespace ZK::SoundEngine::MediaHeaderParser
