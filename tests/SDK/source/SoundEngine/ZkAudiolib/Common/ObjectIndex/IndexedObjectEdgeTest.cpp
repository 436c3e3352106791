// Indexed objects at the edges of their tables: a release after the object left its bucket, and
// equal ids in different kinds.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/ObjectIndex/IndexTestObject.h"

#include <gtest/gtest.h>

namespace
{
using namespace ZK::SoundEngine;
using ZkIndexTest::TestObject;

class IndexedObjectEdgeTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ASSERT_TRUE(m_index.InitTables());
    }
    void TearDown() override
    {
        m_index.FreeTables();
        EngineMemoryTest::TearDown();
    }
    ObjectIndex m_index;
};

TEST_F(IndexedObjectEdgeTest, ReleaseOfAnUnlinkedObjectStillDestroysItAndKeepsTheCount)
{
    ZkIndexTable& table = m_index.Table(ZkIndexKind::Events);
    TestObject* kept = TestObject::Create(table, 11);
    TestObject* unlinked = TestObject::Create(table, 22);
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(unlinked, nullptr);
    ASSERT_TRUE(table.Remove(unlinked));
    EXPECT_EQ(table.Length(), 1u);
    const uint32_t destroyedBefore = ZkIndexTest::g_destroyed.load();
    EXPECT_EQ(unlinked->Release(), 0u);
    EXPECT_EQ(ZkIndexTest::g_destroyed.load(), destroyedBefore + 1);
    EXPECT_EQ(table.Length(), 1u);
    EXPECT_TRUE(table.Contains(11));
    kept->Release();
}

TEST_F(IndexedObjectEdgeTest, EqualIdsInDifferentKindsNeverCollide)
{
    TestObject* event = TestObject::Create(m_index.Table(ZkIndexKind::Events), 500);
    TestObject* action = TestObject::Create(m_index.Table(ZkIndexKind::Actions), 500);
    CZkIndexedObject* found = m_index.GetPtrAndAddRef(ZkIndexKind::Actions, 500);
    EXPECT_EQ(found, action);
    found->Release();
    event->Release();
    EXPECT_EQ(m_index.GetPtrAndAddRef(ZkIndexKind::Events, 500), nullptr);
    found = m_index.GetPtrAndAddRef(ZkIndexKind::Actions, 500);
    EXPECT_EQ(found, action);
    found->Release();
    action->Release();
}
} // namespace
