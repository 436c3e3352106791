// The game-object registry: registration and its failures, counted references and the active-
// emitter set, unregistering with keep-lists, positions, obstruction records and value lists.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectValueList.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

class RegistryTest : public ParametersTest
{
protected:
    // Every active emitter is found through the set, and the array holds no gaps or duplicates.
    void ExpectDenseActiveSet()
    {
        std::vector<CZkEmitter*> seen;
        for (uint32_t index = 0; index < g_pRegistryMgr->ActiveEmitterCount(); ++index)
        {
            CZkEmitter* emitter = g_pRegistryMgr->ActiveEmitter(index);
            ASSERT_NE(emitter, nullptr);
            EXPECT_TRUE(g_pRegistryMgr->IsEmitterActive(emitter)) << index;
            seen.push_back(emitter);
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
    }
};

TEST_F(RegistryTest, RegisteringTwiceKeepsOneObjectWithOneReference)
{
    CZkRegisteredObj* object = Register(42);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(g_pRegistryMgr->RegisterObject(42), ZK_Success);
    EXPECT_EQ(g_pRegistryMgr->GetObj(42), object);
    EXPECT_EQ(object->RefCount(), 1u);
    EXPECT_TRUE(object->IsRegistered());
    EXPECT_EQ(g_pRegistryMgr->ObjectCount(), 1u);
    ASSERT_NE(object->Emitter(), nullptr);
    ASSERT_EQ(object->Emitter()->PositionCount(), 1u);
    EXPECT_EQ(object->Emitter()->Positions()[0].inputChannelMask, kZkAllInputChannels);
    EXPECT_EQ(object->Emitter()->Positions()[0].transform.front.z, 1.0f);
    EXPECT_FALSE(g_pRegistryMgr->IsGameObjectActive(42));
}

TEST_F(RegistryTest, TableGrowsFrom29To53AtThe28thObject)
{
    EXPECT_EQ(g_pRegistryMgr->BucketCount(), 0u);
    for (ZkGameObjectID id = 1; id <= 27; ++id)
    {
        Register(id * 1000003);
        EXPECT_EQ(g_pRegistryMgr->BucketCount(), 29u) << id;
    }
    Register(28 * 1000003);
    EXPECT_EQ(g_pRegistryMgr->BucketCount(), 53u);
    for (ZkGameObjectID id = 1; id <= 28; ++id)
        EXPECT_NE(g_pRegistryMgr->GetObj(id * 1000003), nullptr);
    // Ids that share their low 32 bits share a bucket and stay distinct.
    Register(0x100000007ull);
    Register(0x200000007ull);
    EXPECT_NE(g_pRegistryMgr->GetObj(0x100000007ull), g_pRegistryMgr->GetObj(0x200000007ull));
    EXPECT_EQ(g_pRegistryMgr->GetObj(0x300000007ull), nullptr);
}

TEST_F(RegistryTest, HeldObjectOutlivesItsUnregistration)
{
    Register(5);
    CZkRegisteredObj* held = g_pRegistryMgr->GetObjAndAddref(5);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->RefCount(), 2u);
    EXPECT_TRUE(g_pRegistryMgr->IsGameObjectActive(5));
    EXPECT_TRUE(g_pRegistryMgr->IsEmitterActive(held->Emitter()));

    EXPECT_EQ(g_pRegistryMgr->UnregisterObject(5), ZK_Success);
    EXPECT_EQ(g_pRegistryMgr->GetObj(5), nullptr);
    EXPECT_FALSE(held->IsRegistered());
    EXPECT_TRUE(held->IsActive());
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 1u);
    EXPECT_EQ(CZkEmitter::Count(), 1u);

    held->Release();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 0u);
    EXPECT_EQ(CZkEmitter::Count(), 0u);
    EXPECT_EQ(g_pRegistryMgr->UnregisterObject(5), ZK_Fail);
}

