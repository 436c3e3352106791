// Events pinned in the stream cache through the running engine: the files each pin gives the stream
// manager and with what, priorities, files both active and inactive, group changes that select
// other children, the buffering status, unloading, subscribers shared by records, and allocation
// failures at every step.
#include "PinnedEventFixture.h"

#include "StreamMgr/CZkStreamMgr.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace
{
using namespace ZkPinTest;
using ::testing::ElementsAre;

constexpr ZkUniqueID kSelector = 3000; // the selecting test node
const ZkUniqueID kPinGroup = GetIDFromString("PinGroup");
const ZkUniqueID kFirst = GetIDFromString("First");
const ZkUniqueID kSecond = GetIDFromString("Second");

// Sounds streamed from 501..505 (stream types 1 and 2, other codecs, language and no-file-id flags,
// one without prefetch), one from the bank's memory, and events over them (an action belongs to
// one event).
const char* const kPinBank = R"({"name": "Pins.bnk",
  "media": [{"id": 600, "wave": {"rate": 48000, "seconds": 0.05, "parts": [{"tone": 440, "amp": 0.5}]}}],
  "streamed": [{"id": 501, "wave": {"rate": 48000, "seconds": 0.2, "parts": [{"tone": 300, "amp": 0.5}]}},
               {"id": 502, "wave": {"rate": 48000, "seconds": 0.2, "parts": [{"tone": 500, "amp": 0.5}]}},
               {"id": 503, "wave": {"rate": 48000, "seconds": 0.2, "parts": [{"tone": 700, "amp": 0.5}]}},
               {"id": 504, "hex": "04"}],
  "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
    {"type": "sound", "id": 1001, "media": 501, "stream_type": 1, "media_size": 4096, "bus": "Effects"},
    {"type": "sound", "id": 1002, "media": 502, "stream_type": 2, "media_size": 2048, "source_flags": 1,
     "plugin": "0x00040001", "bus": "Effects"},
    {"type": "sound", "id": 1003, "media": 503, "stream_type": 1, "media_size": 1000, "source_flags": 8,
     "bus": "Effects"},
    {"type": "sound", "id": 1004, "media": 504, "stream_type": 2, "media_size": 0, "bus": "Effects"},
    {"type": "sound", "id": 1005, "media": 505, "stream_type": 1, "media_size": 512, "bus": "Effects"},
    {"type": "sound", "id": 1006, "media": 600, "bus": "Effects"},
    {"type": "action", "id": 2001, "action": "play", "target": 1001},
    {"type": "action", "id": 2002, "action": "play", "target": 1002},
    {"type": "action", "id": 2003, "action": "play", "target": 1003},
    {"type": "action", "id": 2004, "action": "play", "target": 1004},
    {"type": "action", "id": 2005, "action": "play", "target": 1005},
    {"type": "action", "id": 2006, "action": "play", "target": 1006},
    {"type": "action", "id": 2007, "action": "play", "target": 3000},
    {"type": "action", "id": 2008, "action": "play", "target": 1001},
    {"type": "action", "id": 2011, "action": "play", "target": 1001},
    {"type": "action", "id": 2012, "action": "play", "target": 1002},
    {"type": "action", "id": 2017, "action": "play", "target": 3000},
    {"type": "event", "id": "Play_All", "actions": [2001, 2002, 2003, 2004]},
    {"type": "event", "id": "Play_One", "actions": [2011]},
    {"type": "event", "id": "Play_Two", "actions": [2012]},
    {"type": "event", "id": "Play_Missing", "actions": [2005]},
    {"type": "event", "id": "Play_InMemory", "actions": [2006]},
    {"type": "event", "id": "Play_Selected", "actions": [2007]},
    {"type": "event", "id": "Play_Selected_Too", "actions": [2017, 2008]}]}]})";

class PinnedEventTest : public PinnedEvents
{
protected:
    void SetUp() override
    {
        PinnedEvents::SetUp();
        ASSERT_NO_FATAL_FAILURE(LoadTestBank(kPinBank));
    }

    // The selecting node over a state group: First plays 1001 (file 501), Second plays 1002 (502)
    // and 1003 (503 as well as 1001's file, through "extra").
    void AddStateSelector(std::vector<std::pair<ZkUniqueID, ZkUniqueID>> children)
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ASSERT_EQ(g_pStateMgr->AddStateGroup(kPinGroup), ZK_Success);
        m_node = SelectingTestNode::CreateIndexed(kSelector, kPinGroup, 1, std::move(children));
        ASSERT_NE(m_node, nullptr);
    }
    void SetStateNow(ZkUniqueID state)
    {
        ASSERT_EQ(SetState(kPinGroup, state), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
    }
    uint32_t PinnedFiles() { return static_cast<ZK::StreamMgr::CZkStreamMgr*>(m_real)->PinnedFileCount(); }
};

