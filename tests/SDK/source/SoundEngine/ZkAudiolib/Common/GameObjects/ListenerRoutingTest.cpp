// Listeners and listener routing: the routing messages, the default routing, dry levels and aux
// sends, obstruction on several positions, spatialization offsets, and the routing component's life.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkGameObjectID kEmitter = 1;
constexpr ZkGameObjectID kListenerA = 10;
constexpr ZkGameObjectID kListenerB = 11;
constexpr ZkGameObjectID kListenerC = 12;

// A listener set as the dispatcher builds it from a message's ids.
struct Set : ZkListenerSet
{
    Set(std::initializer_list<ZkGameObjectID> ids)
    {
        for (ZkGameObjectID id : ids)
            EXPECT_EQ(Add(id), ZK_Success);
    }
};

std::vector<ZkGameObjectID> Ids(const ZkListenerSet& set) { return {set.begin(), set.end()}; }

class ListenerRoutingTest : public ParametersTest
{
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        for (ZkGameObjectID id : {kEmitter, kListenerA, kListenerB, kListenerC})
            Register(id);
    }
    CZkRegisteredObj* Object(ZkGameObjectID id) { return g_pRegistryMgr->GetObj(id); }
};

TEST_F(ListenerRoutingTest, SameListenersKeepTheirDryLevels)
{
    EXPECT_EQ(g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA, kListenerB}), ZkListenerOperation_Set),
              ZK_Success);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRefresh) << "the mix graph is marked";
    CZkAudioRenderer::ClearGraphDirty();
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectOutputBusVolume(kEmitter, kListenerA, 0.25f), ZK_Success);
    CZkListenerRouting* routing = Object(kEmitter)->ListenerRouting();
    ASSERT_NE(routing, nullptr);
    EXPECT_NE(Object(kListenerA)->Listener(), nullptr);
    EXPECT_NE(Object(kListenerB)->Listener(), nullptr);
    g_pRegistryMgr->SetMultipleObstructionAndOcclusion(kEmitter, kListenerB, nullptr, 0);
    const ZkObstructionOcclusionValues value = {0.5f, 0.5f};
    ASSERT_EQ(g_pRegistryMgr->SetMultipleObstructionAndOcclusion(kEmitter, kListenerB, &value, 1), ZK_Success);

    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA, kListenerB}), ZkListenerOperation_Set);
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerA, 0), 0.25f);
    EXPECT_NE(Object(kEmitter)->Emitter()->FindObstruction(kListenerB), nullptr);

    // A new set: A keeps its level, B leaves with its level and obstruction, C comes at 1.0.
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA, kListenerC}), ZkListenerOperation_Set);
    EXPECT_EQ(Ids(routing->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerC}));
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerA, 0), 0.25f);
    EXPECT_EQ(routing->EffectiveDryTable().Length(), 2u);
    EXPECT_EQ(Object(kEmitter)->Emitter()->FindObstruction(kListenerB), nullptr);
    EXPECT_TRUE(Object(kEmitter)->Emitter()->IsDirty());
}

TEST_F(ListenerRoutingTest, AddAndRemoveStartFromACopyOfTheDefaults)
{
    g_pRegistryMgr->SetDefaultListeners(Set({kListenerA, kListenerB}), ZkListenerOperation_Set);
    CZkListenerRouting* defaults = CZkListenerRouting::ExistingDefault();
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(Ids(Object(kEmitter)->GetListenerSet()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB}));

    // Add: a copy of the defaults plus the new one.
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerC}), ZkListenerOperation_Add);
    CZkListenerRouting* own = Object(kEmitter)->ListenerRouting();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->OwnsListeners());
    EXPECT_EQ(Ids(own->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB, kListenerC}));

    // Remove of a listener that is not routed, on an object that followed the defaults: an own copy.
    Register(2);
    g_pRegistryMgr->SetListeners(2, Set({kListenerC}), ZkListenerOperation_Remove);
    CZkListenerRouting* copy = Object(2)->ListenerRouting();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->OwnsListeners());
    EXPECT_EQ(Ids(copy->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB}));

    // Default changes reach routings that follow them, not those with their own listeners.
    Register(3);
    g_pRegistryMgr->SetGameObjectOutputBusVolume(3, ZK_ALL_GAME_OBJECTS, 0.5f);
    g_pRegistryMgr->SetDefaultListeners(Set({kListenerC}), ZkListenerOperation_Add);
    EXPECT_EQ(Ids(copy->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB}));
    EXPECT_EQ(Ids(Object(4 - 1)->GetListenerSet()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB}));
    Register(5);
    EXPECT_EQ(Ids(Object(5)->GetListenerSet()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB, kListenerC}));

    // Reset: back to the defaults.
    g_pRegistryMgr->ResetListenersToDefault(2);
    EXPECT_FALSE(copy->OwnsListeners());
    EXPECT_EQ(Ids(copy->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB, kListenerC}));
}