TEST_F(RegistryTest, ReferencesActivateAndDeactivateOnce)
{
    CZkRegisteredObj* object = Register(5);
    object->AddRef();
    object->AddRef();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 1u);
    object->Release();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 1u);
    object->Release();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 0u);
    EXPECT_FALSE(g_pRegistryMgr->IsGameObjectActive(5));
    ZK::ZkArray<ZkGameObjectID> active;
    EXPECT_EQ(g_pRegistryMgr->GetActiveGameObjects(active), ZK_Success);
    EXPECT_EQ(active.Length(), 0u);
}

TEST_F(RegistryTest, ActiveEmittersStayDenseWhenTheLastOrAMiddleOneLeaves)
{
    std::vector<CZkRegisteredObj*> objects;
    for (ZkGameObjectID id = 1; id <= 6; ++id)
    {
        objects.push_back(Register(id));
        objects.back()->AddRef();
    }
    ASSERT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 6u);
    ExpectDenseActiveSet();

    objects[5]->Release(); // the last array position
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 5u);
    EXPECT_FALSE(g_pRegistryMgr->IsEmitterActive(objects[5]->Emitter()));
    ExpectDenseActiveSet();

    objects[1]->Release(); // a middle one
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 4u);
    EXPECT_FALSE(g_pRegistryMgr->IsEmitterActive(objects[1]->Emitter()));
    ExpectDenseActiveSet();
    for (size_t index : {0u, 2u, 3u, 4u})
        EXPECT_TRUE(g_pRegistryMgr->IsEmitterActive(objects[index]->Emitter())) << index;

    // Many activations grow the set and the array past their first capacity.
    for (ZkGameObjectID id = 100; id < 400; ++id)
        Register(id)->AddRef();
    ExpectDenseActiveSet();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 304u);
    ZK::ZkArray<ZkGameObjectID> active;
    EXPECT_EQ(g_pRegistryMgr->GetActiveGameObjects(active), ZK_Success);
    EXPECT_EQ(active.Length(), 304u);
    for (ZkGameObjectID id = 100; id < 400; ++id)
        g_pRegistryMgr->GetObj(id)->Release();
    for (size_t index : {0u, 2u, 3u, 4u})
        objects[index]->Release();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 0u);
}

TEST_F(RegistryTest, UnregisterAllKeepsTheEngineObjectAndTheKeepList)
{
    for (ZkGameObjectID id : {ZkGameObjectID{1}, ZkGameObjectID{2}, ZkGameObjectID{3}, ZkGameObjectID{4}, ZK_ENGINE_INTERNAL_GAME_OBJECT})
        Register(id);
    ZkSortedIdArray keep;
    ASSERT_EQ(keep.Add(3), ZK_Success);
    ASSERT_EQ(keep.Add(1), ZK_Success);
    g_pRegistryMgr->UnregisterAll(&keep);
    EXPECT_NE(g_pRegistryMgr->GetObj(1), nullptr);
    EXPECT_EQ(g_pRegistryMgr->GetObj(2), nullptr);
    EXPECT_NE(g_pRegistryMgr->GetObj(3), nullptr);
    EXPECT_EQ(g_pRegistryMgr->GetObj(4), nullptr);
    EXPECT_NE(g_pRegistryMgr->GetObj(ZK_ENGINE_INTERNAL_GAME_OBJECT), nullptr);
    g_pRegistryMgr->UnregisterAll(nullptr);
    EXPECT_EQ(g_pRegistryMgr->ObjectCount(), 1u);
    keep.Term();
    g_pRegistryMgr->Term();
    EXPECT_EQ(g_pRegistryMgr->ObjectCount(), 0u);
    EXPECT_EQ(CZkEmitter::Count(), 0u);
}