// What the stream manager is given for each kind of media reference.
TEST_F(PinnedEventTest, EachFileIsPinnedWithItsReferencesFlags)
{
    Record();
    PinNow("Play_All", 40, 10);
    EXPECT_THAT(TakeCalls(), ElementsAre("pin 501 type 1 lang 0 cache 501 bytes 4096 at 40",
                                         "pin 502 type 4 lang 1 cache 502 bytes 2048 at 40",
                                         "pin 503 type 1 lang 0 cache 4294967295 bytes 1000 at 40"))
        << "a codec's number is the file type; no file id shares no cache; no prefetch size pins nothing";
    EXPECT_EQ(PinnedFiles(), 3u);
    UnpinNow("Play_All");
    EXPECT_THAT(TakeCalls(), ElementsAre("unpin 501 at 40", "unpin 502 at 40", "unpin 503 at 40"));
    EXPECT_EQ(PinnedFiles(), 0u);
    EXPECT_EQ(PinnedEventPrefetch::PinnedRecordCount(), 0u);
}

TEST_F(PinnedEventTest, PinningAgainOnlyMovesThePriorities)
{
    Record();
    PinNow("Play_One", 50, 10);
    TakeCalls();
    PinNow("Play_One", 70, 20);
    EXPECT_THAT(TakeCalls(), ElementsAre("update 501 70<-50")) << "no file read again";
    PinNow("Play_One", 70, 20);
    EXPECT_TRUE(TakeCalls().empty()) << "same priorities: nothing";
    UnpinNow("Play_One");
    EXPECT_THAT(TakeCalls(), ElementsAre("unpin 501 at 70"));
}

// The growth of the records and file lists: from 1 the second, third and later entries must fit.
TEST_F(PinnedEventTest, ThreeEventsPinnedAndThreeFilesInOneList)
{
    Record();
    PinNow("Play_One", 50, 10);
    PinNow("Play_Two", 50, 10);
    PinNow("Play_All", 50, 10);
    EXPECT_EQ(PinnedEventPrefetch::PinnedRecordCount(), 3u);
    const std::vector<std::string> calls = TakeCalls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("pin ", 0) == 0; }), 5);
    EXPECT_EQ(PinnedFiles(), 3u) << "501, 502 and 503, the first two pinned by two events each";
    for (const char* event : {"Play_One", "Play_Two", "Play_All"})
        UnpinNow(event);
    EXPECT_EQ(PinnedFiles(), 0u);
}

TEST_F(PinnedEventTest, AFileBothActiveAndInactiveIsPinnedOnceAtTheActivePriority)
{
    ASSERT_NO_FATAL_FAILURE(AddStateSelector({{kFirst, 1001}, {kSecond, 1001}, {kSecond, 1002}}));
    SetStateNow(kFirst);
    Record();
    PinNow("Play_Selected", 60, 5);
    EXPECT_THAT(TakeCalls(), ElementsAre("pin 501 type 1 lang 0 cache 501 bytes 4096 at 60",
                                         "pin 502 type 4 lang 1 cache 502 bytes 2048 at 5"));
}

// A new state selects the other child: its files are pinned at the active priority before the old
// ones are unpinned, so a file that stays wanted never leaves the cache.
TEST_F(PinnedEventTest, AGroupChangePinsTheNewChildBeforeUnpinningTheOld)
{
    ASSERT_NO_FATAL_FAILURE(AddStateSelector({{kFirst, 1001}, {kSecond, 1002}}));
    SetStateNow(kFirst);
    Record();
    PinNow("Play_Selected", 60, 5);
    EXPECT_THAT(TakeCalls(), ElementsAre("pin 501 type 1 lang 0 cache 501 bytes 4096 at 60",
                                         "pin 502 type 4 lang 1 cache 502 bytes 2048 at 5"));
    EXPECT_EQ(PinnedEventPrefetch::SubscribedGroupCount(), 1u);
    SetStateNow(kSecond);
    EXPECT_THAT(TakeCalls(), ElementsAre("pin 502 type 4 lang 1 cache 502 bytes 2048 at 60",
                                         "pin 501 type 1 lang 0 cache 501 bytes 4096 at 5", "unpin 501 at 60",
                                         "unpin 502 at 5"));
    EXPECT_EQ(PinnedFiles(), 2u);
    UnpinNow("Play_Selected");
    EXPECT_EQ(PinnedFiles(), 0u);
    EXPECT_EQ(PinnedEventPrefetch::SubscribedGroupCount(), 0u) << "unregistered with the last record";
    EXPECT_THAT(TakeCalls(), ElementsAre("unpin 502 at 60", "unpin 501 at 5"));
    SetStateNow(kFirst); // no subscriber left to call (AddressSanitizer would see a freed one)
    EXPECT_TRUE(TakeCalls().empty());
}