TEST_F(ListenerRoutingTest, OutputBusVolumeForANewListenerAddsIt)
{
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA}), ZkListenerOperation_Set);
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectOutputBusVolume(kEmitter, kListenerB, 0.75f), ZK_Success);
    const CZkListenerRouting* routing = Object(kEmitter)->ListenerRouting();
    EXPECT_EQ(Ids(routing->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB}));
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerB, 0), 0.75f);
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerC, 0), 1.0f); // absent: 1.0
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectOutputBusVolume(kEmitter, ZK_ALL_GAME_OBJECTS, 0.5f), ZK_Success);
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerA, 0), 0.5f);
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerB, 0), 0.5f);
    EXPECT_EQ(g_pRegistryMgr->SetGameObjectOutputBusVolume(99, kListenerA, 0.5f), ZK_Fail);
}

TEST_F(ListenerRoutingTest, AuxSendForEveryListenerGivesOneSendPerListener)
{
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA, kListenerB}), ZkListenerOperation_Set);
    const ZkAuxSendValue sends[] = {{ZK_ALL_GAME_OBJECTS, 400, 0.5f}, {kListenerC, 401, 1.0f}, {kListenerA, 402, 0.0f}};
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectAuxSendValues(kEmitter, sends, 3), ZK_Success);
    const CZkListenerRouting* routing = Object(kEmitter)->ListenerRouting();
    EXPECT_EQ(routing->EffectiveAuxTable().Length(), 2u); // the send of control value 0 is not stored
    // C is heard through its send only: it joins the listener set and gets a listener.
    EXPECT_EQ(Ids(routing->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB, kListenerC}));
    EXPECT_NE(Object(kListenerC)->Listener(), nullptr);

    ZK::ZkArray<ZkSendRecord> collected;
    routing->EffectiveAuxTable().CollectSends(collected, 1.0f, 0.0f, 0, routing->EffectiveDryTable().Ids(), 0.001f);
    ASSERT_EQ(collected.Length(), 3u);
    std::vector<std::pair<ZkGameObjectID, ZkUniqueID>> got;
    for (const ZkSendRecord& record : collected)
        got.push_back({record.listenerID, record.auxBusID});
    EXPECT_EQ(got, (std::vector<std::pair<ZkGameObjectID, ZkUniqueID>>{{kListenerC, 401}, {kListenerA, 400}, {kListenerB, 400}}));
    // Below the volume threshold nothing is collected.
    collected.RemoveAll();
    routing->EffectiveAuxTable().CollectSends(collected, 0.001f, 0.0f, 0, routing->EffectiveDryTable().Ids(), 0.001f);
    EXPECT_EQ(collected.Length(), 0u);

    // Fewer sends than before empty the table first.
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectAuxSendValues(kEmitter, sends + 1, 1), ZK_Success);
    EXPECT_EQ(routing->EffectiveAuxTable().Length(), 1u);
    EXPECT_EQ(routing->EffectiveAuxTable()[0].auxBusID, 401u);
}

