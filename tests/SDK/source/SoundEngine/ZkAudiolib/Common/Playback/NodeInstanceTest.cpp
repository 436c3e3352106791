// Node instances: the parameter changes and their value slots, detached instances, the rays of a
// frame, the start below the volume threshold, the sends, and the volume a play gathers from its
// sound and its bus — the game's volume levels of the shipped Init.bnk through the buses' game
// parameters.
#include "PlaybackFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"
#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <filesystem>

namespace
{
using namespace ZkPlaybackTest;

constexpr ZkGameObjectID kListener = 10;
constexpr ZkUniqueID kMusicVolume = 1006694123;
constexpr ZkUniqueID kEffectsVolume = 1564184899;

class NodeInstance : public PlaybackTest
{
protected:
    void Place(ZkGameObjectID id, const ZkVector& at)
    {
        if (g_pRegistryMgr->GetObj(id) == nullptr)
            Register(id);
        const ZkChannelEmitter record = {{{0, 0, 1}, {0, 1, 0}, at}, kZkAllInputChannels};
        ASSERT_EQ(g_pRegistryMgr->SetPosition(id, &record, 1, 0), ZK_Success);
    }
    void Listen(std::initializer_list<ZkGameObjectID> ids)
    {
        ZkListenerSet set;
        for (ZkGameObjectID id : ids)
            set.Add(id);
        ASSERT_EQ(g_pRegistryMgr->SetListeners(kObject, set, ZkListenerOperation_Set), ZK_Success);
    }
    static void SetLevel(ZkUniqueID parameter, float value)
    {
        ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(parameter, value, ZkRTPCKey::Global()), ZK_Success);
    }
};

TEST_F(NodeInstance, ParameterChangesReachTheirValueSlots)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    struct Row
    {
        uint32_t parameter;
        uint32_t slot;
    };
    const Row rows[] = {{0, 0},   {2, 1},   {3, 2},   {4, 3},   {7, 5},   {39, 6},  {42, 9},
                        {38, 10}, {43, 11}, {45, 13}, {37, 14}, {48, 15}, {57, 24}, {47, 25}};
    for (const Row& row : rows)
    {
        const float before = instance->ValueSlot(row.slot);
        instance->SetParameterValue(row.parameter, 99.0f, 1.5f);
        EXPECT_EQ(instance->ValueSlot(row.slot), before + 1.5f) << "parameter " << row.parameter;
    }
    float total = 0.0f;
    for (uint32_t slot = 0; slot < CZkNodeInstanceBase::kValueSlots; ++slot)
        total += instance->ValueSlot(slot);
    for (uint32_t parameter : {1u, 6u, 11u, 14u, 34u, 36u, 60u, 61u, 62u})
        instance->SetParameterValue(parameter, 99.0f, 1.0f);
    float after = 0.0f;
    for (uint32_t slot = 0; slot < CZkNodeInstanceBase::kValueSlots; ++slot)
        after += instance->ValueSlot(slot);
    EXPECT_EQ(after, total) << "parameters without a slot are ignored";

    // The positioning parameters.
    instance->SetParameterValue(18, 0.0f, 2.0f);
    instance->SetParameterValue(18, 0.0f, 3.0f);
    EXPECT_EQ(instance->PositioningValue(18), 5.0f) << "18, 19 and 58 add their deltas";
    instance->SetParameterValue(23, 40.0f, 7.0f);
    EXPECT_EQ(instance->PositioningValue(23), 40.0f) << "23 and 24 take their values";
    instance->SetParameterValue(64, 5.0f, 0.0f);
    EXPECT_EQ(instance->PositioningFlags() & CZkNodeInstanceBase::kPositioningLowBits, 5);
    instance->SetParameterValue(69, 1.0f, 0.0f);
    EXPECT_TRUE((instance->PositioningFlags() & CZkNodeInstanceBase::kPositioningListenerRoutedSends) != 0);
    instance->SetParameterValue(65, 1.0f, 0.0f);
    EXPECT_TRUE((instance->PositioningMode() & CZkNodeInstanceBase::kModeOwnPositions) != 0);
}

