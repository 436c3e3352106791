// Unloading a bank: the record leaves the bank table, its objects are released, and the engine
// thread gets the record (message 26) to stop what plays from it and drop its load reference. The
// record's memory goes with its last load reference: the engine thread's, or that of the last
// source still reading one of its media.
#include "ZkAudiolib/Common/Banks/BankManager.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

void BankManager::BeginUnload(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie)
{
    // The objects go a few at a time, so that a large bank does not hold the engine tick up.
    for (uint32_t first = 0; first < bank.itemCount; first += kItemsPerEngineLock)
    {
        ZkScopedLock guard(g_EngineLock);
        const uint32_t end = std::min(bank.itemCount, first + kItemsPerEngineLock);
        for (uint32_t index = first; index < end; ++index)
            bank.items[index]->Release();
    }
    bank.itemCount = 0;
    bank.ReleaseItemList(); // frees the emptied list
    ZkScopedLock guard(CZkLockedIdTable::Lock());
    bank.unloadCallback = callback;
    bank.unloadCookie = cookie;
    bank.unloading = 1; // its copies are no longer handed out
}

bool BankManager::PostUnloadMessage(LoadedBank& bank)
{
    EventManager* events = g_pEventMgr;
    if (events == nullptr || !events->Ring().IsInitialized())
        return false;
    if (!events->Ring().Post(ZkMessage_UnloadBank, ZkUnloadBankMessage{&bank}))
        return false;
    events->EndFrame(false);
    return true;
}

ZKRESULT BankManager::UnloadThroughEngineAsync(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie)
{
    BeginUnload(bank, callback, cookie);
    if (!PostUnloadMessage(bank))
        LoadedBank::Release(&bank, false); // no engine: nothing plays from the bank
    return ZK_Success;
}

ZKRESULT BankManager::UnloadThroughEngineSync(LoadedBank& bank)
{
    BankSyncWait wait;
    ZKRESULT result = wait.Prepare();
    if (result == ZK_Success)
        result = m_cookies.Add(&wait);
    if (result != ZK_Success)
    {
        // Nothing has been touched yet: the bank stays loaded.
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        m_bankTable.InsertUnique(bank.key, &bank);
        return result;
    }
    BeginUnload(bank, &BankSyncWait::Callback, &wait);
    if (!PostUnloadMessage(bank))
        LoadedBank::Release(&bank, false);
    return AwaitWithEngine(wait);
}

ZKRESULT BankManager::AwaitWithEngine(BankSyncWait& wait)
{
    EventManager* events = g_pEventMgr;
    if (events == nullptr || EngineTicksByItself())
        return wait.Await();
    // Nobody else runs the engine: tick here until the wait ends (an unload ends when the engine has
    // let the bank go; a source still reading its media stops within a few ticks).
    const uint32_t pollMs = std::max(1u, ZkAudioSettings::EngineThreadTimeoutMs());
    do
        events->Tick(true);
    while (!wait.event.Wait(pollMs));
    return wait.result;
}

void LoadedBank::Release(LoadedBank* bank, bool quiet)
{
    BankManager* manager = g_pBankManager;
    ZkBankCallbackFunc callback = nullptr;
    void* cookie = nullptr;
    bool free = false;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        if (bank->loadCount.fetch_sub(1, std::memory_order_acq_rel) > 1)
            return; // a source still reads one of its media
        // Media a preparation read hold the preparation's references, which it gives back itself.
        if (manager != nullptr && (bank->flags & kFlagMediaPrepared) == 0)
            manager->ReleaseBankMedia(*bank);
        if (bank->dataBlock != nullptr)
            ZK::MemoryMgr::Free(kBankDataMemID, bank->dataBlock);
        bank->dataBlock = nullptr;
        if (!quiet)
        {
            callback = bank->unloadCallback;
            cookie = bank->unloadCookie;
        }
        bank->unloadCallback = nullptr; // called at most once
        bank->unloadCookie = nullptr;
        free = bank->preparationCount.load(std::memory_order_acquire) <= 0;
        // Unloaded while preparations hold it: nothing finds the record any more, so the manager
        // keeps it for its end.
        if (!free && manager != nullptr && manager->BankTable().Find(bank->key) != bank)
            manager->AddDetached(*bank);
    }
    if (callback != nullptr && manager != nullptr)
        manager->Cookies().Notify(callback, bank->BankID(), bank->MemoryAddress(), ZK_Success, cookie);
    if (free)
        bank->Destroy();
}

bool LoadedBank::ReleasePreparation(LoadedBank* bank, bool force)
{
    BankManager* manager = g_pBankManager;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        if (force)
            bank->preparationCount.store(0, std::memory_order_release);
        else if (bank->preparationCount.fetch_sub(1, std::memory_order_acq_rel) > 1)
            return false;
        if ((bank->flags & kFlagMediaPrepared) != 0 && bank->entries != nullptr && manager != nullptr)
        {
            while (bank->registeredMedia > 0)
            {
                --bank->registeredMedia;
                const ZkUniqueID mediaID = bank->Entry(bank->registeredMedia).mediaID;
                if (mediaID != 0)
                    manager->ReleaseMediaReference(mediaID);
            }
            bank->flags &= static_cast<uint8_t>(~kFlagMediaPrepared);
            // A bank loaded after its media were prepared goes on serving them from its own block.
            if (bank->dataBlock != nullptr)
                manager->RegisterBankMedia(bank->dataBlock, *bank);
        }
        if (bank->loadCount.load(std::memory_order_acquire) > 0)
            return false; // the bank stays loaded
        // This very record: after an unload, another record of the same bank may hold its key.
        if (manager != nullptr)
        {
            manager->BankTable().Unlink(bank);
            if (bank->detached)
                manager->RemoveDetached(*bank);
        }
    }
    // Objects are released under the global engine lock, as an unload releases them.
    {
        ZkScopedLock engine(g_EngineLock);
        bank->ReleaseItemList();
    }
    bank->Destroy();
    return true;
}
} // namespace ZK::SoundEngine