TEST_F(ListenerRoutingTest, RoutingOutOfMemoryLeavesItAsItWas)
{
    g_pRegistryMgr->SetDefaultListeners(Set({kListenerA, kListenerB}), ZkListenerOperation_Set);
    g_pRegistryMgr->SetGameObjectAuxSendValues(kEmitter, nullptr, 0); // an own routing that follows the defaults
    CZkListenerRouting* routing = Object(kEmitter)->ListenerRouting();
    ASSERT_NE(routing, nullptr);
    ASSERT_FALSE(routing->OwnsListeners());
    for (ZkListenerOperation operation : {ZkListenerOperation_Add, ZkListenerOperation_Remove})
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_GameObjects, 1, Fault::ScopedAllocationFailure::Mode::FromNth);
        g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerC}), operation);
        EXPECT_FALSE(routing->OwnsListeners()) << operation;
        EXPECT_EQ(Ids(routing->Listeners()), (std::vector<ZkGameObjectID>{kListenerA, kListenerB})) << operation;
    }
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_GameObjects, 1, Fault::ScopedAllocationFailure::Mode::FromNth);
        g_pRegistryMgr->SetGameObjectOutputBusVolume(kEmitter, kListenerC, 0.5f);
        EXPECT_FALSE(routing->OwnsListeners());
    }
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListenerA, 0), 1.0f);
}

TEST_F(ListenerRoutingTest, ObstructionOfTwoValuesOnFourPositions)
{
    const ZkChannelEmitter four[4] = {};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(kEmitter, four, 4, 2), ZK_Success);
    const ZkObstructionOcclusionValues two[] = {{0.1f, 0.2f}, {0.3f, 0.4f}};
    ASSERT_EQ(g_pRegistryMgr->SetMultipleObstructionAndOcclusion(kEmitter, kListenerA, two, 2), ZK_Success);
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA}), ZkListenerOperation_Set);
    g_pRegistryMgr->FlushDirtyGameObjects();
    Object(kEmitter)->AddRef();
    ASSERT_EQ(g_pRegistryMgr->UpdatePositions(), ZK_Success);
    const CZkGeometryParams* geometry = Object(kEmitter)->Geometry();
    ASSERT_NE(geometry, nullptr);
    ASSERT_EQ(geometry->RayCount(), 4u);
    const float expectedOcclusion[] = {10.0f, 30.0f, 30.0f, 30.0f};
    for (uint32_t position = 0; position < 4; ++position)
    {
        EXPECT_NEAR(geometry->Ray(position).occlusionPercent, expectedOcclusion[position], 1e-5f) << position;
        EXPECT_EQ(geometry->Ray(position).positionIndex, position);
    }
    Object(kEmitter)->Release();
}

TEST_F(ListenerRoutingTest, SpatializationOffsetsAndTheirGains)
{
    const float offsets[] = {0.0f, -6.0f, -741.0f, 3.0f, -20.0f};
    const ZkChannelConfig five = ZkChannelConfig::Anonymous(5);
    ASSERT_EQ(CZkListener::SetSpatialization(kListenerA, false, five, offsets), ZK_Success);
    const CZkListener* listener = Object(kListenerA)->Listener();
    ASSERT_NE(listener, nullptr);
    EXPECT_FALSE(listener->IsSpatialized());
    EXPECT_EQ(listener->OffsetCapacity(), 8u);
    EXPECT_EQ(listener->VolumeOffsetGains(), listener->VolumeOffsetsDB() + 8);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(listener->VolumeOffsetsDB()) % 16, 0u);
    EXPECT_FLOAT_EQ(listener->VolumeOffsetGains()[0], 0.32518977f + 0.020805772f + 0.65304345f);
    EXPECT_NEAR(listener->VolumeOffsetGains()[0], 0.99904f, 1e-5f);
    EXPECT_NEAR(listener->VolumeOffsetGains()[1], 0.501187f, 0.0013f);
    EXPECT_EQ(listener->VolumeOffsetGains()[2], 0.0f);
    EXPECT_EQ(listener->VolumeOffsetsDB()[4], -20.0f);

    bool spatialized = true;
    const float* stored = nullptr;
    ZkChannelConfig config;
    ASSERT_EQ(GetListenerSpatializationImpl(kListenerA, spatialized, stored, config), ZK_Success);
    EXPECT_FALSE(spatialized);
    EXPECT_EQ(stored, listener->VolumeOffsetsDB());
    EXPECT_EQ(config.word, five.word);
    EXPECT_EQ(GetListenerSpatializationImpl(kEmitter, spatialized, stored, config), ZK_InvalidParameter);

    EXPECT_EQ(CZkListener::SetSpatialization(999, true, five, offsets), ZK_InvalidParameter);
    ASSERT_EQ(CZkListener::SetSpatialization(kListenerA, true, five, nullptr), ZK_Success);
    EXPECT_EQ(listener->VolumeOffsetsDB(), nullptr);
}

