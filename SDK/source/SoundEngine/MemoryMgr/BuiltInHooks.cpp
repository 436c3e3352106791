#include "MemoryMgr/BuiltInHooks.h"

#include "MemoryMgr/CZkSpanAllocator.h"

#include <atomic>

namespace ZK::MemoryMgr::BuiltIn
{
namespace
{
std::atomic<SpanAlloc::ZkSpanHeap*> g_sharedHeaps[SpanAlloc::CZkSpanAllocator::kInstanceCount] = {};

SpanAlloc::CZkSpanAllocator& AllocatorOf(ZkMemoryId memId)
{
    return SpanAlloc::CZkSpanAllocator::Instance(InstanceOf(memId));
}

SpanAlloc::ZkSpanHeap* HeapOf(ZkMemoryId memId)
{
    const uint32_t instance = InstanceOf(memId);
    if (memId & ZkMemID_SharedHeap)
        return g_sharedHeaps[instance].load(std::memory_order_acquire);
    return SpanAlloc::CZkSpanAllocator::Instance(instance).ThreadHeap();
}
} // namespace

void SetSharedHeap(uint32_t instance, SpanAlloc::ZkSpanHeap* heap)
{
    g_sharedHeaps[instance].store(heap, std::memory_order_release);
}

SpanAlloc::ZkSpanHeap* SharedHeap(uint32_t instance) { return g_sharedHeaps[instance].load(std::memory_order_acquire); }

// Thread heaps are created on a thread's first allocation.
void InitForThread() {}

void TermForThread()
{
    auto& allocator = SpanAlloc::CZkSpanAllocator::Instance(0);
    if (!allocator.IsInitialised())
        return;
    if (SpanAlloc::ZkSpanHeap* heap = allocator.CurrentThreadHeapIfAny())
        allocator.ReleaseHeap(heap, false, true);
}

void* Malloc(ZkMemoryId memId, size_t size) { return AllocatorOf(memId).Allocate(HeapOf(memId), size); }

void* Malign(ZkMemoryId memId, size_t size, uint32_t alignment)
{
    return AllocatorOf(memId).AllocateAligned(HeapOf(memId), alignment, size);
}

void* Realloc(ZkMemoryId memId, void* block, size_t size)
{
    SpanAlloc::ZkSpanHeap* heap = HeapOf(memId);
    if (!heap)
        return nullptr;
    return AllocatorOf(memId).Reallocate(heap, block, size, 0);
}

void* ReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment)
{
    SpanAlloc::ZkSpanHeap* heap = HeapOf(memId);
    if (!heap)
        return nullptr;
    return AllocatorOf(memId).ReallocateAligned(heap, block, alignment, size, 0);
}

void Free(ZkMemoryId memId, void* block) { FreeInline(memId, block); }

size_t MappedBytes() { return SpanAlloc::CZkSpanAllocator::MappedBytes(); }

size_t BlockSize(ZkMemoryId memId, void* block) { return AllocatorOf(memId).UsableSize(block); }
} // namespace ZK::MemoryMgr::BuiltIn
