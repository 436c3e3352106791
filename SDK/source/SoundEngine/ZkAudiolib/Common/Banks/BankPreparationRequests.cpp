// The preparation requests: events (kinds 2 and 3), game-sync values (kind 4) and banks (kinds 6
// and 7), and the loading of the media an event or game-sync preparation collected.
#include "ZkAudiolib/Common/Banks/BankManager.h"

#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

namespace
{
ZkUniqueID EventAt(const BankRequest& request, uint32_t index)
{
    return request.data.events.eventCount == 1 ? request.data.events.eventID : request.data.events.eventIDs[index];
}

ZkUniqueID ValueAt(const BankRequest& request, uint32_t index)
{
    return request.data.gameSyncs.valueCount == 1 ? request.data.gameSyncs.valueID
                                                  : request.data.gameSyncs.valueIDs[index];
}

} // namespace

ZKRESULT BankManager::ExecutePrepareEvents(BankRequest& request)
{
    const uint32_t count = request.data.events.eventCount;
    SetCollectingMedia(true);
    ZKRESULT result = ZK_Success;
    uint32_t prepared = 0;
    while (prepared < count && result == ZK_Success)
    {
        result = PrepareEvent(EventAt(request, prepared));
        if (result == ZK_Success)
            ++prepared;
    }
    if (result == ZK_Success)
        result = LoadCollectedMedia();
    if (result != ZK_Success)
    {
        // One event that failed is undone in array order after its media; several in reverse
        // order when one of them failed, in array order when their media failed.
        const bool mediaFailed = prepared == count;
        for (uint32_t index = 0; index < prepared; ++index)
            UnprepareEvent(EventAt(request, mediaFailed ? index : prepared - 1 - index));
    }
    SetCollectingMedia(false);
    NotifyRequest(request, result);
    return result;
}

ZKRESULT BankManager::ExecuteUnprepareEvents(BankRequest& request)
{
    ZKRESULT result = ZK_Success;
    for (uint32_t index = 0; index < request.data.events.eventCount && result == ZK_Success; ++index)
        result = UnprepareEvent(EventAt(request, index));
    NotifyRequest(request, result);
    return result;
}

ZKRESULT BankManager::LoadCollectedMedia()
{
    for (uint32_t index = 0; index < m_collected.Length(); ++index)
    {
        const ZKRESULT result = LoadMediaEntry(m_collected[index]);
        if (result == ZK_Success)
            continue;
        // The collecting flag is still set: the references go back directly.
        while (index-- > 0)
        {
            if (KeepsPreparedCopy(m_collected[index]))
                ReleaseMediaReference(m_collected[index].mediaID);
        }
        return result;
    }
    return ZK_Success;
}

ZKRESULT BankManager::PrepareGameSyncsRequest(const BankRequest& request)
{
    CZkStateMgr* states = g_pStateMgr;
    if (states == nullptr)
        return ZK_Fail;
    const auto& syncs = request.data.gameSyncs;
    const bool prepare = syncs.prepare != 0;
    if (prepare)
        SetCollectingMedia(true);
    ZKRESULT result = ZK_Success;
    uint32_t done = 0;
    for (; done < syncs.valueCount; ++done)
    {
        result = states->PrepareGameSync(syncs.groupType, syncs.groupID, ValueAt(request, done), prepare);
        if (result != ZK_Success)
            break;
    }
    if (result != ZK_Success)
    {
        for (uint32_t index = 0; index < done; ++index)
            states->PrepareGameSync(syncs.groupType, syncs.groupID, ValueAt(request, index), false);
    }
    else if (prepare)
    {
        result = LoadCollectedMedia();
        if (result != ZK_Success)
        {
            for (uint32_t index = 0; index < syncs.valueCount; ++index)
                states->PrepareGameSync(syncs.groupType, syncs.groupID, ValueAt(request, index), false);
        }
    }
    if (prepare)
        SetCollectingMedia(false);
    return result;
}

ZKRESULT BankManager::PrepareBankRequest(const BankRequest& request, uint32_t content, bool decode,
                                         bool countStructure)
{
    uint32_t parseType = content == 1 ? ZkBankParsePrepareWithMedia : ZkBankParsePrepareStructure;
    const ZkLockedIdKey key{request.bankID, 0};
    LoadedBank* found = nullptr;
    bool hadEntries = false;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        found = static_cast<LoadedBank*>(m_bankTable.Find(key));
        if (found != nullptr)
        {
            found->preparationCount.fetch_add(1, std::memory_order_acq_rel);
            if (countStructure)
                ++found->structureCount;
            if (parseType == ZkBankParsePrepareStructure || (found->flags & LoadedBank::kFlagMediaPrepared) != 0)
                return ZK_Success;
            parseType = ZkBankParseAddPreparedMedia;
            hadEntries = found->entries != nullptr;
        }
    }
    // A record found has counted this preparation already.
    LoadedBank* bank = nullptr;
    BankRequest byKey = request;
    byKey.sourceKind = request.fileName != nullptr ? ZkBankSourceByName : ZkBankSourceByID;
    ZKRESULT result = ParseBank(byKey, bank, parseType, countStructure && found == nullptr, decode);
    if (result == ZK_BankAlreadyLoaded)
        return result; // a loaded bank keeps the preparation it gained
    if (result == ZK_Success)
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        m_bankTable.InsertUnique(bank->key, bank);
        if (m_bankTable.Find(bank->key) == bank)
            return ZK_Success;
        result = ZK_InsufficientMemory; // a table without buckets: nobody could find the bank again
    }
    // Nothing of this preparation stays: the counts it raised, the entries it read.
    if (found != nullptr)
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        if (countStructure && found->structureCount > 0)
            --found->structureCount;
        if (!hadEntries && (found->flags & LoadedBank::kFlagEntriesOwned) != 0)
        {
            ZK::MemoryMgr::Free(LoadedBank::kPool, const_cast<uint8_t*>(found->entries));
            found->entries = nullptr;
            found->entryCount = 0;
            found->flags &= static_cast<uint8_t>(~LoadedBank::kFlagEntriesOwned);
        }
        bank = found;
    }
    if (bank != nullptr)
        LoadedBank::ReleasePreparation(bank, false);
    return result;
}
} // namespace ZK::SoundEngine
