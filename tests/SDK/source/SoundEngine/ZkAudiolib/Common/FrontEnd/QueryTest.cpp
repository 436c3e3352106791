// The queries: what the engine has applied (never what is still queued), game-parameter values by
// scope type, states and switches, positions, listeners, routing with the default routing,
// obstruction, and the answers before the engine's initialisation.
#include "FrontEndFixture.h"

using namespace ZkFrontEndTest;
using namespace ZK::SoundEngine::Query;

namespace
{
constexpr ZkUniqueID kParameter = 0x77u;

class Queries : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        UseEngineWithObjects();
    }
    // The value and scope found for a scope type asked.
    std::pair<float, RTPCValue_type> Value(ZkGameObjectID object, ZkPlayingID playingID, RTPCValue_type asked,
                                           ZKRESULT expected = ZK_Success)
    {
        float value = -1.0f;
        RTPCValue_type type = asked;
        EXPECT_EQ(GetRTPCValue(kParameter, object, playingID, value, type), expected);
        return {value, type};
    }
};
} // namespace

TEST_F(Queries, GameParameterValuesByScopeType)
{
    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_GameObject, ZK_InvalidID).second, RTPCValue_Unavailable)
        << "no value and no default";
    ASSERT_EQ(g_pRTPCMgr->SetDefaultValue(kParameter, 50.0f), ZK_Success);
    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_GameObject), std::make_pair(50.0f, RTPCValue_Default));

    ASSERT_EQ(SetRTPCValue(kParameter, 10.0f), ZK_Success);
    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_Global).second, RTPCValue_Default) << "not applied before the tick";
    ReadMessages();
    ASSERT_EQ(SetRTPCValue(kParameter, 20.0f, kEmitter), ZK_Success);
    ReadMessages();

    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_Global), std::make_pair(10.0f, RTPCValue_Global));
    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_GameObject), std::make_pair(20.0f, RTPCValue_GameObject));
    EXPECT_EQ(Value(kListener, 0, RTPCValue_GameObject), std::make_pair(10.0f, RTPCValue_Global))
        << "an object without its own value finds the global one";
    EXPECT_EQ(Value(kEmitter, 9, RTPCValue_PlayingID), std::make_pair(20.0f, RTPCValue_GameObject))
        << "a playing id without its own value finds its object's";
    EXPECT_EQ(Value(ZK_ALL_GAME_OBJECTS, 9, RTPCValue_PlayingID), std::make_pair(10.0f, RTPCValue_Global))
        << "the playing id's object is unknown without a playing manager";
    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_Default), std::make_pair(50.0f, RTPCValue_Default));
    EXPECT_EQ(Value(kEmitter, 0, RTPCValue_Unavailable), std::make_pair(50.0f, RTPCValue_Default));
    float value = 0.0f;
    RTPCValue_type type = RTPCValue_Global;
    EXPECT_EQ(GetRTPCValue("", kEmitter, 0, value, type), ZK_InvalidID) << "a name that names no parameter";
}

TEST_F(Queries, StatesAndSwitches)
{
    ZkUniqueID state = 1;
    EXPECT_EQ(GetState("Mood", state), ZK_InvalidID) << "unknown group";
    ASSERT_NE(g_pStateMgr->AddStateGroup(GetIDFromString("Mood")), 0u);
    ASSERT_EQ(SetState("Mood", "Tense"), ZK_Success);
    ReadMessages();
    EXPECT_EQ(GetState(L"Mood", state), ZK_Success);
    EXPECT_EQ(state, GetIDFromString("Tense"));

    ZkUniqueID value = 1;
    ASSERT_EQ(SetSwitch("Surface", "Stone", kEmitter), ZK_Success);
    ReadMessages();
    EXPECT_EQ(GetSwitch("Surface", kEmitter, value), ZK_Success);
    EXPECT_EQ(value, GetIDFromString("Stone"));
    EXPECT_EQ(GetSwitch("Surface", 999, value), ZK_InvalidID) << "unknown object";
    EXPECT_EQ(GetSwitch("Nothing", kEmitter, value), ZK_InvalidID) << "unknown group";
}

