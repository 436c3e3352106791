// Prepared media: a copy of a media's bytes that the media index keeps of its own, made for the
// nodes a preparation names or for a bank prepared with its media: copied from a copy already in
// the index, else read from the media's file or from the bank's "DATA" chunk as the reader goes.
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Banks/MediaDecoding.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include <cstring>

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

ZkMediaPreparation BankManager::PreparationOf(const ZkMediaRef& media)
{
    constexpr uint32_t kCodecNumberShift = 16;
    ZkMediaPreparation preparation;
    preparation.mediaID = media.mediaID;
    preparation.fileID = static_cast<uint32_t>(media.fileID);
    preparation.inMemorySize = media.mediaSize;
    preparation.flags = media.flags;
    const auto codec = static_cast<uint16_t>(static_cast<uint32_t>(media.sourceType) >> kCodecNumberShift);
    if (media.sourceType != kNoSourceType && codec != ZK_FileTypeSoundBank)
        preparation.fileType = codec;
    return preparation;
}

bool BankManager::KeepsPreparedCopy(const ZkMediaPreparation& media)
{
    const uint32_t kind = (media.flags & kMediaKindMask) >> kMediaKindShift;
    return media.inMemorySize != 0 && (kind != kMediaKindOwned || (media.flags & kMediaFlagPrefetch) != 0);
}

ZKRESULT BankManager::SetMediaEntry(const ZkMediaRef& media)
{
    const ZkMediaPreparation preparation = PreparationOf(media);
    return m_collecting ? CollectMedia(preparation) : LoadMediaEntry(preparation);
}

void BankManager::ReleaseMediaEntry(ZkUniqueID mediaID)
{
    // While a preparation collects, nothing has been loaded for the media yet.
    if (!m_collecting)
        ReleaseMediaReference(mediaID);
}

void BankManager::SetCollectingMedia(bool collecting)
{
    m_collecting = collecting;
    if (!collecting)
        m_collected.RemoveAll();
}

ZKRESULT BankManager::CollectMedia(const ZkMediaPreparation& media)
{
    // Sorted by file id, so that the files are later read in order.
    uint32_t index = 0;
    while (index < m_collected.Length() && m_collected[index].fileID <= media.fileID)
        ++index;
    return m_collected.Insert(index, media) != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

template <typename Read>
ZKRESULT BankManager::PrepareEntry(ZkUniqueID mediaID, ZkMemoryId memoryID, uint32_t size, Read&& read)
{
    ZkScopedLock guard(m_mediaLock);
    bool created = false;
    bool noBuckets = false;
    MediaIndexEntry* entry = m_media.FindOrCreate(mediaID, created, noBuckets);
    if (entry == nullptr)
        return noBuckets ? ZK_Fail : ZK_InsufficientMemory;
    if (entry->preparedData != nullptr)
        return ZK_Success;
    // A loaded bank (or the game) holds the media already: it is copied, nothing is read.
    const uint8_t* source = nullptr;
    if (!entry->copies.IsEmpty())
    {
        source = entry->copies[0].data;
        size = entry->copies[0].size;
    }
    auto* block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(memoryID, size, kPreparedMediaAlignment));
    ZKRESULT result = block != nullptr ? ZK_Success : ZK_InsufficientMemory;
    if (block != nullptr && source != nullptr)
        std::memcpy(block, source, size);
    else if (block != nullptr)
    {
        // Read with the media lock left: sources keep finding their media meanwhile, and the
        // reference taken above keeps the entry.
        m_mediaLock.Leave();
        result = read(block, size);
        m_mediaLock.Enter();
    }
    if (result != ZK_Success)
    {
        if (block != nullptr)
            ZK::MemoryMgr::Free(memoryID, block);
        m_media.Release(entry);
        return result;
    }
    if (entry->preparedData != nullptr)
    {
        ZK::MemoryMgr::Free(memoryID, block); // prepared by another caller meanwhile
        return ZK_Success;
    }
    entry->preparedData = block;
    entry->preparedSize = size;
    entry->preparedMemoryID = memoryID;
    return ZK_Success;
}

