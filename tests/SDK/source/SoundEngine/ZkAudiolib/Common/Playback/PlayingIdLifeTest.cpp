// The life of a playing id: registered by a post, kept by pending references and playing instances,
// ended once after the last of both with one end-of-event callback; what a post without callback
// keeps; the game object, external sources, scoped values and play positions that go with it; the
// table's growth; and the queries.
#include "PlayingMgrFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <algorithm>
#include <set>

using namespace ZkPlayingTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

namespace
{
constexpr ZkPlayingID kPlayingID = 7;

// A post event message of kPlayingID on kObjectID with one external source (its one reference is
// the test's).
ZkPostEventMessage PostWithOneSource()
{
    ZkExternalSourceInfo info;
    info.fileID = 3;
    ZkPostEventMessage message{};
    message.playingID = kPlayingID;
    message.gameObject = kObjectID;
    message.externalSources = ZkExternalSourceArray::Create(&info, 1);
    return message;
}

struct LifeStep
{
    char op;      // 'A' add reference, 'R' remove reference, '+' add instance, '-' remove instance
    int instance; // 0 or 1 for '+' and '-'
};

struct LifeCase
{
    const char* name;
    std::vector<LifeStep> steps; // the playing id ends at the last step, not before
};

class PlayingIdLife : public PlayingMgrTest, public testing::WithParamInterface<LifeCase>
{
};

TEST_P(PlayingIdLife, EndsOnceAfterTheLastReferenceAndTheLastInstance)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_EndOfEvent), ZK_Success);
    int slots[2] = {};
    const std::vector<LifeStep>& steps = GetParam().steps;
    auto run = [&](const LifeStep& step) {
        uint32_t flags = 0;
        switch (step.op)
        {
        case 'A': Manager().AddPlayingIDRef(kPlayingID); break;
        case 'R': Manager().RemovePlayingIDRef(kPlayingID); break;
        case '+': Manager().AddInstanceToPlayingID(kPlayingID, Instance(slots[step.instance]), nullptr, flags); break;
        default: Manager().RemoveInstanceFromPlayingID(kPlayingID, Instance(slots[step.instance])); break;
        }
    };
    for (size_t index = 0; index + 1 < steps.size(); ++index)
    {
        run(steps[index]);
        ASSERT_TRUE(log.calls.empty()) << "ended early, at step " << index;
        ASSERT_TRUE(IsRegistered(kPlayingID));
    }
    run(steps.back());
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].type, ZkCallbackType_EndOfEvent);
    EXPECT_EQ(log.calls[0].playingID, kPlayingID);
    EXPECT_EQ(log.calls[0].eventID, kEventID);
    EXPECT_EQ(log.calls[0].gameObject, kObjectID);
    EXPECT_FALSE(IsRegistered(kPlayingID));
    EXPECT_EQ(Manager().PlayingIDCount(), 0u);

    // Whatever still arrives for the ended playing id changes nothing.
    for (const LifeStep& step : steps)
        run(step);
    EXPECT_EQ(log.calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, PlayingIdLife,
    testing::Values(LifeCase{"PostWithNoAction", {{'R', 0}}},
                    LifeCase{"TwoActionsThenThePost", {{'A', 0}, {'A', 0}, {'R', 0}, {'R', 0}, {'R', 0}}},
                    LifeCase{"InstanceOutlivesTheActions", {{'+', 0}, {'R', 0}, {'-', 0}}},
                    LifeCase{"TwoInstancesEndInAnyOrder", {{'+', 0}, {'+', 1}, {'R', 0}, {'-', 1}, {'-', 0}}},
                    LifeCase{"AnActionOutlivesTheInstances", {{'A', 0}, {'+', 0}, {'R', 0}, {'-', 0}, {'R', 0}}},
                    LifeCase{"TheListEmptiesWhileAReferenceRemains", {{'+', 0}, {'-', 0}, {'R', 0}}},
                    LifeCase{"AnInstanceComesAgain", {{'+', 0}, {'-', 0}, {'+', 1}, {'R', 0}, {'-', 1}}},
                    LifeCase{"AnExtraReleaseWhileAnInstancePlays", {{'+', 0}, {'R', 0}, {'R', 0}, {'-', 0}}}),
    [](const testing::TestParamInfo<LifeCase>& info) { return std::string(info.param.name); });

