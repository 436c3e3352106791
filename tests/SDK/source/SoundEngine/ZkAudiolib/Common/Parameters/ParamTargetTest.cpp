// Parameter targets: routing of a node's changes by key, the common mask, bit replacement for
// inherited changes, and the registry of targets per node.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/RecordingTarget.h"

#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"

#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;
using ZkParamTest::RecordingTarget;

CZkRegisteredObj* Object(uintptr_t n) { return reinterpret_cast<CZkRegisteredObj*>(n * 64); }

// A node outside any table: counts its references on itself.
class TestNode : public ZkHierarchyTest::TestNode
{
public:
    using ZkHierarchyTest::TestNode::TestNode;
    uint32_t AddRef() override { return ++refCount; }
    uint32_t Release() override { return --refCount; }
    void Destroy() override {}
};

class ParamTargetTest : public ParametersTest
{
protected:
    RecordingTarget* AddTarget(const ZkRTPCKey& key, uint64_t mask)
    {
        m_targets.push_back(std::make_unique<RecordingTarget>(key, mask));
        EXPECT_EQ(m_list.AddTarget(m_targets.back().get(), mask), ZK_Success);
        return m_targets.back().get();
    }
    void TearDown() override
    {
        for (auto& target : m_targets)
            m_list.RemoveTarget(target.get());
        m_targets.clear();
        ParametersTest::TearDown();
    }

    CZkParamTargetList m_list{300, nullptr};
    std::vector<std::unique_ptr<RecordingTarget>> m_targets;
};

TEST_F(ParamTargetTest, ObjectChangesReachTheObjectsTargetsAtEveryDepth)
{
    ZkRTPCKey playing = ZkRTPCKey::ForObject(Object(5), 12);
    ZkRTPCKey midi = ZkRTPCKey::ForObject(Object(5));
    midi.midiChannel = 3;
    midi.midiNote = 60;
    RecordingTarget* other = AddTarget(ZkRTPCKey::ForObject(Object(4)), 1 << 2);
    RecordingTarget* plain = AddTarget(ZkRTPCKey::ForObject(Object(5)), 1 << 2);
    RecordingTarget* withPlaying = AddTarget(playing, 1 << 2);
    RecordingTarget* withMidi = AddTarget(midi, 1 << 2);
    RecordingTarget* later = AddTarget(ZkRTPCKey::ForObject(Object(6)), 1 << 2);
    RecordingTarget* otherBit = AddTarget(ZkRTPCKey::ForObject(Object(5), 13), 1 << 4);

    m_list.SetParamValue(2, ZkRTPCKey::ForObject(Object(5)), 0.5f, 0.25f, nullptr);
    EXPECT_TRUE(other->changes.empty());
    EXPECT_TRUE(later->changes.empty());
    EXPECT_TRUE(otherBit->changes.empty()) << "its mask lacks the bit";
    for (RecordingTarget* reached : {plain, withPlaying, withMidi})
    {
        ASSERT_EQ(reached->changes.size(), 1u);
        EXPECT_EQ(reached->changes[0].value, 0.5f);
        EXPECT_EQ(reached->changes[0].delta, 0.25f);
        EXPECT_EQ(reached->changes[0].ownerID, 300u);
    }
    m_list.SetParamValue(2, playing, 0.7f, 0.2f, nullptr);
    EXPECT_EQ(withPlaying->LastValue(), 0.7f);
    EXPECT_EQ(plain->LastValue(), 0.5f);
    EXPECT_EQ(withMidi->LastValue(), 0.5f);
}

TEST_F(ParamTargetTest, GlobalChangesReachEveryTargetWithTheBitUnlessOverridden)
{
    RecordingTarget* a = AddTarget(ZkRTPCKey::ForObject(Object(5)), (1 << 2) | (1 << 7));
    RecordingTarget* b = AddTarget(ZkRTPCKey::ForObject(Object(6)), 1 << 2);
    RecordingTarget* c = AddTarget(ZkRTPCKey::ForObject(Object(7)), 1 << 7);
    EXPECT_EQ(m_list.Record()->commonMask, 0u);
    m_list.SetParamValue(7, ZkRTPCKey::Global(), 1.0f, 1.0f, nullptr);
    EXPECT_EQ(a->changes.size(), 1u);
    EXPECT_TRUE(b->changes.empty());
    EXPECT_EQ(c->changes.size(), 1u);

    ZkRTPCKeyTree tree;
    ASSERT_TRUE(tree.SetValue(ZkRTPCKey::ForObject(Object(6)), 3.0f));
    const CZkRTPCOverrideFilter filter(tree, ZkRTPCKey::Global());
    m_list.SetParamValue(2, ZkRTPCKey::Global(), 2.0f, 1.0f, &filter);
    EXPECT_EQ(a->LastValue(), 2.0f);
    EXPECT_TRUE(b->changes.empty()) << "object 6 holds a more specific value";
    tree.Term();

    m_list.BroadcastParamValue(2, 9.0f, 0.0f);
    EXPECT_EQ(b->LastValue(), 9.0f);
}

