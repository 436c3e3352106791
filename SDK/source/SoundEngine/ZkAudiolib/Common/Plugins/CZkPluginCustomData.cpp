#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/IZkPlugin.h>

#include <new>

namespace ZK::SoundEngine
{
namespace
{
struct CustomDataEntry
{
    ZkUniqueID objectID;
    ZkGameObjectID gameObject;
    uint32_t pluginKey;
    void* data;
    uint32_t size;
    uint8_t owned;
};

using EntryArray = ZK::ZkArray<CustomDataEntry, CZkPluginCustomData::kTablePool>;

// The table is never destroyed: its block goes back to the memory manager in Clear, at the
// renderer's end, and a destructor run at the program's exit would find the manager gone.
EntryArray& Entries()
{
    alignas(EntryArray) static unsigned char storage[sizeof(EntryArray)];
    static EntryArray* entries = new (storage) EntryArray();
    return *entries;
}

// The index of the entry, or Length() when there is none.
uint32_t IndexOf(ZkUniqueID objectID, ZkGameObjectID gameObject, uint32_t pluginKey)
{
    const auto& entries = Entries();
    uint32_t index = 0;
    for (; index < entries.Length(); ++index)
    {
        const CustomDataEntry& entry = entries[index];
        if (entry.objectID == objectID && entry.pluginKey == pluginKey && entry.gameObject == gameObject)
            break;
    }
    return index;
}

void FreeBlock(const CustomDataEntry& entry)
{
    if (entry.owned != 0 && entry.data != nullptr)
        ZK::MemoryMgr::Free(CZkPluginCustomData::kDataPool, entry.data);
}
} // namespace

ZKRESULT CZkPluginCustomData::Post(ZkUniqueID objectID, ZkGameObjectID gameObject, uint32_t pluginType,
                                   uint32_t companyID, uint32_t pluginID, void* data, uint32_t size, bool owned)
{
    const uint32_t key = ZK::ZkMakePluginKey(pluginType, companyID, pluginID);
    const bool hasData = data != nullptr && size != 0;
    auto& entries = Entries();
    const uint32_t index = IndexOf(objectID, gameObject, key);
    if (index < entries.Length())
    {
        FreeBlock(entries[index]);
        if (hasData)
        {
            CustomDataEntry& entry = entries[index];
            entry.data = data;
            entry.size = size;
            entry.owned = owned ? 1 : 0;
        }
        else
        {
            entries.Erase(index); // the following entries move down one place
        }
        return ZK_Success;
    }
    if (!hasData)
    {
        // Nothing to remove; a block of 0 bytes that came with the call is still the table's.
        if (owned && data != nullptr)
            ZK::MemoryMgr::Free(kDataPool, data);
        return ZK_Success;
    }
    if (entries.AddLast({objectID, gameObject, key, data, size, static_cast<uint8_t>(owned ? 1 : 0)}) == nullptr)
    {
        if (owned)
            ZK::MemoryMgr::Free(kDataPool, data);
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

void CZkPluginCustomData::Find(ZkUniqueID objectID, ZkGameObjectID gameObject, uint32_t pluginKey, const void*& data,
                               uint32_t& size)
{
    const auto& entries = Entries();
    uint32_t index = IndexOf(objectID, gameObject, pluginKey);
    if (index == entries.Length() && gameObject != kAnyGameObject)
        index = IndexOf(objectID, kAnyGameObject, pluginKey);
    if (index == entries.Length())
    {
        data = nullptr;
        size = 0;
        return;
    }
    data = entries[index].data;
    size = entries[index].size;
}

void CZkPluginCustomData::Clear()
{
    auto& entries = Entries();
    for (const CustomDataEntry& entry : entries)
        FreeBlock(entry);
    entries.Term();
}

uint32_t CZkPluginCustomData::EntryCount() { return Entries().Length(); }
} // namespace ZK::SoundEngine