struct FlagsCase
{
    uint32_t flags;
    bool withCallback;
    uint32_t kept;
};

TEST_F(PlayingMgrTest, APostWithoutCallbackKeepsMarkerAndMusicCueTypesAndTheEngineFlagsButCallsNothing)
{
    const FlagsCase cases[] = {
        {0xFFFFFFFFu, false, 0xFFF02004u},
        {0xFFFFFFFFu, true, 0xFFFFFFFFu},
        {ZkCallbackType_EndOfEvent | ZkPostFlag_RecordPlayPositions, false, ZkPostFlag_RecordPlayPositions},
        {ZkCallbackType_Marker | ZkCallbackType_Duration, false, ZkCallbackType_Marker},
    };
    ZkPlayingID playingID = 1;
    for (const FlagsCase& test : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << test.flags << (test.withCallback ? " with" : " without"));
        CallbackLog log;
        ASSERT_EQ(Manager().AddPlayingIDNoMessage(playingID, kObjectID, test.withCallback ? &RecordCallback : nullptr,
                                                  &log, test.flags, kEventID),
                  ZK_Success);
        EXPECT_EQ(FlagsOf(playingID), test.kept);
        EXPECT_EQ(Manager().NotifyMarker({1, 2, nullptr, playingID}), test.withCallback);
        Manager().RemovePlayingIDRef(playingID);
        EXPECT_EQ(log.calls.size(), test.withCallback ? 2u : 0u) << "the marker and the end of the event";
        ++playingID;
    }
}

TEST_F(PlayingMgrTest, TheTableGrowsThroughThePrimesAndFindsEveryPlayingIdAfterwards)
{
    // Growth happens before an insertion that finds more than 0.9 records per bucket.
    const std::pair<uint32_t, uint32_t> cases[] = {{1, 11}, {10, 11}, {11, 29}, {27, 29}, {28, 53}, {48, 53},
                                                   {49, 97}};
    uint32_t registered = 0;
    for (const auto& [records, buckets] : cases)
    {
        for (; registered < records; ++registered)
            ASSERT_EQ(Manager().AddPlayingIDNoMessage(1000 + 7 * registered, registered, nullptr, nullptr, 0, 9),
                      ZK_Success);
        EXPECT_EQ(Manager().BucketCount(), buckets) << records << " records";
        EXPECT_EQ(Manager().PlayingIDCount(), records);
    }
    for (uint32_t index = 0; index < registered; ++index)
        EXPECT_EQ(Manager().GetGameObjectFromPlayingID(1000 + 7 * index), index);
}

TEST_F(PlayingMgrTest, QueriesAnswerForKnownPlayingIdsAndTheirNothingOtherwise)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, 0), ZK_Success);
    int slot = 0;
    uint32_t flags = 0;
    ASSERT_EQ(Manager().AddInstanceToPlayingID(kPlayingID, Instance(slot), nullptr, flags), ZK_Success);

    EXPECT_EQ(Manager().GetEventIDFromPlayingID(kPlayingID), kEventID);
    EXPECT_EQ(Manager().GetGameObjectFromPlayingID(kPlayingID), kObjectID);
    EXPECT_EQ(Manager().GetPlayingIDUserData(kPlayingID), &log);
    const ZkPlayingInstanceList* instances = Manager().FindPlayingID(kPlayingID);
    ASSERT_NE(instances, nullptr);
    ASSERT_EQ(instances->Length(), 1u);
    EXPECT_EQ((*instances)[0], Instance(slot));

    for (ZkPlayingID unknown : {ZkPlayingID{0}, ZkPlayingID{8}})
    {
        EXPECT_EQ(Manager().GetEventIDFromPlayingID(unknown), ZK_INVALID_UNIQUE_ID);
        EXPECT_EQ(Manager().GetGameObjectFromPlayingID(unknown), ZK_ALL_GAME_OBJECTS);
        EXPECT_EQ(Manager().GetPlayingIDUserData(unknown), nullptr);
        EXPECT_EQ(Manager().FindPlayingID(unknown), nullptr);
    }
    EXPECT_EQ(Query::GetEventIDFromPlayingID(kPlayingID), kEventID) << "the interface asks the manager";
    EXPECT_EQ(Query::GetGameObjectFromPlayingID(kPlayingID), kObjectID);
}

