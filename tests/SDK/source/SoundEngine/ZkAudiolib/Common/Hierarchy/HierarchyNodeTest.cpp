// The node base: release with its links, preparation by id, runtime property changes by id group,
// modified-property records per game object and global, and the chain queries.
#include "HierarchyFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/RecordingTarget.h"

#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"

namespace
{
using namespace ZkHierarchyTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
using ZkParamTest::RecordingTarget;

using HierarchyNode = HierarchyTest;

TEST_F(HierarchyNode, TheLastReleaseLeavesTheParentsAndTheBussChildLists)
{
    TestNode* bus = AddNode(10, ZkNodeCategory_Bus, true);
    TestNode* parent = AddNode(11, ZkNodeCategory_Playlist);
    TestNode* child = TestNode::CreateIndexed(12, ZkNodeCategory_Sound);
    ASSERT_NE(child, nullptr);
    ASSERT_EQ(bus->AddChild(child), ZK_Success);
    ASSERT_EQ(parent->AddChild(child), ZK_Success);
    EXPECT_EQ(bus->RefCount(), 2u) << "the child holds its bus";
    EXPECT_EQ(parent->RefCount(), 2u);
    EXPECT_TRUE(child->IsDescendantOf(parent));
    EXPECT_TRUE(child->IsDescendantOf(bus));
    EXPECT_FALSE(parent->IsDescendantOf(child));
    EXPECT_EQ(child->Depth(), 1u);

    EXPECT_EQ(child->Release(), 0u);
    EXPECT_TRUE(bus->children.empty());
    EXPECT_TRUE(parent->children.empty());
    EXPECT_EQ(bus->removedChildren, 1u);
    EXPECT_EQ(parent->removedChildren, 1u);
    EXPECT_EQ(bus->RefCount(), 1u);
    EXPECT_EQ(parent->RefCount(), 1u);
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(12), nullptr);
}

TEST_F(HierarchyNode, ALeafRefusesChildren)
{
    CZkSoundNode* sound = CZkSoundNode::Create(20);
    TestNode* other = AddNode(21);
    EXPECT_EQ(sound->AddChild(other), ZK_Fail);
    EXPECT_EQ(other->Parent(), nullptr);
    sound->Release();
}

TEST_F(HierarchyNode, PrepareAndUnprepareByID)
{
    EXPECT_EQ(CZkHierarchyNode::PrepareByID(404), ZK_Fail) << "unknown id";
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("media_size": 640)"))), ZK_Success);
    CZkSoundNode* sound = FindSound(200);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(CZkHierarchyNode::PrepareByID(200), ZK_Success);
    EXPECT_EQ(m_bankManager.prepared, std::vector<ZkUniqueID>{100});
    EXPECT_EQ(sound->RefCount(), 2u) << "the prepared node stays alive";
    CZkHierarchyNode::UnprepareByID(200);
    EXPECT_EQ(m_bankManager.released, std::vector<ZkUniqueID>{100});
    EXPECT_EQ(sound->RefCount(), 1u);

    m_bankManager.prepareResult = ZK_InsufficientMemory;
    EXPECT_EQ(CZkHierarchyNode::PrepareByID(200), ZK_InsufficientMemory);
    EXPECT_EQ(sound->RefCount(), 1u) << "a failed preparation keeps no reference";

    // A node that was never prepared loses the creator's reference as well.
    TestNode* plain = TestNode::CreateIndexed(30);
    ASSERT_NE(plain, nullptr);
    CZkHierarchyNode::UnprepareByID(30);
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(30), nullptr);
}

TEST_F(HierarchyNode, MediaWithoutBankManagerOrSizeOrResidentNeedsNoPreparation)
{
    ZkMediaRef media;
    media.Init();
    EXPECT_EQ(media.Prepare(), ZK_Success) << "no media needed";
    media.mediaSize = 10;
    media.mediaID = 7;
    EXPECT_EQ(media.Prepare(), ZK_Success);
    EXPECT_EQ(m_bankManager.prepared, std::vector<ZkUniqueID>{7});
    media.Unprepare();
    media.flags |= kMediaFlagResident;
    EXPECT_EQ(media.Prepare(), ZK_Success);
    media.Unprepare();
    EXPECT_EQ(m_bankManager.prepared.size(), 1u) << "resident media needs the bank manager for nothing";
    EXPECT_EQ(m_bankManager.released.size(), 1u);
}

