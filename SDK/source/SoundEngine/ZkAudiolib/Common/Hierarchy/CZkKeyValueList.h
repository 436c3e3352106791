// CZkKeyValueList: a decision tree of depth 1 read as a list of (key, value) pairs, as music
// switch containers keep their (switch value, child node id) lists. The pairs are the children of
// the root: the root's first-child index and child count name them, and each child gives its key
// (+0) and its value (+4, the audio node id of a leaf).
//
// Threading and ownership: reads the caller's tree (as CZkDecisionTree::ResolvePath); MergeInto
// grows the caller's array.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkDecisionTree.h"

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkKeyValue
{
    uint32_t key;
    uint32_t value;
};

namespace CZkKeyValueList
{
// The value of the first pair with the key; 0 when there is none, when the tree's depth is not 1
// or when the root's children do not lie within the data after it.
uint32_t Find(const CZkDecisionTree& tree, uint32_t key);
// Sets the value of each of the list's keys in pairs, or appends the pair. False (pairs unchanged)
// when the depth is not 1 or the children lie outside the data; false as well when pairs cannot
// grow (the pairs merged so far stay).
bool MergeInto(const CZkDecisionTree& tree, ZK::ZkArray<ZkKeyValue>& pairs);
} // namespace CZkKeyValueList
} // namespace ZK::SoundEngine