TEST_F(Queries, PositionsListenersAndActivity)
{
    ZkTransform position{};
    ASSERT_EQ(GetPosition(kEmitter, position), ZK_Success);
    EXPECT_EQ(std::memcmp(&position, &kZkDefaultTransform, sizeof(position)), 0) << "never positioned";
    EXPECT_EQ(GetPosition(999, position), ZK_InvalidID);
    const ZkTransform moved = {{0, 0, 1}, {0, 1, 0}, {7, 8, 9}};
    ASSERT_EQ(SetPosition(kEmitter, moved), ZK_Success);
    ASSERT_EQ(SetPosition(kListener, moved), ZK_Success);
    ASSERT_EQ(AddListener(kEmitter, kListener), ZK_Success);
    ASSERT_EQ(AddListener(kEmitter, 5), ZK_Success);
    ReadMessages();
    ZkChannelEmitter emitter{};
    ASSERT_EQ(GetPosition(kEmitter, emitter), ZK_Success);
    EXPECT_EQ(emitter.transform.position.y, 8.0f);
    EXPECT_EQ(emitter.inputChannelMask, kZkAllInputChannels);
    ASSERT_EQ(GetListenerPosition(kListener, position), ZK_Success);
    EXPECT_EQ(position.position.z, 9.0f);
    EXPECT_EQ(GetListenerPosition(kEmitter, position), ZK_Fail) << "not a listener";

    uint32_t count = 0;
    EXPECT_EQ(GetListeners(kEmitter, nullptr, count), ZK_Fail) << "room 0 is smaller than the set";
    EXPECT_EQ(count, 2u) << "a null array asks for the number";
    ZkGameObjectID ids[3] = {};
    count = 1;
    EXPECT_EQ(GetListeners(kEmitter, ids, count), ZK_Fail);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(ids[0], 5u);
    EXPECT_EQ(ids[1], 0u) << "only the room given is written";
    count = 3;
    EXPECT_EQ(GetListeners(kEmitter, ids, count), ZK_Success);
    EXPECT_EQ(ids[1], kListener);
    EXPECT_EQ(GetListeners(999, ids, count), ZK_InvalidID);

    EXPECT_FALSE(GetIsGameObjectActive(kEmitter)) << "nothing holds it but the registry";
    g_pRegistryMgr->GetObj(kEmitter)->AddRef();
    EXPECT_TRUE(GetIsGameObjectActive(kEmitter));
    ZkGameObjectID active[2] = {};
    count = 2;
    EXPECT_EQ(GetActiveGameObjects(active, count), ZK_Success);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(active[0], kEmitter);
    g_pRegistryMgr->GetObj(kEmitter)->Release();
}

TEST_F(Queries, RoutingObstructionAndSpatializationWithTheDefaultRouting)
{
    float level = -1.0f;
    ASSERT_EQ(GetGameObjectDryLevelValue(kEmitter, kListener, level), ZK_Success)
        << "an object without routing reads the default one";
    EXPECT_EQ(level, 1.0f);
    EXPECT_NE(CZkListenerRouting::ExistingDefault(), nullptr) << "created on first use";
    ZkAuxSendValue sends[2] = {};
    uint32_t count = 2;
    EXPECT_EQ(GetGameObjectAuxSendValues(kEmitter, sends, count), ZK_Success);
    EXPECT_EQ(count, 0u);
    count = 0;
    EXPECT_EQ(GetGameObjectAuxSendValues(kEmitter, sends, count), ZK_InvalidParameter);
    count = 2;
    EXPECT_EQ(GetGameObjectAuxSendValues(999, sends, count), ZK_InvalidID);

    ZkAuxSendValue set[2] = {{kListener, 0xA1u, 0.5f}, {kListener, 0xA2u, 2.0f}};
    ASSERT_EQ(SetGameObjectAuxSendValues(kEmitter, set, 2), ZK_Success);
    ASSERT_EQ(SetGameObjectOutputBusVolume(kEmitter, kListener, 0.5f), ZK_Success);
    ASSERT_EQ(SetObjectObstructionAndOcclusion(kEmitter, kListener, 0.25f, 0.75f), ZK_Success);
    const float offsets[2] = {-1.0f, -2.0f};
    ASSERT_EQ(SetListenerSpatialization(kListener, false, ZkChannelConfig(ZkChannelConfig::kStereoWord), offsets),
              ZK_Success);
    ReadMessages();
    count = 1;
    ASSERT_EQ(GetGameObjectAuxSendValues(kEmitter, sends, count), ZK_Success);
    EXPECT_EQ(count, 1u) << "min(room, available)";
    EXPECT_EQ(sends[0].auxBusID, 0xA1u);
    EXPECT_EQ(sends[0].controlValue, 0.5f);
    ASSERT_EQ(GetGameObjectDryLevelValue(kEmitter, kListener, level), ZK_Success);
    EXPECT_EQ(level, 0.5f);

    float obstruction = -1.0f;
    float occlusion = -1.0f;
    ASSERT_EQ(GetObjectObstructionAndOcclusion(kEmitter, kListener, obstruction, occlusion), ZK_Success);
    EXPECT_EQ(obstruction, 0.25f);
    EXPECT_EQ(occlusion, 0.75f);
    ASSERT_EQ(GetObjectObstructionAndOcclusion(kEmitter, 4, obstruction, occlusion), ZK_Success);
    EXPECT_EQ(obstruction, 0.0f) << "no entry for that listener";
    EXPECT_EQ(GetObjectObstructionAndOcclusion(999, 4, obstruction, occlusion), ZK_InvalidID);

    bool spatialized = true;
    ZkChannelConfig config;
    float read[4] = {9, 9, 9, 9};
    ASSERT_EQ(GetListenerSpatialization(kListener, spatialized, read, 4, config), ZK_Success);
    EXPECT_FALSE(spatialized);
    EXPECT_EQ(config.word, ZkChannelConfig::kStereoWord);
    EXPECT_EQ(read[1], -2.0f);
    EXPECT_EQ(read[2], 9.0f) << "one value per channel";
    EXPECT_EQ(GetListenerSpatialization(kEmitter, spatialized, read, 4, config), ZK_InvalidParameter);
}

