// The hooks ZK::MemoryMgr::Init installs when the caller supplies none: each routes a call to the
// span allocator instance named by bit 30 of the memory id, on the shared heap when bit 29 is set or
// else on the calling thread's heap.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SpanAlloc
{
struct ZkSpanHeap;
}

namespace ZK::MemoryMgr::BuiltIn
{
// The shared heap of each instance (instance 1 never gets one; ids naming it answer null).
void SetSharedHeap(uint32_t instance, SpanAlloc::ZkSpanHeap* heap);
SpanAlloc::ZkSpanHeap* SharedHeap(uint32_t instance);

void InitForThread();
void TermForThread();
void* Malloc(ZkMemoryId memId, size_t size);
void* Malign(ZkMemoryId memId, size_t size, uint32_t alignment);
void* Realloc(ZkMemoryId memId, void* block, size_t size);
void* ReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment);
void Free(ZkMemoryId memId, void* block);
size_t MappedBytes();
size_t BlockSize(ZkMemoryId memId, void* block);
} // namespace ZK::MemoryMgr::BuiltIn
