// CZkSpanAllocator: the built-in allocator behind ZK::MemoryMgr when the caller supplies no
// allocation hooks. Small (up to 1024 bytes) and medium blocks come from size-classed spans held in
// per-thread heaps, large blocks are runs of whole spans, huge blocks are direct page mappings.
// Pages come from the page hooks of the configuration.
//
// There are two independent instances (0 and 1, chosen by bit 30 of a memory id), each with its
// own configuration, size classes, heaps, span reserve and thread-local slot. One count of mapped
// bytes, and one cap on it, is shared by both.
//
// Threading: each thread allocates from its own heap without locks (ThreadHeap). The calling thread's
// heap is found through a C++ thread_local in front of the instance's thread-local slot (the slot
// stays the record, so a process without slots still gets no heap), and the common cases of
// allocating and freeing on the thread's own heap are inline (AllocateFast, FreeFast): a pop or a
// push on a free list, no call. A block may be
// freed by any thread: a block of another thread's heap goes onto its span's deferred free list,
// which the owner takes over at its next refill. The shared heap (owner 0) has no owner and no lock:
// callers must not use it from two threads at once. Initialise and Finalise run while no other
// thread uses the instance.
//
// Ownership: the instance owns every mapping it made until Finalise gives back all spans that hold
// no block in use. Heaps live inside the instance's mappings; a released heap (ReleaseHeap) keeps
// its blocks and partly used spans for the next thread that acquires it.
#pragma once

