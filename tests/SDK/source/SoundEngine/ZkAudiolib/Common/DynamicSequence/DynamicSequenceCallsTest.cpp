// The game's calls of ZK::SoundEngine::DynamicSequence and the messages they post: playing ids,
// the look-up with its closing rule, refusals that leave nothing behind, and the bytes of messages
// 24, 25 and 58 as the ring holds them.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/DynamicSequence/DynamicSequenceFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/FrontEndFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"

#include <cmath>
#include <functional>
#include <limits>
#include <thread>

namespace ZkDynamicSequenceTest
{
namespace
{
using ZkFrontEndTest::ReadAt;
using ZkFrontEndTest::RecordingDispatcher;

class SequenceCalls : public SequenceTest
{
protected:
    // The ring records the messages instead of handing them to the engine.
    void RecordMessages()
    {
        m_events.Term();
        ASSERT_EQ(m_events.Ring().Init(kRingBytes, &m_recorder), ZK_Success);
    }
    std::vector<Bytes> TakeRecorded()
    {
        m_recorder.messages.clear();
        ReadMessages();
        return m_recorder.messages;
    }

    RecordingDispatcher m_recorder;
};

TEST_F(SequenceCalls, OpenTakesConsecutivePlayingIdsAndTheEngineGivesTheSequenceItsObject)
{
    const ZkPlayingID first = OpenRecorded();
    const ZkPlayingID second = OpenRecorded(Sequence::DynamicSequenceType_SampleAccurate);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(g_PlayingID.load(), second);
    ASSERT_EQ(SequenceCount(), 2u);
    EXPECT_EQ(SequenceOf(second)->Type(), Sequence::DynamicSequenceType_SampleAccurate);
    EXPECT_EQ(SequenceOf(first)->GameObject(), nullptr) << "set by message 24, on the engine thread";
    ReadMessages();
    EXPECT_EQ(SequenceOf(first)->GameObject(), m_object);
    EXPECT_EQ(SequenceOf(first)->RefCount(), 1u) << "the message gave its reference back";
}

TEST_F(SequenceCalls, UnknownAndClosedSequencesAreRefusedButTheirPlaylistCanStillBeLeft)
{
    const ZkPlayingID closed = OpenRecorded();
    ReadMessages();
    ASSERT_EQ(Sequence::Close(closed), ZK_Success);
    const ZkPlayingID unknown = closed + 100;
    uint32_t start = 0, paused = 0;
    ZkUniqueID node = 0;
    void* info = nullptr;
    const std::vector<std::pair<const char*, std::function<ZKRESULT(ZkPlayingID)>>> calls = {
        {"Play", [](ZkPlayingID id) { return Sequence::Play(id); }},
        {"Pause", [](ZkPlayingID id) { return Sequence::Pause(id); }},
        {"Resume", [](ZkPlayingID id) { return Sequence::Resume(id); }},
        {"Stop", [](ZkPlayingID id) { return Sequence::Stop(id); }},
        {"Break", [](ZkPlayingID id) { return Sequence::Break(id); }},
        {"Close", [](ZkPlayingID id) { return Sequence::Close(id); }},
        {"Seek ms", [](ZkPlayingID id) { return Sequence::Seek(id, ZkTimeMs{10}); }},
        {"Seek fraction", [](ZkPlayingID id) { return Sequence::Seek(id, 0.5f); }},
        {"GetPauseTimes", [&](ZkPlayingID id) { return Sequence::GetPauseTimes(id, start, paused); }},
        {"GetPlayingItem", [&](ZkPlayingID id) { return Sequence::GetPlayingItem(id, node, info); }},
    };
    for (const auto& [name, call] : calls)
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(closed), ZK_Fail);
        EXPECT_EQ(call(unknown), ZK_Fail);
    }
    EXPECT_EQ(Sequence::LockPlaylist(unknown), nullptr);
    EXPECT_EQ(Sequence::UnlockPlaylist(unknown), ZK_Fail);
    ASSERT_NE(Sequence::LockPlaylist(closed), nullptr) << "the playlist look-up ignores the closing flag";
    EXPECT_EQ(Sequence::UnlockPlaylist(closed), ZK_Success);
}

TEST_F(SequenceCalls, AFailedOpenReturns0AndLeavesNoSequenceAndNoPlayingId)
{
    // A refused playing id: the reserved message stays as a dropped one (type 61), read as nothing.
    CZkPlayingMgr* manager = g_pPlayingMgr;
    g_pPlayingMgr = nullptr;
    EXPECT_EQ(OpenRecorded(), 0u);
    g_pPlayingMgr = manager;
    EXPECT_EQ(m_events.Ring().UsedBytes(), 48u);
    EXPECT_EQ(SequenceCount(), 0u);
    ReadMessages();
    EXPECT_TRUE(m_events.Ring().IsEmpty());

    // Every allocation of an Open that can fail, in turn (the sequence, its table, the playing
    // id's record): 0, and nothing stays behind.
    const uint32_t playingIDs = g_pPlayingMgr->PlayingIDCount();
    for (uint32_t nth = 1;; ++nth)
    {
        SCOPED_TRACE(nth);
        ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, nth);
        const ZkPlayingID opened = OpenRecorded();
        ZK::MemoryMgr::FaultInjection::Disarm();
        ReadMessages();
        if (opened != 0)
            break;
        EXPECT_EQ(SequenceCount(), 0u);
        EXPECT_EQ(g_pPlayingMgr->PlayingIDCount(), playingIDs);
        ASSERT_LT(nth, 10u) << "an Open makes a handful of allocations";
    }
}

