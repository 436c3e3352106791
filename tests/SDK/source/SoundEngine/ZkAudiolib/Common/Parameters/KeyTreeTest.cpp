// The scoped value tree: best-match look-ups with the key rewritten to the answer's scope, exact
// paths, pruning, matching removal and the override test.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Parameters/ZkRTPCKeyTree.h"

#include <gtest/gtest.h>

namespace
{
using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;

// Game objects and instances are only compared by address here.
CZkRegisteredObj* Object(uintptr_t n) { return reinterpret_cast<CZkRegisteredObj*>(n * 64); }
CZkPlayingInstance* Instance(uintptr_t n) { return reinterpret_cast<CZkPlayingInstance*>(n * 64); }

ZkRTPCKey Key(uintptr_t object, ZkPlayingID playing = 0, uint32_t target = 0, uint8_t channel = kZkMidiAny,
              uint8_t note = kZkMidiAny, uintptr_t instance = 0)
{
    ZkRTPCKey key;
    key.gameObject = object != 0 ? Object(object) : nullptr;
    key.playingID = playing;
    key.midiTargetID = target;
    key.midiChannel = channel;
    key.midiNote = note;
    key.instance = instance != 0 ? Instance(instance) : nullptr;
    return key;
}

class KeyTreeTest : public EngineMemoryTest
{
protected:
    void TearDown() override
    {
        m_tree.Term();
        EngineMemoryTest::TearDown();
    }
    ZkRTPCKeyTree m_tree;
};

TEST_F(KeyTreeTest, BestMatchFallsBackAndRewritesTheKey)
{
    ASSERT_TRUE(m_tree.SetValue(Key(5), 50.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(0), 1.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(5, 0, 3, 2, 60), 563.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(6, 0, 0, kZkMidiAny, kZkMidiAny, 9), 69.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(8, 4), 84.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(8, 4, 3), 843.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(8, 4, 7, 1, 10, 2), 1.5f));

    struct Case
    {
        ZkRTPCKey asked;
        float expected;
        ZkRTPCKey rewritten;
    };
    const Case cases[] = {
        {Key(5, 9), 50.0f, Key(5)},                      // object value for its playing id
        {Key(7), 1.0f, Key(0)},                          // another object: the global value
        {Key(5, 9, 3, 2, 60), 563.0f, Key(5, 0, 3, 2, 60)}, // playing id falls back to the wildcard node
        {Key(5, 0, 3, 2, 61), 50.0f, Key(5)},            // no note 61: the deepest value above
        {Key(6, 0, 0, kZkMidiAny, kZkMidiAny, 9), 69.0f, Key(6, 0, 0, kZkMidiAny, kZkMidiAny, 9)},
        {Key(6, 0, 0, kZkMidiAny, kZkMidiAny, 8), 1.0f, Key(0)}, // instances have no wildcard
        {Key(0), 1.0f, Key(0)},
        // Below the object level an answer drops only the instance part: the MIDI parts stay as
        // the descent left them (a part it did not find became a wildcard on the way).
        {Key(8, 4, 9, 2, 60, 5), 84.0f, Key(8, 4, 0, 2, 60)},
        {Key(8, 4, 3, 2, 60, 5), 843.0f, Key(8, 4, 3, kZkMidiAny, 60)},
        {Key(8, 4, 7, 1, 10), 84.0f, Key(8, 4, 7, 1, 10)}, // matched exactly, but no value down there
        {Key(8, 9, 3), 1.0f, Key(0)},                      // object 8 has no value of its own
    };
    for (const Case& c : cases)
    {
        ZkRTPCKey key = c.asked;
        const float* slot = m_tree.FindBestMatch(key);
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(*slot, c.expected);
        EXPECT_TRUE(key == c.rewritten) << c.expected;
    }
}

TEST_F(KeyTreeTest, EmptyTreeAndEmptyLevelsAnswerNothing)
{
    for (ZkRTPCKey key : {Key(0), Key(5), Key(5, 9, 3, 2, 60, 4)})
        EXPECT_EQ(m_tree.FindBestMatch(key), nullptr);

    // A node that matches exactly but holds no value does not answer: its ancestor does.
    ASSERT_TRUE(m_tree.SetValue(Key(5), 50.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(5, 9, 1), 591.0f));
    ZkRTPCKey key = Key(5, 9);
    const float* slot = m_tree.FindBestMatch(key);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, 50.0f);
    EXPECT_TRUE(key == Key(5));
}

