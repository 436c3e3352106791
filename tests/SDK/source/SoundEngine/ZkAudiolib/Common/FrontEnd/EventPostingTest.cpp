// Event posting: the event look-up and its reference, playing ids from the global counter, the
// copy of external sources, and a post whose playing id cannot be registered (no playing manager, or
// no memory for its record): the post returns 0 and leaves a type-61 message. The actions on events
// and playing ids, and their null cases.
#include "FrontEndFixture.h"

#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <cwchar>

using namespace ZkFrontEndTest;

namespace
{
constexpr ZkUniqueID kEvent = 0xE0E0E0E0u;

class EventPosting : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        UseRecorder();
    }
};
} // namespace

TEST_F(EventPosting, AnEventThatIsNotLoadedReturns0AndPostsNothing)
{
    EXPECT_EQ(PostEvent(kEvent, 1), ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(PostEvent(static_cast<const char*>(nullptr), 1), ZK_INVALID_PLAYING_ID) << "a null name is id 0";
    EXPECT_EQ(PostEvent(L"Missing", 1), ZK_INVALID_PLAYING_ID);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
    EXPECT_EQ(g_PlayingID.load(), 0u) << "no playing id is taken for an unknown event";
    EXPECT_EQ(ExecuteActionOnEvent(kEvent, ZkActionOnEventType_Stop, 1), ZK_Fail);
    EXPECT_EQ(ExecuteActionOnEvent(static_cast<const wchar_t*>(nullptr), ZkActionOnEventType_Stop, 1), ZK_Fail);
    EXPECT_EQ(SeekOnEvent("Missing", 1, 10), ZK_Fail);
    EXPECT_EQ(SeekOnEvent(kEvent, 1, 0.5f), ZK_Fail);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
}

TEST_F(EventPosting, ARefusedRegistrationReturns0ReleasesTheEventAndLeavesADroppedMessage)
{
    CZkEventObject* event = AddEvent(kEvent);
    CZkPlayingMgr playingMgr;
    ASSERT_EQ(playingMgr.CreateCallbackEvent(), ZK_Success);
    for (CZkPlayingMgr* manager : {static_cast<CZkPlayingMgr*>(nullptr), &playingMgr})
    {
        SCOPED_TRACE(manager == nullptr ? "no playing manager" : "no memory for the playing id's record");
        g_pPlayingMgr = manager;
        const uint32_t before = g_PlayingID.load();
        ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
        EXPECT_EQ(PostEvent(kEvent, 1), ZK_INVALID_PLAYING_ID);
        ZK::MemoryMgr::FaultInjection::Disarm();
        EXPECT_EQ(g_PlayingID.load(), before + 1) << "the failed post consumed a playing id";
        EXPECT_EQ(event->RefCount(), 1u) << "the event's reference is given back";
        EXPECT_EQ(m_events.Ring().UsedBytes(), 52u) << "the 52-byte message keeps its place";
        ReadMessages();
        EXPECT_TRUE(recorder.messages.empty()) << "and the reader skips it";
    }
}

TEST_F(EventPosting, PlayingIdsComeFromTheGlobalCounterOneByOne)
{
    AddEvent(kEvent);
    for (uint32_t expected = 1; expected <= 3; ++expected)
    {
        PostEvent(kEvent, 1);
        EXPECT_EQ(g_PlayingID.load(), expected);
    }
}

TEST_F(EventPosting, ExternalSourcesAreCopiedWithTheirNamesAndEveryCopyIsFreed)
{
    const wchar_t name[] = L"voice_042.oxm";
    ZkExternalSourceInfo sources[2];
    sources[0].cookie = 11;
    sources[0].fileName = name;
    sources[1].cookie = 12;
    sources[1].fileID = 77;

    ZK::MemoryMgr::FaultInjection::CountOnly(ZkMemID_Default);
    ZkExternalSourceArray* copy = ZkExternalSourceArray::Create(sources, 2);
    EXPECT_EQ(ZK::MemoryMgr::FaultInjection::CountedAllocations(), 2u) << "the block and the first name only";
    ZK::MemoryMgr::FaultInjection::Disarm();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Count(), 2u);
    EXPECT_EQ(copy->RefCount(), 1);
    EXPECT_NE(copy->Record(0).fileName, name) << "the name is duplicated";
    EXPECT_STREQ(copy->Record(0).fileName, name);
    EXPECT_EQ(copy->Record(1).fileName, nullptr);
    EXPECT_EQ(copy->Record(1).fileID, 77u);
    copy->AddRef();
    copy->Release();
    copy->Release(); // the last one frees the names and the block (the leak checker watches)

    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 2);
    EXPECT_EQ(ZkExternalSourceArray::Create(sources, 2), nullptr) << "a name that cannot be copied";
    ZK::MemoryMgr::FaultInjection::Disarm();

    AddEvent(kEvent);
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(PostEvent(kEvent, 1, 0, nullptr, nullptr, 2, sources), ZK_INVALID_PLAYING_ID);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_TRUE(m_events.Ring().IsEmpty()) << "no copy: nothing is posted";
    EXPECT_EQ(PostEvent(kEvent, 1, 0, nullptr, nullptr, 2, sources), ZK_INVALID_PLAYING_ID)
        << "refused registration: the copy is freed";
    EXPECT_EQ(PostEvent(kEvent, 1, 0, nullptr, nullptr, 2, nullptr), ZK_INVALID_PLAYING_ID);
}

