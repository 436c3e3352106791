// The tracked node set of a game object: node keys counted, the three answers of each node counted
// once per yes (also when they change), references, the id lists and the collected records.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkTrackedNodeSet.h"

#include <gtest/gtest.h>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

class Node final : public IZkTrackedNode
{
public:
    Node(uint32_t key, bool a, bool b, bool c) : m_key(key), m_answers{a, b, c} {}
    bool Answer(uint32_t question) const override { return m_answers[question]; }
    uint32_t TrackingKey() const override { return m_key; }
    void Set(uint32_t key, bool a, bool b, bool c)
    {
        m_key = key;
        m_answers[0] = a;
        m_answers[1] = b;
        m_answers[2] = c;
    }

private:
    uint32_t m_key;
    bool m_answers[3];
};

using TrackedNodeSet = ParametersTest;

TEST_F(TrackedNodeSet, CountsKeysAndYesAnswersAndTakesBackExactlyWhatANodeAdded)
{
    CZkRegisteredObj* object = Register(40);
    CZkTrackedNodeSet* set = object->GetOrCreateTrackedNodeSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(object->TrackedNodeSet(), set);
    EXPECT_EQ(CZkTrackedNodeSet::Count(), 1u);
    Node a(30, true, false, true);
    Node b(10, true, true, false);
    Node c(30, false, false, false);
    for (Node* node : {&a, &b, &c})
        ASSERT_TRUE(set->AddNode(*node));
    EXPECT_TRUE(set->dirty);
    EXPECT_EQ(set->DistinctKeys(), 2u);
    EXPECT_EQ(set->CountOfKey(30), 2u);
    EXPECT_EQ(set->CountOfKey(10), 1u);
    EXPECT_EQ(set->KeyCountTotal(), 3u);
    EXPECT_EQ(set->YesCount(0), 2u);
    EXPECT_EQ(set->YesCount(1), 1u);
    EXPECT_EQ(set->YesCount(2), 1u);

    // Every answer of a changes, and its key: counted again exactly once per yes.
    a.Set(20, false, true, false);
    set->UpdateNode(a);
    EXPECT_EQ(set->YesCount(0), 1u);
    EXPECT_EQ(set->YesCount(1), 2u);
    EXPECT_EQ(set->YesCount(2), 0u);
    EXPECT_EQ(set->CountOfKey(30), 1u);
    EXPECT_EQ(set->CountOfKey(20), 1u);
    set->UpdateNode(a);
    EXPECT_EQ(set->YesCount(1), 2u) << "an unchanged answer is not counted twice";

    EXPECT_TRUE(set->AddNodeRef(b));
    EXPECT_EQ(set->CountOfKey(10), 2u);
    set->ReleaseNodeRef(b);
    set->RemoveNode(b);
    EXPECT_EQ(set->CountOfKey(10), 0u);
    EXPECT_EQ(set->DistinctKeys(), 2u) << "a key whose count reaches 0 leaves the array";
    EXPECT_EQ(set->YesCount(0), 0u);
    EXPECT_EQ(set->YesCount(1), 1u);

    // A node whose key cannot be stored changes nothing.
    CZkTrackedNodeSet* empty = Register(43)->GetOrCreateTrackedNodeSet();
    ASSERT_NE(empty, nullptr);
    Node d(5, true, true, true);
    Fault::FailFrom(ZkMemID_VoicePipeline, 1);
    EXPECT_FALSE(empty->AddNode(d));
    Fault::Disarm();
    EXPECT_EQ(empty->YesCount(2), 0u);
    EXPECT_EQ(empty->KeyCountTotal(), 0u);

}

TEST_F(TrackedNodeSet, IdListsAndCollectedRecords)
{
    CZkRegisteredObj* object = Register(41);
    CZkTrackedNodeSet* set = object->GetOrCreateTrackedNodeSet();
    ASSERT_NE(set, nullptr);
    set->IdList(0).AddLast(100);
    set->IdList(0).AddLast(101);
    set->IdList(1).AddLast(200);
    EXPECT_TRUE(set->Contains(101));
    EXPECT_TRUE(set->Contains(200));
    EXPECT_FALSE(set->Contains(300));

    set->Value(0) = {7, 0.5f};
    set->Value(1) = {8, 0.0f}; // weighs nothing: not collected
    ZK::ZkArray<ZkTrackedRecord> records;
    set->CollectEntries(records, 0, 2.0f);
    ASSERT_EQ(records.Length(), 2u);
    EXPECT_EQ(records[1].id, 101u);
    EXPECT_EQ(records[1].kind, ZkTrackedRecord::kKindEntry);
    EXPECT_EQ(records[0].objectID, 41u);
    set->active = true;
    set->CollectEntries(records, 0, 2.0f);
    ASSERT_EQ(records.Length(), 5u);
    EXPECT_EQ(records[4].id, 7u) << "the set's own id when none is given";
    EXPECT_EQ(records[4].value, 1.0f);

    records.RemoveAll();
    set->CollectValue(records, 4.0f);
    ASSERT_EQ(records.Length(), 1u);
    EXPECT_EQ(records[0].id, 7u);
    EXPECT_EQ(records[0].value, 2.0f);
    EXPECT_EQ(records[0].kind, ZkTrackedRecord::kKindValue);
    records.Term();

}
} // namespace