// A switch follows a game object: a pin made for one (Pin called directly) is refreshed by that
// object's switch changes, the others' leave it alone.
TEST_F(PinnedEventTest, ASwitchChangeRefreshesThePinsOfItsGameObject)
{
    const ZkUniqueID group = GetIDFromString("PinSwitch");
    ASSERT_EQ(RegisterGameObj(7), ZK_Success);
    ASSERT_EQ(RegisterGameObj(8), ZK_Success);
    ASSERT_EQ(SetSwitch(group, kFirst, 7), ZK_Success);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    const ZkUniqueID eventID = GetIDFromString("Play_Selected");
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        m_node = SelectingTestNode::CreateIndexed(kSelector, group, 0, {{kFirst, 1001}, {kSecond, 1002}});
        ASSERT_NE(m_node, nullptr);
    }
    Record();
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        CZkIndexedObject* event = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, eventID);
        ASSERT_NE(event, nullptr);
        PinnedEventPrefetch::Pin(static_cast<CZkEventObject*>(event), g_pRegistryMgr->GetObj(7), 60, 5);
        event->Release();
    }
    EXPECT_THAT(TakeCalls(), ElementsAre("pin 501 type 1 lang 0 cache 501 bytes 4096 at 60",
                                         "pin 502 type 4 lang 1 cache 502 bytes 2048 at 5"));
    ASSERT_EQ(SetSwitch(group, kSecond, 8), ZK_Success);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    EXPECT_TRUE(TakeCalls().empty()) << "another game object's switch";
    ASSERT_EQ(SetSwitch(group, kSecond, 7), ZK_Success);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    EXPECT_THAT(TakeCalls(), ElementsAre("pin 502 type 4 lang 1 cache 502 bytes 2048 at 60",
                                         "pin 501 type 1 lang 0 cache 501 bytes 4096 at 5", "unpin 501 at 60",
                                         "unpin 502 at 5"));
    ASSERT_EQ(UnregisterGameObj(7), ZK_Success);
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    EXPECT_EQ(PinnedEventPrefetch::PinnedRecordCount(), 1u) << "the pin holds its game object";
}

TEST_F(PinnedEventTest, StatusOfEventsUnpinnedPinnedWithoutFilesAndMissingFiles)
{
    float percent = 50.0f;
    bool full = true;
    EXPECT_EQ(GetBufferStatusForPinnedEvent("Not_Loaded", percent, full), ZK_Fail);
    EXPECT_EQ(GetBufferStatusForPinnedEvent(static_cast<const char*>(nullptr), percent, full), ZK_Fail);
    EXPECT_EQ(PinEventInStreamCache(static_cast<const wchar_t*>(nullptr), 1, 1), ZK_Fail);
    EXPECT_EQ(UnpinEventInStreamCache("Not_Loaded"), ZK_Fail);
    EXPECT_EQ(GetBufferStatusForPinnedEvent("Play_One", percent, full), ZK_Fail) << "not pinned";

    PinNow("Play_InMemory", 50, 10);
    EXPECT_EQ(GetBufferStatusForPinnedEvent(L"Play_InMemory", percent, full), ZK_Success);
    EXPECT_EQ(percent, 100.0f);
    EXPECT_FALSE(full);

    // 505.oxm does not exist: the stream manager cannot pin it, and the status says so.
    PinNow("Play_Missing", 50, 10);
    EXPECT_EQ(PinnedFiles(), 0u);
    EXPECT_EQ(GetBufferStatusForPinnedEvent("Play_Missing", percent, full), ZK_Fail);
}

TEST_F(PinnedEventTest, UnloadingTheBankOfAPinnedEventUnpinsItsFiles)
{
    PinNow("Play_All", 50, 10);
    PinNow("Play_One", 50, 10);
    EXPECT_EQ(PinnedFiles(), 3u);
    Record();
    ASSERT_EQ(UnloadBank("Pins.bnk", nullptr), ZK_Success);
    EXPECT_EQ(PinnedEventPrefetch::PinnedRecordCount(), 0u);
    EXPECT_EQ(PinnedFiles(), 0u);
    const std::vector<std::string> calls = TakeCalls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("unpin", 0) == 0; }), 4);
}

