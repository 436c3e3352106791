// The engine message ring on one thread: sizes, frame batches, wrap markers, the writer's drain of
// a full ring, refusals, abandoned messages and termination.
#include "MessageRingTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/ProcessedItemCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>

using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;
using ZkRingTest::Post;
using ZkRingTest::RecordingDispatcher;
using ZkRingTest::kTestMessageType;

namespace
{
class MessageRing : public EngineMemoryTest
{
protected:
    void TearDown() override
    {
        m_ring.Term();
        m_wake.Term();
        EngineMemoryTest::TearDown();
    }

    void Init(uint32_t capacity)
    {
        ASSERT_EQ(m_ring.Init(capacity, &m_dispatcher), ZK_Success);
        ASSERT_TRUE(m_wake.Init(ZK::Platform::EventReset::Auto));
    }

    // The engine tick's part: read every counted batch under the global engine lock.
    bool EngineReads()
    {
        ZK::Platform::ZkScopedLock lock(g_EngineLock);
        bool deviceChanged = false;
        return m_ring.ProcessMessages(false, deviceChanged);
    }

    CZkMessageRing m_ring;
    RecordingDispatcher m_dispatcher;
    ZK::Platform::ZkEvent m_wake;
};

std::vector<uint32_t> Sequence(uint32_t first, uint32_t count)
{
    std::vector<uint32_t> values(count);
    std::iota(values.begin(), values.end(), first);
    return values;
}
} // namespace

TEST_F(MessageRing, RefusesRingsThatCannotAlwaysTakeEveryMessageOfOneElement)
{
    EXPECT_EQ(CZkMessageRing::kMinimumCapacityBytes, 257u);
    for (uint32_t capacity : {0u, 4u, 56u, 57u, 228u, 256u})
    {
        CZkMessageRing ring;
        EXPECT_EQ(ring.Init(capacity, &m_dispatcher), ZK_InvalidParameter) << capacity;
        EXPECT_FALSE(ring.IsInitialized());
        EXPECT_EQ(ring.ReserveMessage(ZkRingTest::kTestMessageType, 8), nullptr);
        EXPECT_FALSE(ring.EndFrame(nullptr));
    }
    CZkMessageRing ring;
    EXPECT_EQ(ring.Init(257, nullptr), ZK_InvalidParameter) << "a ring needs its dispatcher";
    ASSERT_EQ(ring.Init(257, &m_dispatcher), ZK_Success);
    EXPECT_EQ(ring.Init(257, &m_dispatcher), ZK_InvalidParameter) << "already initialised";
    EXPECT_EQ(ring.LargestMessageBytes(), kLargestMessageEveryRingTakes);
}

TEST_F(MessageRing, BufferAllocationFailureFailsInit)
{
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_EngineSingletons, 1);
    EXPECT_EQ(m_ring.Init(CZkMessageRing::kDefaultCapacityBytes, &m_dispatcher), ZK_Fail);
    EXPECT_FALSE(m_ring.IsInitialized());
}

TEST_F(MessageRing, SizesAreRoundedUpToFourBytes)
{
    Init(1024);
    uint8_t* first = m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 6);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(m_ring.WriterCount(), 1) << "the writer holds its message until it is filled";
    m_ring.FinishMessage();
    EXPECT_EQ(ReadMessageHeader(first).size, 8u);
    EXPECT_EQ(ReadMessageHeader(first).type, ZkRingTest::kTestMessageType);
    EXPECT_EQ(m_ring.WriteOffset(), 8u) << "a 6-byte message occupies 8 bytes";
    uint8_t* second = Post(m_ring, 12, 2);
    EXPECT_EQ(second, first + 8);

    uint32_t size = 13;
    uint8_t* tried = m_ring.TryReserveMessage(size);
    ASSERT_NE(tried, nullptr);
    EXPECT_EQ(size, 16u) << "the lock-free attempt rounds the size in place";
    m_ring.AbandonMessage(tried);
    EXPECT_EQ(m_ring.WriterCount(), 0);
}

TEST_F(MessageRing, RenderAudioOnAnEmptyRingPostsNothingAndWakesNobody)
{
    Init(1024);
    EXPECT_FALSE(m_ring.EndFrame(&m_wake));
    EXPECT_FALSE(m_wake.Wait(0)) << "the engine thread must not be woken";
    EXPECT_EQ(m_ring.PendingFrameCount(), 0);
    EXPECT_TRUE(m_ring.IsEmpty());

    Post(m_ring, 8, 1);
    EXPECT_TRUE(m_ring.EndFrame(&m_wake));
    EXPECT_TRUE(m_wake.Wait(0));
    EXPECT_EQ(m_ring.PendingFrameCount(), 1);
    EXPECT_EQ(m_ring.UsedBytes(), 12u) << "message and frame marker";
}

