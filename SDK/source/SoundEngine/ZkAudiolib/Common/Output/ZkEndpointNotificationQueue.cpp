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
    for (uint32_t index = 0; index < kCapacity; ++index)
        m_entries[index] = Entry{nullptr, 0};
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
    const size_t bytes = (std::wcslen(id) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(kIdPool, bytes));
    if (copy == nullptr)
        return false;
    std::wmemcpy(copy, id, bytes / sizeof(wchar_t));
    m_entries[m_write] = Entry{copy, kind};
    m_write = (m_write + 1) % kCapacity;
    m_count.fetch_add(1, std::memory_order_release);
    return true;
}

bool ZkEndpointNotificationQueue::Pop(wchar_t*& id, Kind& kind)
{
    if (m_entries == nullptr || Count() == 0)
        return false;
    Entry& entry = m_entries[m_read];
    id = entry.id;
    kind = static_cast<Kind>(entry.kind);
    entry = Entry{nullptr, 0};
    m_read = (m_read + 1) % kCapacity;
    m_count.fetch_sub(1, std::memory_order_release);
    return true;
}

void ZkEndpointNotificationQueue::DropAll()
{
    wchar_t* id = nullptr;
    Kind kind = Kind_Added;
    while (Pop(id, kind))
        FreeId(id);
}

void ZkEndpointNotificationQueue::FreeId(wchar_t* id)
{
    if (id != nullptr)
        ZK::MemoryMgr::Free(kIdPool, id);
}
} // namespace ZK::SoundEngine
