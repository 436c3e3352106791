// The queue of endpoint notifications between the system's notification threads and the engine
// thread: 32 entries of {endpoint id string, kind}. A notification that finds the queue full is
// dropped and sets the overflow flag, which tells the engine thread to rebuild its whole endpoint
// list instead of reading the queue.
//
// Threading: Push from any thread (writers are serialised by a lock of their own, so two system
// threads never fill one slot); Pop, DropAll and the overflow reset on the engine thread only. The
// count is atomic: a slot is written before the count that makes it visible. The system's threads
// never allocate: each entry holds its id text in place.
// Ownership: the entries are one block of memory pool 0, made by Init on the engine thread.
#pragma once

#include <Platform/PlatformLock.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
class ZkEndpointNotificationQueue
{
public:
    static constexpr uint32_t kCapacity = 32;
    static constexpr ZkMemoryId kEntryPool = ZkMemID_Default;
    // Id strings of up to 259 characters (the device id is made from 258 at most).
    static constexpr uint32_t kIdCapacity = 260;
    using IdText = wchar_t[kIdCapacity];

    enum Kind : uint32_t
    {
        Kind_Added = 0,
        Kind_Removed = 1,
        Kind_StateChanged = 2,
        Kind_DefaultMultimedia = 3,
        Kind_DefaultConsole = 4,
        Kind_DefaultCommunications = 5,
    };

    ZkEndpointNotificationQueue() = default;
    ~ZkEndpointNotificationQueue() { Term(); }
    ZkEndpointNotificationQueue(const ZkEndpointNotificationQueue&) = delete;
    ZkEndpointNotificationQueue& operator=(const ZkEndpointNotificationQueue&) = delete;

    // 1, or 52 when the entries cannot be allocated.
    ZKRESULT Init();
    // Frees the entries.
    void Term();

    // Queues a copy of the id. False when it was dropped: the queue was full (the overflow flag is
    // set) or the id is too long to be an endpoint's.
    bool Push(const wchar_t* id, Kind kind);
    // Copies out the oldest entry. False when the queue is empty.
    bool Pop(IdText& id, Kind& kind);
    // Forgets every queued entry.
    void DropAll();
    uint32_t Count() const { return static_cast<uint32_t>(m_count.load(std::memory_order_acquire)); }
    bool Overflowed() const { return m_overflow.load(std::memory_order_acquire); }
    void ClearOverflow() { m_overflow.store(false, std::memory_order_release); }

private:
    struct Entry
    {
        uint32_t kind;
        IdText id;
    };

    Entry* m_entries = nullptr;
    uint32_t m_read = 0;
    uint32_t m_write = 0;
    std::atomic<int32_t> m_count{0};
    std::atomic<bool> m_overflow{false};
    ZK::Platform::ZkCriticalSection m_writers;
};
} // namespace ZK::SoundEngine
