// Heaps: created sixteen to a mapping, handed to threads, released for later threads, and flushed
// when the instance finalises.
#include "MemoryMgr/CZkSpanAllocator.h"

#include "MemoryMgr/SpanList.h"

#include <algorithm>
#include <cstring>

namespace ZK::SpanAlloc
{
ZkSpanHeap* CZkSpanAllocator::AcquireHeap(bool firstClass)
{
    ZkSpinLockGuard guard(m_orphanLock);
    ZkSpanHeap* heap = nullptr;
    if (!firstClass && m_releasedHeaps)
    {
        heap = m_releasedHeaps;
        m_releasedHeaps = heap->nextOrphan;
    }
    else if (m_firstClassHeaps)
    {
        heap = m_firstClassHeaps;
        m_firstClassHeaps = heap->nextOrphan;
    }
    else
    {
        heap = CreateHeaps();
    }
    if (!heap)
        return nullptr;
    heap->nextOrphan = nullptr;
    // Huge spans go back on the list: the heap's next owner gives them back on its own thread.
    DrainDeferredSpans(heap, true);
    return heap;
}

void CZkSpanAllocator::ReleaseHeap(ZkSpanHeap* heap, bool firstClass, bool giveBackCaches)
{
    DrainDeferredSpans(heap, false);
    if (giveBackCaches || heap->finalising)
        GiveBackCaches(heap);
    if (m_tlsValid && ZkTlsGetValue(m_tlsSlot) == heap)
    {
        ZkTlsSetValue(m_tlsSlot, nullptr);
        SetThreadHeapEntry(nullptr);
    }
    ZkSpinLockGuard guard(m_orphanLock);
    heap->owner.store(kReleasedHeapOwner, std::memory_order_relaxed);
    ZkSpanHeap*& list = firstClass ? m_firstClassHeaps : m_releasedHeaps;
    heap->nextOrphan = list;
    list = heap;
}

// Called under the orphan lock.
ZkSpanHeap* CZkSpanAllocator::CreateHeaps()
{
    const uint64_t heapBytes = uint64_t(kHeapsPerMapping) * kHeapStrideBytes + kFirstHeapOffsetBytes;
    uint32_t needed = static_cast<uint32_t>((heapBytes + m_spanSize - 1) >> m_spanShift);
    uint32_t heapCount = kHeapsPerMapping;
    if ((uint64_t(needed) << m_spanShift) < m_pageSize)
    {
        // Spans smaller than pages: a whole page is mapped, and filled with as many heaps as fit.
        needed = static_cast<uint32_t>(m_pageSize >> m_spanShift);
        const uint64_t fit = (m_pageSize - kFirstHeapOffsetBytes) / kHeapStrideBytes;
        heapCount = fit >= kMaxHeapsPerPage ? kMaxHeapsPerPage : static_cast<uint32_t>(std::min<uint64_t>(fit, kHeapsPerMapping));
    }

    ZkSpan* run = nullptr;
    {
        ZkSpinLockGuard guard(m_globalReserveLock);
        if (m_globalReserveCount >= needed)
        {
            run = CarveRun(m_globalReserve, m_globalReserveMaster, needed);
            m_globalReserveCount -= needed;
            m_globalReserve = m_globalReserveCount ? SpanAt(m_globalReserve, needed) : nullptr;
            if (m_globalReserveCount == 0)
                m_globalReserveMaster = nullptr;
        }
    }
    ZkSpan* surplus = nullptr;
    ZkSpan* master = nullptr;
    uint32_t surplusCount = 0;
    if (!run)
    {
        const uint32_t total = std::max(needed, m_spanMapCount);
        master = MapSpans(total);
        if (!master)
            return nullptr;
        run = CarveRun(master, master, needed);
        surplusCount = total - needed;
        surplus = surplusCount ? SpanAt(master, needed) : nullptr;
    }
    run->sizeClass = kHeapRunClass;

    char* base = reinterpret_cast<char*>(run) + kFirstHeapOffsetBytes;
    ZkSpanHeap* first = nullptr;
    for (uint32_t index = 0; index < heapCount; ++index)
    {
        auto* heap = reinterpret_cast<ZkSpanHeap*>(base + uint64_t(index) * kHeapStrideBytes);
        std::memset(static_cast<void*>(heap), 0, kHeapClearBytes);
        heap->id = m_nextHeapId++;
        ZkSpanHeap*& bucket = m_heapBuckets[heap->id % kHeapHashBuckets];
        heap->nextInBucket = bucket;
        bucket = heap;
        if (index == 0)
        {
            first = heap;
            continue;
        }
        heap->owner.store(kReleasedHeapOwner, std::memory_order_relaxed);
        heap->masterHeap = first;
        heap->nextOrphan = m_firstClassHeaps;
        m_firstClassHeaps = heap;
    }
    first->childCount = heapCount - 1;
    run->heap = first;
    if (surplusCount != 0)
        DistributeSurplus(first, surplus, master, surplusCount);
    return first;
}

bool CZkSpanAllocator::HeapIsEmpty(const ZkSpanHeap* heap) const
{
    if (heap->fullSpanCount != 0 || heap->reserveCount != 0)
        return false;
    for (const ZkSizeClassSlot& slot : heap->classes)
    {
        if (slot.partialSpans || slot.freeList || slot.cachedSpan)
            return false;
    }
    return true;
}

// Gives back every span of the heap that holds no block in use. Runs with heap->finalising set, so
// spans that become empty on the way are given back instead of cached.
void CZkSpanAllocator::FlushHeap(ZkSpanHeap* heap)
{
    if (heap->reserveCount != 0)
    {
        GiveBackSpan(CarveRun(heap->reserve, heap->reserveMaster, heap->reserveCount));
        heap->reserve = nullptr;
        heap->reserveMaster = nullptr;
        heap->reserveCount = 0;
    }
    DrainDeferredSpans(heap, false);

    for (uint32_t classIndex = 0; classIndex < kSizeClassCount; ++classIndex)
    {
        ZkSizeClassSlot& slot = heap->classes[classIndex];
        // Blocks waiting in the class's free list go back to their spans first.
        while (void* block = slot.freeList)
        {
            slot.freeList = *static_cast<void**>(block);
            Free(block);
        }
        if (slot.cachedSpan)
        {
            GiveBackSpan(slot.cachedSpan);
            slot.cachedSpan = nullptr;
        }
        for (ZkSpan* span = slot.partialSpans; span;)
        {
            ZkSpan* next = span->next;
            TakeOverDeferredBlocks(span);
            if (span->usedCount == 0)
            {
                RemoveSpan(slot.partialSpans, span);
                GiveBackSpan(span);
            }
            span = next;
        }
        for (ZkSpan* span = heap->fullLists[classIndex]; span;)
        {
            ZkSpan* next = span->next;
            TakeOverDeferredBlocks(span);
            if (span->usedCount == 0)
            {
                RemoveSpan(heap->fullLists[classIndex], span);
                --heap->fullSpanCount;
                GiveBackSpan(span);
            }
            span = next;
        }
    }
    GiveBackCaches(heap);
}

void CZkSpanAllocator::RetireHeap(ZkSpanHeap* heap)
{
    auto* run = reinterpret_cast<ZkSpan*>(reinterpret_cast<char*>(heap) - kFirstHeapOffsetBytes);
    GiveBackSpan(run);
}
} // namespace ZK::SpanAlloc