TEST_F(NodeInstance, ADetachedInstanceIgnoresEveryPositioningParameter)
{
    PlayLaunchParams params = Launch();
    params.launchFlags |= PlayLaunchParams::kFlagRunTimeAction;
    CZkPlayingInstance* detached = Make(LoadSound(200), params);
    for (uint32_t parameter : {18u, 23u, 46u, 64u, 65u, 69u})
        detached->SetParameterValue(parameter, 1.0f, 1.0f);
    EXPECT_EQ(detached->PositioningValue(18), 0.0f);
    EXPECT_EQ(detached->PositioningValue(23), 0.0f);
    EXPECT_EQ(detached->PositioningFlags(), 0);
    EXPECT_EQ(detached->PositioningMode(), 0);
    EXPECT_EQ(detached->GetNodeOutput(), nullptr) << "no node output";
    Place(kObject, {0, 0, 0});
    Place(kListener, {0, 0, 5});
    Listen({kListener});
    EXPECT_EQ(detached->Update(), 0u) << "no rays";
    Activate(detached);
    EXPECT_TRUE(detached->Limiters().IsEmpty()) << "no limiters";
    EXPECT_EQ(CZkActiveInstances::GlobalLimiter().HeldCount(), 0u);
}

TEST_F(NodeInstance, RaysOfAFrameAndParameter46)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    EXPECT_EQ(instance->GetNodeOutput(), FindSound(200));
    // No listener: no ray, and the nearest distance stays 10^10.
    EXPECT_EQ(instance->Update(), 0u);
    EXPECT_EQ(instance->NearestRayDistance(), 1.0e10f);

    Place(kObject, {0, 0, 0});
    Place(kListener, {3, 4, 0});
    Listen({kListener});
    m_object->GetOrCreateGeometry()->Update();
    ASSERT_EQ(instance->Update(), 1u) << "the geometry's ray";
    EXPECT_FLOAT_EQ(instance->NearestRayDistance(), 5.0f);
    ZkRay ray;
    ASSERT_EQ(instance->GetEmitterPosition(0, ray), ZK_Success);
    EXPECT_EQ(ray.listenerID, kListener);
    EXPECT_EQ(instance->GetEmitterPosition(1, ray), ZK_Fail);
    ZkTransform listener;
    ASSERT_EQ(instance->GetListenerData(kListener, listener), ZK_Success);
    EXPECT_EQ(listener.position.y, 4.0f);
    EXPECT_EQ(instance->GetListenerData(kObject, listener), ZK_Fail) << "not a listener of the object";
    const ZkGameObjectID ids[] = {kListener};
    EXPECT_EQ(instance->CountListenersInSet(ids, 1, 0), 1u);
    EXPECT_EQ(instance->CountListenersInSet(ids, 1, 1), 0u);
    EXPECT_EQ(instance->FindNthListenerRecord(ids, 1, 0, 0)->listenerID, kListener);

    // Parameter 46: the rays are emptied, bit 6 follows the value.
    instance->SetParameterValue(46, 1.0f, 1.0f);
    EXPECT_EQ(instance->RayCount(), 0u);
    EXPECT_TRUE((instance->PositioningMode() & CZkNodeInstanceBase::kModeSpeakerPanning) != 0);
    instance->Update();
    instance->SetParameterValue(46, 0.0f, -1.0f);
    EXPECT_EQ(instance->RayCount(), 0u);
    EXPECT_TRUE((instance->PositioningMode() & CZkNodeInstanceBase::kModeSpeakerPanning) == 0);

    // Own positions (parameter 65): copied once from the emitter, one ray per position and listener.
    const ZkChannelEmitter two[] = {{{{0, 0, 1}, {0, 1, 0}, {0, 0, 0}}, 1},
                                    {{{0, 0, 1}, {0, 1, 0}, {3, 0, 0}}, 2}};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(kObject, two, 2, MultiPositionType_MultiSources), ZK_Success);
    instance->SetParameterValue(65, 1.0f, 1.0f);
    ASSERT_EQ(instance->Update(), 2u);
    EXPECT_EQ(instance->OwnPositionCount(), 2u);
    EXPECT_FLOAT_EQ(instance->NearestRayDistance(), 4.0f) << "from (3, 0, 0) to (3, 4, 0)";
    ZkChannelEmitter record;
    ASSERT_EQ(instance->GetPositionRecord(1, record), ZK_Success);
    EXPECT_EQ(record.inputChannelMask, 2u);
    Place(kObject, {50, 0, 0});
    instance->Update();
    EXPECT_FLOAT_EQ(instance->NearestRayDistance(), 4.0f) << "the copy is kept";
    instance->SetParameterValue(70, 0.0f, 0.0f);
    instance->Update();
    EXPECT_EQ(instance->OwnPositionCount(), 1u) << "a positioning reset copies them again";
}

