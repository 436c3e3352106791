// Prepared media: a copy of a media's bytes that the media index keeps of its own, made for the
// nodes a preparation names, from a copy already in the index or read from the media's file.
#include "ZkAudiolib/Common/Banks/BankManager.h"

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

ZKRESULT BankManager::LoadMediaEntry(const ZkMediaPreparation& media)
{
    if (!KeepsPreparedCopy(media))
        return ZK_Success; // nothing to keep in memory (a media streamed from its file as it plays)

    ZkScopedLock guard(m_mediaLock);
    bool created = false;
    bool noBuckets = false;
    MediaIndexEntry* entry = m_media.FindOrCreate(media.mediaID, created, noBuckets);
    if (entry == nullptr)
        return noBuckets ? ZK_Fail : ZK_InsufficientMemory;
    if (entry->preparedData != nullptr)
        return ZK_Success;
    const ZKRESULT result = PrepareCopy(*entry, media);
    if (result != ZK_Success)
        m_media.Release(entry);
    return result;
}

ZKRESULT BankManager::PrepareCopy(MediaIndexEntry& entry, const ZkMediaPreparation& media)
{
    const ZkMemoryId memoryID =
        media.fileType == kSecondInstanceMediaFileType ? kSecondInstanceMediaMemID : kPreparedMediaMemID;
    if (!entry.copies.IsEmpty())
    {
        // A loaded bank (or the game) holds the media already: no file is read.
        const ZkMediaCopy& source = entry.copies[0];
        auto* block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(memoryID, source.size, kPreparedMediaAlignment));
        if (block == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(block, source.data, source.size);
        entry.preparedData = block;
        entry.preparedSize = source.size;
        entry.preparedMemoryID = memoryID;
        return ZK_Success;
    }
    auto* block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(memoryID, media.inMemorySize, kPreparedMediaAlignment));
    if (block == nullptr)
        return ZK_InsufficientMemory;
    // The file is read with the media lock left: sources keep finding their media meanwhile. The
    // entry stays alive through the reference this preparation holds.
    m_mediaLock.Leave();
    const ZKRESULT read = ReadMediaFile(media, block);
    m_mediaLock.Enter();
    if (read != ZK_Success)
    {
        ZK::MemoryMgr::Free(memoryID, block);
        return read;
    }
    if (entry.preparedData != nullptr)
    {
        ZK::MemoryMgr::Free(memoryID, block); // prepared by another caller while the file was read
        return ZK_Success;
    }
    entry.preparedData = block;
    entry.preparedSize = media.inMemorySize;
    entry.preparedMemoryID = memoryID;
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