#include "MemoryMgr/SpanAllocatorLayout.h"
#include "MemoryMgr/SpinWait.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace ZK::SpanAlloc
{
// Reallocation flags.
constexpr uint32_t kReallocDiscardContents = 1;
constexpr uint32_t kReallocNeverMove = 2;

// Sizes above this are refused outright (they could not be mapped, and size + header would wrap).
constexpr uint64_t kMaxRequestBytes = uint64_t(1) << 62;

// A non-zero identity of the calling thread, distinct from the shared and released owner values:
// the address of a thread-local byte. The initial-exec model keeps the look-up one instruction.
inline uintptr_t CurrentThreadIdentity()
{
    static thread_local char s_identity __attribute__((tls_model("initial-exec")));
    return reinterpret_cast<uintptr_t>(&s_identity);
}

// The calling thread's heap of one instance, valid while the instance's generation is the one it
// was stored under (a Finalise makes every thread's entry stale at once).
struct ZkThreadHeapEntry
{
    ZkSpanHeap* heap;
    uint32_t generation;
};

class CZkSpanAllocator
{
public:
    static constexpr uint32_t kInstanceCount = 2;
    static CZkSpanAllocator& Instance(uint32_t index) { return s_instances[index & 1]; }

    // Mapped bytes of both instances together, and the shared cap (0 = none).
    static uint64_t MappedBytes();
    static uint64_t MappedBytesCap();

    // Returns 0, or -1 when no thread-local slot was left: the instance then hands out no thread
    // heaps (allocations through ThreadHeap answer null).
    int32_t Initialise(const ZkSpanAllocatorConfig& config);
    void Finalise();
    bool IsInitialised() const { return m_initialised.load(std::memory_order_acquire); }

    // The calling thread's heap, created on first use (initialising the instance with the default
    // configuration when needed). Null when no heap can be had.
    ZkSpanHeap* ThreadHeap()
    {
        const ZkThreadHeapEntry& entry = t_threadHeaps[m_index];
        if (entry.heap && entry.generation == m_generation.load(std::memory_order_relaxed)) [[likely]]
            return entry.heap;
        return FindThreadHeap();
    }
    // The calling thread's heap when it has one; never creates one.
    ZkSpanHeap* CurrentThreadHeapIfAny() const;
    ZkSpanHeap* AcquireHeap(bool firstClass);
    void ReleaseHeap(ZkSpanHeap* heap, bool firstClass, bool giveBackCaches);

    void* Allocate(ZkSpanHeap* heap, size_t size);
    // The inline part of allocating on the calling thread's heap: a block popped from its class's
    // free list, or null when that needs more (no heap yet, a large size, an empty list), which
    // Allocate(ThreadHeap(), size) then does.
    template <uint32_t Index>
    static void* PopFromThreadHeap(size_t size)
    {
        const CZkSpanAllocator& self = s_instances[Index];
        const ZkThreadHeapEntry& entry = t_threadHeaps[Index];
        ZkSpanHeap* heap = entry.heap;
        if (!heap || entry.generation != self.m_generation.load(std::memory_order_relaxed)) [[unlikely]]
            return nullptr;
        // Small sizes first (the medium limit is never below the small limit).
        uint32_t classIndex;
        if (size <= kSmallLimitBytes) [[likely]]
            classIndex = self.m_sizeClasses[(size + kSmallGranularityBytes - 1) / kSmallGranularityBytes].classIndex;
        else if (size <= self.m_mediumLimit)
            classIndex = self.ClassForSize(size);
        else
            return nullptr;
        ZkSizeClassSlot& slot = heap->classes[classIndex];
        void* block = slot.freeList;
        if (block) [[likely]]
            slot.freeList = *static_cast<void**>(block);
        return block;
    }
    void* AllocateAligned(ZkSpanHeap* heap, size_t alignment, size_t size);
    void* Reallocate(ZkSpanHeap* heap, void* block, size_t size, uint32_t flags);
    void* ReallocateAligned(ZkSpanHeap* heap, void* block, size_t alignment, size_t size, uint32_t flags);
    void Free(void* block);
    // Free, with the owner thread's push onto the span's free list inline.
    void FreeFast(void* block)
    {
        if (!block) [[unlikely]]
            return;
        ZkSpan* span = SpanOf(block);
        // The span is small or medium, its blocks were handed out unaligned, it is this thread's and
        // it is not on a full list (a full span has no free block and no untouched block).
        if (span->sizeClass < kSizeClassCount && !(span->flags & kSpanAlignedBlocks) &&
            span->heap->owner.load(std::memory_order_relaxed) == CurrentThreadIdentity() &&
            (span->freeList || span->freeListLimit != span->blockCount)) [[likely]]
        {
            *static_cast<void**>(block) = span->freeList;
            span->freeList = block;
            --span->usedCount;
            if (span->usedCount == span->deferredCount.load(std::memory_order_acquire)) [[unlikely]]
                SpanMayBeEmpty(span);
            return;
        }
        Free(block);
    }
    size_t UsableSize(void* block) const;

    // Configuration as resolved at initialisation (for tests and diagnostics).
    uint64_t PageSize() const { return m_pageSize; }
    uint32_t SpanSize() const { return m_spanSize; }
    uint32_t SpanMapCount() const { return m_spanMapCount; }
    uint32_t ReserveCount() const { return m_reserveCount; }
    uint32_t MediumLimit() const { return m_mediumLimit; }
    const ZkSizeClass& SizeClass(uint32_t index) const { return m_sizeClasses[index]; }

private:
    explicit constexpr CZkSpanAllocator(uint32_t index) : m_index(index) {}
    static CZkSpanAllocator s_instances[kInstanceCount];
    // Constant-initialised and initial-exec: reached without a call.
    static constinit thread_local ZkThreadHeapEntry t_threadHeaps[kInstanceCount] __attribute__((tls_model("initial-exec")));

    ZkSpanHeap* FindThreadHeap();
    void SetThreadHeapEntry(ZkSpanHeap* heap) { t_threadHeaps[m_index] = {heap, m_generation.load(std::memory_order_relaxed)}; }
    ZkSpan* SpanOf(void* block) const { return reinterpret_cast<ZkSpan*>(reinterpret_cast<uintptr_t>(block) & m_spanMask); }

    // Configuration and size classes.
    void Configure(const ZkSpanAllocatorConfig& config);
    void BuildSizeClasses();
    uint32_t ClassForSize(size_t size) const
    {
        if (size <= kSmallLimitBytes)
            return m_sizeClasses[(size + kSmallGranularityBytes - 1) / kSmallGranularityBytes].classIndex;
        const size_t entry = kSmallClassCount + (size - (kSmallLimitBytes + 1)) / kMediumGranularityBytes;
        return m_sizeClasses[entry].classIndex;
    }

    // Mapping and giving back (SpanMapping.cpp).
    void* MapPages(size_t size, uint32_t& alignmentOffset, void*& cookie, bool alignedPath);
    void UnmapPages(void* address, size_t size, size_t releaseSize, uint32_t alignmentOffset, void* cookie);
    ZkSpan* MapSpans(uint32_t spanCount);
    void GiveBackSpan(ZkSpan* span);
    void ReleaseMasterMapping(ZkSpan* master);
    ZkSpan* MasterOf(ZkSpan* span) const;
    ZkSpan* CarveRun(ZkSpan* at, ZkSpan* master, uint32_t spanCount);
    ZkSpan* SpanAt(ZkSpan* base, uint32_t spans) const;

    // Span supply of a heap (SpanSupply.cpp).
    ZkSpan* TakeFromHeapReserve(ZkSpanHeap* heap, uint32_t spanCount);
    void SetHeapReserve(ZkSpanHeap* heap, ZkSpan* run, ZkSpan* master, uint32_t spanCount);
    void DistributeSurplus(ZkSpanHeap* heap, ZkSpan* surplus, ZkSpan* master, uint32_t spanCount);
    ZkSpan* SearchSpans(ZkSpanHeap* heap, uint32_t spanCount);
    void InsertIntoCaches(ZkSpanHeap* heap, ZkSpan* span);
    ZkSpan* PopCache(ZkSpanHeap* heap, uint32_t spanCount);
    void GiveBackCaches(ZkSpanHeap* heap);
    void DrainDeferredSpans(ZkSpanHeap* heap, bool keepHuge);
    void GiveBackHuge(ZkSpan* span);

    // Heaps (SpanHeaps.cpp).
    ZkSpanHeap* CreateHeaps();
    void FlushHeap(ZkSpanHeap* heap);
    void RetireHeap(ZkSpanHeap* heap);
    bool HeapIsEmpty(const ZkSpanHeap* heap) const;

    // Blocks (SpanBlocks.cpp).
    void* AllocateFromClass(ZkSpanHeap* heap, uint32_t classIndex);
    void* AllocateLarge(ZkSpanHeap* heap, size_t size);
    void* AllocateHuge(ZkSpanHeap* heap, size_t size);
    void* AllocateMappedAligned(ZkSpanHeap* heap, size_t alignment, size_t size);
    void* InitialiseSpanForClass(ZkSpanHeap* heap, ZkSpan* span, uint32_t classIndex);
    void* HandOutUntouched(ZkSpan* span, ZkSizeClassSlot& slot, bool boundByFirstPage);
    void TakeOverDeferredBlocks(ZkSpan* span);
    void FreeSmallOrMedium(ZkSpan* span, void* block);
    void FreeLarge(ZkSpan* span);
    void FreeHuge(ZkSpan* span);
    void PushDeferredSpan(ZkSpanHeap* heap, ZkSpan* span);
    bool IsOwnerSide(const ZkSpanHeap* heap) const;
    void* BlockStart(const ZkSpan* span, void* block) const;
    void SpanEmptied(ZkSpanHeap* heap, ZkSpan* span);
    // After an owner-side free that left as many blocks in use as wait on the deferred list.
    void SpanMayBeEmpty(ZkSpan* span);

    uint32_t m_index = 0;
    // Raised by Initialise and by Finalise: thread heap entries of another generation are stale.
    std::atomic<uint32_t> m_generation{0};
    std::atomic<bool> m_initialised{false};
    ZkMemPageAllocHook m_pageAllocHook = nullptr;
    ZkMemPageFreeHook m_pageFreeHook = nullptr;
    uint64_t m_pageSize = 0;
    uint32_t m_pageShift = 0;
    uint64_t m_mapGranularity = 0;
    uint32_t m_spanSize = kDefaultSpanBytes;
    uint32_t m_spanShift = 16;
    uintptr_t m_spanMask = ~uintptr_t(kDefaultSpanBytes - 1);
    uint32_t m_spanMapCount = kDefaultSpanMapCount;
    uint32_t m_reserveCount = kMaxReserveSpans;
    uint32_t m_mediumLimit = kMediumLimitMaxBytes;
    ZkSizeClass m_sizeClasses[kSizeClassCount] = {};

    uint32_t m_nextHeapId = kFirstHeapId;
    ZkSpanHeap* m_heapBuckets[kHeapHashBuckets] = {};

    ZkSpinLock m_globalReserveLock;
    ZkSpan* m_globalReserve = nullptr;
    ZkSpan* m_globalReserveMaster = nullptr;
    uint32_t m_globalReserveCount = 0;

    ZkSpinLock m_orphanLock;
    ZkSpanHeap* m_releasedHeaps = nullptr;
    ZkSpanHeap* m_firstClassHeaps = nullptr;

    uint32_t m_tlsSlot = 0xFFFFFFFFu;
    bool m_tlsValid = false;
};
} // namespace ZK::SpanAlloc