// A refused or failed spatialization frees the old offsets; nothing may point at them afterwards
// (under AddressSanitizer a read through a stale pointer is reported).
TEST_F(ListenerRoutingTest, RefusedSpatializationLeavesNoStaleOffsets)
{
    const float offsets[] = {-3.0f, -3.0f};
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    ASSERT_EQ(CZkListener::SetSpatialization(kListenerA, true, stereo, offsets), ZK_Success);
    const CZkListener* listener = Object(kListenerA)->Listener();
    ASSERT_NE(listener->VolumeOffsetGains(), nullptr);

    EXPECT_EQ(CZkListener::SetSpatialization(kListenerA, true, ZkChannelConfig(0), offsets), ZK_ChannelConfigWithoutChannels);
    EXPECT_EQ(listener->VolumeOffsetsDB(), nullptr);
    EXPECT_EQ(listener->VolumeOffsetGains(), nullptr);

    ASSERT_EQ(CZkListener::SetSpatialization(kListenerA, true, stereo, offsets), ZK_Success);
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_GameObjects, 1);
        EXPECT_EQ(CZkListener::SetSpatialization(kListenerA, true, stereo, offsets), ZK_Fail);
    }
    EXPECT_EQ(listener->VolumeOffsetGains(), nullptr);
    // What the panning step reads: no offsets, every speaker at unity.
    float gains[2] = {1.0f, 1.0f};
    if (const float* offsetGains = listener->VolumeOffsetGains())
        for (uint32_t channel = 0; channel < 2; ++channel)
            gains[channel] *= offsetGains[channel];
    EXPECT_EQ(gains[0], 1.0f);
    EXPECT_EQ(gains[1], 1.0f);
}

TEST_F(ListenerRoutingTest, MovingListenerMarksTheEmittersThatHearIt)
{
    Register(2);
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA}), ZkListenerOperation_Set);
    g_pRegistryMgr->SetListeners(2, Set({kListenerB}), ZkListenerOperation_Set);
    g_pRegistryMgr->FlushDirtyGameObjects();
    Object(kEmitter)->Emitter()->ClearDirty();
    Object(2)->Emitter()->ClearDirty();
    const ZkChannelEmitter moved = {{{0, 0, 1}, {0, 1, 0}, {3, 0, 0}}, kZkAllInputChannels};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(kListenerA, &moved, 1, 0), ZK_Success);
    g_pRegistryMgr->FlushDirtyGameObjects();
    EXPECT_TRUE(Object(kEmitter)->Emitter()->IsDirty());
    EXPECT_FALSE(Object(2)->Emitter()->IsDirty());
    EXPECT_EQ(g_pRegistryMgr->DirtyListenerCount(), 0u);
    // A panning-rule change refreshes every listener.
    Object(kEmitter)->Emitter()->ClearDirty();
    CZkListener::RefreshAll();
    g_pRegistryMgr->FlushDirtyGameObjects();
    EXPECT_TRUE(Object(kEmitter)->Emitter()->IsDirty());
    EXPECT_TRUE(Object(2)->Emitter()->IsDirty());
}

TEST_F(ListenerRoutingTest, DestroyingTheOnlyRoutingEmptiesTheList)
{
    ASSERT_EQ(CZkListenerRouting::Count(), 0u);
    g_pRegistryMgr->SetListeners(kEmitter, Set({kListenerA}), ZkListenerOperation_Set);
    ASSERT_EQ(CZkListenerRouting::Count(), 1u);
    g_pRegistryMgr->UnregisterObject(kEmitter);
    EXPECT_EQ(CZkListenerRouting::Count(), 0u);
    EXPECT_EQ(CZkListenerRouting::First(), nullptr);
    // The default routing is listed too, until positioning's globals are freed.
    g_pRegistryMgr->SetDefaultListeners(Set({kListenerA}), ZkListenerOperation_Set);
    EXPECT_EQ(CZkListenerRouting::Count(), 1u);
    TermPositioningGlobals();
    EXPECT_EQ(CZkListenerRouting::Count(), 0u);
    EXPECT_EQ(CZkListenerRouting::First(), nullptr);
}
} // namespace
