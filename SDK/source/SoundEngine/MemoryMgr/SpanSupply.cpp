// Where a heap's spans come from and go to: its span reserve, the instance's global reserve, fresh
// mappings, the heap's bounded span caches, and the list of spans other threads handed back.
#include "MemoryMgr/CZkSpanAllocator.h"

#include "MemoryMgr/SpanList.h"

#include <algorithm>

namespace ZK::SpanAlloc
{
ZkSpan* CZkSpanAllocator::TakeFromHeapReserve(ZkSpanHeap* heap, uint32_t spanCount)
{
    ZkSpan* run = CarveRun(heap->reserve, heap->reserveMaster, spanCount);
    heap->reserveCount -= spanCount;
    if (heap->reserveCount == 0)
    {
        heap->reserve = nullptr;
        heap->reserveMaster = nullptr;
    }
    else
    {
        heap->reserve = SpanAt(run, spanCount);
    }
    return run;
}

void CZkSpanAllocator::SetHeapReserve(ZkSpanHeap* heap, ZkSpan* run, ZkSpan* master, uint32_t spanCount)
{
    heap->reserve = run;
    heap->reserveMaster = master;
    heap->reserveCount = spanCount;
}

void CZkSpanAllocator::DistributeSurplus(ZkSpanHeap* heap, ZkSpan* surplus, ZkSpan* master, uint32_t spanCount)
{
    const uint32_t toHeap = std::min(spanCount, m_reserveCount);
    if (toHeap != 0)
    {
        if (heap->reserveCount != 0)
            InsertIntoCaches(heap, CarveRun(heap->reserve, heap->reserveMaster, heap->reserveCount));
        SetHeapReserve(heap, surplus, master, toHeap);
    }
    const uint32_t toGlobal = spanCount - toHeap;
    if (toGlobal == 0)
        return;
    ZkSpan* oldReserve = nullptr;
    ZkSpan* oldMaster = nullptr;
    uint32_t oldCount = 0;
    {
        ZkSpinLockGuard guard(m_globalReserveLock);
        oldReserve = m_globalReserve;
        oldMaster = m_globalReserveMaster;
        oldCount = m_globalReserveCount;
        m_globalReserve = SpanAt(surplus, toHeap);
        m_globalReserveMaster = master;
        m_globalReserveCount = toGlobal;
    }
    if (oldCount != 0)
        GiveBackSpan(CarveRun(oldReserve, oldMaster, oldCount));
}

ZkSpan* CZkSpanAllocator::SearchSpans(ZkSpanHeap* heap, uint32_t spanCount)
{
    if (heap->reserveCount >= spanCount)
        return TakeFromHeapReserve(heap, spanCount);

    if (!(m_spanSize >= m_pageSize && m_reserveCount >= m_spanMapCount))
    {
        ZkSpan* run = nullptr;
        ZkSpan* master = nullptr;
        uint32_t surplusCount = 0;
        {
            ZkSpinLockGuard guard(m_globalReserveLock);
            if (m_globalReserveCount >= spanCount)
            {
                const uint32_t take = heap->reserveCount != 0
                                          ? spanCount
                                          : std::min(std::max(spanCount, m_reserveCount), m_globalReserveCount);
                master = m_globalReserveMaster;
                run = CarveRun(m_globalReserve, master, spanCount);
                surplusCount = take - spanCount;
                m_globalReserveCount -= take;
                m_globalReserve = m_globalReserveCount ? SpanAt(m_globalReserve, take) : nullptr;
                if (m_globalReserveCount == 0)
                    m_globalReserveMaster = nullptr;
            }
        }
        if (run)
        {
            if (surplusCount != 0)
                SetHeapReserve(heap, SpanAt(run, spanCount), master, surplusCount);
            return run;
        }
    }

    uint64_t total = std::max(spanCount, m_spanMapCount);
    if (m_spanSize < m_pageSize && ((total << m_spanShift) % m_pageSize) != 0)
        total = (total + m_spanMapCount - 1) / m_spanMapCount * m_spanMapCount;
    ZkSpan* master = MapSpans(static_cast<uint32_t>(total));
    if (!master)
        return nullptr;
    ZkSpan* run = CarveRun(master, master, spanCount);
    if (total > spanCount)
        DistributeSurplus(heap, SpanAt(master, spanCount), master, static_cast<uint32_t>(total - spanCount));
    return run;
}

void CZkSpanAllocator::InsertIntoCaches(ZkSpanHeap* heap, ZkSpan* span)
{
    const uint32_t spanCount = span->spanCount;
    if (heap->finalising || spanCount > kMaxLargeSpans)
    {
        GiveBackSpan(span);
        return;
    }
    if (spanCount == 1)
    {
        heap->singleSpanCache[heap->singleSpanCount++] = span;
        if (heap->singleSpanCount == kSingleSpanCacheCapacity)
        {
            // Keep the older spans (their pages are the ones most likely still in use nearby).
            for (uint32_t index = kSingleSpanCacheCapacity - kSingleSpanCacheTrimCount;
                 index < kSingleSpanCacheCapacity; ++index)
                GiveBackSpan(heap->singleSpanCache[index]);
            heap->singleSpanCount = kSingleSpanCacheCapacity - kSingleSpanCacheTrimCount;
        }
        return;
    }
    const uint32_t cache = spanCount - 2;
    const uint32_t capacity = MultiSpanCacheCapacity(spanCount);
    heap->multiSpanCache[cache][heap->multiSpanCount[cache]++] = span;
    if (heap->multiSpanCount[cache] == capacity)
    {
        for (uint32_t index = capacity - kMultiSpanCacheTrimCount; index < capacity; ++index)
            GiveBackSpan(heap->multiSpanCache[cache][index]);
        heap->multiSpanCount[cache] = capacity - kMultiSpanCacheTrimCount;
    }
}

ZkSpan* CZkSpanAllocator::PopCache(ZkSpanHeap* heap, uint32_t spanCount)
{
    if (spanCount == 1)
        return heap->singleSpanCount ? heap->singleSpanCache[--heap->singleSpanCount] : nullptr;
    if (spanCount > kMaxLargeSpans)
        return nullptr;
    const uint32_t cache = spanCount - 2;
    return heap->multiSpanCount[cache] ? heap->multiSpanCache[cache][--heap->multiSpanCount[cache]] : nullptr;
}

void CZkSpanAllocator::GiveBackCaches(ZkSpanHeap* heap)
{
    for (uint32_t index = 0; index < heap->singleSpanCount; ++index)
        GiveBackSpan(heap->singleSpanCache[index]);
    heap->singleSpanCount = 0;
    for (uint32_t cache = 0; cache < kMultiSpanCacheCount; ++cache)
    {
        for (uint32_t index = 0; index < heap->multiSpanCount[cache]; ++index)
            GiveBackSpan(heap->multiSpanCache[cache][index]);
        heap->multiSpanCount[cache] = 0;
    }
}

void CZkSpanAllocator::PushDeferredSpan(ZkSpanHeap* heap, ZkSpan* span)
{
    ZkSpan* head = heap->deferredSpans.load(std::memory_order_relaxed);
    do
    {
        span->freeList = head;
    } while (!heap->deferredSpans.compare_exchange_weak(head, span, std::memory_order_release,
                                                        std::memory_order_relaxed));
}

// Spans on the deferred list have every block freed (or are large or huge runs freed by another
// thread). They are still on one of the heap's full lists, which they leave here.
void CZkSpanAllocator::DrainDeferredSpans(ZkSpanHeap* heap, bool keepHuge)
{
    ZkSpan* span = heap->deferredSpans.exchange(nullptr, std::memory_order_acquire);
    ZkSpan* keptHuge = nullptr;
    while (span)
    {
        ZkSpan* next = static_cast<ZkSpan*>(span->freeList);
        span->freeList = nullptr;
        if (span->sizeClass == kHugeClass && keepHuge)
        {
            span->freeList = keptHuge;
            keptHuge = span;
        }
        else
        {
            const uint32_t list = span->sizeClass == kHugeClass ? kLargeClass : span->sizeClass;
            RemoveSpan(heap->fullLists[list], span);
            --heap->fullSpanCount;
            if (span->sizeClass == kHugeClass)
                GiveBackHuge(span);
            else
                InsertIntoCaches(heap, span);
        }
        span = next;
    }
    while (keptHuge)
    {
        ZkSpan* next = static_cast<ZkSpan*>(keptHuge->freeList);
        PushDeferredSpan(heap, keptHuge);
        keptHuge = next;
    }
}
} // namespace ZK::SpanAlloc
