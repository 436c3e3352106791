// The media chunks: "DIDX" (where each media lies) and "DATA" (the media block).
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include <bit>

namespace ZK::SoundEngine
{
ZKRESULT BankManager::ReadMediaIndex(Parse& parse, uint32_t size)
{
    LoadedBank& bank = parse.bank;
    // Media already registered, or entries already read (the first "DIDX" of a bank counts); a
    // structure-only preparation has no use for them.
    if (bank.registeredMedia > 0 || bank.entries != nullptr || parse.parseType == ZkBankParsePrepareStructure)
        return SkipBody(size);
    const uint32_t count = size / sizeof(ZkMediaEntry);
    if (parse.IsMemoryView())
    {
        const uint8_t* body = nullptr;
        const ZKRESULT taken = TakeBody(size, body, ZK_ShortBankRead);
        if (taken != ZK_Success)
            return taken;
        if (count > 0)
            bank.entries = body;
    }
    else if (count > 0)
    {
        const uint32_t bytes = count * static_cast<uint32_t>(sizeof(ZkMediaEntry));
        if (m_reader.BytesLeft() < bytes)
            return ZK_ShortBankRead; // never allocate for bytes the bank does not have
        auto* entries = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(LoadedBank::kPool, bytes));
        if (entries == nullptr)
            return ZK_InsufficientMemory;
        const ZKRESULT read = m_reader.ReadExact(entries, bytes);
        if (read != ZK_Success)
        {
            ZK::MemoryMgr::Free(LoadedBank::kPool, entries);
            return read;
        }
        bank.entries = entries;
        bank.flags |= LoadedBank::kFlagEntriesOwned;
        const ZKRESULT rest = SkipBody(size - bytes);
        if (rest != ZK_Success)
            return rest;
    }
    else
    {
        const ZKRESULT skipped = SkipBody(size);
        if (skipped != ZK_Success)
            return skipped;
    }
    if (bank.entries != nullptr)
        bank.entryCount = count;
    return ZK_Success;
}

ZKRESULT BankManager::ReadMediaData(Parse& parse, uint32_t size)
{
    LoadedBank& bank = parse.bank;
    if (parse.mediaDataRead)
        return SkipBody(size); // the first "DATA" of a bank holds its media
    parse.mediaDataRead = true;
    bank.alignment = parse.mediaAlignment == 0 ? kDefaultMediaAlignment : parse.mediaAlignment;
    if (!std::has_single_bit(bank.alignment))
        return ZK_InvalidFile;
    if (parse.parseType == ZkBankParsePrepareStructure)
        return SkipBody(size);
    if (parse.parseType != ZkBankParseLoad)
        return LoadPreparedMedia(bank, size, parse.decode);

    const uint8_t* data = nullptr;
    if (parse.IsMemoryView())
    {
        const ZKRESULT taken = TakeBody(size, data, ZK_InvalidFile);
        if (taken != ZK_Success)
            return taken;
    }
    else
    {
        if (size == 0)
            return ZK_Success;
        if (m_reader.BytesLeft() < size)
            return ZK_InvalidFile;
        auto* block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(kBankDataMemID, size, bank.alignment));
        if (block == nullptr)
            return ZK_InsufficientMemory;
        if (m_reader.ReadExact(block, size) != ZK_Success)
        {
            ZK::MemoryMgr::Free(kBankDataMemID, block);
            return ZK_InvalidFile;
        }
        bank.dataBlock = block;
        data = block;
    }
    bank.dataSize = size;

    // Every media must lie inside the block: an entry pointing elsewhere would hand out
    // neighbouring memory as sound.
    for (uint32_t index = 0; index < bank.entryCount; ++index)
    {
        const ZkMediaEntry entry = bank.Entry(index);
        if (entry.mediaID != 0 && uint64_t{entry.offset} + entry.size > size)
            return ZK_InvalidFile;
    }
    // A "DATA" chunk met before any "DIDX" registers nothing.
    if (bank.entryCount == 0)
        return ZK_Success;
    return RegisterBankMedia(data, bank);
}
} // namespace ZK::SoundEngine
