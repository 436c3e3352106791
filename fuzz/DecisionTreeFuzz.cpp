// Decision-tree resolution over arbitrary tree data and paths: no read outside the data, and however
// the child ranges point (outside the data, at a node itself or an ancestor, shared by several
// parents), no resolution asks its candidate callback about more leaves than the tree holds.
//
// Input: u8 mode, u8 event probability, u8 depth (at most 24), then one byte per path value (taken
// modulo 8, so that paths meet the small keys of the data), then the tree nodes (whole nodes only).
#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Hierarchy/CZkDecisionTree.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
struct CallCount
{
    uint32_t calls = 0;
    static bool Count(ZkUniqueID, ZkUniqueID audioNode, void* cookie)
    {
        ++static_cast<CallCount*>(cookie)->calls;
        return audioNode % 2 == 0;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::InputBytes input(data, size);
    CZkDecisionTree tree;
    tree.mode = input.Byte();
    tree.probability = input.Byte();
    const uint32_t depth = input.Byte() % 25;
    std::vector<uint32_t> path(depth);
    for (uint32_t& value : path)
        value = input.Byte() % 8;
    // A copy of exactly the node bytes, so that a read past them is seen.
    const size_t left = input.Left();
    const std::vector<uint8_t> nodes(data + (size - left), data + (size - left) + left / CZkDecisionTree::kNodeBytes *
                                                                                    CZkDecisionTree::kNodeBytes);
    Check(tree.SetData(nodes.data(), static_cast<uint32_t>(nodes.size()), depth) == ZK_Success);
    tree.ResolvePath(1, path.data(), depth, 0, nullptr, nullptr);
    CallCount count;
    tree.ResolvePath(1, path.data(), depth, 0, CallCount::Count, &count);
    Check(count.calls <= tree.Nodes().count);
    return 0;
}
