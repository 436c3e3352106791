// The engine's list of nodes updated each frame: who joins it (once, only with an activity
// record), in which order, when a node leaves on request, and that a node whose record is freed
// is never left on it.
#include "HierarchyFixture.h"
#include "HierarchyTestInstances.h"

#include "ZkAudiolib/Common/Hierarchy/ZkUpdatedNodes.h"
#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"

#include <vector>

namespace
{
using namespace ZkHierarchyTest;

class UpdatedNodes : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        for (ZkUniqueID id : {1u, 2u, 3u, 4u})
            m_node.push_back(AddNode(id, ZkNodeCategory_Layered));
    }
    void TearDown() override
    {
        EXPECT_EQ(ZkUpdatedNodes::First(), nullptr) << "no node is left on the list";
        HierarchyTest::TearDown();
    }

    static std::vector<ZkUniqueID> Listed()
    {
        std::vector<ZkUniqueID> ids;
        for (CZkHierarchyNode* node = ZkUpdatedNodes::First(); node != nullptr; node = node->pNextUpdated)
            ids.push_back(node->ID());
        return ids;
    }

    // A play counted at the node (its activity record is made).
    void Play(TestNode* node)
    {
        ZkPlayCount play;
        play.checkLimits = false;
        ASSERT_EQ(node->PlayCountUp(play), ZK_Success);
    }

    std::vector<TestNode*> m_node;
};

TEST_F(UpdatedNodes, ANodeJoinsOnceAtTheTailAndOnlyWithARecord)
{
    EXPECT_EQ(CZkContainerPlayContext::RegisterForUpdates(m_node[0]), ZK_Fail) << "an idle node has no record";
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(CZkContainerPlayContext::RegisterForUpdates(nullptr), ZK_Fail);

    for (TestNode* node : {m_node[2], m_node[0], m_node[1]})
    {
        Play(node);
        EXPECT_EQ(CZkContainerPlayContext::RegisterForUpdates(node), ZK_Success);
    }
    EXPECT_EQ(CZkContainerPlayContext::RegisterForUpdates(m_node[0]), ZK_Success);
    EXPECT_EQ(Listed(), (std::vector<ZkUniqueID>{3, 1, 2})) << "joining order, each node once";
    EXPECT_TRUE(m_node[0]->IsUpdatedEachFrame());
    EXPECT_EQ(m_node[0]->Activity()->flags & ZkActivityRecord::kFlagPerFrameList,
              ZkActivityRecord::kFlagPerFrameList);

    for (TestNode* node : {m_node[2], m_node[0], m_node[1]})
        node->PlayCountDown(nullptr, false);
    EXPECT_TRUE(Listed().empty());
}

// Unregistering takes a node off only once it counts no play; the neighbours keep their order and
// the tail stays right for the next node that joins.
TEST_F(UpdatedNodes, ANodeLeavesWhenItsPlaysAreOver)
{
    TestInstance instance(50.0f, 1);
    for (TestNode* node : {m_node[0], m_node[1], m_node[2]})
    {
        Play(node);
        CZkContainerPlayContext::RegisterForUpdates(node);
    }
    // The middle node's instance keeps its record once its play is counted down.
    ASSERT_EQ(m_node[1]->AddLiveInstance(&instance), ZK_Success);
    Play(m_node[1]);

    struct Step
    {
        const char* what;
        TestNode* node;
        bool countDown;
        std::vector<ZkUniqueID> listed;
    };
    const Step steps[] = {
        {"a node that still plays stays", m_node[1], false, {1, 2, 3}},
        {"one of two plays ends: it still plays", m_node[1], true, {1, 2, 3}},
        {"its plays are over (its instance keeps the record): it leaves", m_node[1], true, {1, 3}},
        {"the tail's last play ends", m_node[2], true, {1}},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.what);
        if (step.countDown)
            step.node->PlayCountDown(nullptr, false);
        EXPECT_EQ(CZkContainerPlayContext::UnregisterFromUpdates(step.node), ZK_Success);
        EXPECT_EQ(Listed(), step.listed);
    }
    EXPECT_NE(m_node[1]->Activity(), nullptr);
    EXPECT_FALSE(m_node[1]->IsUpdatedEachFrame()) << "the record's flag is cleared";

    Play(m_node[3]);
    CZkContainerPlayContext::RegisterForUpdates(m_node[3]);
    CZkContainerPlayContext::RegisterForUpdates(m_node[1]);
    EXPECT_EQ(Listed(), (std::vector<ZkUniqueID>{1, 4, 2})) << "appended after the last one left";

    m_node[1]->RemoveLiveInstance(&instance);
    for (TestNode* node : {m_node[0], m_node[3]})
        node->PlayCountDown(nullptr, false);
}

// A record freed while its node is listed takes the node off: the list never points at a node
// that idles (or is destroyed after).
TEST_F(UpdatedNodes, AFreedRecordTakesItsNodeOff)
{
    for (TestNode* node : {m_node[0], m_node[1], m_node[2]})
    {
        Play(node);
        CZkContainerPlayContext::RegisterForUpdates(node);
    }
    for (TestNode* node : {m_node[2], m_node[0], m_node[1]})
    {
        SCOPED_TRACE(node->ID());
        node->PlayCountDown(nullptr, false);
        EXPECT_EQ(node->Activity(), nullptr);
        EXPECT_EQ(node->pNextUpdated, nullptr);
        for (ZkUniqueID id : Listed())
            EXPECT_NE(id, node->ID());
    }
    EXPECT_EQ(ZkUpdatedNodes::Length(), 0u);
    // The list was emptied from the tail: the next node is the head again.
    Play(m_node[3]);
    CZkContainerPlayContext::RegisterForUpdates(m_node[3]);
    EXPECT_EQ(Listed(), (std::vector<ZkUniqueID>{4}));
    m_node[3]->PlayCountDown(nullptr, false);
}
} // namespace
