// Freeing, usable sizes and reallocation. A block is freed on the owner side (its heap's thread, the
// shared heap, or a heap being finalised) straight into its span; any other thread hands it over
// through the span's deferred free list, or the whole span through the heap's deferred span list.
#include "MemoryMgr/CZkSpanAllocator.h"

#include "MemoryMgr/SpanList.h"

#include <algorithm>
#include <cstring>

namespace ZK::SpanAlloc
{
void* CZkSpanAllocator::BlockStart(const ZkSpan* span, void* block) const
{
    char* first = reinterpret_cast<char*>(const_cast<ZkSpan*>(span)) + kSpanHeaderBytes;
    const uint64_t offset = static_cast<uint64_t>(static_cast<char*>(block) - first);
    return first + offset / span->blockSize * span->blockSize;
}

size_t CZkSpanAllocator::UsableSize(void* block) const
{
    if (!block)
        return 0;
    auto* span = reinterpret_cast<ZkSpan*>(reinterpret_cast<uintptr_t>(block) & m_spanMask);
    const uint64_t offsetInSpan = static_cast<uint64_t>(static_cast<char*>(block) - reinterpret_cast<char*>(span));
    if (span->sizeClass < kSizeClassCount)
        return span->blockSize - (offsetInSpan - kSpanHeaderBytes) % span->blockSize;
    if (span->sizeClass == kLargeClass)
        return (uint64_t(span->spanCount) << m_spanShift) - offsetInSpan;
    return (uint64_t(span->spanCount) << m_pageShift) - offsetInSpan;
}

void CZkSpanAllocator::Free(void* block)
{
    if (!block)
        return;
    auto* span = reinterpret_cast<ZkSpan*>(reinterpret_cast<uintptr_t>(block) & m_spanMask);
    if (span->sizeClass < kSizeClassCount)
        FreeSmallOrMedium(span, block);
    else if (span->sizeClass == kLargeClass)
        FreeLarge(span);
    else
        FreeHuge(span);
}

void CZkSpanAllocator::FreeSmallOrMedium(ZkSpan* span, void* block)
{
    ZkSpanHeap* heap = span->heap;
    if (span->flags & kSpanAlignedBlocks)
        block = BlockStart(span, block);
    if (IsOwnerSide(heap))
    {
        // A span on its class's full list has no free block of its own and no untouched block.
        if (!span->freeList && span->freeListLimit == span->blockCount)
        {
            RemoveSpan(heap->fullLists[span->sizeClass], span);
            --heap->fullSpanCount;
            PushSpan(heap->classes[span->sizeClass].partialSpans, span);
        }
        *static_cast<void**>(block) = span->freeList;
        span->freeList = block;
        --span->usedCount;
        if (span->usedCount == span->deferredCount.load(std::memory_order_acquire))
            SpanMayBeEmpty(span);
        return;
    }

    void* head = nullptr;
    SpinUntil([&] {
        head = span->deferredFreeList.exchange(kDeferredListLocked, std::memory_order_acquire);
        return head != kDeferredListLocked;
    });
    *static_cast<void**>(block) = head;
    const uint32_t deferred = span->deferredCount.load(std::memory_order_relaxed) + 1;
    span->deferredCount.store(deferred, std::memory_order_release);
    const bool allBlocksDeferred = deferred == span->blockCount; // read before the owner may reuse it
    span->deferredFreeList.store(block, std::memory_order_release);
    if (allBlocksDeferred)
        PushDeferredSpan(heap, span);
}

void CZkSpanAllocator::SpanMayBeEmpty(ZkSpan* span)
{
    // Every block still counted as used waits on the deferred list: the span is empty. While
    // another thread is pushing (list locked) the span is left alone; it is found empty later.
    if (span->deferredFreeList.load(std::memory_order_acquire) != kDeferredListLocked)
        SpanEmptied(span->heap, span);
}

void CZkSpanAllocator::SpanEmptied(ZkSpanHeap* heap, ZkSpan* span)
{
    ZkSizeClassSlot& slot = heap->classes[span->sizeClass];
    RemoveSpan(slot.partialSpans, span);
    if (heap->finalising)
    {
        GiveBackSpan(span);
        return;
    }
    ZkSpan* previous = slot.cachedSpan;
    slot.cachedSpan = span;
    if (previous)
        InsertIntoCaches(heap, previous);
}

void CZkSpanAllocator::FreeLarge(ZkSpan* span)
{
    ZkSpanHeap* heap = span->heap;
    if (!IsOwnerSide(heap))
    {
        PushDeferredSpan(heap, span);
        return;
    }
    RemoveSpan(heap->fullLists[kLargeClass], span);
    --heap->fullSpanCount;
    if (span->spanCount >= 2 && heap->singleSpanCount == 0 && heap->reserveCount == 0 && !heap->finalising)
        SetHeapReserve(heap, span, MasterOf(span), span->spanCount);
    else
        InsertIntoCaches(heap, span);
}

void CZkSpanAllocator::FreeHuge(ZkSpan* span)
{
    ZkSpanHeap* heap = span->heap;
    if (!IsOwnerSide(heap))
    {
        PushDeferredSpan(heap, span);
        return;
    }
    RemoveSpan(heap->fullLists[kLargeClass], span);
    --heap->fullSpanCount;
    GiveBackHuge(span);
}

void* CZkSpanAllocator::Reallocate(ZkSpanHeap* heap, void* block, size_t size, uint32_t flags)
{
    if (!block)
        return Allocate(heap, size);
    auto* span = reinterpret_cast<ZkSpan*>(reinterpret_cast<uintptr_t>(block) & m_spanMask);
    const size_t usable = UsableSize(block);
    if (span->sizeClass < kSizeClassCount)
    {
        if (size <= span->blockSize)
        {
            void* start = (span->flags & kSpanAlignedBlocks) ? BlockStart(span, block) : block;
            if (start != block && !(flags & kReallocDiscardContents))
                std::memmove(start, block, std::min(size, usable));
            return start;
        }
    }
    else
    {
        // A large or huge run stays when the request fits and would still use at least half of it.
        const uint64_t length = span->sizeClass == kLargeClass ? uint64_t(span->spanCount) << m_spanShift
                                                               : uint64_t(span->spanCount) << m_pageShift;
        if (size <= usable && size + kSpanHeaderBytes >= length / 2)
            return block;
    }
    if (flags & kReallocNeverMove)
        return nullptr;
    if (size > kMaxRequestBytes)
        return nullptr;
    const size_t grown = usable + usable / 8 + usable / 4;
    const size_t newSize = (size > usable && size <= grown) ? grown : size;
    void* moved = Allocate(heap, newSize);
    if (!moved)
        return nullptr;
    if (!(flags & kReallocDiscardContents))
        std::memcpy(moved, block, std::min(usable, size));
    Free(block);
    return moved;
}

void* CZkSpanAllocator::ReallocateAligned(ZkSpanHeap* heap, void* block, size_t alignment, size_t size, uint32_t flags)
{
    if (alignment <= kSmallGranularityBytes)
        return Reallocate(heap, block, size, flags);
    if (!block)
        return AllocateAligned(heap, alignment, size);
    const size_t usable = UsableSize(block);
    const bool aligned = (reinterpret_cast<uintptr_t>(block) & (alignment - 1)) == 0;
    if (size <= usable && aligned && (size >= usable / 2 || (flags & kReallocNeverMove)))
        return block;
    if (flags & kReallocNeverMove)
        return nullptr;
    void* moved = AllocateAligned(heap, alignment, size);
    if (!moved)
        return nullptr;
    if (!(flags & kReallocDiscardContents))
        std::memcpy(moved, block, std::min(usable, size));
    Free(block);
    return moved;
}
} // namespace ZK::SpanAlloc