TEST_F(NodeInstance, APlayThatStartsBelowTheThresholdNeedsToBeAllowedToStartVirtual)
{
    CZkPlayingInstance* quiet = Make(LoadSound(300, R"("props": {"0": -120})"));
    uint32_t reason = 0;
    bool below = false;
    EXPECT_EQ(quiet->Initialize(12.0f, false, reason, below), ZK_PartialSuccess);
    EXPECT_EQ(reason, kReasonBelowThreshold);
    EXPECT_TRUE(below);
    EXPECT_EQ(quiet->MaxRadius(), 12.0f);
    reason = 0;
    EXPECT_EQ(quiet->Initialize(12.0f, true, reason, below), ZK_Success) << "it may start virtual";
    EXPECT_TRUE(below);
    EXPECT_EQ(reason, 0u);
    bool belowNow = false;
    EXPECT_NEAR(quiet->GetLinearVolume(belowNow), 1.0e-6f, 1.0e-8f) << "-120 dB";
    EXPECT_TRUE(belowNow);

    CZkPlayingInstance* heard = Make(LoadSound(301, R"("props": {"0": -6})"));
    EXPECT_EQ(heard->Initialize(0.0f, false, reason, below), ZK_Success);
    EXPECT_FALSE(below);
    EXPECT_NEAR(heard->GetLinearVolume(belowNow), 0.501f, 0.002f);
}

TEST_F(NodeInstance, UserSendsAndGameDefinedSends)
{
    CZkPlayingInstance* instance =
        Make(LoadSound(200, R"("aux": 10, "aux_buses": [11, 0, 13, 0], "props": {"21": -100})"));
    instance->RefreshFromNode();
    EXPECT_TRUE(instance->HasActiveSends());
    EXPECT_EQ(instance->UserSendBus(0), 11u);
    ZK::ZkArray<ZkSendRecord> sends;
    instance->CollectSends(sends);
    ASSERT_EQ(sends.Length(), 1u) << "send 2 lies below the volume threshold";
    EXPECT_EQ(sends[0].listenerID, kObject) << "the object itself without listener-routed sends";
    EXPECT_EQ(sends[0].auxBusID, 11u);
    EXPECT_NEAR(sends[0].gain, 1.0f, 0.002f) << "0 dB";
    EXPECT_EQ(sends[0].reserved, 2u);

    // Listener-routed sends: one record per listener; the game-defined sends of the routing first.
    Place(kListener, {0, 0, 1});
    Place(kListener + 1, {0, 0, 2});
    Listen({kListener, kListener + 1});
    instance->SetParameterValue(69, 1.0f, 1.0f);
    const ZkAuxSendValue game = {kListener, 40, 0.5f};
    ASSERT_EQ(g_pRegistryMgr->SetGameObjectAuxSendValues(kObject, &game, 1), ZK_Success);
    sends.RemoveAll();
    instance->CollectSends(sends);
    ASSERT_EQ(sends.Length(), 3u) << "the game's sends are used by the node (aux bit 1)";
    EXPECT_EQ(sends[0].auxBusID, 40u);
    EXPECT_NEAR(sends[0].gain, 0.5f, 0.001f) << "the send's level at the game-defined send volume of 0 dB";
    EXPECT_EQ(sends[1].listenerID, kListener);
    EXPECT_EQ(sends[2].listenerID, kListener + 1);
    sends.Term();
}