TEST_F(ParamTargetTest, BitFiveFromAnotherNodeArrivesAsBit43)
{
    TestNode registered(900);
    RecordingTarget target(ZkRTPCKey::Global(), 1 << 5);
    target.RegisterWithNode(&registered, 1 << 5, true);
    EXPECT_EQ(target.RegisteredNode(), &registered);
    EXPECT_EQ(CZkParamTargetRegistry::Instance().TargetCount(&registered), 1u);
    target.SetParamValue(900, 5, 1.0f, 0.0f);
    target.SetParamValue(901, 5, 2.0f, 0.0f);
    target.SetParamValue(901, 6, 3.0f, 0.0f);
    ASSERT_EQ(target.changes.size(), 3u);
    EXPECT_EQ(target.changes[0].bit, 5u);
    EXPECT_EQ(target.changes[1].bit, 43u);
    EXPECT_EQ(target.changes[1].receivedBit, 5u);
    EXPECT_EQ(target.changes[2].bit, 6u);
    target.Unregister(kAllParamBits, true);
    EXPECT_EQ(CZkParamTargetRegistry::Instance().EntryCount(), 0u);
}

TEST_F(ParamTargetTest, RegistryUnregistersAllTargetsOfANode)
{
    TestNode first(1);
    TestNode second(2);
    RecordingTarget a(ZkRTPCKey::Global(), 1);
    RecordingTarget b(ZkRTPCKey::Global(), 1);
    RecordingTarget c(ZkRTPCKey::Global(), 1);
    a.Register(&first);
    b.Register(&first);
    c.Register(&second);
    EXPECT_EQ(CZkParamTargetRegistry::Instance().TargetCount(&first), 2u);
    CZkParamTargetRegistry::Instance().UnregisterAll(&first);
    EXPECT_EQ(a.RegisteredNode(), nullptr);
    EXPECT_EQ(b.RegisteredNode(), nullptr);
    EXPECT_EQ(c.RegisteredNode(), &second);
    EXPECT_EQ(CZkParamTargetRegistry::Instance().EntryCount(), 1u);
}

TEST_F(ParamTargetTest, BitsAndTheRecordLifeCycle)
{
    EXPECT_EQ(m_list.Record(), nullptr);
    EXPECT_EQ(m_list.AddParamBit(9), ZK_Success);
    ASSERT_NE(m_list.Record(), nullptr);
    EXPECT_EQ(m_list.AddParamBit(9), ZK_Success);
    m_list.RemoveParamBit(9, 1);
    EXPECT_EQ(m_list.Record(), nullptr) << "no bit and no target left";
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_BankObjects, 1);
        EXPECT_EQ(m_list.AddParamBit(9), ZK_Fail);
    }
    RecordingTarget* target = AddTarget(ZkRTPCKey::Global(), 1);
    EXPECT_TRUE(m_list.RemoveTarget(target));
    EXPECT_FALSE(m_list.RemoveTarget(target));
    EXPECT_EQ(m_list.Record(), nullptr);
}

TEST_F(ParamTargetTest, ActiveSubscriptionsHoldTheirNode)
{
    TestNode node(55);
    {
        CZkParamTargetList list(55, &node);
        RecordingTarget target(ZkRTPCKey::Global(), 1 << 2);
        ASSERT_EQ(list.AddTarget(&target, 1 << 2), ZK_Success);
        const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {1.0f, 1.0f, 4}};
        ASSERT_EQ(list.SubscribeRTPC(700, 0, 0, 2, 1, 0, line, 2), ZK_Success);
        EXPECT_EQ(node.RefCount(), 2u);
        g_pRTPCMgr->DeactivateSubscriptions(&list, 1 << 2);
        EXPECT_EQ(node.RefCount(), 1u);
        g_pRTPCMgr->ActivateSubscriptions(&list, 1 << 2);
        EXPECT_EQ(node.RefCount(), 2u);
        list.RemoveTarget(&target);
    }
    EXPECT_EQ(node.RefCount(), 1u) << "destroying the list unsubscribed and released";
}
} // namespace
