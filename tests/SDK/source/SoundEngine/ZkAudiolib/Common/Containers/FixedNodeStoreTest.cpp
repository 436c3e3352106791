// The fixed node store: nodes come from its block first, then one at a time from pool 0; block
// nodes are reused, others are freed.
#include "EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/ZkFixedNodeStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace FaultInjection = ZK::MemoryMgr::FaultInjection;
using ZkEngineTest::EngineMemoryTest;

namespace
{
struct Node
{
    explicit Node(uint32_t value) : id(value) {}
    uint32_t id;
    Node* next = nullptr;
};
} // namespace

using FixedNodeStore = EngineMemoryTest;

TEST_F(FixedNodeStore, TakesBlockNodesFirstThenAllocatesOneAtATime)
{
    ZK::ZkFixedNodeStore<Node> store;
    ASSERT_EQ(store.Init(3), ZK_Success);
    FaultInjection::CountOnly(ZkMemID_Default);
    std::vector<Node*> nodes;
    for (uint32_t id = 0; id < 5; ++id)
    {
        nodes.push_back(store.Create(id));
        ASSERT_NE(nodes.back(), nullptr);
        EXPECT_EQ(nodes.back()->id, id);
    }
    EXPECT_EQ(FaultInjection::CountedAllocations(), 2u) << "only the two nodes beyond the block are allocated";
    EXPECT_TRUE(store.InBlock(nodes[0]) && store.InBlock(nodes[2]));
    EXPECT_FALSE(store.InBlock(nodes[3]) || store.InBlock(nodes[4]));

    for (Node* node : nodes)
        store.Destroy(node);
    FaultInjection::CountOnly(ZkMemID_Default);
    std::vector<Node*> again;
    for (uint32_t id = 0; id < 3; ++id)
        again.push_back(store.Create(id + 10));
    EXPECT_EQ(FaultInjection::CountedAllocations(), 0u) << "released block nodes are reused";
    for (Node* node : again)
    {
        EXPECT_TRUE(store.InBlock(node));
        store.Destroy(node);
    }
}

TEST_F(FixedNodeStore, OutOfMemoryGivesNullAndAStoreWithoutItsBlockStillWorks)
{
    ZK::ZkFixedNodeStore<Node> store;
    {
        FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(store.Init(4), ZK_InsufficientMemory);
    }
    EXPECT_EQ(store.BlockNodes(), 0u);
    Node* node = store.Create(7u);
    ASSERT_NE(node, nullptr);
    {
        FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(store.Create(8u), nullptr);
    }
    store.Destroy(node);
}
