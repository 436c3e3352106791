// ZK::SoundEngine::DecodeBank: a bank image whose media that need decoding are stored decoded. The
// image is walked twice: once to size the copy (every chunk and "DIDX" entry bounded by the image),
// once to write it, chunk by chunk, the "DATA" body rebuilt media by media.
#include "ZkAudiolib/Common/Banks/BankFormat.h"
#include "ZkAudiolib/Common/Banks/MediaDecoding.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kMediaStep = 16;
constexpr ZkMemoryId kCallersBlock = static_cast<ZkMemoryId>(-1);

uint64_t RoundUpToStep(uint64_t size)
{
    return (size + kMediaStep - 1) / kMediaStep * kMediaStep;
}

// Where the chunks of an image lie, each within the image.
struct ImageLayout
{
    uint32_t chunks = 0;
    uint64_t otherBodies = 0;         // every body but the media's "DATA"
    const uint8_t* entries = nullptr; // the first "DIDX" body
    uint32_t entryCount = 0;
    const uint8_t* data = nullptr;    // the first "DATA" body
    uint32_t dataSize = 0;
    uint64_t mediaSpace = 0;          // the rebuilt "DATA" body

    ZkMediaEntry Entry(uint32_t index) const
    {
        ZkMediaEntry entry;
        std::memcpy(&entry, entries + size_t{index} * sizeof(ZkMediaEntry), sizeof(entry));
        return entry;
    }
};

// Walks the chunks. 7 for a chunk header or body reaching past the image, a "DATA" chunk before the
// "DIDX" one, or an entry outside "DATA".
ZKRESULT WalkChunks(const uint8_t* image, uint32_t size, ImageLayout& layout)
{
    uint32_t offset = 0;
    while (offset < size)
    {
        if (size - offset < kChunkHeaderBytes)
            return ZK_InvalidFile;
        const uint32_t tag = ZK::LoadLittleEndian<uint32_t>(image + offset);
        const uint32_t bodySize = ZK::LoadLittleEndian<uint32_t>(image + offset + 4);
        if (bodySize > size - offset - kChunkHeaderBytes)
            return ZK_InvalidFile;
        const uint8_t* body = image + offset + kChunkHeaderBytes;
        if (tag == BankTag::MediaData && layout.data == nullptr)
        {
            // The entries are rewritten as the media are laid out: they must come first.
            if (layout.entries == nullptr)
                return ZK_InvalidFile;
            layout.data = body;
            layout.dataSize = bodySize;
        }
        else
        {
            if (tag == BankTag::MediaIndex && layout.entries == nullptr)
            {
                layout.entries = body;
                layout.entryCount = bodySize / sizeof(ZkMediaEntry);
            }
            layout.otherBodies += bodySize;
        }
        ++layout.chunks;
        offset += kChunkHeaderBytes + bodySize;
    }
    for (uint32_t index = 0; index < layout.entryCount; ++index)
    {
        const ZkMediaEntry entry = layout.Entry(index);
        if (entry.mediaID != 0 && uint64_t{entry.offset} + entry.size > layout.dataSize)
            return ZK_InvalidFile;
    }
    return ZK_Success;
}

// The size of each media in the copy, summed at 16-byte steps.
ZKRESULT SizeMedia(ImageLayout& layout)
{
    for (uint32_t index = 0; index < layout.entryCount; ++index)
    {
        const ZkMediaEntry entry = layout.Entry(index);
        if (entry.mediaID == 0)
            continue;
        MediaDecoding::ZkDecodePlan plan;
        const ZKRESULT planned = MediaDecoding::Plan(layout.data + entry.offset, entry.size, plan);
        if (planned != ZK_Success)
            return planned;
        layout.mediaSpace += RoundUpToStep(plan.decodable ? plan.decodedSize : entry.size);
    }
    return ZK_Success;
}

