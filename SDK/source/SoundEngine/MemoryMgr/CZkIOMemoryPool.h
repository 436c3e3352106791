// CZkIOMemoryPool: the I/O memory of one stream device. A fixed region, managed as buddy blocks,
// from which the device takes the buffers of its transfers, each described by a view. With the
// stream cache on, released views keep their data, indexed by (file key, position), so a later
// read of the same bytes takes the buffer again without a transfer; the least recently released
// view is the first reused or dropped when memory runs out. The device's memory-available event is
// set whenever memory comes back and reset when a request finds none.
//
// Threading: no lock of its own; every call runs under the owning device's lock.
// Ownership: the pool owns the region unless the caller supplied it (never freed by the pool), the
// view records (memory id 7) and the index. Views handed out stay valid until released; Term frees
// the region, so every view must be released before it.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include "MemoryMgr/ZkBuddyAllocator.h"
#include "MemoryMgr/ZkIOMemoryView.h"

#include <cstdint>

namespace ZK::Platform
{
class ZkEvent;
}

namespace ZK::MemoryMgr
{
constexpr uint32_t kMinIOBlockBytes = 512;
constexpr uint32_t kRegionNotOwned = 0xFFFFFFFFu;

// The device settings the pool is set up from (the I/O memory fields of the device's settings).
struct ZkIOMemorySettings
{
    void* ioMemoryBlock = nullptr;      // caller's region, or null to allocate one
    uint32_t ioMemoryBytes = 0;
    uint32_t ioMemoryAlignment = 0;
    uint32_t ioMemoryId = 0;            // the region is allocated from this id OR ZkMemID_DeviceIOFlag
    uint32_t granularity = 0;           // largest single transfer
    bool useStreamCache = false;
};

class CZkIOMemoryPool
{
public:
    CZkIOMemoryPool() = default;
    ~CZkIOMemoryPool() { Term(); }
    CZkIOMemoryPool(const CZkIOMemoryPool&) = delete;
    CZkIOMemoryPool& operator=(const CZkIOMemoryPool&) = delete;

    // ZK_Success; ZK_InvalidParameter for a zero granularity or more than 32 block levels;
    // ZK_Fail for less memory than one largest block or no room for the index;
    // ZK_InsufficientMemory when the region cannot be allocated.
    ZKRESULT Setup(const ZkIOMemorySettings& settings, Platform::ZkEvent* memoryAvailable);
    void Term();

    // A view of at least dataSize bytes (rounded up to roundingUnit and to the smallest block), with
    // one reference; or null (event reset) when neither free memory nor a released view serves.
    ZkIOMemoryView* TakeView(uint32_t dataSize, uint32_t roundingUnit);
    // Drops one reference; returns the references left.
    uint32_t ReleaseView(ZkIOMemoryView* view);
    // 1 when the view is indexed (or the cache is off), 2 when it is not.
    uint32_t KeyView(ZkIOMemoryView* view, void* owner, uint32_t fileKey, uint64_t position, uint32_t dataSize);
    // Offset of position inside a cached view that serves the read, the view in outView and the
    // bytes it holds from there in inOutBytes; 0 with outView null when nothing usable.
    uint32_t FindCachedData(uint32_t fileKey, uint64_t position, uint32_t minimumBytes, uint32_t alignment,
                            bool endOfFileAllowed, uint32_t& inOutBytes, ZkIOMemoryView*& outView);
    void RemoveFromIndex(ZkIOMemoryView* view);
    // A new un-keyed record for the same data, with no references and no memory of its own; null
    // when out of memory.
    ZkIOMemoryView* CopyView(const ZkIOMemoryView* view);
    void FlushCache();

    // Observers (for the device's statistics and for tests).
    uint32_t BytesTaken() const { return m_bytesTaken; }
    uint32_t BytesHeldByReleased() const { return m_bytesHeld; }
    uint32_t ReleasedCount() const { return m_releasedCount; }
    uint32_t IndexCount() const { return m_indexCount; }
    uint32_t IndexCapacity() const { return m_indexCapacity; }
    const ZkBuddyAllocator& Buddy() const { return m_buddy; }
    bool UsesStreamCache() const { return m_useStreamCache; }

private:
    void AppendReleased(ZkIOMemoryView* view);
    bool UnlinkReleased(ZkIOMemoryView* view);
    ZkIOMemoryView* PopOldestReleased();
    void DropView(ZkIOMemoryView* view);
    bool InsertIntoIndex(ZkIOMemoryView* view);
    uint32_t IndexOf(const ZkIOMemoryView* view) const;
    uint32_t LowerBound(uint32_t fileKey, uint64_t position) const;
    void SetEvent();
    void ResetEvent();

    // Released views, oldest at the head.
    uint32_t m_releasedCount = 0;
    ZkIOMemoryView* m_releasedTail = nullptr;
    ZkIOMemoryView* m_releasedHead = nullptr;
    uint32_t m_bytesHeld = 0;
    uint32_t m_bytesTaken = 0;
    ZkIOMemoryView** m_index = nullptr;
    uint32_t m_indexCount = 0;
    uint32_t m_indexCapacity = 0;
    ZkBuddyAllocator m_buddy;
    char* m_region = nullptr;
    uint32_t m_regionMemId = kRegionNotOwned;
    bool m_useStreamCache = false;
    Platform::ZkEvent* m_memoryAvailable = nullptr;
};
} // namespace ZK::MemoryMgr