struct ListCase
{
    ZkGameObjectID object;
    uint32_t count;
    bool withArray;
    ZKRESULT result;
    uint32_t countAfter;
};

TEST_F(PlayingMgrTest, PlayingIdsOfAGameObjectAreCountedOrListedUpToTheRoomGiven)
{
    std::set<ZkPlayingID> ofObjectA;
    for (ZkPlayingID id = 1; id <= 5; ++id)
    {
        ASSERT_EQ(Manager().AddPlayingIDNoMessage(id * 31, 100, nullptr, nullptr, 0, 1), ZK_Success);
        ofObjectA.insert(id * 31);
    }
    ASSERT_EQ(Manager().AddPlayingIDNoMessage(500, 200, nullptr, nullptr, 0, 1), ZK_Success);
    ASSERT_EQ(Manager().AddPlayingIDNoMessage(501, 200, nullptr, nullptr, 0, 1), ZK_Success);

    const ListCase cases[] = {
        {100, 2, true, ZK_Success, 2},  {100, 0, false, ZK_Success, 5}, {100, 9, true, ZK_Success, 5},
        {100, 3, false, ZK_InvalidParameter, 3}, {200, 8, true, ZK_Success, 2}, {300, 4, true, ZK_Success, 0},
    };
    for (const ListCase& test : cases)
    {
        SCOPED_TRACE(testing::Message() << "object " << test.object << ", count " << test.count);
        std::vector<ZkPlayingID> ids(9, 0);
        uint32_t count = test.count;
        EXPECT_EQ(Manager().GetPlayingIDsFromGameObject(test.object, count, test.withArray ? ids.data() : nullptr),
                  test.result);
        EXPECT_EQ(count, test.countAfter);
        if (test.object == 100 && test.withArray)
        {
            for (uint32_t index = 0; index < count; ++index)
                EXPECT_EQ(ofObjectA.count(ids[index]), 1u) << ids[index];
            EXPECT_EQ(std::set<ZkPlayingID>(ids.begin(), ids.begin() + count).size(), count) << "no repeats";
        }
    }
    uint32_t count = 0;
    EXPECT_EQ(Query::GetPlayingIDsFromGameObject(100, count, nullptr), ZK_Success);
    EXPECT_EQ(count, 5u) << "the interface asks the manager";
}

TEST_F(PlayingMgrTest, HasPlayingIdAddsAReferenceOnlyForTheSameGameObjectAndEvent)
{
    CallbackLog log;
    ASSERT_EQ(AddRecorded(kPlayingID, log, ZkCallbackType_EndOfEvent), ZK_Success);
    EXPECT_FALSE(Manager().HasPlayingID(kPlayingID, kObjectID + 1, kEventID));
    EXPECT_FALSE(Manager().HasPlayingID(kPlayingID, kObjectID, kEventID + 1));
    EXPECT_FALSE(Manager().HasPlayingID(kPlayingID + 1, kObjectID, kEventID));
    EXPECT_FALSE(Manager().HasPlayingID(0, kObjectID, kEventID));
    EXPECT_TRUE(Manager().HasPlayingID(kPlayingID, kObjectID, kEventID));
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_TRUE(log.calls.empty()) << "the attached post holds its own reference";
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(log.Count(ZkCallbackType_EndOfEvent), 1u);
}

