// The execution of bank requests: each kind, the notification of its callback, and the plain
// manager's way of running them at once on the caller's thread.
#include "ZkAudiolib/Common/Banks/BankManager.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

namespace
{
// The result of the last request executed on this thread. The plain manager executes a request on
// its caller's thread, which then reads the result here: a result stored by another thread's
// request never reaches it.
thread_local ZKRESULT t_lastResult = ZK_Success;

ZkLockedIdKey KeyOf(const BankRequest& request)
{
    const void* address = request.sourceKind == ZkBankSourceMemoryView ? request.data.bank.memory : nullptr;
    return {request.bankID, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address))};
}
} // namespace

ZKRESULT BankManager::SubmitRequest(BankRequest& request)
{
    ZkScopedLock guard(m_executionLock);
    if (request.callback != nullptr)
    {
        const ZKRESULT registered = m_cookies.Add(request.cookie);
        if (registered != ZK_Success)
        {
            FreeRequestHoldings(request);
            return registered;
        }
    }
    ExecuteRequest(request);
    FreeRequestHoldings(request);
    return ZK_Success;
}

ZKRESULT BankManager::PrepareWait(BankSyncWait&)
{
    return ZK_Success;
}

ZKRESULT BankManager::Wait(BankSyncWait&, ZKRESULT submitResult)
{
    return submitResult == ZK_Success ? t_lastResult : submitResult;
}

void BankManager::FreeRequestHoldings(BankRequest& request)
{
    if (request.nameOwned != 0 && request.fileName != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, request.fileName);
    request.fileName = nullptr;
    request.nameOwned = 0;
    ZkUniqueID** ids = nullptr;
    uint32_t count = 0;
    if (request.kind == ZkBankRequestPrepareEvents || request.kind == ZkBankRequestUnprepareEvents)
    {
        ids = &request.data.events.eventIDs;
        count = request.data.events.eventCount;
    }
    else if (request.kind == ZkBankRequestPrepareGameSyncs)
    {
        ids = &request.data.gameSyncs.valueIDs;
        count = request.data.gameSyncs.valueCount;
    }
    // One id is carried inline; several in an array the request owns.
    if (ids != nullptr && count > 1 && *ids != nullptr)
    {
        ZK::MemoryMgr::Free(ZkMemID_Default, *ids);
        *ids = nullptr;
    }
}

ZKRESULT BankManager::ExecuteRequest(BankRequest& request)
{
    switch (request.kind)
    {
    case ZkBankRequestLoad:
        return ExecuteLoad(request);
    case ZkBankRequestUnload:
        return ExecuteUnload(request);
    case ZkBankRequestClearPreparedEvents:
        ClearPreparedEvents();
        NotifyRequest(request, ZK_Success);
        return ZK_Success;
    case ZkBankRequestClearBanks:
        return ExecuteClearBanks(request);
    case ZkBankRequestPrepareEvents:
        return ExecutePrepareEvents(request);
    case ZkBankRequestUnprepareEvents:
        return ExecuteUnprepareEvents(request);
    case ZkBankRequestPrepareGameSyncs:
    {
        const ZKRESULT result = PrepareGameSyncsRequest(request);
        NotifyRequest(request, result);
        return result;
    }
    case ZkBankRequestPrepareBank:
    {
        const ZKRESULT result = PrepareBankRequest(request, request.data.preparation.content,
                                                   request.data.preparation.decode != 0, true);
        NotifyRequest(request, result);
        return result;
    }
    case ZkBankRequestUnprepareBank:
        ExecuteUnprepareBank(request);
        NotifyRequest(request, ZK_Success);
        return ZK_Success;
    default:
        NotifyRequest(request, ZK_Success);
        return ZK_Success;
    }
}

void BankManager::NotifyRequest(const BankRequest& request, ZKRESULT result)
{
    t_lastResult = result;
    ZkBankID id = 0;
    const void* memory = nullptr;
    switch (request.kind)
    {
    case ZkBankRequestLoad:
    case ZkBankRequestUnload:
        id = request.bankID;
        if (request.sourceKind == ZkBankSourceMemoryView)
            memory = request.data.bank.memory;
        break;
    case ZkBankRequestPrepareBank:
    case ZkBankRequestUnprepareBank:
        id = request.bankID;
        break;
    case ZkBankRequestPrepareEvents:
    case ZkBankRequestUnprepareEvents:
        if (request.data.events.eventCount == 1)
            id = request.data.events.eventID;
        break;
    default:
        break;
    }
    m_cookies.Notify(request.callback, id, memory, result, request.cookie);
}

