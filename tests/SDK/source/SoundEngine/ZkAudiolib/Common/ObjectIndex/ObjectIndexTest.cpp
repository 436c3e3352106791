// The object index: tables by kind, look-up with a reference, shared buckets, growth beyond the
// initial 11 buckets, the last release, and termination.
#include "IndexTestObject.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;
using ZkIndexTest::TestObject;

namespace
{
class ObjectIndexTest : public EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ASSERT_TRUE(m_index.InitTables());
        ZkIndexTest::g_destroyed = 0;
    }
    void TearDown() override
    {
        m_index.FreeTables();
        EngineMemoryTest::TearDown();
    }

    ObjectIndex m_index;
};
} // namespace

TEST_F(ObjectIndexTest, EveryTableStartsWithElevenBuckets)
{
    for (uint32_t kind = 0; kind < kIndexTableCount; ++kind)
        EXPECT_EQ(m_index.Table(static_cast<ZkIndexKind>(kind)).BucketCount(), 11u) << kind;
    EXPECT_EQ(&m_index.GetNodeTable(true), &m_index.Table(ZkIndexKind::Buses));
    EXPECT_EQ(&m_index.GetNodeTable(false), &m_index.Table(ZkIndexKind::Nodes));
}

TEST_F(ObjectIndexTest, LookUpAddsAReferenceAndTheLastReleaseRemoves)
{
    ZkIndexTable& events = m_index.Table(ZkIndexKind::Events);
    TestObject* event = TestObject::Create(events, 1234);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(m_index.GetPtrAndAddRef(ZkIndexKind::Actions, 1234), nullptr) << "each kind has its own table";

    CZkIndexedObject* found = m_index.GetPtrAndAddRef(ZkIndexKind::Events, 1234);
    ASSERT_EQ(found, event);
    EXPECT_EQ(found->RefCount(), 2u);
    EXPECT_EQ(found->Release(), 1u);
    EXPECT_EQ(ZkIndexTest::g_destroyed, 0u);
    EXPECT_EQ(event->Release(), 0u) << "the creator's reference";
    EXPECT_EQ(ZkIndexTest::g_destroyed, 1u);
    EXPECT_EQ(m_index.GetPtrAndAddRef(ZkIndexKind::Events, 1234), nullptr);
    EXPECT_EQ(events.Length(), 0u);
}

TEST_F(ObjectIndexTest, IdsEqualModuloElevenShareABucketAndAreAllFound)
{
    ZkIndexTable& nodes = m_index.Table(ZkIndexKind::Nodes);
    std::vector<TestObject*> objects;
    for (ZkUniqueID id : {5u, 16u, 27u})
        objects.push_back(TestObject::Create(nodes, id));
    for (TestObject* object : objects)
    {
        CZkIndexedObject* found = m_index.GetNodePtrAndAddRef(object->ID(), false);
        EXPECT_EQ(found, object);
        found->Release();
    }
    objects[1]->Release(); // unlinks the middle of the chain
    EXPECT_EQ(m_index.GetNodePtrAndAddRef(ZkNodeKey{16, 0}), nullptr);
    CZkIndexedObject* last = m_index.GetNodePtrAndAddRef(ZkNodeKey{27, 0});
    EXPECT_EQ(last, objects[2]);
    last->Release();
    objects[0]->Release();
    objects[2]->Release();
}

TEST_F(ObjectIndexTest, TablesGrowBeyondElevenBucketsAndKeepTheirObjects)
{
    ZkIndexTable& actions = m_index.Table(ZkIndexKind::Actions);
    std::vector<TestObject*> objects;
    for (ZkUniqueID id = 1; id <= 500; ++id)
        objects.push_back(TestObject::Create(actions, id * 2654435761u));
    EXPECT_EQ(actions.BucketCount(), 769u);
    for (TestObject* object : objects)
    {
        CZkIndexedObject* found = actions.GetPtrAndAddRef(object->ID());
        ASSERT_EQ(found, object);
        found->Release();
    }
    for (TestObject* object : objects)
        object->Release();
    EXPECT_EQ(ZkIndexTest::g_destroyed, 500u);
}

// Two objects under one id (a bank loaded over another): the newer one answers, after every growth
// of the table as before it.
TEST_F(ObjectIndexTest, AnIdSharedByTwoObjectsFindsTheNewerOneThroughEveryGrowth)
{
    ZkIndexTable& nodes = m_index.Table(ZkIndexKind::Nodes);
    TestObject* older = TestObject::Create(nodes, 777);
    TestObject* newer = TestObject::Create(nodes, 777);
    std::vector<TestObject*> objects;
    for (ZkUniqueID id = 1; nodes.BucketCount() < 389; ++id)
    {
        objects.push_back(TestObject::Create(nodes, id));
        CZkIndexedObject* found = m_index.GetNodePtrAndAddRef(777, false);
        ASSERT_EQ(found, newer) << "with " << nodes.BucketCount() << " buckets";
        found->Release();
    }
    for (TestObject* object : objects)
        object->Release();
    newer->Release();
    CZkIndexedObject* found = m_index.GetNodePtrAndAddRef(777, false);
    EXPECT_EQ(found, older);
    found->Release();
    older->Release();
}

TEST_F(ObjectIndexTest, EmptyAndTerminatedTablesFindNothing)
{
    EXPECT_EQ(m_index.GetPtrAndAddRef(ZkIndexKind::States, 7), nullptr);
    m_index.FreeTables();
    for (uint32_t kind = 0; kind < kIndexTableCount; ++kind)
    {
        EXPECT_EQ(m_index.Table(static_cast<ZkIndexKind>(kind)).BucketCount(), 0u);
        EXPECT_EQ(m_index.GetPtrAndAddRef(static_cast<ZkIndexKind>(kind), 7), nullptr);
    }
}

TEST_F(ObjectIndexTest, InitTablesFailsWhenMemoryRunsOut)
{
    m_index.FreeTables();
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 5);
    EXPECT_FALSE(m_index.InitTables());
}

TEST_F(ObjectIndexTest, ReleaseSynthesizedObjectsReleasesOnlyBit31IdsOfNodesAndCustomEffects)
{
    TestObject* bankNode = TestObject::Create(m_index.Table(ZkIndexKind::Nodes), 42);
    TestObject::Create(m_index.Table(ZkIndexKind::Nodes), 0x80000001u);
    TestObject::Create(m_index.Table(ZkIndexKind::Nodes), 0x8000000Cu); // same bucket as 0x80000001
    TestObject::Create(m_index.Table(ZkIndexKind::CustomEffects), 0x80000002u);
    TestObject* heldPlugin = TestObject::Create(m_index.Table(ZkIndexKind::CustomEffects), 0x80000003u);
    heldPlugin->AddRef(); // still used elsewhere: survives its index reference
    TestObject* bus = TestObject::Create(m_index.Table(ZkIndexKind::Buses), 0x80000004u);

    m_index.ReleaseSynthesizedObjects();
    EXPECT_EQ(ZkIndexTest::g_destroyed, 3u);
    EXPECT_EQ(m_index.Table(ZkIndexKind::Nodes).Length(), 1u);
    EXPECT_EQ(heldPlugin->RefCount(), 1u);
    EXPECT_EQ(bus->RefCount(), 1u) << "other tables are left alone";

    heldPlugin->Release();
    bankNode->Release();
    bus->Release();
    EXPECT_EQ(ZkIndexTest::g_destroyed, 6u);
}