TEST_F(PlayingMgrTest, InstancesKeepTheirOrderAndTheFirstOneLendsItsGameObjectForTheWholeLife)
{
    CZkRegisteredObj* object = Register(kObjectID);
    ASSERT_NE(object, nullptr);
    const uint32_t registryOnly = object->RefCount();
    ASSERT_EQ(Manager().AddPlayingIDNoMessage(kPlayingID, kObjectID, nullptr, nullptr,
                                              ZkPostFlag_RecordPlayPositions, kEventID),
              ZK_Success);
    int slots[3] = {};
    for (int& slot : slots)
    {
        uint32_t flags = 0;
        ASSERT_EQ(Manager().AddInstanceToPlayingID(kPlayingID, Instance(slot), object, flags), ZK_Success);
        EXPECT_EQ(flags, uint32_t{ZkPostFlag_RecordPlayPositions});
    }
    EXPECT_EQ(object->RefCount(), registryOnly + 1) << "one reference, not one per instance";
    Manager().RemoveInstanceFromPlayingID(kPlayingID, Instance(slots[1]));
    const ZkPlayingInstanceList* instances = Manager().FindPlayingID(kPlayingID);
    ASSERT_EQ(instances->Length(), 2u);
    EXPECT_EQ((*instances)[0], Instance(slots[0]));
    EXPECT_EQ((*instances)[1], Instance(slots[2]));

    Manager().RemoveInstanceFromPlayingID(kPlayingID, Instance(slots[0]));
    Manager().RemoveInstanceFromPlayingID(kPlayingID, Instance(slots[2]));
    uint32_t flags = 0;
    ASSERT_EQ(Manager().AddInstanceToPlayingID(kPlayingID, Instance(slots[0]), object, flags), ZK_Success);
    EXPECT_EQ(object->RefCount(), registryOnly + 1) << "a list that filled again takes no second reference";
    Manager().RemoveInstanceFromPlayingID(kPlayingID, Instance(slots[0]));
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(object->RefCount(), registryOnly) << "given back when the playing id ends";
}

TEST_F(PlayingMgrTest, AnInstanceIsRefusedWhenNullOrWhenTheListCannotGrowAndIgnoredForAnUnknownPlayingId)
{
    ASSERT_EQ(Manager().AddPlayingIDNoMessage(kPlayingID, kObjectID, nullptr, nullptr, 0x7000000u, kEventID),
              ZK_Success);
    int slot = 0;
    uint32_t flags = 0xDEAD;
    EXPECT_EQ(Manager().AddInstanceToPlayingID(kPlayingID, nullptr, nullptr, flags), ZK_Fail);
    flags = 0xDEAD;
    EXPECT_EQ(Manager().AddInstanceToPlayingID(kPlayingID + 1, Instance(slot), nullptr, flags), ZK_Success);
    EXPECT_EQ(flags, 0u);
    Fault::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(Manager().AddInstanceToPlayingID(kPlayingID, Instance(slot), nullptr, flags), ZK_Fail);
    Fault::Disarm();
    EXPECT_EQ(Manager().FindPlayingID(kPlayingID)->Length(), 0u);
    EXPECT_EQ(flags, 0x7000000u);
}

TEST_F(PlayingMgrTest, ARegistrationThatFindsNoMemoryIsRefusedWithNothingLeftBehind)
{
    Fault::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(Manager().AddPlayingIDNoMessage(kPlayingID, kObjectID, nullptr, nullptr, 0, kEventID), ZK_Fail);
    Fault::Disarm();
    EXPECT_FALSE(IsRegistered(kPlayingID));
    EXPECT_EQ(Manager().AddPlayingIDNoMessage(0, kObjectID, nullptr, nullptr, 0, kEventID), ZK_InvalidParameter)
        << "playing id 0 is never registered";

    // A manager that has no buckets yet takes them with the first record, or refuses it.
    CZkPlayingMgr bare;
    const ZkPostEventMessage message = PostWithOneSource();
    ZkExternalSourceArray* sources = message.externalSources;
    ASSERT_NE(sources, nullptr);
    Fault::FailNth(ZkMemID_Default, 2);
    EXPECT_EQ(bare.AddPlayingID(message, nullptr, nullptr, 0, kEventID), ZK_Fail);
    Fault::Disarm();
    EXPECT_EQ(bare.PlayingIDCount(), 0u);
    EXPECT_EQ(sources->RefCount(), 1) << "the refused record gave its reference back";
    EXPECT_EQ(bare.AddPlayingID(message, nullptr, nullptr, 0, kEventID), ZK_Success);
    EXPECT_EQ(bare.BucketCount(), 29u);
    sources->Release();
}

TEST_F(PlayingMgrTest, TheRecordHoldsThePostsExternalSourcesUntilThePlayingIdEnds)
{
    const ZkPostEventMessage message = PostWithOneSource();
    ZkExternalSourceArray* sources = message.externalSources;
    ASSERT_NE(sources, nullptr);
    ASSERT_EQ(Manager().AddPlayingID(message, nullptr, nullptr, 0, kEventID), ZK_Success);
    EXPECT_EQ(sources->RefCount(), 2);
    EXPECT_EQ(Manager().GetGameObjectFromPlayingID(kPlayingID), kObjectID);
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(sources->RefCount(), 1);
    sources->Release();
}