TEST_F(NodeInstance, TheGamesVolumeLevelsReachThePlayThroughItsBus)
{
    const std::filesystem::path init =
        std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks" / "Init.bnk";
    ASSERT_EQ(Parse(ZkSoundFixtures::ReadWholeFile(init)), ZK_Success);
    CZkSoundNode* music = LoadSound(401, R"("bus": "Music", "props": {"0": -3})");
    CZkSoundNode* effect = LoadSound(402, R"("bus": "Effects")");
    CZkSoundNode* master = LoadSound(403, R"("bus": "Master Audio Bus")");

    struct Row
    {
        const char* what;
        CZkSoundNode* sound;
        ZkUniqueID level;
        float atFull;
    };
    const Row rows[] = {
        {"Music_Volume drives the Music bus", music, kMusicVolume, -3.0f},
        {"SFX_Volume drives the Effects bus", effect, kEffectsVolume, 0.0f},
    };
    for (const Row& row : rows)
    {
        // Set before the play: the gathering at the start of the play reads it.
        SetLevel(row.level, 0.0f);
        CZkPlayingInstance* muted = Make(row.sound);
        muted->RefreshFromNode();
        EXPECT_LE(muted->ValueSlot(CZkNodeInstanceBase::kSlotVolume), -96.0f) << row.what;
        SetLevel(row.level, 100.0f);
        muted->RefreshFromNode();
        EXPECT_NEAR(muted->ValueSlot(CZkNodeInstanceBase::kSlotVolume), row.atFull, 0.01f) << row.what;

        // Changed while it plays: the bus's parameter reaches the instance.
        CZkPlayingInstance* playing = Make(row.sound);
        Activate(playing);
        EXPECT_NEAR(playing->ValueSlot(CZkNodeInstanceBase::kSlotVolume), row.atFull, 0.01f) << row.what;
        SetLevel(row.level, 0.0f);
        EXPECT_LE(playing->ValueSlot(CZkNodeInstanceBase::kSlotVolume), -96.0f)
            << row.what << ", the game mutes";
        SetLevel(row.level, 50.0f);
        EXPECT_NEAR(playing->ValueSlot(CZkNodeInstanceBase::kSlotVolume), row.atFull - 6.02f, 0.05f)
            << row.what;
        SetLevel(row.level, 100.0f);
        EXPECT_NEAR(playing->ValueSlot(CZkNodeInstanceBase::kSlotVolume), row.atFull, 0.01f) << row.what;
    }

    // The master bus has no level: the game's mute leaves its plays alone.
    SetLevel(kMusicVolume, 0.0f);
    SetLevel(kEffectsVolume, 0.0f);
    CZkPlayingInstance* onMaster = Make(master);
    Activate(onMaster);
    EXPECT_EQ(onMaster->ValueSlot(CZkNodeInstanceBase::kSlotVolume), 0.0f);
}
} // namespace

namespace
{
// The attenuation of a positioned play: held while positioned, its spread and focus curves read at
// a ray distance, and the priority that takes the distance part of its farthest curve.
TEST_F(NodeInstance, APositionedPlayHoldsItsAttenuation)
{
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "attenuation", "id": 5, "map": [0, 255, 255, 255, 255, 1, 2],
        "curves": [{"points": [[0, 0], [100, -20]]}, {"points": [[0, 0], [10, 100]]}, {"points": [[0, 50]]}]})")),
              ZK_Success);
    CZkPlayingInstance* instance = Make(LoadSound(201, R"("positioning": 3, "props": {"attenuation": 5})"));
    uint32_t reason = 0;
    bool below = false;
    ASSERT_EQ(instance->Initialize(0.0f, true, reason, below), ZK_Success);
    ASSERT_NE(instance->Attenuation(), nullptr);
    EXPECT_EQ(instance->Attenuation()->ID(), 5u);
    EXPECT_FLOAT_EQ(instance->EvaluateCurveA(2.5f), 25.0f) << "the spread curve, in percent";
    EXPECT_FLOAT_EQ(instance->EvaluateCurveB(2.5f), 50.0f) << "the focus curve";

    Place(kObject, {0, 0, 0});
    Place(kListener, {0, 0, 50});
    Listen({kListener});
    m_object->GetOrCreateGeometry()->Update();
    ASSERT_EQ(instance->Update(), 1u);
    EXPECT_FLOAT_EQ(instance->NearestRayDistance(), 50.0f);
    float radius = 0.0f;
    ASSERT_TRUE(FindSound(201)->GetMaxAttenuationDistance(radius));
    EXPECT_EQ(radius, 100.0f) << "the dry curve's last point";

    // A play of a node without attenuation reads no curve.
    CZkPlayingInstance* plain = Make(LoadSound(200));
    ASSERT_EQ(plain->Initialize(0.0f, true, reason, below), ZK_Success);
    EXPECT_EQ(plain->Attenuation(), nullptr);
    EXPECT_EQ(plain->EvaluateCurveA(2.5f), 0.0f);
}
} // namespace

