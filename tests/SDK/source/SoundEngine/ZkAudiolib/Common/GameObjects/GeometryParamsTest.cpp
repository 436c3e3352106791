// Emitter geometry: rays per position and routed listener, the nearest ray of the dry routing, the
// built-in parameters it pushes; per-object node lists.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/DetachedModulator.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"

#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkGameSyncTest::GameSyncTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkGameObjectID kEmitter = 1;
constexpr ZkGameObjectID kListeners[] = {10, 11, 12};
// Game parameters bound to the built-in rows 1 (distance) and 2 (azimuth).
constexpr ZkUniqueID kDistanceParam = 9001;
constexpr ZkUniqueID kAzimuthParam = 9002;

struct Set : ZkListenerSet
{
    Set(std::initializer_list<ZkGameObjectID> ids)
    {
        for (ZkGameObjectID id : ids)
            Add(id);
    }
};

class GeometryParamsTest : public GameSyncTest
{
protected:
    void SetUp() override
    {
        GameSyncTest::SetUp();
        emitter = Register(kEmitter);
        for (ZkGameObjectID id : kListeners)
            Register(id);
        ASSERT_EQ(g_pRTPCMgr->BindBuiltInParam(ZkBuiltInParam_Distance, kDistanceParam), ZK_Success);
        ASSERT_EQ(g_pRTPCMgr->BindBuiltInParam(ZkBuiltInParam_Azimuth, kAzimuthParam), ZK_Success);
    }
    void Move(ZkGameObjectID id, const ZkVector& at)
    {
        const ZkChannelEmitter record = {{{0, 0, 1}, {0, 1, 0}, at}, kZkAllInputChannels};
        ASSERT_EQ(g_pRegistryMgr->SetPosition(id, &record, 1, 0), ZK_Success);
    }
    // The value of a built-in game parameter for the emitter object; NaN when none was pushed.
    float Pushed(ZkUniqueID param)
    {
        ZkRTPCKey key = ZkRTPCKey::ForObject(emitter);
        float value = 0.0f;
        return g_pRTPCMgr->GetRTPCValue(param, key, value) && key.gameObject == emitter ? value : NAN;
    }

    CZkRegisteredObj* emitter = nullptr;
};

TEST_F(GeometryParamsTest, TwoPositionsAndThreeListenersGiveSixRays)
{
    const ZkChannelEmitter two[] = {{{{0, 0, 1}, {0, 1, 0}, {0, 0, 0}}, 1}, {{{0, 0, 1}, {0, 1, 0}, {4, 0, 0}}, 2}};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(kEmitter, two, 2, MultiPositionType_MultiSources), ZK_Success);
    g_pRegistryMgr->SetListeners(kEmitter, Set({10, 11, 12}), ZkListenerOperation_Set);
    EXPECT_EQ(emitter->GetRayCount(), 6u);
    emitter->GetOrCreateGeometry()->Update();
    const CZkGeometryParams* geometry = emitter->Geometry();
    ASSERT_EQ(geometry->RayCount(), 6u);
    EXPECT_EQ(geometry->Ray(3).listenerID, 11u);
    EXPECT_EQ(geometry->Ray(3).positionIndex, 1u);
    EXPECT_EQ(geometry->Ray(3).inputChannelMask, 2u);
    EXPECT_EQ(geometry->RayFlags(3), kRayFlagStandard);
    EXPECT_FALSE(emitter->Emitter()->IsDirty());

    // A routed listener id without a listener component (no such object) gets no ray.
    g_pRegistryMgr->SetListeners(kEmitter, Set({10, 11, 999}), ZkListenerOperation_Set);
    emitter->Geometry()->Update();
    EXPECT_EQ(emitter->Geometry()->RayCount(), 4u);

    ZK::ZkArray<ZkRay> collected;
    EXPECT_FLOAT_EQ(emitter->Geometry()->CollectRays(collected), 0.0f);
    EXPECT_EQ(collected.Length(), 4u);
    EXPECT_EQ(collected[0].coneFactor, 1.0f);
}

TEST_F(GeometryParamsTest, NearestRayOnlyAmongDryListeners)
{
    Move(10, {0, 0, 10});
    Move(11, {0, 0, 2});
    // 10 is heard dry; 11, much nearer, only through an aux send.
    g_pRegistryMgr->SetListeners(kEmitter, Set({10}), ZkListenerOperation_Set);
    const ZkAuxSendValue send = {11, 400, 1.0f};
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectAuxSendValues(kEmitter, &send, 1), ZK_Success);
    emitter->UseBuiltInParam(ZkBuiltInParam_Distance);
    EXPECT_EQ(emitter->Geometry()->RayCount(), 2u);
    EXPECT_FLOAT_EQ(Pushed(kDistanceParam), 10.0f);

    // Listeners routed only through aux sends: nothing is pushed.
    g_pRegistryMgr->SetListeners(kEmitter, Set({10}), ZkListenerOperation_Remove);
    g_pRTPCMgr->UnsubscribeKey(kDistanceParam, ZkRTPCKey::ForObject(emitter));
    emitter->Geometry()->Update();
    EXPECT_EQ(emitter->Geometry()->RayCount(), 1u);
    EXPECT_TRUE(std::isnan(Pushed(kDistanceParam)));
}