TEST_F(PlayingMgrTest, ValuesScopedToThePlayingIdAreClearedWhenItEnds)
{
    constexpr ZkUniqueID kParameter = 3300;
    ASSERT_EQ(g_pRTPCMgr->SetDefaultValue(kParameter, 1.0f), ZK_Success);
    CZkRegisteredObj* object = Register(kObjectID);
    const ZkRTPCKey key = ZkRTPCKey::ForObject(object, kPlayingID);
    auto hasOwnValue = [&] {
        ZkRTPCKey scope = key;
        float value = 0.0f;
        return g_pRTPCMgr->GetRTPCValue(kParameter, scope, value) && scope == key && value == 5.0f;
    };
    auto set = [&] {
        TransParamsBase immediate{0, 4, false};
        g_pRTPCMgr->SetRTPCInternal(kParameter, 5.0f, key, immediate, ZkValueMeaning_Absolute, false);
    };

    set();
    EXPECT_FALSE(hasOwnValue()) << "an unknown playing id refuses the value";
    EXPECT_EQ(Manager().RegisterScopedParameter(kPlayingID, kParameter), ZK_NothingToReport);

    ASSERT_EQ(Manager().AddPlayingIDNoMessage(kPlayingID, kObjectID, nullptr, nullptr, 0, kEventID), ZK_Success);
    set();
    EXPECT_TRUE(hasOwnValue());
    EXPECT_EQ(Manager().RegisterScopedModulator(kPlayingID, 77), ZK_Success);
    Manager().RemovePlayingIDRef(kPlayingID);
    EXPECT_FALSE(hasOwnValue()) << "the playing id's value went with it";
}

TEST_F(PlayingMgrTest, PlayPositionsAndBufferingRecordsGoWithThePlayingId)
{
    const int source = 0;
    for (uint32_t flags : {0u, uint32_t{ZkPostFlag_RecordPlayPositions}})
    {
        SCOPED_TRACE(flags != 0 ? "positions asked for" : "no positions asked for");
        ASSERT_EQ(Manager().AddPlayingIDNoMessage(kPlayingID, kObjectID, nullptr, nullptr, flags, kEventID),
                  ZK_Success);
        if (flags != 0)
            g_pPlayPositionRepository->SetPositionInfo(kPlayingID, ZkPlayPositionInfo{10, 1.0f, 100, 48000}, &source);
        StreamBufferingRepository::Set(kPlayingID, &source, 50, 1);
        Manager().RemovePlayingIDRef(kPlayingID);
        EXPECT_EQ(g_pPlayPositionRepository->PositionRecordCount(), 0u);
        int32_t buffered = 0;
        int32_t status = 0;
        EXPECT_EQ(StreamBufferingRepository::Get(kPlayingID, buffered, status), ZK_Fail);
    }
}

TEST_F(PlayingMgrTest, APostedEventWithoutActionsEndsAtTheEnginesNextReadWithOneEndOfEventCallback)
{
    UseEngine();
    constexpr ZkUniqueID kEvent = 0xE7E7;
    AddEvent(kEvent);
    CallbackLog log;
    const ZkPlayingID playingID = PostEvent(kEvent, ZkFrontEndTest::kEmitter, ZkCallbackType_EndOfEvent, &RecordCallback, &log);
    ASSERT_NE(playingID, ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(Manager().GetEventIDFromPlayingID(playingID), kEvent) << "registered by the post";
    EXPECT_TRUE(log.calls.empty());
    ReadMessages();
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].type, ZkCallbackType_EndOfEvent);
    EXPECT_EQ(log.calls[0].playingID, playingID);
    EXPECT_EQ(log.calls[0].eventID, kEvent);
    EXPECT_EQ(log.calls[0].gameObject, ZkFrontEndTest::kEmitter);
    EXPECT_FALSE(IsRegistered(playingID));
    ReadMessages();
    EXPECT_EQ(log.calls.size(), 1u);
}
} // namespace
