// What a bus node tells its mix-bus instances through the renderer: each service reaches exactly
// the listed instances of that node (and, for bypass notifications, of the game object given);
// and a bus key without game object cannot start a bus of a node.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/Renderer/CZkAudioRenderer.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>
#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>

#include <memory>
#include <new>

namespace
{
using namespace ZK::SoundEngine;
using ZkHierarchyTest::TestNode;
using ZkMixGraphTest::TestBus;

constexpr ZkUniqueID kBusA = 0xA1;
constexpr ZkUniqueID kBusB = 0xB2;

class BusInstanceServices : public ZkParamTest::ParametersTest
{
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        SetAudioFormatGlobals(48000, 64);
        nodeA = std::make_unique<TestNode>(kBusA, ZkNodeCategory_Bus, true);
        nodeB = std::make_unique<TestNode>(kBusB, ZkNodeCategory_Bus, true);
    }
    void TearDown() override
    {
        CZkAudioRenderer::DestroyAllBuses();
        CZkAudioRenderer::ClearGraphDirty();
        nodeA.reset();
        nodeB.reset();
        ParametersTest::TearDown();
    }
    // A listed bus of the node for the game object, made in the bus list's own memory.
    TestBus* Listed(TestNode* node, CZkGameObject* object)
    {
        void* memory = ZK::MemoryMgr::Malloc(CZkMixBus::kPool, sizeof(TestBus));
        EXPECT_NE(memory, nullptr);
        auto* bus = new (memory) TestBus();
        bus->SetKey(node, object);
        EXPECT_EQ(CZkAudioRenderer::AddBus(bus), ZK_Success);
        return bus;
    }

    std::unique_ptr<TestNode> nodeA;
    std::unique_ptr<TestNode> nodeB;
};

TEST_F(BusInstanceServices, EachServiceReachesTheInstancesOfItsNodeOnly)
{
    CZkRegisteredObj* first = Register(10);
    CZkRegisteredObj* second = Register(11);
    TestBus* a1 = Listed(nodeA.get(), first);
    TestBus* a2 = Listed(nodeA.get(), second);
    TestBus* b = Listed(nodeB.get(), first);

    EXPECT_EQ(CZkAudioRenderer::SetBusMeteringFlags(kBusA, ZkMeteringFlag_Peak | ZkMeteringFlag_SignedPeak), ZK_Success);
    EXPECT_EQ(a1->MeteringFlags(), ZkMeteringFlag_Peak | ZkMeteringFlag_SignedPeak) << "the signed peak is kept";
    EXPECT_EQ(a2->MeteringFlags(), a1->MeteringFlags());
    EXPECT_EQ(b->MeteringFlags(), 0u);

    EXPECT_EQ(CZkAudioRenderer::SetBusVolumeCallbackFlag(kBusB, true), ZK_Success);
    EXPECT_TRUE(b->HasVolumeCallback());
    EXPECT_FALSE(a1->HasVolumeCallback());

    // Bypass bits: slot 1 on the instance of the second object only, then every effect on all.
    EXPECT_EQ(CZkAudioRenderer::ForwardBusNotification(kBusA, 0x2, 0x2, second->ID()), ZK_Success);
    EXPECT_EQ(a1->Slot(1).bypass, 0);
    EXPECT_EQ(a2->Slot(1).bypass, 1);
    EXPECT_NE(a2->BusFlags() & CZkMixBus::kFlagEffectChangePending, 0);
    EXPECT_EQ(CZkAudioRenderer::ForwardBusNotification(kBusA, CZkMixBus::kBypassAll, CZkMixBus::kBypassAll),
              ZK_Success);
    EXPECT_EQ(a1->BypassAll(), 1);
    EXPECT_EQ(a2->BypassAll(), 1);
    EXPECT_EQ(b->BypassAll(), 0);

    // Rebuilding a slot at once takes the pending changes.
    EXPECT_EQ(CZkAudioRenderer::MarkBusInstancesDirty(kBusA, 1), ZK_Success);
    EXPECT_EQ(a2->BusFlags() & CZkMixBus::kFlagEffectChangePending, 0);
    EXPECT_EQ(CZkAudioRenderer::MarkBusInstancesDirty(kBusA, 4), ZK_InvalidParameter);
}

TEST_F(BusInstanceServices, ABusKeyWithoutGameObjectCannotStartABusOfANode)
{
    CZkMixBus* bus = CZkMixBus::Create(ZkMixBusKey(nodeA.get(), 0, nullptr));
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->Init(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), ZkMixBusKey(nodeA.get(), 0, nullptr)),
              ZK_Fail);
    EXPECT_EQ(bus->NodeInstance(), nullptr);
    CZkMixBus::Destroy(bus);
}
} // namespace
