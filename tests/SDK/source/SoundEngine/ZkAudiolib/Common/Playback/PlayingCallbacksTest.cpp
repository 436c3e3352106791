// Notifications to a playing id's callback: each type with its record, only when the post asked for
// it; what the callback may change (the volume matrix, the playlist choice); and the cancels by
// playing id, cookie and game object, including one made from inside a callback.
#include "PlayingMgrFixture.h"

#include "ZkAudiolib/Common/Positioning/NotifyVolumeMatrixCallback.h"

#include <cstring>

using namespace ZkPlayingTest;

namespace
{
constexpr ZkPlayingID kPlayingID = 31;

struct NotificationCase
{
    const char* name;
    uint32_t type;
    std::function<bool(CZkPlayingMgr&, ZkPlayingID)> notify;
    // Checks the record inside the callback.
    std::function<void(ZkCallbackInfo*)> check;
};

ZkSegmentInfo Segment()
{
    ZkSegmentInfo segment;
    segment.positionMs = 1234;
    segment.barDuration = 2.0f;
    return segment;
}

const char kLabel[] = "drop";
int g_customInfo = 0;

std::vector<NotificationCase> NotificationCases()
{
    return {
        {"SequenceItemEnd", ZkCallbackType_SequenceItemEnd,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyDynamicSequenceItemEnd(id, 606, &g_customInfo); },
         [](ZkCallbackInfo* info) {
             auto* item = static_cast<ZkSequenceItemCallbackInfo*>(info);
             EXPECT_EQ(item->audioNodeID, 606u);
             EXPECT_EQ(item->customInfo, &g_customInfo);
         }},
        {"Marker", ZkCallbackType_Marker,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyMarker({12, 4800, kLabel, id}); },
         [](ZkCallbackInfo* info) {
             auto* cue = static_cast<ZkCueCallbackInfo*>(info);
             EXPECT_EQ(cue->identifier, 12u);
             EXPECT_EQ(cue->position, 4800u);
             EXPECT_STREQ(cue->label, kLabel);
         }},
        {"Duration", ZkCallbackType_Duration,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyDuration(id, 1000.0f, 500.0f, 88, 99, true); },
         [](ZkCallbackInfo* info) {
             auto* length = static_cast<ZkLengthCallbackInfo*>(info);
             EXPECT_EQ(length->durationMs, 1000.0f);
             EXPECT_EQ(length->estimatedDurationMs, 500.0f);
             EXPECT_EQ(length->audioNodeID, 88u);
             EXPECT_EQ(length->mediaID, 99u);
             EXPECT_TRUE(length->isStreaming);
         }},
        {"Starvation", ZkCallbackType_Starvation,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyStarvation(id); }, nullptr},
        {"MusicPlaybackEvent", ZkCallbackType_MusicPlaybackEvent,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyMusicPlaybackEvent(id); }, nullptr},
        {"MusicBar", ZkCallbackType_MusicBar,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyMusicSync(id, ZkCallbackType_MusicBar, Segment()); },
         [](ZkCallbackInfo* info) {
             auto* point = static_cast<ZkMusicPointCallbackInfo*>(info);
             EXPECT_EQ(point->musicType, uint32_t{ZkCallbackType_MusicBar});
             EXPECT_EQ(point->segmentInfo.positionMs, 1234);
             EXPECT_EQ(point->segmentInfo.barDuration, 2.0f);
             EXPECT_EQ(point->cueName, nullptr);
         }},
        {"MusicUserCue", ZkCallbackType_MusicUserCue,
         [](CZkPlayingMgr& m, ZkPlayingID id) { return m.NotifyMusicCallback(id, Segment(), kLabel); },
         [](ZkCallbackInfo* info) {
             auto* point = static_cast<ZkMusicPointCallbackInfo*>(info);
             EXPECT_EQ(point->musicType, uint32_t{ZkCallbackType_MusicUserCue});
             EXPECT_STREQ(point->cueName, kLabel);
         }},
        {"MidiEvent", ZkCallbackType_MidiEvent,
         [](CZkPlayingMgr& m, ZkPlayingID id) {
             ZkMIDIEvent event;
             event.type = 0x90;
             event.channel = 3;
             event.data[0] = 60;
             event.data[1] = 100;
             return m.NotifyMidiEvent(id, event);
         },
         [](ZkCallbackInfo* info) {
             const ZkMIDIEvent& event = static_cast<ZkMidiCallbackInfo*>(info)->midiEvent;
             EXPECT_EQ(event.type, 0x90);
             EXPECT_EQ(event.channel, 3);
             EXPECT_EQ(event.data[0], 60);
             EXPECT_EQ(event.data[1], 100);
         }},
    };
}

class Notification : public PlayingMgrTest, public testing::WithParamInterface<NotificationCase>
{
};