TEST_F(MessageRing, TheEngineReadsOnlyWholeBatches)
{
    Init(1024);
    Post(m_ring, 8, 1);
    Post(m_ring, 16, 2);
    EXPECT_FALSE(EngineReads()) << "no frame is counted yet";
    EXPECT_TRUE(m_dispatcher.dispatched.empty());

    m_ring.EndFrame(&m_wake);
    Post(m_ring, 8, 3); // after the last frame marker: stays queued
    const uint32_t processedBefore = g_ProcessedItemCount;
    EXPECT_TRUE(EngineReads());
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(g_ProcessedItemCount - processedBefore, 3u) << "two messages and the frame marker";
    EXPECT_EQ(m_ring.PendingFrameCount(), 0);
    EXPECT_EQ(m_ring.UsedBytes(), 8u);

    m_ring.EndFrame(&m_wake);
    m_ring.EndFrame(&m_wake);
    Post(m_ring, 8, 4);
    m_ring.EndFrame(&m_wake);
    EXPECT_EQ(m_ring.PendingFrameCount(), 3);
    EXPECT_TRUE(EngineReads()) << "every counted batch in one call";
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_TRUE(m_ring.IsEmpty());
    EXPECT_EQ(m_ring.PendingFrameCount(), 0);
}

TEST_F(MessageRing, DispatcherReportsDeviceChanges)
{
    Init(1024);
    Post(m_ring, 8, 1, RecordingDispatcher::kDeviceChangeType);
    m_ring.EndFrame(nullptr);
    ZK::Platform::ZkScopedLock lock(g_EngineLock);
    bool deviceChanged = false;
    EXPECT_TRUE(m_ring.ProcessMessages(false, deviceChanged));
    EXPECT_TRUE(deviceChanged);
    EXPECT_FALSE(m_ring.ProcessMessages(false, deviceChanged));
    EXPECT_FALSE(deviceChanged) << "the flag is cleared by every call";
}

TEST_F(MessageRing, AMessageThatDoesNotFitBeforeTheEndGoesToTheStartBehindAWrapMarker)
{
    Init(1024);
    uint8_t* start = Post(m_ring, 200, 1);
    for (uint32_t sequence = 2; sequence <= 4; ++sequence)
        Post(m_ring, 200, sequence);
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    ASSERT_EQ(m_ring.ReadOffset(), 804u);

    // 220 + 4 bytes do not fit in the 220 before the end, but do before the reader.
    uint8_t* wrapped = Post(m_ring, 220, 5);
    EXPECT_EQ(wrapped, start);
    const ZkMessageHeader marker = ReadMessageHeader(start + 804);
    EXPECT_EQ(marker.type, kMessageWrapMarker);
    EXPECT_EQ(marker.size, 220u) << "the marker reaches the buffer end";
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), Sequence(1, 5)) << "the marker is not dispatched";
    EXPECT_EQ(m_ring.ReadOffset(), 224u);
    EXPECT_TRUE(m_ring.IsEmpty());
}

// Post: a body of fixed size, written whole after its header; at the buffer end it takes the same
// wrap as a reserved message. An uninitialised ring posts nothing.
TEST_F(MessageRing, FixedSizePostsWriteTheirWholeBodyAndWrapLikeReservedMessages)
{
    struct Body
    {
        uint32_t sequence;
        uint8_t bytes[192];
    };
    struct LargerBody
    {
        uint32_t sequence;
        uint8_t bytes[208];
    };
    EXPECT_FALSE(m_ring.Post(kTestMessageType, Body{}));
    Init(1024);
    Body body{};
    for (uint32_t i = 0; i < sizeof(body.bytes); ++i)
        body.bytes[i] = static_cast<uint8_t>(i * 3 + 1);
    for (uint32_t sequence = 1; sequence <= 4; ++sequence)
    {
        body.sequence = sequence;
        ASSERT_TRUE(m_ring.Post(kTestMessageType, body));
        EXPECT_EQ(m_ring.WriterCount(), 0) << "the post is finished";
    }
    EXPECT_EQ(m_ring.WriteOffset(), 800u);
    // A reserved message after them (at offset 800) shows where the buffer starts.
    const uint8_t* bufferStart = Post(m_ring, 8, 99) - 800;
    uint8_t expected[200];
    WriteMessageHeader(expected, 200, kTestMessageType);
    std::memcpy(expected + 4, &body, sizeof(body));
    EXPECT_EQ(std::memcmp(bufferStart + 600, expected, sizeof(expected)), 0) << "the fourth post, byte for byte";
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    ASSERT_EQ(m_ring.ReadOffset(), 812u);

    // 216 + 4 bytes do not fit in the 212 before the end: the post goes to the start behind a marker.
    ASSERT_TRUE(m_ring.Post(kTestMessageType, LargerBody{5, {}}));
    EXPECT_EQ(ReadMessageHeader(bufferStart + 812).type, kMessageWrapMarker);
    EXPECT_EQ(m_ring.WriteOffset(), 216u);
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), (std::vector<uint32_t>{1, 2, 3, 4, 99, 5}));
    EXPECT_TRUE(m_ring.IsEmpty());
}

