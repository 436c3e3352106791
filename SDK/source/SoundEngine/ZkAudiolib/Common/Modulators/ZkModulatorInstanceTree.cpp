#include "ZkAudiolib/Common/Modulators/ZkModulatorInstanceTree.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

#include <cstring>

namespace ZK::SoundEngine
{
uint32_t ZkModulatorInstanceTree::LowerBound(const NodeArray& array, uint64_t part)
{
    uint32_t low = 0;
    uint32_t high = array.count;
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (array.items[middle].part < part)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

ZkModulatorInstanceTree::Node* ZkModulatorInstanceTree::Find(const NodeArray& array, uint64_t part)
{
    const uint32_t index = LowerBound(array, part);
    return index < array.count && array.items[index].part == part ? &array.items[index] : nullptr;
}

ZkModulatorInstanceTree::Node* ZkModulatorInstanceTree::Insert(NodeArray& array, uint64_t part)
{
    const uint32_t index = LowerBound(array, part);
    if (index < array.count && array.items[index].part == part)
        return &array.items[index];
    if (array.count == array.capacity)
    {
        const uint64_t capacity = ZK::ZkArray<Node>::GrownCapacity(array.capacity);
        if (capacity > UINT32_MAX / sizeof(Node))
            return nullptr;
        void* grown = ZK::MemoryMgr::Realloc(kPool, array.items, static_cast<size_t>(capacity * sizeof(Node)));
        if (grown == nullptr)
            return nullptr;
        array.items = static_cast<Node*>(grown);
        array.capacity = static_cast<uint32_t>(capacity);
    }
    std::memmove(static_cast<void*>(array.items + index + 1), array.items + index, sizeof(Node) * (array.count - index));
    ++array.count;
    Node& node = array.items[index];
    node.part = part;
    node.slot = Slot{nullptr, 0};
    node.children = NodeArray{};
    return &node;
}

void ZkModulatorInstanceTree::ReleaseSlot(Slot& slot)
{
    if (slot.hasInstance && slot.instance != nullptr)
        slot.instance->Release();
    slot = Slot{nullptr, 0};
}

void ZkModulatorInstanceTree::FreeArray(NodeArray& array)
{
    for (uint32_t index = 0; index < array.count; ++index)
    {
        ReleaseSlot(array.items[index].slot);
        FreeArray(array.items[index].children);
    }
    if (array.items != nullptr)
        ZK::MemoryMgr::Free(kPool, array.items);
    array = NodeArray{};
}

void ZkModulatorInstanceTree::PruneArray(NodeArray& array)
{
    uint32_t kept = 0;
    for (uint32_t index = 0; index < array.count; ++index)
    {
        Node& node = array.items[index];
        if (!node.slot.hasInstance && node.children.count == 0)
        {
            FreeArray(node.children);
            continue;
        }
        array.items[kept++] = node;
    }
    array.count = kept;
    if (kept == 0)
        FreeArray(array);
}

void ZkModulatorInstanceTree::PruneTree(NodeArray& array)
{
    for (uint32_t index = 0; index < array.count; ++index)
        PruneTree(array.items[index].children);
    PruneArray(array);
}

CZkModulatorInstance* ZkModulatorInstanceTree::Descend(const ZkRTPCKey& key, bool retryWildcard) const
{
    const uint32_t deepest = key.DeepestLevel();
    if (deepest == ZkRTPCKeyLevel_Global)
        return m_global.hasInstance ? m_global.instance : nullptr;
    const NodeArray* array = &m_branches;
    for (uint32_t level = ZkRTPCKeyLevel_GameObject;; ++level)
    {
        const Node* node = Find(*array, PartOf(key, level));
        if (node == nullptr && retryWildcard)
            node = Find(*array, RTPCWildcardPart(level));
        if (node == nullptr)
            return nullptr;
        if (level == deepest)
            return node->slot.hasInstance ? node->slot.instance : nullptr;
        array = &node->children;
    }
}

ZkModulatorInstanceTree::Slot* ZkModulatorInstanceTree::FindOrInsertSlot(const ZkRTPCKey& key)
{
    const uint32_t deepest = key.DeepestLevel();
    if (deepest == ZkRTPCKeyLevel_Global)
        return &m_global;
    NodeArray* array = &m_branches;
    for (uint32_t level = ZkRTPCKeyLevel_GameObject;; ++level)
    {
        Node* node = Insert(*array, PartOf(key, level));
        if (node == nullptr)
        {
            // The path made so far holds nothing: it goes again.
            PruneTree(m_branches);
            return nullptr;
        }
        if (level == deepest)
            return &node->slot;
        array = &node->children;
    }
}

void ZkModulatorInstanceTree::Store(Slot& slot, CZkModulatorInstance* instance)
{
    if (slot.hasInstance && slot.instance == instance)
        return;
    if (instance != nullptr)
        instance->AddRef();
    Slot old = slot;
    slot = Slot{instance, static_cast<uint8_t>(instance != nullptr)};
    ReleaseSlot(old);
}

void ZkModulatorInstanceTree::RemoveFrom(NodeArray& array, uint32_t level, const ZkRTPCKey& key, uint32_t deepest)
{
    Node* node = Find(array, PartOf(key, level));
    if (node == nullptr)
        return;
    if (level == deepest)
        ReleaseSlot(node->slot);
    else
        RemoveFrom(node->children, level + 1, key, deepest);
    PruneArray(array);
}

void ZkModulatorInstanceTree::RemoveKey(const ZkRTPCKey& key)
{
    const uint32_t deepest = key.DeepestLevel();
    if (deepest == ZkRTPCKeyLevel_Global)
        ReleaseSlot(m_global);
    else
        RemoveFrom(m_branches, ZkRTPCKeyLevel_GameObject, key, deepest);
}

bool ZkModulatorInstanceTree::HasOverride(const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey) const
{
    return RTPCKeyHasOverride(&m_branches, subscriberKey, changedKey,
                              [](const NodeArray* children, uint64_t part) -> const NodeArray* {
                                  const Node* node = Find(*children, part);
                                  return node != nullptr ? &node->children : nullptr;
                              });
}

void ZkModulatorInstanceTree::Term()
{
    ReleaseSlot(m_global);
    FreeArray(m_branches);
}
} // namespace ZK::SoundEngine
