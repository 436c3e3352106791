#include "ZkAudiolib/Common/Hierarchy/CZkKeyValueList.h"

namespace ZK::SoundEngine::CZkKeyValueList
{
namespace
{
// Whether the tree is a list: depth 1, a root whose children lie within the data after it.
bool IsList(const CZkDecisionTree& tree, ZkDecisionNodes& nodes)
{
    nodes = tree.Nodes();
    return tree.Depth() == 1 && nodes.count != 0 && nodes.HasValidChildren(0);
}
} // namespace

uint32_t Find(const CZkDecisionTree& tree, uint32_t key)
{
    ZkDecisionNodes nodes;
    if (!IsList(tree, nodes))
        return 0;
    const uint32_t end = nodes.FirstChild(0) + nodes.ChildCount(0);
    for (uint32_t node = nodes.FirstChild(0); node < end; ++node)
    {
        if (nodes.Key(node) == key)
            return nodes.AudioNode(node);
    }
    return 0;
}

bool MergeInto(const CZkDecisionTree& tree, ZK::ZkArray<ZkKeyValue>& pairs)
{
    ZkDecisionNodes nodes;
    if (!IsList(tree, nodes))
        return false;
    const uint32_t end = nodes.FirstChild(0) + nodes.ChildCount(0);
    for (uint32_t node = nodes.FirstChild(0); node < end; ++node)
    {
        const ZkKeyValue pair{nodes.Key(node), nodes.AudioNode(node)};
        ZkKeyValue* present = nullptr;
        for (ZkKeyValue& existing : pairs)
        {
            if (existing.key == pair.key)
            {
                present = &existing;
                break;
            }
        }
        if (present != nullptr)
            present->value = pair.value;
        else if (pairs.AddLast(pair) == nullptr)
            return false;
    }
    return true;
}
} // namespace ZK::SoundEngine::CZkKeyValueList
