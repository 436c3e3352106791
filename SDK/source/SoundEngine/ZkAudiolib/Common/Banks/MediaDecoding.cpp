#include "ZkAudiolib/Common/Banks/MediaDecoding.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Bytes/ZkFourCC.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine::MediaDecoding
{
namespace
{
constexpr uint16_t kDecodedFormatTag = 0xFFFE;
constexpr uint16_t kDecodedBits = 16;
constexpr uint32_t kDecodedSampleBytes = 2;
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kSampleAlignment = 4;
constexpr uint32_t kDecodedAlignment = 4;
// "fmt " fields rewritten: tag, channels, byte rate, block align, bits, valid bits.
constexpr uint32_t kTagOffset = 0;
constexpr uint32_t kChannelsOffset = 2;
constexpr uint32_t kRateOffset = 4;
constexpr uint32_t kByteRateOffset = 8;
constexpr uint32_t kBlockAlignOffset = 12;
constexpr uint32_t kBitsOffset = 14;
constexpr uint32_t kValidBitsOffset = 18;
constexpr uint32_t kFormatFieldsBytes = 16;
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kBitsPerSampleMask = 0x3F;
constexpr uint32_t kBlockAlignShift = 6;
constexpr uint32_t kBlockAlignMask = 0x3FF;

// The codec key of a format tag that needs decoding; 0 for any other.
uint32_t CodecKeyOf(uint16_t formatTag)
{
    switch (formatTag)
    {
    case 0x3040: return 0x130001;
    case 0x3041: return 0x140001;
    case 0xFFFF: return 0x40001;
    default: return 0;
    }
}

// A codec of the key, made by the registry's bank creator; null when none is registered.
IZkSoftwareCodec* MakeCodec(uint32_t key)
{
    CZkVoiceSource* source = PluginRegistry::CreateCodec(nullptr, 0, key);
    if (source == nullptr)
        return nullptr;
    ZkCodecFactory factory = nullptr;
    if (source->IsCodecSource())
        factory = static_cast<CZkSrcFileCodec*>(source)->CodecFactory();
    PluginRegistry::DestroyCodec(source);
    return factory != nullptr ? factory() : nullptr;
}

struct CodecHolder
{
    explicit CodecHolder(IZkSoftwareCodec* made) : codec(made) {}
    ~CodecHolder() { IZkSoftwareCodec::Destroy(codec); }
    CodecHolder(const CodecHolder&) = delete;
    CodecHolder& operator=(const CodecHolder&) = delete;
    IZkSoftwareCodec* codec;
};

// The media's header as the codec reads it (the format chunk points into the media, unwritten).
ZKRESULT ParseHeader(const uint8_t* media, uint32_t size, ZkCodecHeader& header)
{
    // Kept channel masks leave the media's bytes unwritten.
    const ZKRESULT parsed =
        MediaHeaderParser::Parse(const_cast<uint8_t*>(media), size, header.format, nullptr, header.loopStart,
                                 header.loopEnd, header.dataSize, header.dataOffset, nullptr, nullptr, true);
    // The whole media is decoded: its loop does not matter.
    header.loopStart = 0;
    header.loopEnd = 0;
    header.channelWord = MediaHeaderParser::ChannelWordOf(header.format);
    return parsed;
}
} // namespace

ZKRESULT Plan(const uint8_t* media, uint32_t size, ZkDecodePlan& plan)
{
    plan = ZkDecodePlan{};
    if (media == nullptr || size == 0)
        return ZK_Success;
    ZkCodecHeader header;
    if (ParseHeader(media, size, header) != ZK_Success || header.format.data == nullptr ||
        header.format.size < kFormatFieldsBytes)
        return ZK_Success; // not a media the engine decodes: its bytes stay as they are
    if (uint64_t{header.dataOffset} + header.dataSize > size || header.dataOffset < kChunkHeaderBytes)
        return ZK_Success; // incomplete
    const uint32_t key = CodecKeyOf(ZK::LoadLittleEndian<uint16_t>(header.format.data + kTagOffset));
    if (key == 0 || PluginRegistry::GetCodecEntry(key) == nullptr)
        return ZK_Success;
    CodecHolder holder(MakeCodec(key));
    if (holder.codec == nullptr)
        return ZK_InsufficientMemory;
    ZkCodecFormat format;
    if (holder.codec->ParseFormat(header, format) != ZK_Success)
        return ZK_Success;
    const uint32_t channels = ZK::LoadLittleEndian<uint16_t>(header.format.data + kChannelsOffset);
    // The codec must deliver 16-bit frames of every channel: they are copied as they come.
    const uint32_t bits = format.formatWord & kBitsPerSampleMask;
    const uint32_t blockAlign = (format.formatWord >> kBlockAlignShift) & kBlockAlignMask;
    if (channels == 0 || bits != kDecodedBits || blockAlign != channels * kDecodedSampleBytes)
        return ZK_Success;

    const uint32_t misalignment = header.dataOffset % kSampleAlignment;
    const uint64_t headerBytes =
        misalignment == 0 ? header.dataOffset : uint64_t{header.dataOffset} - misalignment + 12;
    const uint64_t decodedSize = uint64_t{channels} * format.totalFrames * kDecodedSampleBytes + headerBytes;
    if (decodedSize > UINT32_MAX)
        return ZK_InvalidFile;
    plan.decodable = true;
    plan.key = key;
    plan.channels = channels;
    plan.frames = format.totalFrames;
    plan.formatOffset = static_cast<uint32_t>(header.format.data - media);
    plan.dataOffset = header.dataOffset;
    plan.dataSize = header.dataSize;
    plan.headerBytes = static_cast<uint32_t>(headerBytes);
    plan.decodedSize = decodedSize;
    return ZK_Success;
}

namespace
{
// The decoded header: the media's header up to its data chunk, the format rewritten for 16-bit
// samples, a "JUNK" chunk when the samples would not start 4-aligned, the data chunk header.
void WriteHeader(const uint8_t* media, const ZkDecodePlan& plan, uint8_t* out)
{
    const uint32_t beforeData = plan.dataOffset - kChunkHeaderBytes;
    std::memcpy(out, media, beforeData);
    const uint32_t sampleBytes = static_cast<uint32_t>(plan.decodedSize - plan.headerBytes);
    ZK::StoreLittleEndian<uint32_t>(out + kRiffSizeOffset, static_cast<uint32_t>(plan.decodedSize) - kChunkHeaderBytes);
    uint8_t* format = out + plan.formatOffset;
    const uint32_t rate = ZK::LoadLittleEndian<uint32_t>(format + kRateOffset);
    const uint32_t blockAlign = plan.channels * kDecodedSampleBytes;
    ZK::StoreLittleEndian<uint16_t>(format + kTagOffset, kDecodedFormatTag);
    ZK::StoreLittleEndian<uint32_t>(format + kByteRateOffset, rate * blockAlign);
    ZK::StoreLittleEndian<uint16_t>(format + kBlockAlignOffset, static_cast<uint16_t>(blockAlign));
    ZK::StoreLittleEndian<uint16_t>(format + kBitsOffset, kDecodedBits);
    const uint32_t formatSize = ZK::LoadLittleEndian<uint32_t>(format - 4);
    if (formatSize >= kValidBitsOffset + sizeof(uint16_t))
        ZK::StoreLittleEndian<uint16_t>(format + kValidBitsOffset, kDecodedBits);
    uint8_t* at = out + beforeData;
    const uint32_t padding = plan.headerBytes - plan.dataOffset;
    if (padding != 0)
    {
        const uint32_t junk = padding - kChunkHeaderBytes;
        ZK::StoreLittleEndian<uint32_t>(at, ZK::ZkFourCC("JUNK"));
        ZK::StoreLittleEndian<uint32_t>(at + 4, junk);
        std::memset(at + kChunkHeaderBytes, 0, junk);
        at += padding;
    }
    ZK::StoreLittleEndian<uint32_t>(at, ZK::ZkFourCC("data"));
    ZK::StoreLittleEndian<uint32_t>(at + 4, sampleBytes);
}

// The codec's frames, copied into samples (capacity frames of plan.channels 16-bit samples).
// Frames not delivered stay silent.
ZKRESULT DecodeSamples(const uint8_t* media, uint32_t size, const ZkDecodePlan& plan, uint8_t* samples)
{
    const uint32_t frameBytes = plan.channels * kDecodedSampleBytes;
    const uint64_t capacity = plan.frames;
    std::memset(samples, 0, static_cast<size_t>(capacity * frameBytes));
    CodecHolder holder(MakeCodec(plan.key));
    if (holder.codec == nullptr)
        return ZK_InsufficientMemory;
    ZkCodecHeader header;
    ZkCodecFormat format;
    if (ParseHeader(media, size, header) != ZK_Success || holder.codec->ParseFormat(header, format) != ZK_Success)
        return ZK_Fail;

    ZkMediaRef ref;
    ref.Init();
    ZkSourceDescription description;
    description.media = &ref;
    description.kind = kSourceKindInMemory;
    description.memory = media;
    description.memorySize = size;
    ZkSourceCursor cursor;
    if (cursor.Open(description) != ZK_Success)
        return ZK_Fail;
    cursor.SetLayout(ZkCursorLayout{format.bytesPerMs > 0.0f ? format.bytesPerMs : 1.0f, 0, 0,
                                    plan.dataOffset + plan.dataSize, 0});
    const ZKRESULT moved = cursor.Seek(plan.dataOffset, 1);
    if (moved != ZK_Success && moved != ZK_PartialSuccess)
        return ZK_Fail;
    if (holder.codec->Start(cursor) != ZK_Success)
        return ZK_Fail;
    ZKRESULT result = ZK_Success;
    uint64_t written = 0;
    while (written < capacity)
    {
        ZkDecodedFrames frames;
        const auto wanted = static_cast<uint32_t>(capacity - written);
        const ZKRESULT decoded = holder.codec->Decode(cursor, wanted, frames, true);
        if (decoded == ZK_NoMoreData)
            break;
        if (decoded != ZK_DataReady || frames.data == nullptr || frames.frames == 0)
        {
            result = ZK_Fail;
            break;
        }
        const uint32_t taken = std::min(frames.frames, wanted);
        std::memcpy(samples + written * frameBytes, frames.data, size_t{taken} * frameBytes);
        written += taken;
        holder.codec->Release(cursor);
    }
    holder.codec->Stop();
    return result;
}
} // namespace

ZKRESULT Decode(const uint8_t* media, uint32_t size, const ZkDecodePlan& plan, uint8_t* out)
{
    WriteHeader(media, plan, out);
    ZK::Platform::ZkScopedLock engine(g_EngineLock);
    return DecodeSamples(media, size, plan, out + plan.headerBytes);
}

void DecodeMediaBlock(uint8_t*& block, uint32_t& size, ZkMemoryId memoryID)
{
    ZkDecodePlan plan;
    if (Plan(block, size, plan) != ZK_Success || !plan.decodable)
        return;
    const auto decodedSize = static_cast<uint32_t>(plan.decodedSize);
    auto* decoded = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(memoryID, decodedSize, kDecodedAlignment));
    if (decoded == nullptr)
        return;
    if (Decode(block, size, plan, decoded) != ZK_Success)
    {
        ZK::MemoryMgr::Free(memoryID, decoded);
        return;
    }
    ZK::MemoryMgr::Free(memoryID, block);
    block = decoded;
    size = decodedSize;
}
} // namespace ZK::SoundEngine::MediaDecoding