TEST_F(EventPosting, PlayingIdZeroPostsNothing)
{
    StopPlayingID(0);
    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, 0);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
    StopPlayingID(8);
    EXPECT_EQ(TypeOf(ReadOne()), ZkMessage_StopPlayingID);
}

TEST_F(EventPosting, NamesOfEventsAreLenientAndFindTheEventById)
{
    CZkEventObject* event = AddEvent(GetIDFromString("Play_Cannon"));
    EXPECT_EQ(ExecuteActionOnEvent("play_cannon", ZkActionOnEventType_Stop, 1), ZK_Success);
    EXPECT_EQ(SeekOnEvent(L"Play_Cannon", 1, 0.5f), ZK_Success);
    EXPECT_EQ(event->RefCount(), 3u) << "one reference per message";
    ReadMessages();
    ASSERT_EQ(recorder.messages.size(), 2u);
    for (const Bytes& message : recorder.messages)
    {
        EXPECT_EQ(ReadAt<CZkIndexedObject*>(message, 12), event);
        EXPECT_EQ(ReadAt<uint32_t>(message, 20), GetIDFromString("Play_Cannon"));
        event->Release(); // what the engine does once it has handled the message
    }
}

TEST_F(EventPosting, SourcePluginsArePlayedAndStoppedByMessage40)
{
    const ZkPlayingID playing = PlaySourcePlugin(101, 3, 0x1234567890ull);
    EXPECT_EQ(playing, 1u) << "a new playing id from the global counter";
    EXPECT_EQ(StopSourcePlugin(101, 3, 77), ZK_Success);
    ReadMessages();
    ASSERT_EQ(recorder.messages.size(), 2u);
    struct Expected
    {
        ZkGameObjectID object;
        ZkPlayingID playingID;
        uint32_t command;
    };
    const Expected expected[] = {{0x1234567890ull, playing, 0}, {ZK_ALL_GAME_OBJECTS, 77, 1}};
    for (size_t i = 0; i < 2; ++i)
    {
        const Bytes& message = recorder.messages[i];
        EXPECT_EQ(TypeOf(message), 40u);
        EXPECT_EQ(SizeOf(message), 52u);
        EXPECT_EQ(ReadAt<ZkGameObjectID>(message, 4), expected[i].object);
        EXPECT_EQ(ReadAt<ZkPlayingID>(message, 12), expected[i].playingID);
        for (size_t at = 16; at < 40; ++at)
            EXPECT_EQ(message[at], 0u) << "byte " << at;
        EXPECT_EQ(ReadAt<uint32_t>(message, 40), 101u);
        EXPECT_EQ(ReadAt<uint32_t>(message, 44), 3u);
        EXPECT_EQ(ReadAt<uint32_t>(message, 48), expected[i].command);
    }
    EXPECT_EQ(g_PlayingID.load(), 1u) << "the stop takes no playing id";
}

TEST_F(EventPosting, CancelCallsAndMidiWithoutPostsPostNothing)
{
    AddEvent(kEvent);
    EXPECT_EQ(PostMIDIOnEvent(kEvent, 1, nullptr, 0), ZK_INVALID_PLAYING_ID);
    CancelEventCallback(3);
    CancelEventCallbackCookie(this);
    CancelEventCallbackGameObject(1);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
    EXPECT_EQ(g_PlayingID.load(), 0u);
}
