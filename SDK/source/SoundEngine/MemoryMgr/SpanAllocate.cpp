// Allocation paths of the span allocator: small and medium blocks from size-classed spans, large
// blocks as runs of spans, huge blocks as direct mappings, and aligned blocks.
#include "MemoryMgr/CZkSpanAllocator.h"

#include "MemoryMgr/SpanList.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace ZK::SpanAlloc
{
namespace
{
void* PopBlock(void*& freeList)
{
    void* block = freeList;
    freeList = *static_cast<void**>(block);
    return block;
}

uintptr_t AlignUp(uintptr_t value, uint64_t alignment) { return (value + alignment - 1) & ~uintptr_t(alignment - 1); }
} // namespace

// [audio-thread safe on the owner path: no lock, no system call while the class has free blocks]
void* CZkSpanAllocator::Allocate(ZkSpanHeap* heap, size_t size)
{
    if (!heap)
        return nullptr;
    if (size <= m_mediumLimit)
    {
        const uint32_t classIndex = ClassForSize(size);
        ZkSizeClassSlot& slot = heap->classes[classIndex];
        if (slot.freeList)
            return PopBlock(slot.freeList);
        return AllocateFromClass(heap, classIndex);
    }
    if (size > kMaxRequestBytes)
        return nullptr;
    if (size + kSpanHeaderBytes <= (uint64_t(kMaxLargeSpans) << m_spanShift))
        return AllocateLarge(heap, size);
    return AllocateHuge(heap, size);
}

// Links untouched blocks of the span into the class's free list: up to the end of the page that
// holds the first of them for blocks below half a page (so fresh pages are touched only when
// needed), else up to the span's end.
void* CZkSpanAllocator::HandOutUntouched(ZkSpan* span, ZkSizeClassSlot& slot, bool /*boundByFirstPage*/)
{
    const uint32_t blockSize = span->blockSize;
    char* first = reinterpret_cast<char*>(span) + kSpanHeaderBytes + uint64_t(span->freeListLimit) * blockSize;
    uint32_t count = span->blockCount - span->freeListLimit;
    if (blockSize < m_pageSize / 2)
    {
        const uintptr_t pageEnd = (reinterpret_cast<uintptr_t>(first) & ~uintptr_t(m_pageSize - 1)) + m_pageSize;
        const uint64_t untilPageEnd = (pageEnd - reinterpret_cast<uintptr_t>(first) + blockSize - 1) / blockSize;
        count = static_cast<uint32_t>(std::min<uint64_t>(count, std::max<uint64_t>(untilPageEnd, 1)));
    }
    char* block = first;
    for (uint32_t index = 1; index < count; ++index, block += blockSize)
        *reinterpret_cast<void**>(block) = block + blockSize;
    *reinterpret_cast<void**>(block) = slot.freeList;
    slot.freeList = first;
    span->freeListLimit += count;
    span->usedCount = span->freeListLimit;
    return first;
}

void CZkSpanAllocator::TakeOverDeferredBlocks(ZkSpan* span)
{
    if (span->deferredFreeList.load(std::memory_order_acquire) == nullptr)
        return;
    void* list = nullptr;
    SpinUntil([&] {
        list = span->deferredFreeList.exchange(kDeferredListLocked, std::memory_order_acquire);
        return list != kDeferredListLocked;
    });
    const uint32_t count = span->deferredCount.load(std::memory_order_relaxed);
    span->deferredCount.store(0, std::memory_order_relaxed);
    span->deferredFreeList.store(nullptr, std::memory_order_release);
    if (!list)
        return;
    span->usedCount -= count;
    if (span->freeList)
    {
        void* tail = list;
        while (*static_cast<void**>(tail))
            tail = *static_cast<void**>(tail);
        *static_cast<void**>(tail) = span->freeList;
    }
    span->freeList = list;
}

void* CZkSpanAllocator::InitialiseSpanForClass(ZkSpanHeap* heap, ZkSpan* span, uint32_t classIndex)
{
    const ZkSizeClass& sizeClass = m_sizeClasses[classIndex];
    ZkSizeClassSlot& slot = heap->classes[classIndex];
    span->sizeClass = classIndex;
    span->blockSize = sizeClass.blockSize;
    span->blockCount = sizeClass.blocksPerSpan;
    span->flags &= ~kSpanAlignedBlocks;
    span->heap = heap;
    span->freeList = nullptr;
    span->deferredFreeList.store(nullptr, std::memory_order_relaxed);
    span->deferredCount.store(0, std::memory_order_relaxed);
    span->freeListLimit = 0;
    span->usedCount = 0;
    HandOutUntouched(span, slot, true);
    if (span->freeListLimit == span->blockCount)
    {
        PushSpan(heap->fullLists[classIndex], span);
        ++heap->fullSpanCount;
    }
    else
    {
        PushSpan(slot.partialSpans, span);
    }
    return PopBlock(slot.freeList);
}

void* CZkSpanAllocator::AllocateFromClass(ZkSpanHeap* heap, uint32_t classIndex)
{
    ZkSizeClassSlot& slot = heap->classes[classIndex];
    while (ZkSpan* span = slot.partialSpans)
    {
        if (span->freeList)
        {
            slot.freeList = span->freeList;
            span->freeList = nullptr;
            span->usedCount = span->freeListLimit;
        }
        else if (span->freeListLimit < span->blockCount)
        {
            HandOutUntouched(span, slot, true);
        }
        TakeOverDeferredBlocks(span);
        if (!span->freeList && span->freeListLimit == span->blockCount)
        {
            RemoveSpan(slot.partialSpans, span);
            PushSpan(heap->fullLists[classIndex], span);
            ++heap->fullSpanCount;
        }
        if (slot.freeList)
            return PopBlock(slot.freeList);
    }

    ZkSpan* span = slot.cachedSpan;
    if (span)
        slot.cachedSpan = PopCache(heap, 1);
    if (!span)
        span = PopCache(heap, 1);
    if (!span && heap->deferredSpans.load(std::memory_order_relaxed))
    {
        DrainDeferredSpans(heap, false);
        span = PopCache(heap, 1);
    }
    if (!span && heap->reserveCount != 0)
        span = TakeFromHeapReserve(heap, 1);
    if (!span)
        span = SearchSpans(heap, 1);
    if (!span)
        return nullptr;
    return InitialiseSpanForClass(heap, span, classIndex);
}

void* CZkSpanAllocator::AllocateLarge(ZkSpanHeap* heap, size_t size)
{
    const uint32_t needed = static_cast<uint32_t>((size + kSpanHeaderBytes + m_spanSize - 1) >> m_spanShift);
    const uint32_t most = needed < 3 ? needed : std::min(needed + needed / 2, kMaxLargeSpans);
    ZkSpan* span = nullptr;
    for (uint32_t count = needed; count <= most && !span; ++count)
    {
        span = PopCache(heap, count);
        if (!span && heap->deferredSpans.load(std::memory_order_relaxed))
        {
            DrainDeferredSpans(heap, false);
            span = PopCache(heap, count);
        }
        if (!span && heap->reserveCount >= count)
            span = TakeFromHeapReserve(heap, count);
    }
    if (!span)
        span = SearchSpans(heap, needed);
    if (!span)
        return nullptr;
    span->sizeClass = kLargeClass;
    span->flags &= ~kSpanAlignedBlocks;
    span->heap = heap;
    span->freeList = nullptr;
    PushSpan(heap->fullLists[kLargeClass], span);
    ++heap->fullSpanCount;
    return reinterpret_cast<char*>(span) + kSpanHeaderBytes;
}

void* CZkSpanAllocator::AllocateHuge(ZkSpanHeap* heap, size_t size)
{
    const uint64_t pages = (size + kSpanHeaderBytes + m_pageSize - 1) >> m_pageShift;
    if (pages > 0xFFFFFFFFu)
        return nullptr;
    uint32_t alignmentOffset = 0;
    void* cookie = nullptr;
    auto* span = static_cast<ZkSpan*>(MapPages(pages << m_pageShift, alignmentOffset, cookie, false));
    if (!span)
        return nullptr;
    std::memset(static_cast<void*>(span), 0, sizeof(ZkSpan));
    span->sizeClass = kHugeClass;
    span->spanCount = static_cast<uint32_t>(pages);
    span->flags = kSpanMaster;
    span->alignmentOffset = alignmentOffset;
    span->mappingCookie = cookie;
    span->heap = heap;
    PushSpan(heap->fullLists[kLargeClass], span);
    ++heap->fullSpanCount;
    return reinterpret_cast<char*>(span) + kSpanHeaderBytes;
}

void* CZkSpanAllocator::AllocateAligned(ZkSpanHeap* heap, size_t alignment, size_t size)
{
    if (alignment <= kSmallGranularityBytes)
        return Allocate(heap, size);
    if (!heap)
        return nullptr;
    if (!std::has_single_bit(alignment) || alignment >= m_spanSize)
    {
        errno = EINVAL;
        return nullptr;
    }
    if (size > kMaxRequestBytes)
    {
        errno = ENOMEM;
        return nullptr;
    }
    if (alignment <= kSpanHeaderBytes && size < m_mediumLimit)
    {
        // Blocks whose size is a multiple of 128 are 128-aligned: spans are aligned and blocks start
        // 128 bytes in.
        const size_t rounded = size ? (size + kSpanHeaderBytes - 1) / kSpanHeaderBytes * kSpanHeaderBytes : kSpanHeaderBytes;
        if (alignment + size >= rounded)
            return Allocate(heap, rounded);
    }
    if (alignment <= m_pageSize)
    {
        void* block = Allocate(heap, size + alignment);
        if (!block)
            return nullptr;
        auto* aligned = reinterpret_cast<void*>(AlignUp(reinterpret_cast<uintptr_t>(block), alignment));
        auto* span = reinterpret_cast<ZkSpan*>(reinterpret_cast<uintptr_t>(block) & m_spanMask);
        if (span->sizeClass < kSizeClassCount)
            span->flags |= kSpanAlignedBlocks;
        return aligned;
    }
    return AllocateMappedAligned(heap, alignment, size);
}

// Alignments above a page: the block is placed in a mapping of its own, its header at the span
// boundary the mapping starts on.
void* CZkSpanAllocator::AllocateMappedAligned(ZkSpanHeap* heap, size_t alignment, size_t size)
{
    const uint64_t alignmentPages = alignment >> m_pageShift;
    uint64_t firstCount = ((size + m_pageSize - 1) >> m_pageShift) + 1;
    if (firstCount < alignmentPages)
        firstCount = alignmentPages + 1;
    // The block lands at the first aligned address past the header; start with enough pages for it.
    const uint64_t blockOffset = AlignUp(kSpanHeaderBytes, alignment);
    firstCount = std::max<uint64_t>(firstCount, (blockOffset + size + m_pageSize - 1) >> m_pageShift);
    const uint64_t pagesPerSpan = std::max<uint64_t>(1, m_spanSize >> m_pageShift);
    const uint64_t lastCount = 2 * std::max(firstCount, pagesPerSpan);
    for (uint64_t pages = firstCount; pages <= lastCount; ++pages)
    {
        const uint64_t bytes = pages << m_pageShift;
        uint32_t alignmentOffset = 0;
        void* cookie = nullptr;
        auto* mapping = static_cast<char*>(MapPages(bytes, alignmentOffset, cookie, true));
        if (!mapping)
            return nullptr;
        char* block = reinterpret_cast<char*>(AlignUp(reinterpret_cast<uintptr_t>(mapping) + kSpanHeaderBytes, alignment));
        if (block < mapping + m_spanSize && block + size <= mapping + bytes)
        {
            auto* span = reinterpret_cast<ZkSpan*>(mapping);
            std::memset(static_cast<void*>(span), 0, sizeof(ZkSpan));
            span->sizeClass = kHugeClass;
            span->spanCount = static_cast<uint32_t>(pages);
            span->flags = kSpanMaster;
            span->alignmentOffset = alignmentOffset;
            span->mappingCookie = cookie;
            span->heap = heap;
            PushSpan(heap->fullLists[kLargeClass], span);
            ++heap->fullSpanCount;
            return block;
        }
        UnmapPages(mapping, bytes, bytes, alignmentOffset, cookie);
    }
    errno = ENOMEM;
    return nullptr;
}
} // namespace ZK::SpanAlloc