TEST_F(Queries, WithoutAPlayingManagerOrANodeOfTheIdAndWhenNothingPlays)
{
    EXPECT_EQ(GetEventIDFromPlayingID(3), 0u);
    EXPECT_EQ(GetGameObjectFromPlayingID(3), ZK_ALL_GAME_OBJECTS);
    ZkPlayingID ids[5] = {};
    uint32_t count = 0;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kEmitter, count, nullptr), ZK_Fail) << "no playing manager";
    count = 2;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kEmitter, count, nullptr), ZK_InvalidParameter);
    EXPECT_EQ(GetPlayingIDsFromGameObject(kEmitter, count, ids), ZK_Fail);

    int32_t property = 0;
    EXPECT_EQ(GetCustomPropertyValue(0x99u, 1, property), ZK_InvalidID) << "unknown node";
    uint32_t infos = 1;
    EXPECT_EQ(QueryAudioObjectIDs(0x99u, infos, nullptr), ZK_InvalidParameter);
    infos = 0;
    EXPECT_EQ(QueryAudioObjectIDs(0x99u, infos, nullptr), ZK_InvalidID);
    EXPECT_EQ(QueryAudioObjectIDs(static_cast<const char*>(nullptr), infos, nullptr), ZK_InvalidID);
    // Nothing plays: no object has a radius.
    ZkRadiusInfo radii[1];
    count = 1;
    EXPECT_EQ(GetMaxRadius(radii, count), ZK_Success);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(GetMaxRadius(kEmitter), -1.0f);
}

TEST_F(Queries, BeforeTheEngineExistsEveryQueryFailsQuietly)
{
    TearDownManagers();
    ZkUniqueID state = 0;
    float value = 0.0f;
    RTPCValue_type type = RTPCValue_Global;
    ZkTransform position{};
    uint32_t count = 0;
    EXPECT_EQ(GetRTPCValue(kParameter, kEmitter, 0, value, type), ZK_Fail);
    EXPECT_EQ(GetPosition(kEmitter, position), ZK_Fail);
    EXPECT_EQ(GetListeners(kEmitter, nullptr, count), ZK_Fail);
    EXPECT_EQ(GetActiveGameObjects(nullptr, count), ZK_Fail);
    EXPECT_FALSE(GetIsGameObjectActive(kEmitter));
    g_pStateMgr->Term();
    ZK::ZkDelete(ZkMemID_EngineSingletons, g_pStateMgr);
    g_pStateMgr = nullptr;
    EXPECT_EQ(GetState(1u, state), ZK_Fail);
}