TEST_F(MessageRing, AMessageThatFitsNowhereWaitsForTheWriterToDrainTheRing)
{
    // 1029 bytes: the positions are multiples of 4, so the tail before the end can be 5 bytes.
    Init(1029);
    ASSERT_EQ(m_ring.LargestMessageBytes(), 252u);
    for (uint32_t sequence = 1; sequence <= 4; ++sequence)
        Post(m_ring, 252, sequence);
    Post(m_ring, 12, 5);
    Post(m_ring, 4, 0);
    ASSERT_EQ(m_ring.WriteOffset(), 1024u);
    // The frame marker fits neither in the 5-byte tail nor before the reader (at 0): the writer
    // drains half of the ring itself, under the global engine lock, then wraps.
    EXPECT_TRUE(m_ring.EndFrame(nullptr));
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), Sequence(1, 3));
    EXPECT_EQ(m_ring.WriteOffset(), 4u);
    ASSERT_TRUE(EngineReads());
    ASSERT_EQ(m_dispatcher.dispatched.size(), 6u);
    EXPECT_EQ(m_dispatcher.dispatched[5].size, 4u) << "the header-only message before the 5-byte wrap marker";
    EXPECT_TRUE(m_ring.IsEmpty());
    EXPECT_EQ(m_ring.PendingFrameCount(), 0);
}

TEST_F(MessageRing, AFullRingIsDrainedByTheWriterWithoutLosingOrReordering)
{
    Init(1024);
    constexpr uint32_t kMessages = 400;
    bool drainedWhileFull = false;
    for (uint32_t sequence = 0; sequence < kMessages; ++sequence)
    {
        const size_t before = m_dispatcher.dispatched.size();
        ASSERT_NE(Post(m_ring, 24, sequence), nullptr);
        if (m_dispatcher.dispatched.size() != before)
        {
            drainedWhileFull = true;
            // A drain reads about half of the used bytes: at least 512 / 2 bytes of 24-byte messages.
            EXPECT_GE((m_dispatcher.dispatched.size() - before) * 24, 256u);
        }
    }
    EXPECT_TRUE(drainedWhileFull) << "400 messages of 24 bytes cannot fit 1 KiB without a drain";
    EXPECT_LT(m_dispatcher.dispatched.size(), kMessages) << "the last messages wait for their frame";
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), Sequence(0, kMessages));
}

TEST_F(MessageRing, AWriterDrainStopsAtTheLastCountedFrameMarker)
{
    Init(1024);
    for (uint32_t sequence = 0; sequence < 10; ++sequence)
        Post(m_ring, 24, sequence);
    m_ring.EndFrame(nullptr);
    uint32_t sequence = 10;
    while (m_dispatcher.dispatched.empty())
        ASSERT_NE(Post(m_ring, 24, sequence++), nullptr);
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), Sequence(0, 10)) << "the counted batch, not half the ring";
    EXPECT_EQ(m_ring.PendingFrameCount(), 0);
}

TEST_F(MessageRing, AWriterDrainStopsAtAFrameMarkerNotCountedYet)
{
    Init(1024);
    for (uint32_t sequence = 0; sequence < 5; ++sequence)
        Post(m_ring, 24, sequence);
    // A frame marker whose EndFrame has not counted it: the messages before it may be unfinished.
    ASSERT_NE(m_ring.ReserveMessage(kMessageFrameMarker, 4), nullptr);
    m_ring.FinishMessage();
    for (uint32_t sequence = 5; sequence < 30; ++sequence)
        Post(m_ring, 24, sequence);
    ZK::Platform::ZkScopedLock lock(g_EngineLock);
    bool deviceChanged = false;
    EXPECT_TRUE(m_ring.ProcessMessages(true, deviceChanged));
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), Sequence(0, 5));
    EXPECT_EQ(m_ring.ReadOffset(), 5u * 24u) << "the marker stays unread";
}