// The rebuilt "DATA" body at out, the copied entries rewritten with the media's new places.
ZKRESULT WriteMedia(const ImageLayout& layout, uint8_t* entries, uint8_t* out)
{
    uint64_t position = 0;
    for (uint32_t index = 0; index < layout.entryCount; ++index)
    {
        ZkMediaEntry entry = layout.Entry(index);
        if (entry.mediaID == 0)
            continue;
        const uint8_t* media = layout.data + entry.offset;
        MediaDecoding::ZkDecodePlan plan;
        ZKRESULT result = MediaDecoding::Plan(media, entry.size, plan);
        uint64_t size = entry.size;
        if (result == ZK_Success && plan.decodable)
        {
            size = plan.decodedSize;
            result = MediaDecoding::Decode(media, entry.size, plan, out + position);
        }
        else if (result == ZK_Success)
            std::memcpy(out + position, media, entry.size);
        if (result != ZK_Success)
            return result;
        const uint64_t step = RoundUpToStep(size);
        std::memset(out + position + size, 0, static_cast<size_t>(step - size));
        entry.offset = static_cast<uint32_t>(position);
        entry.size = static_cast<uint32_t>(size);
        std::memcpy(entries + size_t{index} * sizeof(ZkMediaEntry), &entry, sizeof(entry));
        position += step;
    }
    return ZK_Success;
}

ZKRESULT WriteImage(const uint8_t* image, uint32_t size, const ImageLayout& layout, uint8_t* out)
{
    uint8_t* entries = nullptr;
    uint32_t offset = 0;
    while (offset < size)
    {
        const uint32_t bodySize = ZK::LoadLittleEndian<uint32_t>(image + offset + 4);
        const uint8_t* body = image + offset + kChunkHeaderBytes;
        std::memcpy(out, image + offset, kChunkHeaderBytes);
        out += kChunkHeaderBytes;
        if (body == layout.data)
        {
            ZK::StoreLittleEndian<uint32_t>(out - 4, static_cast<uint32_t>(layout.mediaSpace));
            const ZKRESULT written = WriteMedia(layout, entries, out);
            if (written != ZK_Success)
                return written;
            out += layout.mediaSpace;
        }
        else
        {
            if (body == layout.entries)
                entries = out;
            std::memcpy(out, body, bodySize);
            out += bodySize;
        }
        offset += kChunkHeaderBytes + bodySize;
    }
    return ZK_Success;
}
} // namespace

ZKRESULT DecodeBank(const void* bank, uint32_t size, ZkMemoryId pool, void*& decodedBank, uint32_t& decodedSize)
{
    const auto* image = static_cast<const uint8_t*>(bank);
    if (image == nullptr || size < kChunkHeaderBytes)
        return ZK_InvalidFile;
    ImageLayout layout;
    ZKRESULT result = WalkChunks(image, size, layout);
    if (result == ZK_Success)
        result = SizeMedia(layout);
    if (result != ZK_Success)
        return result;
    const uint64_t total = uint64_t{kChunkHeaderBytes} * layout.chunks + layout.otherBodies + layout.mediaSpace;
    if (total > UINT32_MAX)
        return ZK_InvalidFile;
    const uint32_t capacity = decodedSize;
    decodedSize = static_cast<uint32_t>(total);

    uint8_t* out = nullptr;
    if (pool == kCallersBlock)
    {
        if (decodedBank == nullptr)
            return ZK_Success; // the size alone
        // The caller's block holds the size the caller gave: never written past.
        if (capacity < total)
            return ZK_InvalidParameter;
        out = static_cast<uint8_t*>(decodedBank);
    }
    else
    {
        out = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(pool, decodedSize, kDefaultMediaAlignment));
        if (out == nullptr)
            return ZK_InsufficientMemory;
        decodedBank = out;
    }
    result = WriteImage(image, size, layout, out);
    if (result != ZK_Success && pool != kCallersBlock)
    {
        ZK::MemoryMgr::Free(pool, out);
        decodedBank = nullptr;
    }
    return result;
}
} // namespace ZK::SoundEngine
