// ZkRTPCValueNode: one node of a scoped value tree (ZkRTPCKeyTree): a value slot, the node's own key
// part, and its children sorted ascending by their key part. Every level stores its part widened to
// 64 bits (object and instance pointers, playing ids, MIDI target ids, channels, notes): the unsigned
// order is the same as that of the narrower part.
//
// ZkSortedKeyArray: the exact-match and lower-bound binary searches over one level's children. Both
// test the count before they read an element, so an empty level is searched safely.
//
// Threading: none of its own; the owner's lock protects it.
// Ownership: a node owns its children array (memory pool 0), null while it has no children.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkRTPCValueNode
{
    uint64_t keyPart = 0;
    float value = 0.0f;
    uint8_t hasValue = 0;
    ZK::ZkArray<ZkRTPCValueNode>* children = nullptr;

    uint32_t ChildCount() const { return children != nullptr ? children->Length() : 0; }
    bool HasChildren() const { return ChildCount() != 0; }
    bool IsEmpty() const { return hasValue == 0 && !HasChildren(); }
};

namespace ZkSortedKeyArray
{
// Index of the first child whose part is not below part (ChildCount when none).
inline uint32_t LowerBound(const ZkRTPCValueNode& parent, uint64_t part)
{
    uint32_t low = 0;
    uint32_t high = parent.ChildCount();
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if ((*parent.children)[middle].keyPart < part)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The child with exactly this part, or null (also for a node without children).
inline ZkRTPCValueNode* Find(const ZkRTPCValueNode& parent, uint64_t part)
{
    const uint32_t index = LowerBound(parent, part);
    if (index < parent.ChildCount() && (*parent.children)[index].keyPart == part)
        return &(*parent.children)[index];
    return nullptr;
}
} // namespace ZkSortedKeyArray
} // namespace ZK::SoundEngine
