#include "ZkAudiolib/Common/Parameters/ZkRTPCKeyTree.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>
#include <cstdint>

namespace ZK::SoundEngine
{
namespace
{
using ChildArray = ZK::ZkArray<ZkRTPCValueNode>;
constexpr ZkMemoryId kTreePool = ZkMemID_Default;

// The nodes along a key's exact path, root first.
struct ExactWalk
{
    ZkRTPCValueNode* nodes[kRTPCKeyLevels + 1] = {};
    uint32_t reached = 0; // deepest level whose node exists
};

ExactWalk WalkExact(ZkRTPCValueNode& root, const ZkRTPCKey& key, uint32_t depth)
{
    ExactWalk walk;
    walk.nodes[0] = &root;
    for (uint32_t level = 1; level <= depth; ++level)
    {
        ZkRTPCValueNode* child = ZkSortedKeyArray::Find(*walk.nodes[level - 1], RTPCKeyPart(key, level));
        if (child == nullptr)
            break;
        walk.nodes[level] = child;
        walk.reached = level;
    }
    return walk;
}

void FreeChildren(ZkRTPCValueNode& node)
{
    if (node.children == nullptr)
        return;
    for (ZkRTPCValueNode& child : *node.children)
        FreeChildren(child);
    ZK::ZkDelete(kTreePool, node.children);
    node.children = nullptr;
}

void EraseChild(ZkRTPCValueNode& parent, const ZkRTPCValueNode* child)
{
    const uint32_t index = static_cast<uint32_t>(child - parent.children->Data());
    parent.children->Erase(index);
    if (parent.children->IsEmpty())
    {
        ZK::ZkDelete(kTreePool, parent.children);
        parent.children = nullptr;
    }
}

// The child with part, inserted in order when absent; null when memory runs out.
ZkRTPCValueNode* FindOrInsertChild(ZkRTPCValueNode& parent, uint64_t part)
{
    const uint32_t index = ZkSortedKeyArray::LowerBound(parent, part);
    if (index < parent.ChildCount() && (*parent.children)[index].keyPart == part)
        return &(*parent.children)[index];
    if (parent.children == nullptr)
    {
        parent.children = ZK::ZkNew<ChildArray>(kTreePool);
        if (parent.children == nullptr)
            return nullptr;
    }
    ZkRTPCValueNode fresh;
    fresh.keyPart = part;
    ZkRTPCValueNode* inserted = parent.children->Insert(index, fresh);
    if (inserted == nullptr && parent.children->IsEmpty())
    {
        ZK::ZkDelete(kTreePool, parent.children);
        parent.children = nullptr;
    }
    return inserted;
}

// Prunes the emptied nodes of the walk, deepest first.
void PruneWalk(ExactWalk& walk)
{
    for (uint32_t level = walk.reached; level >= 1; --level)
    {
        if (!walk.nodes[level]->IsEmpty())
            return;
        EraseChild(*walk.nodes[level - 1], walk.nodes[level]);
    }
}

// Removes below node every value matched by key, node being at level; prunes emptied children.
void RemoveMatchingBelow(ZkRTPCValueNode& node, uint32_t level, const ZkRTPCKey& key, uint32_t keyDepth)
{
    if (node.children == nullptr || level >= kRTPCKeyLevels)
        return;
    const uint32_t childLevel = level + 1;
    const bool named = key.HasPart(childLevel);
    for (uint32_t index = node.ChildCount(); index-- > 0;)
    {
        ZkRTPCValueNode& child = (*node.children)[index];
        if (named && child.keyPart != RTPCKeyPart(key, childLevel))
            continue;
        RemoveMatchingBelow(child, childLevel, key, keyDepth);
        // A value at this level is matched when the key names nothing deeper.
        if (keyDepth <= childLevel)
            child.hasValue = 0;
        if (child.IsEmpty())
            EraseChild(node, &child);
        if (node.children == nullptr)
            return;
    }
}

uint32_t CountValues(const ZkRTPCValueNode& node)
{
    uint32_t count = node.hasValue != 0 ? 1u : 0u;
    if (node.children != nullptr)
    {
        for (const ZkRTPCValueNode& child : *node.children)
            count += CountValues(child);
    }
    return count;
}
} // namespace

uint64_t RTPCKeyPart(const ZkRTPCKey& key, uint32_t level)
{
    switch (level)
    {
    case ZkRTPCKeyLevel_GameObject: return reinterpret_cast<uintptr_t>(key.gameObject);
    case ZkRTPCKeyLevel_PlayingID: return key.playingID;
    case ZkRTPCKeyLevel_MidiTarget: return key.midiTargetID;
    case ZkRTPCKeyLevel_MidiChannel: return key.midiChannel;
    case ZkRTPCKeyLevel_MidiNote: return key.midiNote;
    case ZkRTPCKeyLevel_Instance: return reinterpret_cast<uintptr_t>(key.instance);
    default: return 0;
    }
}

uint64_t RTPCWildcardPart(uint32_t level)
{
    return level == ZkRTPCKeyLevel_MidiChannel || level == ZkRTPCKeyLevel_MidiNote ? kZkMidiAny : 0;
}

float* ZkRTPCKeyTree::FindBestMatch(ZkRTPCKey& key)
{
    if (key.IsGlobal())
        return m_root.hasValue != 0 ? &m_root.value : nullptr;

    ZkRTPCValueNode* path[kRTPCKeyLevels + 1] = {&m_root};
    uint32_t reached = 0;
    // Descend while this level's part or a deeper one is set (the key may lose parts on the way).
    for (uint32_t level = 1; level <= kRTPCKeyLevels && level <= key.DeepestLevel(); ++level)
    {
        ZkRTPCValueNode* child = ZkSortedKeyArray::Find(*path[level - 1], RTPCKeyPart(key, level));
        if (child == nullptr && key.HasPart(level) && level != ZkRTPCKeyLevel_Instance)
        {
            key.ClearPart(level);
            child = ZkSortedKeyArray::Find(*path[level - 1], RTPCWildcardPart(level));
        }
        if (child == nullptr)
            break;
        path[level] = child;
        reached = level;
    }

    for (uint32_t level = reached + 1; level-- > 0;)
    {
        if (path[level]->hasValue != 0)
        {
            // The caller learns the scope of the answer (see the header).
            const uint32_t firstCleared = level <= ZkRTPCKeyLevel_GameObject
                                              ? level + 1
                                              : std::max<uint32_t>(level + 1, ZkRTPCKeyLevel_Instance);
            for (uint32_t below = firstCleared; below <= kRTPCKeyLevels; ++below)
                key.ClearPart(below);
            return &path[level]->value;
        }
    }
    return nullptr;
}

ZkRTPCKeyPath ZkRTPCKeyTree::FindPath(const ZkRTPCKey& key)
{
    const uint32_t depth = key.DeepestLevel();
    ExactWalk walk = WalkExact(m_root, key, depth);
    ZkRTPCKeyPath path;
    const uint32_t ancestors = walk.reached == depth ? depth : walk.reached + 1;
    if (walk.reached == depth)
    {
        path.node = walk.nodes[depth];
        path.exact = path.node->hasValue != 0 ? &path.node->value : nullptr;
        path.hasChildren = path.node->HasChildren();
    }
    for (uint32_t level = ancestors; level-- > 0;)
    {
        if (walk.nodes[level]->hasValue != 0)
        {
            path.parent = &walk.nodes[level]->value;
            break;
        }
    }
    return path;
}

bool ZkRTPCKeyTree::SetValue(const ZkRTPCKey& key, float value)
{
    const uint32_t depth = key.DeepestLevel();
    ZkRTPCValueNode* node = &m_root;
    for (uint32_t level = 1; level <= depth; ++level)
    {
        ZkRTPCValueNode* child = FindOrInsertChild(*node, RTPCKeyPart(key, level));
        if (child == nullptr)
        {
            // Nodes made on the way hold nothing: take them out again.
            ExactWalk walk = WalkExact(m_root, key, depth);
            PruneWalk(walk);
            return false;
        }
        node = child;
    }
    node->value = value;
    node->hasValue = 1;
    return true;
}

void ZkRTPCKeyTree::Remove(const ZkRTPCKey& key)
{
    const uint32_t depth = key.DeepestLevel();
    ExactWalk walk = WalkExact(m_root, key, depth);
    if (walk.reached != depth)
        return;
    walk.nodes[depth]->hasValue = 0;
    PruneWalk(walk);
}

void ZkRTPCKeyTree::RemoveMatching(const ZkRTPCKey& key)
{
    if (key.IsGlobal())
    {
        Term();
        return;
    }
    RemoveMatchingBelow(m_root, ZkRTPCKeyLevel_Global, key, key.DeepestLevel());
}

bool ZkRTPCKeyTree::HasOverride(const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey) const
{
    return RTPCKeyHasOverride(&m_root, subscriberKey, changedKey, [](const ZkRTPCValueNode* node, uint64_t part) {
        return ZkSortedKeyArray::Find(*node, part);
    });
}

uint32_t ZkRTPCKeyTree::ValueCount() const { return CountValues(m_root); }

void ZkRTPCKeyTree::Term()
{
    FreeChildren(m_root);
    m_root.hasValue = 0;
    m_root.value = 0.0f;
}
} // namespace ZK::SoundEngine
