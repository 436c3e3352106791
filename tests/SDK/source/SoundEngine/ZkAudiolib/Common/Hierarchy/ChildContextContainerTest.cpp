// Chain references of a child-context container, driven through a container class of the tests'
// own: counting, giving back, handing over (and not when the container keeps per-play contexts),
// one new chain per child under an incoming chain, and chains released with and without a
// reference to give back.
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "MemoryMgr/ZkMemoryFaultInjection.h"

namespace
{
using namespace ZkHierarchyTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;

class TestContextContainer final : public CZkChildContextContainer
{
public:
    TestContextContainer(ZkUniqueID id, bool keepsContexts) : CZkChildContextContainer(id), m_keeps(keepsContexts) {}
    static TestContextContainer* Create(ZkUniqueID id, bool keepsContexts = false)
    {
        auto* node = ZK::ZkNew<TestContextContainer>(kPool, id, keepsContexts);
        if (node != nullptr && node->AddToIndex() != ZK_Success)
        {
            ZK::ZkDelete(kPool, node);
            return nullptr;
        }
        return node;
    }
    ZkNodeCategory Category() const override { return ZkNodeCategory_Layered; }
    ZKRESULT PlayChildren(PlayLaunchParams&) override { return ZK_Success; }

protected:
    bool KeepsPlayContexts() const override { return m_keeps; }

private:
    bool m_keeps;
};

class ChildContextContainer : public HierarchyTest
{
protected:
    void TearDown() override
    {
        for (TestContextContainer* container : m_containers)
            container->Release();
        HierarchyTest::TearDown();
    }
    TestContextContainer* Make(ZkUniqueID id, bool keeps = false)
    {
        TestContextContainer* container = TestContextContainer::Create(id, keeps);
        EXPECT_NE(container, nullptr);
        m_containers.push_back(container);
        return container;
    }
    std::vector<TestContextContainer*> m_containers;
};

TEST_F(ChildContextContainer, CountsGiveBackAndHandOver)
{
    TestContextContainer* container = Make(1);
    CZkPlayChain* chain = CZkPlayChain::Create();
    ASSERT_NE(chain, nullptr);
    ASSERT_EQ(container->AddChainRef(chain), ZK_Success);
    ASSERT_EQ(container->AddChainRef(chain), ZK_Success);
    EXPECT_EQ(container->ChainRefCount(chain), 2u);
    EXPECT_EQ(chain->RefCount(), 2) << "one reference for every count";

    EXPECT_EQ(container->ReleaseChainRef(chain), ZK_Success);
    EXPECT_EQ(chain->RefCount(), 2);
    EXPECT_EQ(container->HandOverChainRef(chain), chain) << "the last count hands the chain over";
    EXPECT_EQ(container->ChainCount(), 0u);
    EXPECT_EQ(chain->RefCount(), 2) << "the container's reference is now the caller's";
    chain->Release();
    EXPECT_EQ(container->ReleaseChainRef(chain), ZK_Success) << "an absent chain is ignored";
    EXPECT_EQ(container->HandOverChainRef(chain), nullptr);

    // A container with per-play contexts gives the chain back instead.
    TestContextContainer* keeping = Make(2, true);
    ASSERT_EQ(keeping->AddChainRef(chain), ZK_Success);
    EXPECT_EQ(keeping->HandOverChainRef(chain), nullptr);
    EXPECT_EQ(chain->RefCount(), 1);
    chain->Release();
}

TEST_F(ChildContextContainer, OneNewChainPerChild)
{
    TestContextContainer* container = Make(1);
    CZkPlayChain* incoming = CZkPlayChain::Create();
    CZkPlayChainItem* first = incoming->Items().AddLast();
    first->flags = 0;
    first->Init();
    first->loopsLeft = 3;
    first->flags = CZkPlayChainItem::kFinite;

    CZkPlayChain* left = container->NewChildChain(incoming);
    CZkPlayChain* right = container->NewChildChain(incoming);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(container->ChainRefCount(incoming), 2u);
    EXPECT_EQ(incoming->RefCount(), 2);
    const CZkPlayChainItem& item = left->Items()[0];
    EXPECT_EQ(item.container, container);
    EXPECT_EQ(item.childContexts, container);
    EXPECT_EQ(item.chainRef, incoming);
    EXPECT_EQ(item.loopsLeft, 3);
    EXPECT_EQ(item.flags, CZkPlayChainItem::kFinite);
    EXPECT_EQ(left->RefCount(), 2) << "the caller's and the container's";

    // Each child chain ends: the caller lets go, the container gives its count back; the last
    // ends the incoming chain's count too.
    for (CZkPlayChain* chain : {left, right})
    {
        chain->Release();
        container->ReleaseChainRef(chain);
    }
    EXPECT_EQ(container->ChainCount(), 0u);
    EXPECT_EQ(incoming->RefCount(), 1);

    // Without an incoming chain (or an empty one): one loop, no flags.
    CZkPlayChain* empty = CZkPlayChain::Create();
    CZkPlayChain* alone = container->NewChildChain(empty);
    EXPECT_EQ(alone->Items()[0].loopsLeft, 1);
    EXPECT_EQ(alone->Items()[0].flags & (CZkPlayChainItem::kFinite | CZkPlayChainItem::kInfinite), 0);
    alone->Release();
    container->ReleaseChainRef(alone);
    empty->Release();
    incoming->Release();
}

// Out of memory: nothing is left counted and the incoming chain keeps only its own references.
TEST_F(ChildContextContainer, AFailedNewChainLeavesNothingCounted)
{
    TestContextContainer* container = Make(1);
    CZkPlayChain* incoming = CZkPlayChain::Create();
    for (uint32_t failing = 1; failing <= 3; ++failing)
    {
        ScopedAllocationFailure failure(ZkMemID_Default, failing);
        CZkPlayChain* chain = container->NewChildChain(incoming);
        if (chain != nullptr)
        {
            chain->Release();
            container->ReleaseChainRef(chain);
        }
        EXPECT_EQ(container->ChainCount(), 0u) << failing;
        EXPECT_EQ(incoming->RefCount(), 1) << failing;
    }
    incoming->Release();
}

// An item with a child-context container but no chain reference gives nothing back, yet still
// releases the container it holds.
TEST_F(ChildContextContainer, AnItemWithoutAChainReferenceOnlyReleasesItsHolds)
{
    TestContextContainer* container = Make(1);
    CZkPlayChain* counted = CZkPlayChain::Create();
    ASSERT_EQ(container->AddChainRef(counted), ZK_Success);
    CZkPlayChain* chain = CZkPlayChain::Create();
    CZkPlayChainItem* item = chain->Items().AddLast();
    item->flags = 0;
    item->Init();
    container->AddRef();
    item->childContexts = container;
    const uint32_t before = container->RefCount();
    chain->Release();
    EXPECT_EQ(container->RefCount(), before - 1);
    EXPECT_EQ(container->ChainRefCount(counted), 1u) << "no count given back";
    container->ReleaseChainRef(counted);
    counted->Release();
}
} // namespace