struct PropertyCase
{
    const char* name;
    uint32_t id;
    float value;
    uint32_t deltas;
    uint32_t positionings;
    uint32_t refreshes;
};

TEST_F(HierarchyNode, FloatPropertiesNotifyByTheirGroupAndNotWhenUnchanged)
{
    const std::vector<PropertyCase> cases = {
        {"summed property moves live instances by the delta", 0, 2.5f, 1, 0, 0},
        {"summed property 72", 72, -1.0f, 1, 0, 0},
        {"positioning value", 12, 0.5f, 0, 1, 0},
        {"positioning centre", 14, 40.0f, 0, 1, 0},
        {"other properties refresh", 17, 60.0f, 0, 0, 1},
        {"priority", ZkProp_Priority, 70.0f, 0, 0, 1},
    };
    for (const PropertyCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        TestNode* node = TestNode::CreateIndexed(40);
        ASSERT_NE(node, nullptr);
        const float current = node->GetFloatProperty(test.id);
        EXPECT_EQ(node->SetFloatProperty(test.id, current), ZK_Success);
        EXPECT_TRUE(node->deltas.empty() && node->positionings.empty() && node->refreshes == 0)
            << "setting the value it has tells nobody";
        EXPECT_EQ(node->Properties().Count(), 0u);
        EXPECT_EQ(node->SetFloatProperty(test.id, test.value), ZK_Success);
        EXPECT_EQ(node->GetFloatProperty(test.id), test.value);
        EXPECT_EQ(node->deltas.size(), test.deltas);
        if (test.deltas != 0)
        {
            EXPECT_EQ(node->deltas[0].second, test.value - current);
        }
        EXPECT_EQ(node->positionings.size(), test.positionings);
        EXPECT_EQ(node->refreshes, test.refreshes);
        EXPECT_EQ(node->SetFloatProperty(test.id, test.value), ZK_Success);
        EXPECT_EQ(node->deltas.size() + node->positionings.size() + node->refreshes, 1u) << "the second set changes nothing";
        node->Release();
    }
}

TEST_F(HierarchyNode, IntegerPropertiesAndListGrowth)
{
    TestNode* node = AddNode(41);
    EXPECT_EQ(node->SetIntProperty(ZkProp_LoopCount, 1), ZK_Success);
    EXPECT_EQ(node->refreshes, 0u) << "the default";
    for (uint32_t id = 40; id < 50; ++id)
        ASSERT_EQ(node->SetIntProperty(id, static_cast<int32_t>(id) * 3), ZK_Success);
    EXPECT_EQ(node->Properties().Count(), 10u);
    for (uint32_t id = 40; id < 50; ++id)
        EXPECT_EQ(node->GetIntProperty(id), static_cast<int32_t>(id) * 3);
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(node->SetIntProperty(60, 1), ZK_Fail);
    }
    EXPECT_EQ(node->Properties().Count(), 10u) << "the list stays as it was";
    EXPECT_EQ(node->GetIntProperty(44), 132);
}

TEST_F(HierarchyNode, ModifiedPropertiesPerGameObject)
{
    TestNode* node = AddNode(50);
    CZkRegisteredObj* object = Register(7);
    RecordingTarget target(ZkRTPCKey::ForObject(object), ~0ull);
    target.RegisterWithNode(node, ~0ull, false);

    // Gain is a factor: the instances of the object update their contribution.
    EXPECT_EQ(node->SetModifiedProperty(object, ZkProp_Gain, 0.5f, 0, 4), ZK_Success);
    ASSERT_NE(node->FindModifiedProps(object), nullptr);
    EXPECT_EQ(node->FindModifiedProps(object)->Value(ZkProp_Gain), 0.5f);
    EXPECT_EQ(node->contributions, std::vector<CZkGameObject*>{object});
    ASSERT_NE(object->PerObjectNodeList(), nullptr);
    EXPECT_EQ(object->PerObjectNodeList()->Nodes().First()->id, 50u);

    // Another property reaches the object's targets through the node's second list (which now
    // drives its parameter: the registered targets are gathered again).
    EXPECT_EQ(node->SetModifiedProperty(object, 0, -6.0f, 0, 4), ZK_Success);
    ASSERT_FALSE(target.changes.empty());
    EXPECT_EQ(target.changes.back().value, -6.0f);
    EXPECT_EQ(target.changes.back().delta, -6.0f);

    // Through a transition, frame by frame.
    EXPECT_EQ(node->SetModifiedProperty(object, 0, 0.0f, 210, 4), ZK_Success);
    const size_t before = target.changes.size();
    RunFrames(1, 20);
    EXPECT_GT(target.changes.size(), before);
    EXPECT_EQ(node->FindModifiedProps(object)->Value(0), 0.0f);

    node->ResetAllModifiedGains(0, 4);
    EXPECT_EQ(node->FindModifiedProps(object)->Value(ZkProp_Gain), 1.0f);
    EXPECT_EQ(node->contributions.size(), 2u);

    // The object goes: the node drops its record.
    target.Unregister(kAllParamBits, true);
    g_pRegistryMgr->UnregisterObject(7);
    EXPECT_EQ(node->FindModifiedProps(object), nullptr);
    EXPECT_EQ(node->ModifiedObjectCount(), 0u);
}

