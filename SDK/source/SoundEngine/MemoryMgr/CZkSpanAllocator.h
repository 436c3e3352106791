// CZkSpanAllocator: the built-in allocator behind ZK::MemoryMgr when the caller supplies no
// allocation hooks. Small (up to 1024 bytes) and medium blocks come from size-classed spans held in
// per-thread heaps, large blocks are runs of whole spans, huge blocks are direct page mappings.
// Pages come from the page hooks of the configuration.
//
// There are two independent instances (0 and 1, chosen by bit 30 of a memory id), each with its
// own configuration, size classes, heaps, span reserve and thread-local slot. One count of mapped
// bytes, and one cap on it, is shared by both.
//
// Threading: each thread allocates from its own heap without locks (ThreadHeap). A block may be
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

class CZkSpanAllocator
{
public:
    static constexpr uint32_t kInstanceCount = 2;
    static CZkSpanAllocator& Instance(uint32_t index);

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
    ZkSpanHeap* ThreadHeap();
    // The calling thread's heap when it has one; never creates one.
    ZkSpanHeap* CurrentThreadHeapIfAny() const;
    ZkSpanHeap* AcquireHeap(bool firstClass);
    void ReleaseHeap(ZkSpanHeap* heap, bool firstClass, bool giveBackCaches);

    void* Allocate(ZkSpanHeap* heap, size_t size);
    void* AllocateAligned(ZkSpanHeap* heap, size_t alignment, size_t size);
    void* Reallocate(ZkSpanHeap* heap, void* block, size_t size, uint32_t flags);
    void* ReallocateAligned(ZkSpanHeap* heap, void* block, size_t alignment, size_t size, uint32_t flags);
    void Free(void* block);
    size_t UsableSize(void* block) const;

    // Configuration as resolved at initialisation (for tests and diagnostics).
    uint64_t PageSize() const { return m_pageSize; }
    uint32_t SpanSize() const { return m_spanSize; }
    uint32_t SpanMapCount() const { return m_spanMapCount; }
    uint32_t ReserveCount() const { return m_reserveCount; }
    uint32_t MediumLimit() const { return m_mediumLimit; }
    const ZkSizeClass& SizeClass(uint32_t index) const { return m_sizeClasses[index]; }

private:
    constexpr CZkSpanAllocator() = default;
    static CZkSpanAllocator s_instances[kInstanceCount];

    // Configuration and size classes.
    void Configure(const ZkSpanAllocatorConfig& config);
    void BuildSizeClasses();
    uint32_t ClassForSize(size_t size) const;

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
