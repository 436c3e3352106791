#include "ZkAudiolib/Common/Output/ZkEndpointNotificationQueue.h"

#include <cwchar>

namespace ZK::SoundEngine
{
ZKRESULT ZkEndpointNotificationQueue::Init()
{
    Term();
    m_entries = static_cast<Entry*>(ZK::MemoryMgr::Malloc(kEntryPool, sizeof(Entry) * kCapacity));
    if (m_entries == nullptr)
        return ZK_InsufficientMemory;
    m_read = 0;
    m_write = 0;
    m_count.store(0, std::memory_order_release);
    return ZK_Success;
}

void ZkEndpointNotificationQueue::Term()
{
    if (m_entries == nullptr)
        return;
    DropAll();
    ZK::MemoryMgr::Free(kEntryPool, m_entries);
    m_entries = nullptr;
    ClearOverflow();
}

bool ZkEndpointNotificationQueue::Push(const wchar_t* id, Kind kind)
{
    if (id == nullptr || m_entries == nullptr)
        return false;
    ZK::Platform::ZkScopedLock writing(m_writers);
    if (Count() >= kCapacity)
    {
        m_overflow.store(true, std::memory_order_release);
        return false;
    }
    const size_t length = std::wcslen(id);
    if (length >= kIdCapacity)
        return false;
    Entry& entry = m_entries[m_write];
    entry.kind = kind;
    std::wmemcpy(entry.id, id, length + 1);
    m_write = (m_write + 1) % kCapacity;
    m_count.fetch_add(1, std::memory_order_release);
    return true;
}

bool ZkEndpointNotificationQueue::Pop(IdText& id, Kind& kind)
{
    if (m_entries == nullptr || Count() == 0)
        return false;
    const Entry& entry = m_entries[m_read];
    std::wmemcpy(id, entry.id, kIdCapacity);
    kind = static_cast<Kind>(entry.kind);
    m_read = (m_read + 1) % kCapacity;
    m_count.fetch_sub(1, std::memory_order_release);
    return true;
}

void ZkEndpointNotificationQueue::DropAll()
{
    IdText id;
    Kind kind = Kind_Added;
    while (Pop(id, kind))
    {
    }
}
} // namespace ZK::SoundEngine
