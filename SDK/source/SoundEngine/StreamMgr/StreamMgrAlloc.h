// Construction and destruction of stream-manager objects in memory of the sound engine's memory
// manager, so that every object names its pool (memory id 7 unless the caller says otherwise).
//
// Threading: as the memory manager (any thread after its Init). Ownership: ZkNewObject hands the
// object to the caller, who gives it back through ZkDeleteObject with the same memory id.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <new>
#include <type_traits>
#include <utility>

namespace ZK::StreamMgr
{
template <typename T, typename... Args>
T* ZkNewObject(ZkMemoryId memId, Args&&... args)
{
    void* memory = ZK::MemoryMgr::Malign(memId, sizeof(T), alignof(T));
    if (!memory)
        return nullptr;
    return new (memory) T(std::forward<Args>(args)...);
}

// Runs the (virtual) destructor and frees the whole object, whichever base pointer is given.
template <typename T>
void ZkDeleteObject(ZkMemoryId memId, T* object)
{
    if (!object)
        return;
    void* memory;
    if constexpr (std::is_polymorphic_v<T>)
        memory = dynamic_cast<void*>(object);
    else
        memory = object;
    object->~T();
    ZK::MemoryMgr::Free(memId, memory);
}
} // namespace ZK::StreamMgr
