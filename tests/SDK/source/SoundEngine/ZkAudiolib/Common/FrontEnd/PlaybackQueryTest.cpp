// The queries about what plays, with the engine's playing manager and nodes read from banks:
// game-parameter values by scope type down to a playing id's own value, the playing ids of a game
// object, the audio nodes an event plays, a node's custom properties and positioning.
#include "PostedPlaybackFixture.h"

#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <algorithm>
#include <bit>

using namespace ZkPostedPlaybackTest;
using namespace ZK::SoundEngine::Query;

namespace
{
constexpr ZkUniqueID kParameter = 0x3A3Au;

using PlaybackQuery = PlaybackTest;
} // namespace

TEST_F(PlaybackQuery, GameParameterValuesByScopeTypeDownToAPlayingId)
{
    const ZkPlayingID own = PostLasting(kObject);
    const ZkPlayingID other = PostLasting(kObject);
    ReadMessages();
    ASSERT_EQ(g_pRTPCMgr->SetDefaultValue(kParameter, 0.5f), ZK_Success);
    ASSERT_EQ(SetRTPCValue(kParameter, 1.0f), ZK_Success);
    ASSERT_EQ(SetRTPCValue(kParameter, 2.0f, kObject), ZK_Success);
    ASSERT_EQ(SetRTPCValueByPlayingID(kParameter, 3.0f, own), ZK_Success);
    ReadMessages();

    struct Case
    {
        RTPCValue_type asked;
        ZkGameObjectID object;
        ZkPlayingID playingID;
        float value;
        RTPCValue_type found;
    };
    const Case cases[] = {
        {RTPCValue_Global, kObject, own, 1.0f, RTPCValue_Global},
        {RTPCValue_GameObject, kObject, own, 2.0f, RTPCValue_GameObject},
        {RTPCValue_PlayingID, kObject, own, 3.0f, RTPCValue_PlayingID},
        {RTPCValue_PlayingID, ZK_ALL_GAME_OBJECTS, own, 3.0f, RTPCValue_PlayingID}, // the object from the playing id
        {RTPCValue_PlayingID, kObject, other, 2.0f, RTPCValue_GameObject},
        {RTPCValue_PlayingID, ZK_ALL_GAME_OBJECTS, other, 2.0f, RTPCValue_GameObject},
        {RTPCValue_PlayingID, kOtherObject, 0, 1.0f, RTPCValue_Global},
        {RTPCValue_Default, kObject, own, 0.5f, RTPCValue_Default},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "asked " << c.asked << ", object " << c.object << ", playing id " << c.playingID);
        float value = -1.0f;
        RTPCValue_type type = c.asked;
        EXPECT_EQ(GetRTPCValue(kParameter, c.object, c.playingID, value, type), ZK_Success);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(type, c.found);
    }

    StopPlayingID(own);
    ReadMessages();
    float value = -1.0f;
    RTPCValue_type type = RTPCValue_PlayingID;
    EXPECT_EQ(GetRTPCValue(kParameter, ZK_ALL_GAME_OBJECTS, own, value, type), ZK_Success);
    EXPECT_EQ(std::make_pair(value, type), std::make_pair(1.0f, RTPCValue_Global))
        << "an ended playing id has no object and no value of its own any more";
    type = RTPCValue_PlayingID;
    EXPECT_EQ(GetRTPCValue(kParameter, kObject, own, value, type), ZK_Success);
    EXPECT_EQ(std::make_pair(value, type), std::make_pair(2.0f, RTPCValue_GameObject));
}

TEST_F(PlaybackQuery, PlayingIdsOfAGameObject)
{
    std::vector<ZkPlayingID> posted;
    for (int post = 0; post < 5; ++post)
        posted.push_back(PostLasting(kObject));
    PostLasting(kOtherObject);

    uint32_t count = 0;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kObject, count, nullptr), ZK_Success);
    EXPECT_EQ(count, 5u) << "count 0 only counts";
    ZkPlayingID ids[5] = {};
    count = 2;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kObject, count, ids), ZK_Success);
    EXPECT_EQ(count, 2u);
    for (uint32_t index = 0; index < 2; ++index)
        EXPECT_NE(std::find(posted.begin(), posted.end(), ids[index]), posted.end()) << ids[index];
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_EQ(ids[2], 0u) << "nothing past the room given";
    count = 5;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kObject, count, nullptr), ZK_InvalidParameter);
    count = 5;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kObject, count, ids), ZK_Success);
    std::vector<ZkPlayingID> listed(ids, ids + count);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, posted);

    EXPECT_EQ(GetEventIDFromPlayingID(posted[0]), 100u);
    EXPECT_EQ(GetGameObjectFromPlayingID(posted[0]), kObject);
    count = 0;
    EXPECT_EQ(GetPlayingIDsFromGameObject(kUnregistered, count, nullptr), ZK_Success);
    EXPECT_EQ(count, 0u);
}

