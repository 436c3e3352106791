// CZkDecisionTree: maps a path of argument values (one value id per level) to an audio node id.
// Dialogue events resolve their arguments through it; music switch containers use a tree of
// depth 1 as a list of (value, node id) pairs (CZkKeyValueList).
//
// The data is a copy of the bank's nodes, 12 bytes each, little-endian, node 0 the root:
//
//   +0 u32 key: the argument value id the node matches; 0 = any value (the wildcard)
//   +4 above the last level: u16 index of the first child, +6 u16 child count;
//      at the last level: u32 audio node id
//   +8 u16 weight (0-100), +10 u16 probability in percent (0-100)
//
// Children of a node are contiguous, sorted by key (the wildcard first), and lie after their
// parent. ResolvePath trusts none of it: a child range outside the data or not after its parent
// ends the resolution with 0, and because each node has one parent no resolution enters a node
// twice, so a walk that has entered more nodes than the data holds (child ranges shared between
// parents) stops with 0 as well. Both walks keep an explicit stack, one frame per level.
//
// Modes: 0 = best match (exact key first, then the wildcard when the path value is not 0);
// any other value = weighted random over every acceptable leaf reachable through exact keys and
// wildcards. A probability roll may then refuse the chosen node. Draws come from the engine-wide
// generator under the global engine lock (ZkLcg64::Engine): the pick first, then the roll.
//
// Threading: SetData on the bank thread under the global engine lock; ResolvePath from any
// thread on a tree that no one changes (a loaded event's tree is immutable). The candidate
// callback is called on the resolving thread.
// Ownership: the tree owns its copy of the data (memory pool 1).
#pragma once

#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>
#include <cstring>

namespace ZK::SoundEngine
{
// Reads the nodes of tree data; every index must be below count.
struct ZkDecisionNodes
{
    const uint8_t* data = nullptr;
    uint32_t count = 0;

    uint32_t Key(uint32_t node) const { return Field<uint32_t>(node, 0); }
    ZkUniqueID AudioNode(uint32_t node) const { return Field<uint32_t>(node, 4); }
    uint32_t FirstChild(uint32_t node) const { return Field<uint16_t>(node, 4); }
    uint32_t ChildCount(uint32_t node) const { return Field<uint16_t>(node, 6); }
    uint16_t Weight(uint32_t node) const { return Field<uint16_t>(node, 8); }
    uint16_t Probability(uint32_t node) const { return Field<uint16_t>(node, 10); }
    // Whether the node's children lie within the data and after the node.
    bool HasValidChildren(uint32_t node) const
    {
        const uint32_t first = FirstChild(node);
        return first > node && first + ChildCount(node) <= count;
    }

private:
    template <typename T>
    T Field(uint32_t node, uint32_t offset) const
    {
        T value;
        std::memcpy(&value, data + size_t{node} * 12 + offset, sizeof(T)); // little-endian processors only
        return value;
    }
};

// Asked about each leaf that matches: (owner id, the leaf's audio node id, cookie); false rejects
// the leaf.
using ZkCandidateCallback = DynamicDialogue::ZkCandidateCallbackFunc;

class CZkDecisionTree
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankData;
    static constexpr uint32_t kNodeBytes = 12;
    static constexpr uint16_t kCertain = 100; // a probability in percent that always passes
    static constexpr uint8_t kBestMatch = 0;

    CZkDecisionTree() = default;
    ~CZkDecisionTree() { FreeData(); }
    CZkDecisionTree(const CZkDecisionTree&) = delete;
    CZkDecisionTree& operator=(const CZkDecisionTree&) = delete;

    // Replaces the data by a copy of size bytes (none for 0) and stores the depth. 1; 7 when size
    // is not a whole number of nodes; 52 when the copy cannot be allocated (the tree unchanged).
    ZKRESULT SetData(const uint8_t* data, uint32_t size, uint32_t depth);
    void FreeData();

    // The audio node id the path leads to, or 0: a length other than the depth, no data, no match,
    // a malformed tree, or a failed probability roll. The 32-bit value is accepted for callers that
    // pass one and takes no part. A depth of 0 resolves to the root itself.
    ZkUniqueID ResolvePath(ZkUniqueID ownerID, const uint32_t* path, uint32_t length, uint32_t value,
                           ZkCandidateCallback callback, void* cookie) const;

    uint32_t Depth() const { return m_depth; }
    ZkDecisionNodes Nodes() const { return {m_data, m_nodeCount}; }
    uint16_t probability = kCertain; // the owner's probability in percent
    uint8_t mode = kBestMatch;

private:
    uint8_t* m_data = nullptr;
    uint32_t m_nodeCount = 0;
    uint32_t m_depth = 0;
};
} // namespace ZK::SoundEngine