// One subscriber per group id, whatever the number of records that follow the group.
TEST_F(PinnedEventTest, OneSubscriberPerGroupServesEveryRecord)
{
    ASSERT_NO_FATAL_FAILURE(AddStateSelector({{kFirst, 1001}, {kSecond, 1002}}));
    SetStateNow(kFirst);
    PinNow("Play_Selected", 50, 10);
    PinNow("Play_Selected_Too", 50, 10);
    EXPECT_EQ(PinnedEventPrefetch::PinnedRecordCount(), 2u);
    EXPECT_EQ(PinnedEventPrefetch::SubscribedGroupCount(), 1u);
    Record();
    SetStateNow(kSecond);
    EXPECT_EQ(TakeCalls().size(), 8u) << "both records refreshed: two pins and two unpins each";
    UnpinNow("Play_Selected");
    EXPECT_EQ(PinnedEventPrefetch::SubscribedGroupCount(), 1u);
    UnpinNow("Play_Selected_Too");
    EXPECT_EQ(PinnedEventPrefetch::SubscribedGroupCount(), 0u);
}

// Every allocation of a pin and of a refresh failing in turn: after the unpin nothing of the pin is
// left (no record, subscriber or pinned file; a leaked state would be the leak checker's to see).
TEST_F(PinnedEventTest, AllocationFailuresLeaveNothingHalfMade)
{
    ASSERT_NO_FATAL_FAILURE(AddStateSelector({{kFirst, 1001}, {kSecond, 1002}}));
    SetStateNow(kFirst);
    const ZkUniqueID eventID = GetIDFromString("Play_Selected");
    const auto pinAndUnpin = [&](bool changeState) {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        auto* event = static_cast<CZkEventObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, eventID));
        PinnedEventPrefetch::Pin(event, nullptr, 50, 10);
        if (changeState)
            PinnedEventPrefetch::OnGroupChanged(kPinGroup, kSecond, nullptr, nullptr);
        PinnedEventPrefetch::Unpin(event, nullptr);
        event->Release();
    };
    for (ZkMemoryId pool : {ZkMemID_Default, ZkMemID_StreamMgr})
    {
        for (bool changeState : {false, true})
        {
            ZK::MemoryMgr::FaultInjection::CountOnly(pool);
            pinAndUnpin(changeState);
            const uint32_t allocations = ZK::MemoryMgr::FaultInjection::CountedAllocations();
            ZK::MemoryMgr::FaultInjection::Disarm();
            EXPECT_GT(allocations, 0u);
            for (uint32_t nth = 1; nth <= allocations; ++nth)
            {
                SCOPED_TRACE("pool " + std::to_string(pool) + (changeState ? ", refresh" : "") + ", allocation " +
                             std::to_string(nth));
                ZK::MemoryMgr::FaultInjection::FailNth(pool, nth);
                pinAndUnpin(changeState);
                ZK::MemoryMgr::FaultInjection::Disarm();
                EXPECT_EQ(PinnedEventPrefetch::PinnedRecordCount(), 0u);
                EXPECT_EQ(PinnedEventPrefetch::SubscribedGroupCount(), 0u);
                EXPECT_EQ(PinnedFiles(), 0u);
            }
        }
    }
}

class PinnedEventCacheLimit : public PinnedEventTest
{
protected:
    PinnedEventCacheLimit() { m_pinnedBytesLimit = 1024; }
};

TEST_F(PinnedEventCacheLimit, AFullCacheIsReported)
{
    PinNow("Play_One", 50, 10);
    float percent = 100.0f;
    bool full = false;
    EXPECT_EQ(GetBufferStatusForPinnedEvent("Play_One", percent, full), ZK_Success);
    EXPECT_TRUE(full) << "4096 bytes wanted, at most 1024 may be held";
    EXPECT_LT(percent, 100.0f);
}

using ThreadedPinnedEventBuffering = PinnedEventTest;

// The caching streams fill on the device's I/O thread; the event's percentage is the smallest of
// its files' and reaches 100 once they all hold their prefetch.
TEST_F(ThreadedPinnedEventBuffering, StatusReachesFullOnceTheFilesAreBuffered)
{
    PinNow("Play_All", 50, 10);
    float percent = 0.0f;
    bool full = true;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto smallestOfTheFiles = [&] {
        float smallest = 100.0f;
        for (uint32_t file : {501u, 502u, 503u})
        {
            float filePercent = 0.0f;
            bool fileFull = false;
            EXPECT_EQ(m_real->GetBufferStatusForPinnedFile(file, filePercent, fileFull), ZK_Success);
            smallest = std::min(smallest, filePercent);
        }
        return smallest;
    };
    do
    {
        ASSERT_EQ(GetBufferStatusForPinnedEvent("Play_All", percent, full), ZK_Success);
        // The files only fill up meanwhile: the event's figure is never above theirs read after it.
        EXPECT_LE(percent, smallestOfTheFiles());
        std::this_thread::yield();
    } while (percent < 100.0f && std::chrono::steady_clock::now() < giveUp);
    EXPECT_EQ(smallestOfTheFiles(), 100.0f);
    EXPECT_EQ(percent, 100.0f);
    EXPECT_FALSE(full);
}
} // namespace
