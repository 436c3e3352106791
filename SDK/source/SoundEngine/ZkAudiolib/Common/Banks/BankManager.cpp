// The bank manager's life cycle: its tables at Init, and at Term everything the banks left behind.
#include "ZkAudiolib/Common/Banks/BankManager.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

BankManager* g_pBankManager = nullptr;

BankManager::BankManager() = default;

BankManager::~BankManager()
{
    BankManager::Term();
}

ZKRESULT BankManager::Init()
{
    m_cookies.Term();
    m_cookies.Init();
    if (!m_bankTable.Init())
        return ZK_InsufficientMemory;
    if (!m_reader.IsInitialized())
        m_reader.Init();
    return ZK_Success;
}

ZKRESULT BankManager::Term()
{
    ClearPreparedEvents();
    // Every record leaves the table first; each then loses what still holds it: the preparations
    // (all at once) and the load.
    LoadedBank* records = nullptr;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        for (uint32_t bucket = 0; bucket < m_bankTable.BucketCount(); ++bucket)
        {
            while (ZkLockedIdEntry* entry = m_bankTable.Bucket(bucket))
            {
                m_bankTable.Unlink(entry);
                entry->pNextItem = records;
                records = static_cast<LoadedBank*>(entry);
            }
        }
    }
    // Objects are released under the global engine lock, as an unload releases them: a bus's end
    // takes that lock inside its table's lock, which the parse takes inside the engine lock.
    {
        ZkScopedLock engine(g_EngineLock);
        while (records != nullptr)
        {
            LoadedBank* bank = records;
            records = static_cast<LoadedBank*>(bank->pNextItem);
            bank->pNextItem = nullptr;
            if (bank->preparationCount.load(std::memory_order_acquire) > 0)
            {
                if (bank->structureCount > 0)
                    --bank->structureCount;
                if (LoadedBank::ReleasePreparation(bank, true))
                    continue;
            }
            bank->ReleaseItemList();
            LoadedBank::Release(bank, true);
        }
        // Records unloaded while preparations held them: what is left of them goes as a forced
        // end of their preparations.
        while (LoadedBank* bank = m_detached)
        {
            if (!LoadedBank::ReleasePreparation(bank, true))
                RemoveDetached(*bank);
        }
    }
    m_bankTable.Term();
    {
        ZkScopedLock guard(m_mediaLock);
        m_media.Term();
    }
    m_bankNames.Term();
    m_reader.Term();
    m_collected.Term();
    m_collecting = false;
    m_cookies.Term(); // the callbacks of requests that never ran are not called
    return ZK_Success;
}
void BankManager::AddDetached(LoadedBank& bank)
{
    ZkScopedLock guard(CZkLockedIdTable::Lock());
    if (bank.detached)
        return;
    bank.detached = true;
    bank.detachedPrev = nullptr;
    bank.detachedNext = m_detached;
    if (m_detached != nullptr)
        m_detached->detachedPrev = &bank;
    m_detached = &bank;
}

void BankManager::RemoveDetached(LoadedBank& bank)
{
    ZkScopedLock guard(CZkLockedIdTable::Lock());
    if (!bank.detached)
        return;
    if (bank.detachedPrev != nullptr)
        bank.detachedPrev->detachedNext = bank.detachedNext;
    else
        m_detached = bank.detachedNext;
    if (bank.detachedNext != nullptr)
        bank.detachedNext->detachedPrev = bank.detachedPrev;
    bank.detachedPrev = nullptr;
    bank.detachedNext = nullptr;
    bank.detached = false;
}

uint32_t BankManager::DetachedCount() const
{
    ZkScopedLock guard(CZkLockedIdTable::Lock());
    uint32_t count = 0;
    for (const LoadedBank* bank = m_detached; bank != nullptr; bank = bank->detachedNext)
        ++count;
    return count;
}
} // namespace ZK::SoundEngine
