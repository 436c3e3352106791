// Instances of the span allocator: configuration, size classes, initialisation and finalisation,
// and the calling thread's heap.
#include "MemoryMgr/CZkSpanAllocator.h"

#include "MemoryMgr/DefaultPageHooks.h"
#include "MemoryMgr/SpanMappedBytes.h"
#include "Platform/PlatformVirtualMemory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

namespace ZK::SpanAlloc
{
namespace
{
std::mutex g_lazyInitialisation; // guards the default initialisation of a thread's first allocation
} // namespace

// Constant-initialised and never destroyed: threads may free blocks until the process ends.
constinit CZkSpanAllocator CZkSpanAllocator::s_instances[CZkSpanAllocator::kInstanceCount] = {CZkSpanAllocator(0),
                                                                                             CZkSpanAllocator(1)};
constinit thread_local ZkThreadHeapEntry CZkSpanAllocator::t_threadHeaps[CZkSpanAllocator::kInstanceCount] = {};

uint64_t CZkSpanAllocator::MappedBytes() { return g_mappedBytes.load(std::memory_order_relaxed); }
uint64_t CZkSpanAllocator::MappedBytesCap() { return g_mappedBytesCap.load(std::memory_order_relaxed); }

void CZkSpanAllocator::Configure(const ZkSpanAllocatorConfig& config)
{
    m_pageAllocHook = config.pageAllocHook ? config.pageAllocHook : MemoryMgr::DefaultPageAlloc;
    m_pageFreeHook = config.pageFreeHook ? config.pageFreeHook : MemoryMgr::DefaultPageFree;

    uint64_t page = config.pageSize ? config.pageSize : Platform::PageSize();
    page = std::clamp(page, kMinPageBytes, kMaxPageBytes);
    m_pageSize = std::bit_floor(page);
    m_pageShift = static_cast<uint32_t>(std::countr_zero(m_pageSize));
    m_mapGranularity = config.pageSize ? m_pageSize : Platform::AllocationGranularity();

    uint32_t span = kDefaultSpanBytes;
    if (config.spanSize > kMaxSpanBytes)
        span = kMaxSpanBytes;
    else if (config.spanSize != 0)
        span = std::bit_ceil(std::max(config.spanSize, kMinSpanBytes));
    m_spanSize = span;
    m_spanShift = static_cast<uint32_t>(std::countr_zero(span));
    m_spanMask = ~uintptr_t(span - 1);

    uint64_t mapCount = config.spanMapCount ? config.spanMapCount : kDefaultSpanMapCount;
    if (uint64_t(span) * mapCount < m_pageSize)
        mapCount = m_pageSize / span;
    if (span <= m_pageSize && (uint64_t(span) * mapCount) % m_pageSize != 0)
        mapCount = m_pageSize / span;
    m_spanMapCount = static_cast<uint32_t>(std::min<uint64_t>(mapCount, 0xFFFFFFFFu));
    m_reserveCount = std::min(m_spanMapCount, kMaxReserveSpans);
    m_mediumLimit = std::min(kMediumLimitMaxBytes, (span - kSpanHeaderBytes) / 2);

    if (this == &s_instances[0])
        g_mappedBytesCap.store(config.mappedBytesCap, std::memory_order_relaxed);
}

void CZkSpanAllocator::BuildSizeClasses()
{
    const uint32_t usable = m_spanSize - kSpanHeaderBytes;
    auto setClass = [&](uint32_t index, uint32_t blockSize) {
        m_sizeClasses[index].blockSize = blockSize;
        m_sizeClasses[index].blocksPerSpan = static_cast<uint16_t>(usable / blockSize);
        m_sizeClasses[index].classIndex = static_cast<uint16_t>(index);
    };
    // A medium class that gets as many blocks per span as the classes below it takes their
    // requests too: those blocks would cost the same spans and waste nothing more.
    auto setMediumClass = [&](uint32_t index, uint32_t blockSize) {
        setClass(index, blockSize);
        for (uint32_t lower = index; lower-- > 0;)
        {
            if (m_sizeClasses[lower].blocksPerSpan != m_sizeClasses[index].blocksPerSpan)
                break;
            m_sizeClasses[lower] = m_sizeClasses[index];
        }
    };
    std::memset(m_sizeClasses, 0, sizeof(m_sizeClasses));
    setClass(0, kSmallGranularityBytes);
    for (uint32_t index = 1; index < kSmallClassCount; ++index)
        setClass(index, index * kSmallGranularityBytes);

    uint32_t index = kSmallClassCount;
    uint32_t blockSize = kFirstMediumBlockBytes;
    for (; index < kSizeClassCount && blockSize <= m_mediumLimit; ++index, blockSize += kMediumGranularityBytes)
        setMediumClass(index, blockSize);
    // Spans below 64 KiB put the medium limit between two steps of 512: a last class of exactly the
    // limit serves the requests above the last step (their table entry would be empty otherwise).
    // The limit, half a span less its header, is a multiple of 16.
    if (index < kSizeClassCount && blockSize - kMediumGranularityBytes < m_mediumLimit)
        setMediumClass(index, m_mediumLimit);
}

int32_t CZkSpanAllocator::Initialise(const ZkSpanAllocatorConfig& config)
{
    Configure(config);
    const int32_t slotResult = ZkTlsAllocateSlot(&m_tlsSlot);
    m_tlsValid = slotResult == 0;
    BuildSizeClasses();
    m_globalReserve = nullptr;
    m_globalReserveMaster = nullptr;
    m_globalReserveCount = 0;
    m_releasedHeaps = nullptr;
    m_firstClassHeaps = nullptr;
    std::fill(std::begin(m_heapBuckets), std::end(m_heapBuckets), nullptr);
    m_nextHeapId = kFirstHeapId;
    m_generation.fetch_add(1, std::memory_order_relaxed);
    m_initialised.store(true, std::memory_order_release);
    return slotResult;
}

ZkSpanHeap* CZkSpanAllocator::FindThreadHeap()
{
    if (!IsInitialised())
    {
        std::lock_guard<std::mutex> guard(g_lazyInitialisation);
        if (!IsInitialised())
            Initialise(ZkSpanAllocatorConfig{});
    }
    if (!m_tlsValid)
        return nullptr;
    auto* heap = static_cast<ZkSpanHeap*>(ZkTlsGetValue(m_tlsSlot));
    if (!heap)
    {
        heap = AcquireHeap(false);
        if (!heap)
            return nullptr;
        ZkTlsSetValue(m_tlsSlot, heap);
        heap->owner.store(CurrentThreadIdentity(), std::memory_order_relaxed);
    }
    SetThreadHeapEntry(heap);
    return heap;
}

ZkSpanHeap* CZkSpanAllocator::CurrentThreadHeapIfAny() const
{
    if (!IsInitialised() || !m_tlsValid)
        return nullptr;
    return static_cast<ZkSpanHeap*>(ZkTlsGetValue(m_tlsSlot));
}

bool CZkSpanAllocator::IsOwnerSide(const ZkSpanHeap* heap) const
{
    const uintptr_t owner = heap->owner.load(std::memory_order_relaxed);
    return owner == kSharedHeapOwner || owner == CurrentThreadIdentity() || heap->finalising != 0;
}

void CZkSpanAllocator::Finalise()
{
    if (!IsInitialised())
        return;
    if (m_tlsValid)
    {
        if (auto* heap = static_cast<ZkSpanHeap*>(ZkTlsGetValue(m_tlsSlot)))
            ReleaseHeap(heap, false, true);
    }

    if (m_globalReserveCount != 0)
    {
        GiveBackSpan(CarveRun(m_globalReserve, m_globalReserveMaster, m_globalReserveCount));
        m_globalReserve = nullptr;
        m_globalReserveMaster = nullptr;
        m_globalReserveCount = 0;
    }

    for (ZkSpanHeap* bucket : m_heapBuckets)
    {
        for (ZkSpanHeap* heap = bucket; heap; heap = heap->nextInBucket)
        {
            heap->finalising = 1;
            FlushHeap(heap);
        }
    }

    // Heaps with nothing left leave their buckets. Their records live inside the mapping of their
    // master heap, which is given back only once it and all heaps carved from it are gone, so every
    // record is read before any mapping goes.
    ZkSpanHeap* retired = nullptr;
    for (ZkSpanHeap*& bucket : m_heapBuckets)
    {
        ZkSpanHeap** link = &bucket;
        while (ZkSpanHeap* heap = *link)
        {
            if (HeapIsEmpty(heap))
            {
                *link = heap->nextInBucket;
                heap->nextOrphan = retired;
                retired = heap;
            }
            else
            {
                link = &heap->nextInBucket;
            }
        }
    }
    ZkSpanHeap* retiredMasters = nullptr;
    for (ZkSpanHeap* heap = retired; heap;)
    {
        ZkSpanHeap* next = heap->nextOrphan;
        if (heap->masterHeap)
        {
            --heap->masterHeap->childCount;
        }
        else
        {
            heap->nextOrphan = retiredMasters;
            retiredMasters = heap;
        }
        heap = next;
    }
    for (ZkSpanHeap* heap = retiredMasters; heap;)
    {
        ZkSpanHeap* next = heap->nextOrphan;
        if (heap->childCount == 0)
            RetireHeap(heap);
        heap = next;
    }

    m_releasedHeaps = nullptr;
    m_firstClassHeaps = nullptr;
    std::fill(std::begin(m_heapBuckets), std::end(m_heapBuckets), nullptr);
    if (m_tlsValid)
        ZkTlsFreeSlot(m_tlsSlot);
    m_tlsValid = false;
    m_tlsSlot = 0xFFFFFFFFu;
    m_generation.fetch_add(1, std::memory_order_relaxed);
    m_initialised.store(false, std::memory_order_release);
}
} // namespace ZK::SpanAlloc
