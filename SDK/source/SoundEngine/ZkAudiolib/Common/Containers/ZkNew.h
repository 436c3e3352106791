// Construction of engine objects in memory from ZK::MemoryMgr: ZkNew allocates from a pool and
// constructs, ZkDelete destroys and gives the memory back to the same pool. Null when the pool is
// out of memory (the object is then not constructed).
//
// Threading: as ZK::MemoryMgr (any thread between its Init and Term).
// Ownership: the caller owns the object and must delete it with the pool it was created with.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <new>
#include <utility>

namespace ZK
{
template <typename T, typename... Args>
T* ZkNew(ZkMemoryId pool, Args&&... args)
{
    void* memory = ZK::MemoryMgr::Malloc(pool, sizeof(T));
    if (memory == nullptr)
        return nullptr;
    return new (memory) T(std::forward<Args>(args)...);
}

// The pointer must be the most-derived object (the address ZkNew returned).
template <typename T>
void ZkDelete(ZkMemoryId pool, T* object)
{
    if (object == nullptr)
        return;
    object->~T();
    ZK::MemoryMgr::Free(pool, object);
}
} // namespace ZK