TEST_F(RegistryTest, EveryAllocationOfARegistrationMayFailWithoutLeavingAnything)
{
    Fault::CountOnly(Fault::kAnyPool);
    Register(9);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    g_pRegistryMgr->Term();
    ASSERT_EQ(g_pRegistryMgr->Init(), ZK_Success);
    ASSERT_GE(allocations, 4u); // object, buckets, table node, emitter, positions

    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        Fault::FailNth(Fault::kAnyPool, nth);
        const ZKRESULT result = g_pRegistryMgr->RegisterObject(9);
        Fault::Disarm();
        CZkRegisteredObj* object = g_pRegistryMgr->GetObj(9);
        if (result == ZK_Success)
        {
            // Only the positions may be missing: the object still has its emitter.
            ASSERT_NE(object, nullptr) << nth;
            EXPECT_NE(object->Emitter(), nullptr) << nth;
            EXPECT_EQ(g_pRegistryMgr->UnregisterObject(9), ZK_Success);
        }
        else
        {
            EXPECT_EQ(result, ZK_Fail) << nth;
            EXPECT_EQ(object, nullptr) << nth;
            EXPECT_EQ(g_pRegistryMgr->ObjectCount(), 0u) << nth;
        }
        EXPECT_EQ(CZkEmitter::Count(), 0u) << nth;
        g_pRegistryMgr->Term();
        ASSERT_EQ(g_pRegistryMgr->Init(), ZK_Success);
    }
}

TEST_F(RegistryTest, ActivationFailsCleanlyWhenTheSetCannotGrow)
{
    std::vector<CZkRegisteredObj*> objects;
    for (ZkGameObjectID id = 1; id <= 300; ++id)
        objects.push_back(Register(id));
    uint32_t refused = 0;
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_Default, 1, Fault::ScopedAllocationFailure::Mode::FromNth);
        for (CZkRegisteredObj* object : objects)
        {
            const uint32_t before = g_pRegistryMgr->ActiveEmitterCount();
            object->AddRef();
            refused += g_pRegistryMgr->ActiveEmitterCount() == before ? 1 : 0;
        }
    }
    EXPECT_GT(refused, 0u);
    ExpectDenseActiveSet();
    for (CZkRegisteredObj* object : objects)
        object->Release();
    EXPECT_EQ(g_pRegistryMgr->ActiveEmitterCount(), 0u);
}

TEST_F(RegistryTest, PositionsAndScaling)
{
    CZkRegisteredObj* object = Register(3);
    const ZkChannelEmitter two[] = {{kZkDefaultTransform, 1}, {{{1, 0, 0}, {0, 1, 0}, {5, 6, 7}}, 2}};
    object->Emitter()->ClearDirty();
    EXPECT_EQ(g_pRegistryMgr->SetPosition(3, two, 2, 7 + 8), ZK_Success);
    EXPECT_EQ(object->Emitter()->PositionCount(), 2u);
    EXPECT_EQ(object->Emitter()->Positions()[1].transform.position.z, 7.0f);
    EXPECT_EQ(object->Emitter()->MultiPositionMode(), 7u);
    EXPECT_TRUE(object->Emitter()->IsDirty());
    EXPECT_EQ(g_pRegistryMgr->SetPosition(3, nullptr, 0, 0), ZK_Success);
    EXPECT_EQ(object->Emitter()->PositionCount(), 0u);
    EXPECT_EQ(g_pRegistryMgr->SetPosition(99, two, 1, 0), ZK_Fail);

    EXPECT_EQ(g_pRegistryMgr->SetScalingFactor(3, 2.5f), ZK_Success);
    EXPECT_EQ(object->Emitter()->ScalingFactor(), 2.5f);
    EXPECT_EQ(g_pRegistryMgr->SetScalingFactor(3, NAN), ZK_InvalidParameter);
    EXPECT_EQ(g_pRegistryMgr->SetScalingFactor(3, 0.0f), ZK_InvalidParameter);
    EXPECT_EQ(object->Emitter()->ScalingFactor(), 2.5f);

    // An active emitter's geometry is recomputed by the tick, which clears the dirty bit.
    object->AddRef();
    EXPECT_EQ(g_pRegistryMgr->UpdatePositions(), ZK_Success);
    EXPECT_FALSE(object->Emitter()->IsDirty());
    EXPECT_NE(object->Geometry(), nullptr);
    object->Release();
}

