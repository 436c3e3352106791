// ZkRTPCKeyTree: the scoped values of one game parameter (or any per-scope setting), stored per
// ZkRTPCKey in a tree of sorted arrays: the root is the global scope, then one level per key part
// (game object, playing id, MIDI target, MIDI channel, MIDI note, playing instance). A node exists
// only while it or a node below it holds a value: every removal prunes emptied nodes at once.
//
// Look-ups:
// - FindBestMatch: the most specific stored value that applies to a key, falling back level by
//   level to the wildcard child, then to the nearest ancestor holding a value, then the root. The
//   key is rewritten to tell the scope where the value was found: parts the descent did not find
//   became wildcards on the way; an answer from the object level also makes every part below it a
//   wildcard (the root's, the whole key); any other answer only drops the instance part (an answer
//   from the instance level none), so the MIDI parts below a playing-id answer stay as they came.
//   Callers read the rewritten key for its game object and playing id.
// - FindPath: the exact node of a key and the nearest value above it (for setting a value).
// - HasOverride: whether the tree holds a more specific value for a subscriber's key than for the
//   key being changed (the override filter of notifications).
//
// Threading: none of its own; the game-parameter manager's callers hold the global engine lock.
// Ownership: the tree owns all its nodes' arrays (memory pool 0); Term frees them.
#pragma once

#include "ZkAudiolib/Common/Parameters/ZkRTPCValueNode.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr uint32_t kRTPCKeyLevels = ZkRTPCKeyLevel_Instance; // 6 levels below the root

// A key's part of one level, widened to 64 bits, and the wildcard of each level.
uint64_t RTPCKeyPart(const ZkRTPCKey& key, uint32_t level);
uint64_t RTPCWildcardPart(uint32_t level);

// The override test of notifications over any tree of key parts whose nodes exist only while they
// or a node below them hold something: true when subscriberKey names a game object and a part that
// changedKey leaves as a wildcard, and the tree has a node on the subscriber's path one level below
// the changed key's deepest part (at each level the node of the subscriber's part, else the
// wildcard node; the instance level has no wildcard). findChild(node, part) answers the child of a
// node for a part, or null.
template <typename Node, typename FindChild>
bool RTPCKeyHasOverride(Node root, const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey, FindChild findChild)
{
    if (subscriberKey.gameObject == nullptr)
        return false;
    const uint32_t changedDepth = changedKey.DeepestLevel();
    if (changedDepth == ZkRTPCKeyLevel_Instance)
        return false;
    bool moreSpecific = false;
    for (uint32_t level = 1; level <= ZkRTPCKeyLevel_Instance; ++level)
        moreSpecific = moreSpecific || (subscriberKey.HasPart(level) && !changedKey.HasPart(level));
    if (!moreSpecific)
        return false;

    Node node = root;
    for (uint32_t level = 1; level <= changedDepth + 1; ++level)
    {
        if (!subscriberKey.HasPart(level))
            return false;
        Node child = findChild(node, RTPCKeyPart(subscriberKey, level));
        if (child == nullptr && level != ZkRTPCKeyLevel_Instance)
            child = findChild(node, RTPCWildcardPart(level));
        if (child == nullptr)
            return false;
        node = child;
    }
    return true;
}

// Where a key stands in the tree before a value is set.
struct ZkRTPCKeyPath
{
    ZkRTPCValueNode* node = nullptr; // the key's own node, null when it does not exist
    float* exact = nullptr;          // the key's own value, when set
    float* parent = nullptr;         // the value of the deepest ancestor holding one
    bool hasChildren = false;        // the key's own node has nodes below it
};

class ZkRTPCKeyTree
{
public:
    ZkRTPCKeyTree() = default;
    ~ZkRTPCKeyTree() { Term(); }
    ZkRTPCKeyTree(const ZkRTPCKeyTree&) = delete;
    ZkRTPCKeyTree& operator=(const ZkRTPCKeyTree&) = delete;

    // The best-matching value slot for key (rewritten to the answer's scope), or null.
    float* FindBestMatch(ZkRTPCKey& key);
    ZkRTPCKeyPath FindPath(const ZkRTPCKey& key);
    // Stores value under key, creating the path. False when memory runs out (nothing is left behind).
    bool SetValue(const ZkRTPCKey& key, float value);
    // Drops the key's own value and prunes emptied nodes.
    void Remove(const ZkRTPCKey& key);
    // Drops every value that key matches (its wildcard parts match anything); the global key empties
    // the whole tree.
    void RemoveMatching(const ZkRTPCKey& key);
    bool HasOverride(const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey) const;

    bool IsEmpty() const { return m_root.IsEmpty(); }
    // Values stored in the whole tree.
    uint32_t ValueCount() const;
    void Term();

    const ZkRTPCValueNode& Root() const { return m_root; }

private:
    ZkRTPCValueNode m_root;
};
} // namespace ZK::SoundEngine
