// The "DATA" chunk of a bank prepared with its media: every media read into a prepared copy of its
// own, one after the other, as the reader goes through the chunk.
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Banks/MediaDecoding.h"

#include <cstring>

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

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
    while (bank.registeredMedia < bank.entryCount)
    {
        const ZkMediaEntry entry = bank.Entry(bank.registeredMedia);
        if (entry.mediaID != 0)
        {
            result = PrepareBankMedia(entry, position, decode);
            if (result != ZK_Success)
                break;
        }
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

ZKRESULT BankManager::PrepareBankMedia(const ZkMediaEntry& entry, uint32_t& position, bool decode)
{
    ZkScopedLock guard(m_mediaLock);
    bool created = false;
    bool noBuckets = false;
    MediaIndexEntry* indexEntry = m_media.FindOrCreate(entry.mediaID, created, noBuckets);
    if (indexEntry == nullptr)
        return noBuckets ? ZK_Fail : ZK_InsufficientMemory;
    if (indexEntry->preparedData != nullptr)
        return ZK_Success; // its bytes are skipped with the rest
    uint8_t* block = nullptr;
    uint32_t size = 0;
    ZKRESULT result = ZK_Success;
    if (!indexEntry->copies.IsEmpty())
    {
        // A loaded bank (or the game) holds the media: it is copied, not read again.
        const ZkMediaCopy& source = indexEntry->copies[0];
        size = source.size;
        block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(kPreparedMediaMemID, size, kPreparedMediaAlignment));
        if (block == nullptr)
            result = ZK_InsufficientMemory;
        else
            std::memcpy(block, source.data, size);
    }
    else if (entry.offset < position)
    {
        // A stream does not go back: entries must follow the data's order.
        result = ZK_InvalidFile;
    }
    else
    {
        size = entry.size;
        block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(kPreparedMediaMemID, size, kPreparedMediaAlignment));
        if (block == nullptr)
            result = ZK_InsufficientMemory;
        else
        {
            // The bytes are read with the media lock left; this pass's reference keeps the entry.
            m_mediaLock.Leave();
            uint32_t moved = 0;
            result = m_reader.Skip(entry.offset - position, moved);
            if (result == ZK_Success && moved != entry.offset - position)
                result = ZK_Fail;
            if (result == ZK_Success)
            {
                result = m_reader.Read(block, size, moved);
                if (result == ZK_Success && moved != size)
                    result = ZK_Fail;
            }
            if (result == ZK_Success)
            {
                position = entry.offset + size;
                if (decode)
                    MediaDecoding::DecodeMediaBlock(block, size, kPreparedMediaMemID);
            }
            m_mediaLock.Enter();
        }
    }
    if (result != ZK_Success)
    {
        if (block != nullptr)
            ZK::MemoryMgr::Free(kPreparedMediaMemID, block);
        m_media.Release(indexEntry);
        return result;
    }
    if (indexEntry->preparedData != nullptr)
    {
        ZK::MemoryMgr::Free(kPreparedMediaMemID, block); // prepared by another caller meanwhile
        return ZK_Success;
    }
    indexEntry->preparedData = block;
    indexEntry->preparedSize = size;
    indexEntry->preparedMemoryID = kPreparedMediaMemID;
    return ZK_Success;
}
} // namespace ZK::SoundEngine