namespace
{
// Parameters 20-22 move the automation offset in percent of the attenuation's reach (the x of the
// last point of its first mapped curve), by the delta alone without an attenuation curve.
TEST_F(NodeInstance, AutomationOffsetsScaleByTheAttenuationsReach)
{
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "attenuation", "id": 6, "map": {"3": 0},
        "curves": [{"points": [[0, 0], [250, 40]]}]})")),
              ZK_Success);
    struct Row
    {
        const char* what;
        const char* keys;
        float scale;
    };
    const Row rows[] = {
        {"an attenuation reaching 250", R"("positioning": 3, "props": {"attenuation": 6})", 2.5f},
        {"no attenuation", R"("positioning": 3)", 1.0f},
        {"an unknown attenuation", R"("positioning": 3, "props": {"attenuation": 99})", 1.0f},
    };
    ZkUniqueID id = 740;
    for (const Row& row : rows)
    {
        CZkPlayingInstance* instance = Make(LoadSound(++id, row.keys));
        for (uint32_t axis = 0; axis < 3; ++axis)
        {
            instance->SetParameterValue(20 + axis, 99.0f, 2.0f);
            instance->SetParameterValue(20 + axis, 99.0f, float(axis));
            EXPECT_FLOAT_EQ(instance->AutomationOffset(axis), (2.0f + float(axis)) * row.scale)
                << row.what << ", axis " << axis << ": the deltas add up, scaled";
        }
    }
}

// The attenuation's parameter curves are subscribed under the play's own key while it holds the
// attenuation: their values reach the play's built-in values, and no longer once a positioning
// reset gave the attenuation back.
TEST_F(NodeInstance, TheAttenuationsParameterCurvesReachThePlayUnderItsKey)
{
    constexpr ZkUniqueID kDistanceParam = 4400;
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "attenuation", "id": 7, "map": {"0": 0},
        "curves": [{"points": [[0, 0], [100, -20]]}],
        "rtpc": [{"parameter": 4400, "target": 26, "points": [[0, 0], [100, 50]]},
                 {"parameter": 4400, "target": 27, "curve": 1, "points": [[0, 10], [100, 10]]}]})")),
              ZK_Success);
    CZkPlayingInstance* instance = Make(LoadSound(750, R"("positioning": 3, "props": {"attenuation": 7})"));
    CZkPlayingInstance* other = Make(LoadSound(751));
    uint32_t reason = 0;
    bool below = false;
    ASSERT_EQ(instance->Initialize(0.0f, true, reason, below), ZK_Success);
    ASSERT_EQ(other->Initialize(0.0f, true, reason, below), ZK_Success);

    SetLevel(kDistanceParam, 40.0f);
    EXPECT_FLOAT_EQ(instance->BuiltInValue(26), 20.0f) << "the first curve at 40";
    EXPECT_FLOAT_EQ(instance->BuiltInValue(27), 10.0f) << "the second curve";
    EXPECT_EQ(other->BuiltInValue(26), 0.0f) << "a play without the attenuation is not subscribed";

    instance->SetParameterValue(70, 0.0f, 0.0f); // positioning reset
    SetLevel(kDistanceParam, 80.0f);
    EXPECT_FLOAT_EQ(instance->BuiltInValue(26), 20.0f) << "unsubscribed with the attenuation given back";
    EXPECT_EQ(instance->Attenuation(), nullptr);
}
} // namespace