ZKRESULT BankManager::ExecuteLoad(BankRequest& request)
{
    LoadedBank* bank = nullptr;
    const ZKRESULT result = ParseBank(request, bank, ZkBankParseLoad, false, false);
    if (result == ZK_BankAlreadyLoaded)
    {
        // Reported to the caller; the request itself has done what it was asked.
        NotifyRequest(request, result);
        return ZK_Success;
    }
    if (result == ZK_Success)
    {
        bool present = false;
        {
            ZkScopedLock guard(CZkLockedIdTable::Lock());
            if (!bank->IsLoaded())
            {
                // A record that preparations hold: the load takes its own reference.
                bank->flags |= LoadedBank::kFlagLoaded;
                bank->loadCount.fetch_add(1, std::memory_order_relaxed);
            }
            m_bankTable.InsertUnique(bank->key, bank);
            present = m_bankTable.Find(bank->key) == bank;
        }
        if (present)
        {
            NotifyRequest(request, ZK_Success);
            return ZK_Success;
        }
        // The table has no buckets and could not get any: a bank nobody could unload is not kept.
        bank->ReleaseItemList();
        LoadedBank::Release(bank, true);
        NotifyRequest(request, ZK_InsufficientMemory);
        return ZK_InsufficientMemory;
    }
    // A record made by this load goes again; one that preparations hold stays theirs.
    if (bank != nullptr && bank->IsLoaded())
    {
        bank->ReleaseItemList();
        LoadedBank::Release(bank, true);
    }
    NotifyRequest(request, result);
    return result;
}

ZKRESULT BankManager::ExecuteUnload(BankRequest& request)
{
    LoadedBank* bank = nullptr;
    bool loaded = false;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        bank = static_cast<LoadedBank*>(m_bankTable.Find(KeyOf(request)));
        loaded = bank != nullptr && bank->IsLoaded();
        if (loaded)
            m_bankTable.Unlink(bank);
    }
    if (bank == nullptr)
    {
        NotifyRequest(request, ZK_BankNotLoaded);
        return ZK_BankNotLoaded;
    }
    if (!loaded)
    {
        // Present only through preparations: unpreparing is the way to let it go.
        NotifyRequest(request, ZK_Fail);
        return ZK_Fail;
    }
    // The callback comes once the engine has let the bank go.
    return UnloadThroughEngine(*bank, request.callback, request.cookie);
}

ZKRESULT BankManager::UnloadThroughEngine(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie)
{
    // Read before the bank may be freed.
    const ZkBankID id = bank.BankID();
    const void* memory = bank.MemoryAddress();
    const ZKRESULT result = UnloadThroughEngineSync(bank);
    t_lastResult = result;
    m_cookies.Notify(callback, id, memory, result, cookie);
    return result;
}

void BankManager::ExecuteUnprepareBank(const BankRequest& request)
{
    LoadedBank* bank = nullptr;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        bank = static_cast<LoadedBank*>(m_bankTable.Find({request.bankID, 0}));
        if (bank != nullptr && bank->structureCount > 0)
            --bank->structureCount;
    }
    if (bank != nullptr)
        LoadedBank::ReleasePreparation(bank, false);
}

ZKRESULT BankManager::ExecuteClearBanks(BankRequest& request)
{
    // Every loaded bank leaves the table at once, linked through its own chain link; the last one
    // collected is unloaded first.
    LoadedBank* collected = nullptr;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        for (uint32_t bucket = 0; bucket < m_bankTable.BucketCount(); ++bucket)
        {
            ZkLockedIdEntry* entry = m_bankTable.Bucket(bucket);
            while (entry != nullptr)
            {
                ZkLockedIdEntry* next = entry->pNextItem;
                auto* bank = static_cast<LoadedBank*>(entry);
                if (bank->IsLoaded())
                {
                    m_bankTable.Unlink(bank);
                    bank->pNextItem = collected;
                    collected = bank;
                }
                entry = next;
            }
        }
    }
    ZKRESULT result = ZK_Success;
    while (collected != nullptr)
    {
        LoadedBank* bank = collected;
        collected = static_cast<LoadedBank*>(bank->pNextItem);
        bank->pNextItem = nullptr;
        const ZKRESULT unloaded = UnloadThroughEngineSync(*bank);
        if (unloaded != ZK_Success && result == ZK_Success)
            result = unloaded;
    }
    NotifyRequest(request, result);
    return result;
}

} // namespace ZK::SoundEngine
