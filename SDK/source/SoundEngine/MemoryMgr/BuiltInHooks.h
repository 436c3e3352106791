// The hooks ZK::MemoryMgr::Init installs when the caller supplies none: each routes a call to the
// span allocator instance named by bit 30 of the memory id, on the shared heap when bit 29 is set or
// else on the calling thread's heap. MallocInline and FreeInline are the same routes for the memory
// manager's own entry points, which call them directly while the built-in allocator is installed:
// a block of the calling thread's heap is handed out or taken back without a call.
#pragma once

#include "MemoryMgr/CZkSpanAllocator.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::MemoryMgr::BuiltIn
{
// The shared heap of each instance (instance 1 never gets one; ids naming it answer null).
void SetSharedHeap(uint32_t instance, SpanAlloc::ZkSpanHeap* heap);
SpanAlloc::ZkSpanHeap* SharedHeap(uint32_t instance);

void InitForThread();
void TermForThread();
void* Malloc(ZkMemoryId memId, size_t size);

inline uint32_t InstanceOf(ZkMemoryId memId) { return (memId & ZkMemID_SecondInstance) ? 1u : 0u; }

// The thread heap of instance 0 inline; anything else (the shared heap, instance 1, a refill) through
// the hook.
inline void* MallocInline(ZkMemoryId memId, size_t size)
{
    if (!(memId & (ZkMemID_SharedHeap | ZkMemID_SecondInstance))) [[likely]]
    {
        if (void* block = SpanAlloc::CZkSpanAllocator::PopFromThreadHeap<0>(size)) [[likely]]
            return block;
    }
    return Malloc(memId, size);
}

inline void FreeInline(ZkMemoryId memId, void* block)
{
    if (!(memId & ZkMemID_SecondInstance)) [[likely]]
        SpanAlloc::CZkSpanAllocator::Instance(0).FreeFast(block);
    else
        SpanAlloc::CZkSpanAllocator::Instance(1).FreeFast(block);
}
void* Malign(ZkMemoryId memId, size_t size, uint32_t alignment);
void* Realloc(ZkMemoryId memId, void* block, size_t size);
void* ReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment);
void Free(ZkMemoryId memId, void* block);
size_t MappedBytes();
size_t BlockSize(ZkMemoryId memId, void* block);
} // namespace ZK::MemoryMgr::BuiltIn