TEST_F(SequenceCalls, MessagesCarryTheSequenceAndTheirFieldsAtTheirOffsets)
{
    RecordMessages();
    const ZkPlayingID id = OpenRecorded();
    CZkDynamicSequence* sequence = SequenceOf(id);
    ASSERT_NE(sequence, nullptr);
    ASSERT_EQ(Sequence::Play(id, 250, ZkCurveInterpolation_Sine), ZK_Success);
    ASSERT_EQ(Sequence::Pause(id, 30, ZkCurveInterpolation_Exp1), ZK_Success);
    ASSERT_EQ(Sequence::Resume(id, 40, ZkCurveInterpolation_SCurve), ZK_Success);
    ASSERT_EQ(Sequence::Stop(id, -5, ZkCurveInterpolation_Log3), ZK_Success);
    ASSERT_EQ(Sequence::Break(id), ZK_Success);
    ASSERT_EQ(Sequence::Seek(id, ZkTimeMs{1234}, true), ZK_Success);
    ASSERT_EQ(Sequence::Seek(id, 0.25f, false), ZK_Success);
    ASSERT_EQ(Sequence::Close(id), ZK_Success);
    EXPECT_EQ(sequence->RefCount(), 10u) << "the table's and one per message";

    const std::vector<Bytes> messages = TakeRecorded();
    ASSERT_EQ(messages.size(), 9u);
    const Bytes& open = messages[0];
    EXPECT_EQ(ZkFrontEndTest::SizeOf(open), 48u);
    EXPECT_EQ(ZkFrontEndTest::TypeOf(open), 24u);
    EXPECT_EQ(ReadAt<uint64_t>(open, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(open, 12), id);
    for (size_t at = 16; at < 40; ++at)
        EXPECT_EQ(open[at], 0u) << "byte " << at;
    EXPECT_EQ(ReadAt<CZkDynamicSequence*>(open, 40), sequence);

    struct Command
    {
        uint32_t command;
        int32_t transition;
        uint32_t curve;
    };
    const Command commands[] = {{0, 250, ZkCurveInterpolation_Sine},  {1, 30, ZkCurveInterpolation_Exp1},
                                {2, 40, ZkCurveInterpolation_SCurve}, {4, -5, ZkCurveInterpolation_Log3},
                                {5, 0, ZkCurveInterpolation_Linear}};
    for (size_t index = 0; index < std::size(commands); ++index)
    {
        SCOPED_TRACE(commands[index].command);
        const Bytes& message = messages[1 + index];
        EXPECT_EQ(ZkFrontEndTest::SizeOf(message), 24u);
        EXPECT_EQ(ZkFrontEndTest::TypeOf(message), 25u);
        EXPECT_EQ(ReadAt<CZkDynamicSequence*>(message, 4), sequence);
        EXPECT_EQ(ReadAt<uint32_t>(message, 12), commands[index].command);
        EXPECT_EQ(ReadAt<int32_t>(message, 16), commands[index].transition);
        EXPECT_EQ(ReadAt<uint32_t>(message, 20), commands[index].curve);
    }
    const Bytes& seekMs = messages[6];
    const Bytes& seekFraction = messages[7];
    for (const Bytes* seek : {&seekMs, &seekFraction})
    {
        EXPECT_EQ(ZkFrontEndTest::SizeOf(*seek), 20u);
        EXPECT_EQ(ZkFrontEndTest::TypeOf(*seek), 58u);
        EXPECT_EQ(ReadAt<CZkDynamicSequence*>(*seek, 4), sequence);
    }
    EXPECT_EQ(ReadAt<int32_t>(seekMs, 12), 1234);
    EXPECT_EQ(seekMs[16], 0u) << "milliseconds";
    EXPECT_EQ(seekMs[17], 1u) << "snap";
    EXPECT_EQ(ReadAt<float>(seekFraction, 12), 0.25f);
    EXPECT_EQ(seekFraction[16], 1u) << "a fraction";
    EXPECT_EQ(seekFraction[17], 0u);
    EXPECT_EQ(ReadAt<uint32_t>(messages[8], 12), 3u) << "Close";
    EXPECT_EQ(ReadAt<uint32_t>(messages[8], 20), uint32_t{ZkCurveInterpolation_Linear});

    for (const Bytes& message : messages)
        ReleaseMessageHoldings(message.data());
    EXPECT_EQ(sequence->RefCount(), 1u);
}

TEST_F(SequenceCalls, ANonFiniteSeekFractionIsRefusedWith95AndPostsNothing)
{
    const ZkPlayingID id = OpenRecorded();
    ReadMessages();
    for (const float fraction : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()})
    {
        EXPECT_EQ(Sequence::Seek(id, fraction), ZK_NotFinite);
        EXPECT_TRUE(m_events.Ring().IsEmpty());
    }
}

TEST_F(SequenceCalls, AThreadThatDoesNotHoldThePlaylistCannotUnlockIt)
{
    const ZkPlayingID id = OpenRecorded();
    ReadMessages();
    ASSERT_NE(Sequence::LockPlaylist(id), nullptr);
    ZKRESULT fromOther = ZK_Success;
    std::thread other([&] { fromOther = Sequence::UnlockPlaylist(id); });
    other.join();
    EXPECT_EQ(fromOther, ZK_Fail);
    EXPECT_EQ(SequenceOf(id)->RefCount(), 2u) << "the lock still holds its reference";
    EXPECT_EQ(Sequence::UnlockPlaylist(id), ZK_Success);
    EXPECT_EQ(SequenceOf(id)->RefCount(), 1u);
    EXPECT_EQ(Sequence::UnlockPlaylist(id), ZK_Fail) << "no lock left to leave";
}
} // namespace
} // namespace ZkDynamicSequenceTest