TEST_F(PlaybackQuery, TheAudioNodesAnEventPlays)
{
    ASSERT_EQ(Parse(BankOfItems(Sound("") + ", " + R"({"type": "sound", "id": 201, "media": 101, "media_size": 0},
        {"type": "action", "id": 300, "action": "play", "target": 200},
        {"type": "action", "id": 301, "action": "stop", "target": 201},
        {"type": "action", "id": 302, "action": "play", "target": 999},
        {"type": "action", "id": 303, "action": "play", "target": 201},
        {"type": "event", "id": "Play_Both", "actions": [300, 301, 302, 303]})")),
              ZK_Success);

    uint32_t count = 0;
    EXPECT_EQ(QueryAudioObjectIDs("Play_Both", count, nullptr), ZK_PartialSuccess) << "count 0 only counts";
    EXPECT_EQ(count, 2u) << "the plays whose target is loaded";
    ZkObjectInfo infos[3] = {};
    count = 3;
    EXPECT_EQ(QueryAudioObjectIDs(L"Play_Both", count, infos), ZK_Success);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(infos[0].audioNodeID, 200u);
    EXPECT_EQ(infos[0].sourceID, 100u);
    EXPECT_EQ(infos[0].depth, 0u);
    EXPECT_EQ(infos[1].audioNodeID, 201u);
    EXPECT_EQ(infos[1].sourceID, 101u);
    count = 1;
    infos[1] = ZkObjectInfo{};
    EXPECT_EQ(QueryAudioObjectIDs(GetIDFromString("Play_Both"), count, infos), ZK_Success);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(infos[1].audioNodeID, 0u) << "stops at the room given";

    count = 3;
    EXPECT_EQ(QueryAudioObjectIDs(201u, count, infos), ZK_Success) << "a node's id names that node";
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(infos[0].audioNodeID, 201u);
    EXPECT_EQ(infos[0].sourceID, 101u);
    count = 0;
    EXPECT_EQ(QueryAudioObjectIDs(201u, count, nullptr), ZK_PartialSuccess);
    EXPECT_EQ(count, 1u);
    count = 0;
    EXPECT_EQ(QueryAudioObjectIDs(999u, count, nullptr), ZK_InvalidID);
    count = 1;
    EXPECT_EQ(QueryAudioObjectIDs("Play_Both", count, nullptr), ZK_InvalidParameter);
}

TEST_F(PlaybackQuery, CustomPropertiesAndPositioningOfANode)
{
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("props": {"74": {"i32": -5}, "76": {"f32": 2.5}, "14": 40.0,
                                                   "attenuation": 33})"))),
              ZK_Success);
    int32_t integer = 0;
    float real = 0.0f;
    EXPECT_EQ(GetCustomPropertyValue(200u, 0, integer), ZK_Success);
    EXPECT_EQ(integer, -5);
    EXPECT_EQ(GetCustomPropertyValue(200u, 2, real), ZK_Success);
    EXPECT_EQ(real, 2.5f);
    EXPECT_EQ(GetCustomPropertyValue(200u, 0, real), ZK_Success);
    EXPECT_EQ(std::bit_cast<int32_t>(real), -5) << "the 32 bits as stored, whatever the form";
    integer = 77;
    EXPECT_EQ(GetCustomPropertyValue(200u, 1, integer), ZK_PartialSuccess) << "no such property";
    EXPECT_EQ(integer, 77) << "nothing written";
    EXPECT_EQ(GetCustomPropertyValue(999u, 0, integer), ZK_InvalidID);

    ZkPositioningInfo info{};
    EXPECT_EQ(GetPositioningInfo(200u, info), ZK_Success);
    EXPECT_FLOAT_EQ(info.centerPercent, 0.4f);
    EXPECT_EQ(info.attenuationID, 33u);
    EXPECT_EQ(GetPositioningInfo(999u, info), ZK_InvalidID);
}