TEST_P(Notification, ReachesTheCallbackWithItsRecordOnlyWhenThePostAskedForIt)
{
    const NotificationCase& test = GetParam();
    CallbackLog asked;
    CallbackLog notAsked;
    ASSERT_EQ(AddRecorded(kPlayingID, asked, test.type), ZK_Success);
    ASSERT_EQ(AddRecorded(kPlayingID + 1, notAsked, ZkCallbackType_AllTypes & ~test.type), ZK_Success);
    asked.during = [&](ZkCallbackType, ZkCallbackInfo* info) {
        if (test.check)
            test.check(info);
    };

    EXPECT_TRUE(test.notify(Manager(), kPlayingID));
    ASSERT_EQ(asked.calls.size(), 1u);
    EXPECT_EQ(asked.calls[0].type, test.type);
    EXPECT_EQ(asked.calls[0].cookie, &asked);
    EXPECT_EQ(asked.calls[0].gameObject, kObjectID);
    EXPECT_EQ(asked.calls[0].playingID, kPlayingID);
    if (asked.calls[0].recordHadEventID)
    {
        EXPECT_EQ(asked.calls[0].eventID, kEventID);
    }

    EXPECT_FALSE(test.notify(Manager(), kPlayingID + 1));
    EXPECT_FALSE(test.notify(Manager(), kPlayingID + 2)) << "an unknown playing id";
    EXPECT_FALSE(test.notify(Manager(), 0));
    EXPECT_TRUE(notAsked.calls.empty());
    EXPECT_EQ(asked.calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(EveryType, Notification, testing::ValuesIn(NotificationCases()),
                         [](const testing::TestParamInfo<NotificationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PlayingMgrTest, MarkersAreHandedToTheCallbacksOfTheirOwnPlayingIds)
{
    CallbackLog first;
    CallbackLog second;
    ASSERT_EQ(AddRecorded(1, first, ZkCallbackType_Marker), ZK_Success);
    ASSERT_EQ(AddRecorded(2, second, ZkCallbackType_Marker), ZK_Success);
    const ZkMarkerNotice markers[] = {{1, 10, nullptr, 1}, {2, 20, nullptr, 2}, {3, 30, nullptr, 1}, {4, 40, nullptr, 9}};
    std::vector<uint32_t> positions;
    first.during = [&](ZkCallbackType, ZkCallbackInfo* info) {
        positions.push_back(static_cast<ZkCueCallbackInfo*>(info)->position);
    };
    Manager().NotifyMarkers(markers, 4);
    EXPECT_EQ(positions, (std::vector<uint32_t>{10, 30}));
    EXPECT_EQ(second.calls.size(), 1u);
}

TEST_F(PlayingMgrTest, MusicSyncPointsReachOnlyTheBitsThePostAskedFor)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_MusicBeat | ZkCallbackType_MusicBar), ZK_Success);
    EXPECT_TRUE(Manager().NotifyMusicSync(kPlayingID, ZkCallbackType_MusicBeat, Segment()));
    EXPECT_TRUE(Manager().NotifyMusicSync(kPlayingID, ZkCallbackType_MusicBar, Segment()));
    EXPECT_FALSE(Manager().NotifyMusicSync(kPlayingID, ZkCallbackType_MusicGrid, Segment()));
    EXPECT_FALSE(Manager().NotifyMusicSync(kPlayingID, 0, Segment()));
    ASSERT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(log.calls[0].type, ZkCallbackType_MusicBeat);
    EXPECT_EQ(log.calls[1].type, ZkCallbackType_MusicBar);
}

TEST_F(PlayingMgrTest, APlaylistChoiceIsOfferedAndTheCallbacksChoiceAndDoneFlagComeBack)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_MusicPlaylistSelect), ZK_Success);
    uint32_t offered = 0;
    log.during = [&](ZkCallbackType, ZkCallbackInfo* info) {
        auto* pick = static_cast<ZkPlaylistPickCallbackInfo*>(info);
        offered = pick->selection;
        EXPECT_EQ(pick->playlistID, 70u);
        EXPECT_EQ(pick->itemCount, 4u);
        pick->selection = 3;
        pick->done = 1;
    };
    uint32_t selection = 1;
    EXPECT_TRUE(Manager().NotifyPlaylistSelect(kPlayingID, 70, 4, selection));
    EXPECT_EQ(offered, 1u);
    EXPECT_EQ(selection, 3u);

    selection = 2;
    EXPECT_FALSE(Manager().NotifyPlaylistSelect(kPlayingID + 1, 70, 4, selection)) << "nobody called";
    EXPECT_EQ(selection, 2u);
}