ZKRESULT BankManager::LoadMediaEntry(const ZkMediaPreparation& media)
{
    if (!KeepsPreparedCopy(media))
        return ZK_Success; // nothing to keep in memory (a media streamed from its file as it plays)
    const ZkMemoryId memoryID =
        media.fileType == kSecondInstanceMediaFileType ? kSecondInstanceMediaMemID : kPreparedMediaMemID;
    return PrepareEntry(media.mediaID, memoryID, media.inMemorySize,
                        [&](uint8_t*& block, uint32_t&) { return ReadMediaFile(media, block); });
}

ZKRESULT BankManager::LoadPreparedMedia(LoadedBank& bank, uint32_t dataSize, bool decode)
{
    // Every media must lie inside the chunk (also those already prepared, whose bytes are skipped).
    for (uint32_t index = 0; index < bank.entryCount; ++index)
    {
        const ZkMediaEntry entry = bank.Entry(index);
        if (entry.mediaID != 0 && uint64_t{entry.offset} + entry.size > dataSize)
            return ZK_InvalidFile;
    }
    const uint32_t first = bank.registeredMedia;
    uint32_t position = 0;
    ZKRESULT result = ZK_Success;
    while (bank.registeredMedia < bank.entryCount && result == ZK_Success)
    {
        const ZkMediaEntry entry = bank.Entry(bank.registeredMedia);
        if (entry.mediaID != 0)
            result = PrepareEntry(entry.mediaID, kPreparedMediaMemID, entry.size,
                                  [&](uint8_t*& block, uint32_t& size) { return ReadBankMedia(entry, position, decode, block, size); });
        if (result == ZK_Success)
            ++bank.registeredMedia;
    }
    if (result == ZK_Success)
    {
        uint32_t skipped = 0;
        const uint32_t rest = dataSize - position;
        result = m_reader.Skip(rest, skipped);
        if (result == ZK_Success && skipped != rest)
            result = ZK_Fail;
    }
    if (result == ZK_Success)
    {
        bank.flags |= LoadedBank::kFlagMediaPrepared;
        return ZK_Success;
    }
    // Every reference this pass took goes back, the last first.
    while (bank.registeredMedia > first)
    {
        --bank.registeredMedia;
        const ZkUniqueID mediaID = bank.Entry(bank.registeredMedia).mediaID;
        if (mediaID != 0)
            ReleaseMediaReference(mediaID);
    }
    return result;
}

ZKRESULT BankManager::ReadBankMedia(const ZkMediaEntry& entry, uint32_t& position, bool decode, uint8_t*& block,
                                    uint32_t& size)
{
    // A stream does not go back: entries must follow the data's order.
    if (entry.offset < position)
        return ZK_InvalidFile;
    uint32_t moved = 0;
    ZKRESULT result = m_reader.Skip(entry.offset - position, moved);
    if (result == ZK_Success && moved != entry.offset - position)
        result = ZK_Fail;
    if (result == ZK_Success)
    {
        result = m_reader.Read(block, size, moved);
        if (result == ZK_Success && moved != size)
            result = ZK_Fail;
    }
    if (result != ZK_Success)
        return result;
    position = entry.offset + size;
    if (decode)
        MediaDecoding::DecodeMediaBlock(block, size, kPreparedMediaMemID);
    return ZK_Success;
}

ZKRESULT BankManager::ReadMediaFile(const ZkMediaPreparation& media, uint8_t* block)
{
    const bool languageSpecific = media.fileType == ZK_FileTypeSoundBank || (media.flags & kMediaFlagLanguage) != 0;
    ZKRESULT result = m_reader.OpenByID(media.fileID, 0, media.fileType, nullptr, languageSpecific);
    if (result == ZK_Success)
    {
        uint32_t got = 0;
        result = m_reader.Read(block, media.inMemorySize, got);
        if (result == ZK_Success && got != media.inMemorySize)
            result = ZK_Fail;
    }
    m_reader.Close();
    return result;
}
} // namespace ZK::SoundEngine