TEST_F(MessageRing, AWriterDoesNotDrainARingAtMostHalfFull)
{
    Init(1024);
    for (uint32_t sequence = 0; sequence < 21; ++sequence) // 504 bytes
        Post(m_ring, 24, sequence);
    ZK::Platform::ZkScopedLock lock(g_EngineLock);
    bool deviceChanged = false;
    EXPECT_FALSE(m_ring.ProcessMessages(true, deviceChanged));
    EXPECT_TRUE(m_dispatcher.dispatched.empty());
}

TEST_F(MessageRing, MessagesOfAQuarterOfTheRingOrMoreAreRefusedAtOnce)
{
    Init(1024);
    EXPECT_EQ(m_ring.LargestMessageBytes(), 248u) << "4 x (248 + 4) < 1024";
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 300), nullptr);
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 252), nullptr);
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 249), nullptr) << "rounds to 252";
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 3), nullptr) << "shorter than its header";
    uint32_t tried = 252;
    EXPECT_EQ(m_ring.TryReserveMessage(tried), nullptr);
    EXPECT_EQ(m_ring.WriterCount(), 0);
    EXPECT_TRUE(m_ring.IsEmpty());
    uint8_t* largest = m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 248);
    ASSERT_NE(largest, nullptr);
    m_ring.AbandonMessage(largest);
    m_ring.Term();

    // In a large ring the 16-bit size field is the limit.
    ASSERT_EQ(m_ring.Init(CZkMessageRing::kDefaultCapacityBytes, &m_dispatcher), ZK_Success);
    EXPECT_EQ(m_ring.LargestMessageBytes(), kLargestMessageBytes);
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 0xFFF9), nullptr);
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 0x10004), nullptr) << "would wrap the size field";
    uint32_t tooLarge = 0x20000;
    EXPECT_EQ(m_ring.TryReserveMessage(tooLarge), nullptr);
    EXPECT_EQ(m_ring.WriterCount(), 0);
    uint8_t* message = m_ring.ReserveMessage(ZkRingTest::kTestMessageType, kLargestMessageBytes);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(ReadMessageHeader(message).size, kLargestMessageBytes);
    m_ring.FinishMessage();
}

// The smallest ring, at every position and every filling up to half: the largest message it
// accepts always has room without a drain (so no writer can wait for a drain that never comes),
// and a larger one is refused at once and changes nothing. Every post here is the lock-free attempt
// alone, so a message without room fails the test instead of waiting.
TEST_F(MessageRing, TheLargestAcceptedMessageAlwaysFitsARingAtMostHalfFull)
{
    constexpr uint32_t kCapacity = CZkMessageRing::kMinimumCapacityBytes;
    auto tryPost = [this](uint32_t size, uint32_t sequence) {
        uint32_t rounded = size;
        uint8_t* message = m_ring.TryReserveMessage(rounded);
        if (message == nullptr)
            return false;
        WriteMessageHeader(message, rounded, ZkRingTest::kTestMessageType);
        if (rounded >= 8)
            std::memcpy(message + 4, &sequence, sizeof(sequence));
        m_ring.FinishMessage();
        return true;
    };
    uint32_t checked = 0; // configurations at most half full
    for (uint32_t start = 0; start < kCapacity - 4; start += 4)
    {
        if (start == 4)
            continue; // an empty ring cannot be moved by a single frame marker
        for (uint32_t fill = 0; fill <= kCapacity / 2; fill += 4)
        {
            Init(kCapacity);
            const uint32_t largest = m_ring.LargestMessageBytes();
            ASSERT_EQ(largest, kLargestMessageEveryRingTakes);
            // Both positions at `start`: messages and a frame marker up to there, read by the engine.
            for (uint32_t left = start >= 4 ? start - 4 : 0; left > 0;)
            {
                const uint32_t size = std::min(left, largest);
                ASSERT_TRUE(tryPost(size, 0));
                left -= size;
            }
            m_ring.EndFrame(nullptr);
            EngineReads();
            ASSERT_EQ(m_ring.ReadOffset(), start);
            ASSERT_TRUE(m_ring.IsEmpty());
            m_dispatcher.dispatched.clear();

            // `fill` bytes queued after the reader, in messages the ring accepts.
            uint32_t sequence = 1;
            while (m_ring.UsedBytes() + 4 <= fill)
                ASSERT_TRUE(tryPost(std::min((fill - m_ring.UsedBytes()) & ~3u, largest), sequence++))
                    << "start " << start << ", used " << m_ring.UsedBytes();
            const bool atMostHalfFull = m_ring.UsedBytes() <= kCapacity / 2; // a wrap marker may add its tail
            const uint32_t read = m_ring.ReadOffset();
            const uint32_t write = m_ring.WriteOffset();
            EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, largest + 1), nullptr);
            EXPECT_EQ(m_ring.ReadOffset(), read);
            EXPECT_EQ(m_ring.WriteOffset(), write);
            EXPECT_EQ(m_ring.WriterCount(), 0);
            EXPECT_EQ(m_ring.PendingFrameCount(), 0);

            const bool posted = tryPost(largest, sequence);
            if (atMostHalfFull)
            {
                ++checked;
                ASSERT_TRUE(posted) << "start " << start << ", used " << m_ring.UsedBytes();
            }
            m_ring.EndFrame(nullptr);
            ASSERT_TRUE(EngineReads());
            std::vector<uint32_t> bodies;
            for (const ZkRingTest::RecordedMessage& message : m_dispatcher.dispatched)
                if (message.size >= 8)
                    bodies.push_back(message.sequence);
            if (posted)
            {
                EXPECT_EQ(bodies.back(), sequence) << "the largest message comes last, after every other";
            }
            EXPECT_TRUE(std::is_sorted(bodies.begin(), bodies.end())) << "nothing lost or reordered " << start << " " << fill << " " << testing::PrintToString(bodies);
            EXPECT_TRUE(m_ring.IsEmpty());
            m_ring.Term();
            m_wake.Term();
            m_dispatcher.dispatched.clear();
        }
    }
    EXPECT_GT(checked, 1500u);
}

