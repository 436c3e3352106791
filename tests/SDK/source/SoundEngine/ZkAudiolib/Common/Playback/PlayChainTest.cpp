// Play chains: a chain that cannot be had is null (its caller fails the play step), and the last
// release of a chain gives back every container its items hold, whoever held the chain.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyFixture.h"

#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"

namespace
{
using namespace ZkHierarchyTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
using ZK::SoundEngine::CZkPlayChain;
using ZK::SoundEngine::CZkPlayChainItem;

using PlayChain = HierarchyTest;

TEST_F(PlayChain, NoMemoryForAChainGivesNull)
{
    ScopedAllocationFailure failure(ZkMemID_Default, 1);
    EXPECT_EQ(CZkPlayChain::Create(), nullptr);
}

TEST_F(PlayChain, TheLastReleaseGivesBackEveryContainerOfItsItems)
{
    TestNode* containers[] = {AddNode(21, ZkNodeCategory_Playlist), AddNode(22, ZkNodeCategory_Playlist),
                              AddNode(23, ZkNodeCategory_Playlist)};
    CZkPlayChain* chain = CZkPlayChain::Create();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->RefCount(), 1);
    for (TestNode* container : containers)
    {
        CZkPlayChainItem* item = chain->Items().AddLast();
        ASSERT_NE(item, nullptr);
        item->flags = 0xFF;
        item->Init();
        EXPECT_EQ(item->flags, 0xFC) << "bits 0 and 1 cleared, the others kept";
        EXPECT_EQ(item->loopsLeft, 0);
        container->AddRef();
        item->container = container;
    }
    for (TestNode* container : containers)
        EXPECT_EQ(container->RefCount(), 2u);

    chain->AddRef(); // a second holder (an action that continues the same path)
    chain->Release();
    for (TestNode* container : containers)
        EXPECT_EQ(container->RefCount(), 2u) << "held while a holder remains";

    // A popped item gives back its container at once.
    CZkPlayChainItem popped = chain->Items().Last();
    chain->Items().Erase(chain->Items().Length() - 1);
    popped.Release();
    EXPECT_EQ(popped.container, nullptr);
    EXPECT_EQ(containers[2]->RefCount(), 1u);

    chain->Release();
    for (TestNode* container : containers)
        EXPECT_EQ(container->RefCount(), 1u) << "the chain's references are all given back";
}
} // namespace