TEST_F(HierarchyNode, GlobalRecordAndAllocationFailures)
{
    TestNode* node = AddNode(51);
    node->ResetModifiedGain(nullptr, 0, 4); // no record: nothing
    EXPECT_EQ(node->GlobalModifiedProps(), nullptr);
    EXPECT_EQ(node->SetModifiedProperty(nullptr, ZkProp_Gain, 2.0f, 0, 4), ZK_Success);
    ASSERT_NE(node->GlobalModifiedProps(), nullptr);
    EXPECT_EQ(g_pRegistryMgr->NodesWithoutObject().First()->id, 51u);
    EXPECT_EQ(node->contributions, std::vector<CZkGameObject*>{nullptr});
    node->ResetModifiedGain(nullptr, 0, 4);
    EXPECT_EQ(node->GlobalModifiedProps()->Value(ZkProp_Gain), 1.0f);
    node->ResetModifiedGain(nullptr, 0, 4);
    EXPECT_EQ(node->contributions.size(), 2u) << "a gain of 1 without transition is not reset again";

    EXPECT_EQ(node->SetModifiedProperty(nullptr, ZkProp_CustomEffect, 1.0f, 0, 4), ZK_Fail) << "no parameter drives it";

    CZkRegisteredObj* object = Register(8);
    {
        ScopedAllocationFailure failure(CZkModifiedProps::kPool, 1, ScopedAllocationFailure::Mode::FromNth);
        EXPECT_EQ(node->SetModifiedProperty(object, ZkProp_Gain, 0.5f, 0, 4), ZK_Fail);
    }
    EXPECT_EQ(node->FindModifiedProps(object), nullptr) << "no half-made record";
    EXPECT_EQ(node->ModifiedObjectCount(), 0u);
}

TEST_F(HierarchyNode, ChainQueries)
{
    TestNode* root = AddNode(60);
    TestNode* leaf = AddNode(61, ZkNodeCategory_Sound);
    TestNode* bus = AddNode(62, ZkNodeCategory_Bus, true);
    leaf->SetParent(root);
    leaf->SetOutputBus(bus);
    EXPECT_EQ(leaf->OverrideMask() & kOverrideBusBits, kOverrideBusBits);
    const ZkNodeKey keys[] = {{61, 1}, {62, 1}};
    EXPECT_FALSE(leaf->IsInList(keys, 1)) << "the bus flag must match";
    EXPECT_TRUE(bus->IsInList(keys, 2));
    ASSERT_EQ(g_pStateMgr->AddStateGroup(70), ZK_Success);
    ASSERT_NE(bus->AddStateGroup(70, false), nullptr);
    EXPECT_TRUE(leaf->HasSubscriptionInChain(70, false)) << "found in the bus chain";
    EXPECT_FALSE(leaf->HasSubscriptionInChain(70, true));
    EXPECT_FALSE(leaf->HasSubscriptionInChain(71, false));
    leaf->SetOutputBus(nullptr);
    EXPECT_EQ(leaf->OverrideMask() & kOverrideBusBits, 0u);
    leaf->SetParent(nullptr);
    EXPECT_EQ(root->RefCount(), 1u);
    EXPECT_EQ(bus->RefCount(), 1u);
}
} // namespace