// An empty ring whose positions sit in the middle: a message that would have to wrap to fit is
// refused at once instead of waiting for a drain of an empty ring.
TEST_F(MessageRing, AnEmptyRingMidwayRefusesAMessageTooLargeForEitherSide)
{
    Init(CZkMessageRing::kMinimumCapacityBytes);
    Post(m_ring, 60, 1);
    Post(m_ring, 60, 2);
    Post(m_ring, 4, 0);
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    ASSERT_EQ(m_ring.ReadOffset(), 128u);
    ASSERT_TRUE(m_ring.IsEmpty());
    EXPECT_EQ(m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 200), nullptr);
    EXPECT_EQ(m_ring.ReadOffset(), 128u);
    EXPECT_EQ(m_ring.WriteOffset(), 128u);
    EXPECT_NE(Post(m_ring, 60, 3), nullptr);
}

TEST_F(MessageRing, AbandonedMessagesAreSkipped)
{
    Init(1024);
    Post(m_ring, 8, 1);
    uint8_t* abandoned = m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 40);
    m_ring.AbandonMessage(abandoned);
    Post(m_ring, 8, 2);
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    EXPECT_EQ(m_dispatcher.DispatchedSequences(), (std::vector<uint32_t>{1, 2}));
    EXPECT_TRUE(m_ring.IsEmpty());
}

TEST_F(MessageRing, TermDiscardsWhatIsStillQueuedAcrossTheWrap)
{
    Init(1024);
    for (uint32_t sequence = 1; sequence <= 4; ++sequence)
        Post(m_ring, 200, sequence);
    m_ring.EndFrame(nullptr);
    ASSERT_TRUE(EngineReads());
    Post(m_ring, 200, 5);     // 804..1004
    m_ring.EndFrame(nullptr); // 1004..1008
    Post(m_ring, 40, 6);      // wraps to the start
    Post(m_ring, 8, 7);
    uint8_t* abandoned = m_ring.ReserveMessage(ZkRingTest::kTestMessageType, 8);
    m_ring.AbandonMessage(abandoned);
    m_ring.Term();
    ASSERT_EQ(m_dispatcher.discarded.size(), 3u) << "markers and abandoned messages hold nothing";
    EXPECT_EQ(m_dispatcher.discarded[0].sequence, 5u);
    EXPECT_EQ(m_dispatcher.discarded[1].sequence, 6u);
    EXPECT_EQ(m_dispatcher.discarded[2].sequence, 7u);
    EXPECT_EQ(m_dispatcher.dispatched.size(), 4u) << "discarded messages are not applied";
}