TEST_F(RegistryTest, ObstructionRecordsPerListener)
{
    CZkRegisteredObj* object = Register(3);
    const ZkChannelEmitter four[4] = {};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(3, four, 4, 1), ZK_Success);
    const ZkObstructionOcclusionValues two[] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.3f, 0.4f}, {0.3f, 0.4f}};
    ASSERT_EQ(g_pRegistryMgr->SetMultipleObstructionAndOcclusion(3, 77, two, 2), ZK_Success);
    const ZkListenerObstruction* record = object->Emitter()->FindObstruction(77);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->values->Length(), 2u);
    EXPECT_EQ((*record->values)[1].occlusion, 0.3f);
    EXPECT_EQ((*record->values)[1].spreadCap, 100.0f);

    // Four values later, then one: the array keeps four, all after the first take the first pair.
    ASSERT_EQ(g_pRegistryMgr->SetMultipleObstructionAndOcclusion(3, 77, two, 4), ZK_Success);
    ASSERT_EQ(g_pRegistryMgr->SetObjectObstructionAndOcclusion(3, 77, 0.9f, 0.8f), ZK_Success);
    ASSERT_EQ(record->values->Length(), 4u);
    for (uint32_t index = 0; index < 4; ++index)
    {
        EXPECT_EQ((*record->values)[index].occlusion, 0.8f);
        EXPECT_EQ((*record->values)[index].obstruction, 0.9f);
    }
    ASSERT_EQ(g_pRegistryMgr->SetObjectObstructionAndOcclusion(3, 78, 0.5f, 0.5f), ZK_Success);
    const ZkGameObjectID routed[] = {78};
    object->Emitter()->PruneListeners(routed, 1);
    EXPECT_EQ(object->Emitter()->FindObstruction(77), nullptr);
    EXPECT_NE(object->Emitter()->FindObstruction(78), nullptr);
    EXPECT_EQ(g_pRegistryMgr->SetObjectObstructionAndOcclusion(99, 78, 0.5f, 0.5f), ZK_Fail);
}

TEST_F(RegistryTest, ObjectValueLists)
{
    CZkRegisteredObj* object = Register(3);
    CZkRegisteredObj* other = Register(4);
    struct Step
    {
        uint32_t value;
        uint32_t expectedCount;
    };
    const Step steps[] = {{7, 0}, {7, 1}, {7, 2}, {8, 1}, {8, 2}};
    for (const Step& step : steps)
    {
        ASSERT_EQ(g_pRegistryMgr->RecordObjectValue(object, 500, step.value), ZK_Success);
        const ZkObjectValue stored = g_pRegistryMgr->GetObjectValue(object, 500);
        EXPECT_EQ(stored.value, step.value);
        EXPECT_EQ(stored.count, step.expectedCount);
    }
    EXPECT_EQ(g_pRegistryMgr->AddObjectValue(other, 500, {3, 9}), ZK_Success);
    EXPECT_EQ(g_pRegistryMgr->AddObjectValue(other, 501, {4, 1}), ZK_Success);
    EXPECT_EQ(g_pRegistryMgr->GetObjectValue(other, 500).count, 9u);
    EXPECT_EQ(g_pRegistryMgr->RecordObjectValue(nullptr, 500, 1), ZK_Fail);
    EXPECT_EQ(g_pRegistryMgr->GetObjectValue(nullptr, 500).value, 0u);

    g_pRegistryMgr->ClearObjectValue(500, object);
    EXPECT_EQ(g_pRegistryMgr->GetObjectValue(object, 500).value, 0u);
    EXPECT_EQ(g_pRegistryMgr->GetObjectValue(other, 500).value, 3u);
    g_pRegistryMgr->ClearObjectValue(500, nullptr);
    EXPECT_EQ(g_pRegistryMgr->GetObjectValue(other, 500).value, 0u);
    EXPECT_EQ(g_pRegistryMgr->GetObjectValue(other, 501).value, 4u);
}

TEST_F(RegistryTest, NodesWithoutObjectAreRecordedOnce)
{
    for (int round = 0; round < 2; ++round)
    {
        for (ZkUniqueID id = 1; id <= 12; ++id)
            EXPECT_EQ(g_pRegistryMgr->AddNodeWithoutObject(id, id % 2 == 0), ZK_Success);
    }
    EXPECT_EQ(g_pRegistryMgr->AddNodeWithoutObject(1, true), ZK_Success);
    EXPECT_EQ(g_pRegistryMgr->NodesWithoutObject().Length(), 13u);
}
} // namespace