namespace
{
// Two children of a container share the chain that came into it; each ends by continuing past the
// container. The first leaves the chain to the other; the last hands it over and goes on with it
// (here it holds nothing more, so the play ends and the chain is given back).
TEST_F(ChildContextContainer, TheLastChildToContinueTakesTheIncomingChain)
{
    TestContextContainer* container = Make(1);
    PlayLaunchParams none;
    EXPECT_EQ(container->ContinueChain(none), ZK_Fail) << "no chain";

    CZkPlayChain* incoming = CZkPlayChain::Create();
    ASSERT_NE(incoming, nullptr);
    ASSERT_EQ(container->AddChainRef(incoming), ZK_Success);
    ASSERT_EQ(container->AddChainRef(incoming), ZK_Success);
    struct Step
    {
        ZKRESULT result;
        uint32_t countsLeft;
    };
    for (const Step step : {Step{ZK_Success, 1u}, Step{ZK_Fail, 0u}})
    {
        PlayLaunchParams params;
        incoming->AddRef();
        params.playChain = incoming;
        EXPECT_EQ(container->ContinueChain(params), step.result);
        EXPECT_EQ(container->ChainRefCount(incoming), step.countsLeft);
        params.FreeArrays();
    }
    EXPECT_EQ(incoming->RefCount(), 1) << "only the test's own reference is left";
    incoming->Release();
}
} // namespace