TEST_F(KeyTreeTest, FindPathReportsExactParentAndChildren)
{
    ASSERT_TRUE(m_tree.SetValue(Key(0), 1.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(5, 9), 59.0f));
    ZkRTPCKeyPath path = m_tree.FindPath(Key(5));
    EXPECT_EQ(path.exact, nullptr);
    ASSERT_NE(path.parent, nullptr);
    EXPECT_EQ(*path.parent, 1.0f);
    EXPECT_TRUE(path.hasChildren);

    path = m_tree.FindPath(Key(5, 9, 4));
    EXPECT_EQ(path.node, nullptr);
    ASSERT_NE(path.parent, nullptr);
    EXPECT_EQ(*path.parent, 59.0f);

    path = m_tree.FindPath(Key(0));
    ASSERT_NE(path.exact, nullptr);
    EXPECT_EQ(*path.exact, 1.0f);
    EXPECT_EQ(path.parent, nullptr);
}

TEST_F(KeyTreeTest, RemovalPrunesEmptiedNodes)
{
    ASSERT_TRUE(m_tree.SetValue(Key(5, 9, 3, 2, 60, 7), 1.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(5), 2.0f));
    EXPECT_EQ(m_tree.ValueCount(), 2u);
    m_tree.Remove(Key(5, 9, 3, 2, 60, 7));
    ASSERT_EQ(m_tree.Root().ChildCount(), 1u);
    EXPECT_FALSE((*m_tree.Root().children)[0].HasChildren()) << "the emptied path is gone";
    m_tree.Remove(Key(5));
    EXPECT_TRUE(m_tree.IsEmpty());
    EXPECT_EQ(m_tree.Root().children, nullptr);
}

TEST_F(KeyTreeTest, RemoveMatchingTreatsWildcardsAsAny)
{
    for (uintptr_t object : {5u, 6u})
    {
        ASSERT_TRUE(m_tree.SetValue(Key(object), 1.0f));
        ASSERT_TRUE(m_tree.SetValue(Key(object, 9), 2.0f));
        ASSERT_TRUE(m_tree.SetValue(Key(object, 9, 0, 1, 60), 3.0f));
    }
    ASSERT_TRUE(m_tree.SetValue(Key(0), 0.5f));
    m_tree.RemoveMatching(Key(5, 9));
    EXPECT_EQ(m_tree.ValueCount(), 5u);
    ZkRTPCKey probe = Key(5, 9);
    EXPECT_EQ(*m_tree.FindBestMatch(probe), 1.0f);
    m_tree.RemoveMatching(Key(5));
    EXPECT_EQ(m_tree.ValueCount(), 4u);
    m_tree.RemoveMatching(Key(0));
    EXPECT_TRUE(m_tree.IsEmpty());
}

TEST_F(KeyTreeTest, OverrideOnlyForMoreSpecificSubscribersWithAValueBelow)
{
    ASSERT_TRUE(m_tree.SetValue(Key(5), 50.0f));
    ASSERT_TRUE(m_tree.SetValue(Key(0), 1.0f));
    struct Case
    {
        ZkRTPCKey subscriber;
        ZkRTPCKey changed;
        bool overridden;
    };
    const Case cases[] = {
        {Key(5), Key(0), true},            // object 5 holds its own value
        {Key(5, 3), Key(0), true},
        {Key(7), Key(0), false},           // no value for object 7
        {Key(0), Key(0), false},           // subscriber names no object
        {Key(5), Key(5), false},           // not more specific than the change
        {Key(5, 3), Key(5), false},        // nothing stored under playing id 3 (nor the wildcard)
        {Key(5, 0, 0, kZkMidiAny, kZkMidiAny, 4), Key(5, 0, 0, 2), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(m_tree.HasOverride(c.subscriber, c.changed), c.overridden);
}

TEST_F(KeyTreeTest, OutOfMemoryLeavesNoEmptyNodes)
{
    ZK::MemoryMgr::FaultInjection::CountOnly(ZkMemID_Default);
    ASSERT_TRUE(m_tree.SetValue(Key(5, 9, 3, 2, 60, 7), 1.0f));
    const uint32_t allocations = ZK::MemoryMgr::FaultInjection::CountedAllocations();
    ZK::MemoryMgr::FaultInjection::Disarm();
    m_tree.Term();
    ASSERT_GT(allocations, 0u);
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, nth);
        EXPECT_FALSE(m_tree.SetValue(Key(5, 9, 3, 2, 60, 7), 1.0f)) << nth;
        ZK::MemoryMgr::FaultInjection::Disarm();
        EXPECT_TRUE(m_tree.IsEmpty()) << nth;
        EXPECT_EQ(m_tree.Root().children, nullptr) << nth;
    }
}
} // namespace
