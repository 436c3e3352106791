// ZkModulatorInstanceTree: the running instances of one modulator, found by their scope key. The
// global key has its own slot; below it, six levels of sorted nodes keyed by the parts of a
// ZkRTPCKey (game object, playing id, MIDI target, channel, note, playing instance). An instance
// lives in the node of its key's deepest part that is not a wildcard; the parts above it that are
// wildcards are nodes of the wildcard part (null, 0 or 255).
//
// Look-ups are binary searches per level. Finding the instance that gives a value retries a level
// with the wildcard part when the key's own part is absent; finding a slot does not. Node arrays
// grow as ZkArray does (c + (c + c/2), 1 from empty) and stay sorted on insertion.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the tree owns its node arrays (memory pool 0) and one reference on every instance in
// a slot. A slot pointer stays valid until the next insertion or removal.
#pragma once

#include "ZkAudiolib/Common/Parameters/ZkRTPCKeyTree.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkModulatorInstance;

class ZkModulatorInstanceTree
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    struct Slot
    {
        CZkModulatorInstance* instance;
        uint8_t hasInstance;
    };

    ZkModulatorInstanceTree() = default;
    ~ZkModulatorInstanceTree() { Term(); }
    ZkModulatorInstanceTree(const ZkModulatorInstanceTree&) = delete;
    ZkModulatorInstanceTree& operator=(const ZkModulatorInstanceTree&) = delete;

    // The instance of exactly this key; null when none.
    CZkModulatorInstance* FindInstance(const ZkRTPCKey& key) const { return Descend(key, false); }
    // The instance that gives the value for the key: a part that has no node is retried with the
    // wildcard part. Null when none.
    CZkModulatorInstance* FindValueInstance(const ZkRTPCKey& key) const { return Descend(key, true); }
    // The slot of the key, inserted when absent (its path too). Null when memory runs out.
    Slot* FindOrInsertSlot(const ZkRTPCKey& key);
    // Takes the instance into the slot of key (a reference taken; the old instance's released).
    void Store(Slot& slot, CZkModulatorInstance* instance);

    // Calls visit(instance) for every instance whose path agrees with every part of pattern that
    // is not a wildcard (the global slot only for the global pattern, which matches all).
    template <typename Visit>
    void VisitMatching(const ZkRTPCKey& pattern, Visit visit);
    // The same; an instance for which visit answers true leaves its slot (its reference goes with
    // it: the visitor releases it) and nodes left empty are removed.
    template <typename Visit>
    void VisitMatchingWithRemoval(const ZkRTPCKey& pattern, Visit visit);
    // Every instance, global slot first, then game objects in order, depth first.
    template <typename Visit>
    void VisitAllWithRemoval(Visit visit) { VisitMatchingWithRemoval(ZkRTPCKey::Global(), visit); }
    // Clears the slot of exactly key (its reference released) and prunes the emptied path.
    void RemoveKey(const ZkRTPCKey& key);

    // Whether the tree holds an instance on the path of subscriberKey that is more specific than
    // changedKey (the override test of the game parameters' value trees, over instances).
    bool HasOverride(const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey) const;

    // Frees every node (releasing the instances' references).
    void Term();
    bool IsEmpty() const { return !m_global.hasInstance && m_branches.count == 0; }

private:
    struct Node;
    struct NodeArray
    {
        Node* items = nullptr;
        uint32_t count = 0;
        uint32_t capacity = 0;
    };
    struct Node
    {
        uint64_t part;
        Slot slot;
        NodeArray children;
    };

    static constexpr uint32_t kLevels = 6;

    static uint64_t PartOf(const ZkRTPCKey& key, uint32_t level);
    CZkModulatorInstance* Descend(const ZkRTPCKey& key, bool retryWildcard) const;
    static uint32_t LowerBound(const NodeArray& array, uint64_t part);
    static Node* Find(const NodeArray& array, uint64_t part);
    static Node* Insert(NodeArray& array, uint64_t part);
    static void FreeArray(NodeArray& array);
    static void ReleaseSlot(Slot& slot);

    template <typename Visit>
    static void VisitNode(Node& node, uint32_t level, const ZkRTPCKey& pattern, uint32_t deepest, Visit& visit,
                          bool remove);
    template <typename Visit>
    static void VisitArray(NodeArray& array, uint32_t level, const ZkRTPCKey& pattern, uint32_t deepest,
                           Visit& visit, bool remove);
    static void PruneArray(NodeArray& array);
    // PruneArray at every level, deepest first.
    static void PruneTree(NodeArray& array);
    static void RemoveFrom(NodeArray& array, uint32_t level, const ZkRTPCKey& key, uint32_t deepest);

    Slot m_global{nullptr, 0};
    NodeArray m_branches; // level 1: game objects
};

// A level's part of the key, as the game parameters' value trees take it.
inline uint64_t ZkModulatorInstanceTree::PartOf(const ZkRTPCKey& key, uint32_t level) { return RTPCKeyPart(key, level); }

template <typename Visit>
void ZkModulatorInstanceTree::VisitMatching(const ZkRTPCKey& pattern, Visit visit)
{
    auto keep = [&visit](CZkModulatorInstance* instance) {
        visit(instance);
        return false;
    };
    const uint32_t deepest = pattern.DeepestLevel();
    if (deepest == ZkRTPCKeyLevel_Global && m_global.hasInstance)
        keep(m_global.instance);
    VisitArray(m_branches, ZkRTPCKeyLevel_GameObject, pattern, deepest, keep, false);
}

template <typename Visit>
void ZkModulatorInstanceTree::VisitMatchingWithRemoval(const ZkRTPCKey& pattern, Visit visit)
{
    const uint32_t deepest = pattern.DeepestLevel();
    if (deepest == ZkRTPCKeyLevel_Global && m_global.hasInstance && visit(m_global.instance))
        m_global = Slot{nullptr, 0};
    VisitArray(m_branches, ZkRTPCKeyLevel_GameObject, pattern, deepest, visit, true);
}

template <typename Visit>
void ZkModulatorInstanceTree::VisitArray(NodeArray& array, uint32_t level, const ZkRTPCKey& pattern,
                                         uint32_t deepest, Visit& visit, bool remove)
{
    if (pattern.HasPart(level))
    {
        if (Node* node = Find(array, PartOf(pattern, level)))
            VisitNode(*node, level, pattern, deepest, visit, remove);
    }
    else
    {
        for (uint32_t index = 0; index < array.count; ++index)
            VisitNode(array.items[index], level, pattern, deepest, visit, remove);
    }
    if (remove)
        PruneArray(array);
}

template <typename Visit>
void ZkModulatorInstanceTree::VisitNode(Node& node, uint32_t level, const ZkRTPCKey& pattern, uint32_t deepest,
                                        Visit& visit, bool remove)
{
    // A node's own instance agrees with the pattern only at or below the pattern's deepest part.
    if (level >= deepest && node.slot.hasInstance && visit(node.slot.instance) && remove)
        node.slot = Slot{nullptr, 0};
    if (level < kLevels)
        VisitArray(node.children, level + 1, pattern, deepest, visit, remove);
}
} // namespace ZK::SoundEngine
