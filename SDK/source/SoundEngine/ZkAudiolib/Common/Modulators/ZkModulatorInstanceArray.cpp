#include "ZkAudiolib/Common/Modulators/ZkModulatorInstanceArray.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

#include <limits>

namespace ZK::SoundEngine
{
namespace
{
bool Reallocate(ZkModulatorInstanceArray& array, uint64_t capacity)
{
    if (capacity > std::numeric_limits<uint32_t>::max() / sizeof(CZkModulatorInstance*))
        return false;
    void* grown = ZK::MemoryMgr::Realloc(ZkModulatorInstanceArray::kPool, array.items,
                                         static_cast<size_t>(capacity) * sizeof(CZkModulatorInstance*));
    if (grown == nullptr)
        return false;
    array.items = static_cast<CZkModulatorInstance**>(grown);
    array.capacity = static_cast<uint32_t>(capacity);
    return true;
}
} // namespace

bool ZkModulatorInstanceArray::Contains(const CZkModulatorInstance* instance) const
{
    for (uint32_t index = 0; index < count; ++index)
    {
        if (items[index] == instance)
            return true;
    }
    return false;
}

ZKRESULT ZkModulatorInstanceArray::Add(CZkModulatorInstance* instance)
{
    if (count == capacity && !Reallocate(*this, ZK::ZkArray<CZkModulatorInstance*>::GrownCapacity(capacity)))
        return ZK_InsufficientMemory;
    items[count++] = instance;
    instance->AddRef();
    instance->AddUser();
    return ZK_Success;
}

ZKRESULT ZkModulatorInstanceArray::CopyFrom(const ZkModulatorInstanceArray& other)
{
    if (&other == this)
        return ZK_Success;
    RemoveAll();
    if (other.count > capacity && !Reallocate(*this, other.count))
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < other.count; ++index)
    {
        items[count++] = other.items[index];
        other.items[index]->AddRef();
        other.items[index]->AddUser();
    }
    return ZK_Success;
}

void ZkModulatorInstanceArray::RemoveAll()
{
    // Emptied first: an instance freed by its last reference may stop plays that look here.
    const uint32_t held = count;
    count = 0;
    for (uint32_t index = 0; index < held; ++index)
    {
        CZkModulatorInstance* instance = items[index];
        instance->RemoveUser();
        instance->Release();
    }
}

void ZkModulatorInstanceArray::Term()
{
    RemoveAll();
    if (items != nullptr)
        ZK::MemoryMgr::Free(kPool, items);
    items = nullptr;
    capacity = 0;
}
} // namespace ZK::SoundEngine
