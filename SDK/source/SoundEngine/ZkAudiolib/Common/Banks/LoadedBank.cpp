#include "ZkAudiolib/Common/Banks/LoadedBank.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

namespace ZK::SoundEngine
{
LoadedBank* LoadedBank::Create(ZkBankID bankID, const void* memoryAddress)
{
    LoadedBank* bank = ZK::ZkNew<LoadedBank>(kPool);
    if (bank == nullptr)
        return nullptr;
    bank->key = {bankID, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(memoryAddress))};
    return bank;
}

ZKRESULT LoadedBank::GrowItemList(uint32_t extra)
{
    const uint64_t capacity = uint64_t{itemCapacity} + extra;
    if (capacity > UINT32_MAX)
        return ZK_Fail;
    void* grown = ZK::MemoryMgr::Realloc(kPool, items, static_cast<size_t>(capacity) * sizeof(CZkIndexedObject*));
    if (grown == nullptr)
        return ZK_Fail;
    items = static_cast<CZkIndexedObject**>(grown);
    itemCapacity = static_cast<uint32_t>(capacity);
    return ZK_Success;
}

void LoadedBank::AddItem(CZkIndexedObject* object)
{
    if (itemCount < itemCapacity)
        items[itemCount++] = object;
    else
        object->Release();
}

void LoadedBank::ReleaseItemList()
{
    for (uint32_t index = 0; index < itemCount; ++index)
        items[index]->Release();
    if (items != nullptr)
        ZK::MemoryMgr::Free(kPool, items);
    items = nullptr;
    itemCount = 0;
    itemCapacity = 0;
}

void LoadedBank::Destroy()
{
    if (dataBlock != nullptr)
        ZK::MemoryMgr::Free(kBankDataMemID, dataBlock);
    if ((flags & kFlagEntriesOwned) != 0 && entries != nullptr)
        ZK::MemoryMgr::Free(kPool, const_cast<uint8_t*>(entries));
    if (items != nullptr)
        ZK::MemoryMgr::Free(kPool, items);
    ZK::ZkDelete(kPool, this);
}
} // namespace ZK::SoundEngine