TEST_F(PlayingMgrTest, AVoicesMatrixReachesItsPlayingIdsCallbackWhichMayChangeIt)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_SpeakerVolumeMatrix), ZK_Success);
    float matrix[8] = {0.5f, 0.5f, 0.0f, 0.0f};
    log.during = [&](ZkCallbackType, ZkCallbackInfo* info) {
        auto* volumes = static_cast<ZkSpeakerVolumeMatrixCallbackInfo*>(info);
        EXPECT_EQ(volumes->inputConfig.word, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO).word);
        EXPECT_EQ(volumes->outputConfig.word, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO).word);
        EXPECT_EQ(volumes->volumes, matrix);
        volumes->volumes[1] = 0.0f; // all to the left
    };
    EXPECT_TRUE(NotifyVolumeMatrixCallback(kPlayingID, 0, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO),
                                           ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), matrix, kObjectID));
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].playingID, kPlayingID);
    EXPECT_EQ(log.calls[0].eventID, kEventID);
    EXPECT_EQ(log.calls[0].gameObject, kObjectID);
    EXPECT_EQ(matrix[0], 0.5f);
    EXPECT_EQ(matrix[1], 0.0f);
    EXPECT_FALSE(NotifyVolumeMatrixCallback(0, 5, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO),
                                            ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), matrix, kObjectID))
        << "a voice without playing id goes to its bus's volume callback; bus 5 has none";
}

struct CancelCase
{
    const char* name;
    std::function<void(CZkPlayingMgr&)> cancel;
    std::vector<bool> stillCalled; // per record: 1 (cookie A, object 1), 2 (cookie A, object 2), 3 (cookie B, object 1)
};

TEST_F(PlayingMgrTest, CancelsSilenceTheMatchingPlayingIdsButKeepTheirEngineFlags)
{
    const uint32_t flags = ZkCallbackType_AllTypes | ZkPostFlag_RecordPlayPositions;
    const CancelCase cases[] = {
        {"by playing id", [](CZkPlayingMgr& m) { m.CancelCallbacksByPlayingID(2); }, {true, false, true}},
        {"by cookie", [](CZkPlayingMgr& m) { m.CancelCallbacksByCookie(nullptr); }, {true, true, true}},
        {"by game object", [](CZkPlayingMgr& m) { m.CancelCallbacksByGameObject(1); }, {false, true, false}},
        {"by an unknown game object", [](CZkPlayingMgr& m) { m.CancelCallbacksByGameObject(3); }, {true, true, true}},
    };
    for (const CancelCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CallbackLog cookieA;
        CallbackLog cookieB;
        ASSERT_EQ(AddRecorded(1, cookieA, flags, 1), ZK_Success);
        ASSERT_EQ(AddRecorded(2, cookieA, flags, 2), ZK_Success);
        ASSERT_EQ(AddRecorded(3, cookieB, flags, 1), ZK_Success);
        test.cancel(Manager());
        for (ZkPlayingID id = 1; id <= 3; ++id)
        {
            EXPECT_EQ(Manager().NotifyStarvation(id), test.stillCalled[id - 1]) << "playing id " << id;
            EXPECT_EQ(FlagsOf(id) & ZkPostFlag_RecordPlayPositions, ZkPostFlag_RecordPlayPositions);
            Manager().RemovePlayingIDRef(id);
        }
    }
    CallbackLog cookieA;
    ASSERT_EQ(AddRecorded(1, cookieA, flags), ZK_Success);
    Manager().CancelCallbacksByCookie(&cookieA);
    EXPECT_FALSE(Manager().NotifyStarvation(1));
    EXPECT_EQ(FlagsOf(1), ZkPostFlag_RecordPlayPositions) << "the callback types are cleared";
    Manager().RemovePlayingIDRef(1);
    EXPECT_TRUE(cookieA.calls.empty()) << "no end-of-event callback either";
}

TEST_F(PlayingMgrTest, ACancelMadeInsideACallbackReturnsAtOnceAndSilencesWhatFollows)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_AllTypes), ZK_Success);
    log.during = [&](ZkCallbackType, ZkCallbackInfo* info) { Manager().CancelCallbacksByCookie(info->cookie); };
    EXPECT_TRUE(Manager().NotifyStarvation(kPlayingID));
    EXPECT_FALSE(Manager().NotifyStarvation(kPlayingID));
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(log.calls.size(), 1u);

    // The same from inside the end-of-event callback, which runs as the record goes.
    CallbackLog ending;
    ASSERT_EQ(AddRecorded(kPlayingID, ending, ZkCallbackType_EndOfEvent), ZK_Success);
    ending.during = [&](ZkCallbackType, ZkCallbackInfo* info) {
        Manager().CancelCallbacksByCookie(info->cookie);
        Manager().CancelCallbacksByPlayingID(kPlayingID);
    };
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(ending.Count(ZkCallbackType_EndOfEvent), 1u);
    EXPECT_FALSE(IsRegistered(kPlayingID));
}

TEST_F(PlayingMgrTest, ACallbackMayPostQueryAndRegisterWhileItRuns)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_EndOfEvent), ZK_Success);
    log.during = [&](ZkCallbackType, ZkCallbackInfo*) {
        EXPECT_EQ(Manager().GetEventIDFromPlayingID(kPlayingID), ZK_INVALID_UNIQUE_ID) << "already gone";
        EXPECT_EQ(Manager().AddPlayingIDNoMessage(kPlayingID + 1, kObjectID, nullptr, nullptr, 0, kEventID),
                  ZK_Success);
    };
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(log.calls.size(), 1u);
    EXPECT_TRUE(IsRegistered(kPlayingID + 1));
}
} // namespace
