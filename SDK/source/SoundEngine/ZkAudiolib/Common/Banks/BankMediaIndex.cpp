// The media index's side of banks (the copies a loaded bank brings and takes away again) and of
// sources (the look-up that hands a media out and its release).
#include "ZkAudiolib/Common/Banks/BankManager.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

ZKRESULT BankManager::RegisterBankMedia(const uint8_t* data, LoadedBank& bank)
{
    if (bank.registeredMedia > 0 || bank.entryCount == 0)
        return ZK_Success;
    // A memory view's entries are the caller's bytes, used in place: an entry that reaches past the
    // media block would hand neighbouring memory out as sound.
    for (uint32_t index = 0; index < bank.entryCount; ++index)
    {
        const ZkMediaEntry entry = bank.Entry(index);
        if (entry.mediaID != 0 && uint64_t{entry.offset} + entry.size > bank.dataSize)
            return ZK_InvalidFile;
    }
    for (uint32_t index = 0; index < bank.entryCount; ++index)
    {
        const ZkMediaEntry entry = bank.Entry(index);
        ZKRESULT result = ZK_Success;
        if (entry.mediaID != 0 && !AddBankCopy(entry, data, bank, result))
        {
            ReleaseBankMedia(bank);
            return result;
        }
        ++bank.registeredMedia;
    }
    return ZK_Success;
}

bool BankManager::AddBankCopy(const ZkMediaEntry& entry, const uint8_t* data, LoadedBank& bank, ZKRESULT& result)
{
    ZkScopedLock guard(m_mediaLock);
    bool created = false;
    bool noBuckets = false;
    MediaIndexEntry* indexEntry = m_media.FindOrCreate(entry.mediaID, created, noBuckets);
    if (indexEntry == nullptr)
    {
        result = ZK_InsufficientMemory;
        return false;
    }
    // A media already prepared is read from its prepared copy: the bank only holds a reference.
    if (indexEntry->preparedData != nullptr)
        return true;
    if (!indexEntry->AddCopy({data + entry.offset, entry.size, kNoMediaMemoryID, &bank}))
    {
        m_media.Release(indexEntry); // the reference this registration took, and the entry it made
        result = ZK_InsufficientMemory;
        return false;
    }
    return true;
}

void BankManager::ReleaseBankMedia(LoadedBank& bank)
{
    ZkScopedLock guard(m_mediaLock);
    while (bank.registeredMedia > 0)
    {
        --bank.registeredMedia;
        const ZkUniqueID mediaID = bank.Entry(bank.registeredMedia).mediaID;
        if (mediaID == 0)
            continue;
        MediaIndexEntry* entry = m_media.Find(mediaID);
        if (entry == nullptr)
            continue;
        entry->RemoveCopy([&](const ZkMediaCopy& copy) { return copy.bank == &bank; });
        m_media.Release(entry);
    }
}

ZkMediaBlock BankManager::GetMedia(ZkUniqueID mediaID, LoadedBank*& bank)
{
    bank = nullptr;
    // The bank-table lock first: the banks' unloading flags and load counts must not change while a
    // copy is chosen and its bank referenced.
    ZkScopedLock tableGuard(CZkLockedIdTable::Lock());
    ZkScopedLock mediaGuard(m_mediaLock);
    MediaIndexEntry* entry = m_media.Find(mediaID);
    if (entry == nullptr)
        return {};
    if (entry->preparedData != nullptr)
    {
        ++entry->refCount;
        return {entry->preparedData, entry->preparedSize, entry->preparedMemoryID};
    }
    const ZkMediaCopy* chosen = nullptr;
    for (const ZkMediaCopy& copy : entry->copies)
    {
        // The longest copy (a full copy over a prefetch), the newest among equal sizes.
        if ((copy.bank == nullptr || copy.bank->unloading == 0) && (chosen == nullptr || copy.size > chosen->size))
            chosen = &copy;
    }
    if (chosen == nullptr)
        return {};
    ++entry->refCount;
    bank = chosen->bank;
    if (bank != nullptr)
        bank->loadCount.fetch_add(1, std::memory_order_relaxed);
    return {chosen->data, chosen->size, kNoMediaMemoryID};
}

void BankManager::ReleaseMedia(ZkUniqueID mediaID)
{
    ZkScopedLock tableGuard(CZkLockedIdTable::Lock());
    ReleaseMediaReference(mediaID);
}

void BankManager::ReleaseMediaReference(ZkUniqueID mediaID)
{
    ZkScopedLock guard(m_mediaLock);
    if (MediaIndexEntry* entry = m_media.Find(mediaID))
        m_media.Release(entry);
}
} // namespace ZK::SoundEngine