TEST_F(GeometryParamsTest, EmptyMaskBuildsRaysAndPushesNothing)
{
    Move(10, {0, 0, 3});
    g_pRegistryMgr->SetListeners(kEmitter, Set({10}), ZkListenerOperation_Set);
    emitter->AddRef(); // active: the tick updates it
    ASSERT_EQ(g_pRegistryMgr->UpdatePositions(), ZK_Success);
    EXPECT_EQ(emitter->Geometry()->RayCount(), 1u);
    EXPECT_EQ(emitter->Geometry()->BuiltInMask(), 0u);
    EXPECT_TRUE(std::isnan(Pushed(kDistanceParam)));
    // Deactivation clears the mask again.
    emitter->UseBuiltInParam(ZkBuiltInParam_Distance);
    EXPECT_FLOAT_EQ(Pushed(kDistanceParam), 3.0f);
    emitter->Release();
    EXPECT_EQ(emitter->Geometry()->BuiltInMask(), 0u);
}

TEST_F(GeometryParamsTest, SourceToTheRightPushesAzimuthNinety)
{
    Move(10, {0, 0, 0});
    Move(kEmitter, {5, 0, 0});
    g_pRegistryMgr->SetListeners(kEmitter, Set({10}), ZkListenerOperation_Set);
    emitter->UseBuiltInParam(ZkBuiltInParam_Azimuth);
    EXPECT_FLOAT_EQ(Pushed(kAzimuthParam), 90.0f);
    EXPECT_TRUE(std::isnan(Pushed(kDistanceParam))); // not in use
    // The listener moves: the next tick marks the emitter and the value follows.
    Move(10, {10, 0, 0});
    g_pRegistryMgr->FlushDirtyGameObjects();
    EXPECT_TRUE(emitter->Emitter()->IsDirty());
    ASSERT_EQ(g_pRegistryMgr->UpdatePositions(), ZK_Success); // the listener's own emitter pass
    emitter->UseBuiltInParam(ZkBuiltInParam_Azimuth);
    EXPECT_NEAR(Pushed(kAzimuthParam), -90.0f, 1e-4f);
}

TEST_F(GeometryParamsTest, ReadingABuiltInParameterBringsTheGeometryUpToDate)
{
    Move(10, {0, 0, 0});
    Move(kEmitter, {0, 0, 6});
    g_pRegistryMgr->SetListeners(kEmitter, Set({10}), ZkListenerOperation_Set);
    // A subscriber whose curve reads the distance parameter for the emitter object (identity curve).
    const ZkCurvePoint identity[] = {{0.0f, 0.0f, 4}, {100.0f, 100.0f, 4}};
    ZkModulatorTest::DetachedModulator target;
    ASSERT_EQ(g_pRTPCMgr->SubscribeRTPC(&target, kDistanceParam, 0, 0, 5, 1, ZkCurveScaling_None, identity, 2,
                                        ZkRTPCKey::ForObject(emitter), ZkRTPCSubscriberKind_Modulator, true),
              ZK_Success);
    ZkRTPCSubscription* subscription = g_pRTPCMgr->FindSubscription(&target, 5);
    ASSERT_NE(subscription, nullptr);
    EXPECT_FLOAT_EQ(g_pRTPCMgr->EvaluateSubscription(subscription), 6.0f);
    EXPECT_NE(emitter->Geometry()->BuiltInMask() & 1u, 0u);
    // The emitter moves: the next read sees the new distance without waiting for the tick.
    Move(kEmitter, {0, 0, 9});
    EXPECT_FLOAT_EQ(g_pRTPCMgr->EvaluateSubscription(subscription), 9.0f);
    g_pRTPCMgr->UnsubscribeRTPC(&target, 5);
}

class TestNode : public ZkHierarchyTest::TestNode
{
public:
    explicit TestNode(ZkUniqueID id) : ZkHierarchyTest::TestNode(id) {}
    ZKRESULT RemoveGameObjectData(CZkGameObject* object) override
    {
        dropped.push_back(object);
        return ZK_Success;
    }
    std::vector<CZkGameObject*> dropped;
};

TEST_F(GeometryParamsTest, PerObjectNodeListIsMadeOnceAndTellsItsNodes)
{
    auto* node = ZK::ZkNew<TestNode>(ZkMemID_BankObjects, 321);
    ASSERT_EQ(g_pObjectIndex->GetNodeTable(false).Insert(node), ZK_Success);

    // Init refuses (its block finds no memory): the slot stays empty and the next call tries again.
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(emitter->GetOrCreatePerObjectNodeList(), nullptr);
    }
    EXPECT_EQ(emitter->PerObjectNodeList(), nullptr);
    CZkPerObjectNodeList* list = emitter->GetOrCreatePerObjectNodeList();
    ASSERT_NE(list, nullptr);
    Fault::CountOnly(Fault::kAnyPool);
    EXPECT_EQ(emitter->GetOrCreatePerObjectNodeList(), list);
    EXPECT_EQ(Fault::CountedAllocations(), 0u);
    Fault::Disarm();

    EXPECT_EQ(list->AddNode(321, false), ZK_Success);
    EXPECT_EQ(list->AddNode(321, false), ZK_Success);
    EXPECT_EQ(list->AddNode(654, false), ZK_Success); // no longer in the index when the object goes
    EXPECT_EQ(list->Nodes().Length(), 2u);
    g_pRegistryMgr->UnregisterObject(kEmitter);
    ASSERT_EQ(node->dropped.size(), 1u);
    EXPECT_EQ(node->RefCount(), 1u);
    node->Release();
}
} // namespace
