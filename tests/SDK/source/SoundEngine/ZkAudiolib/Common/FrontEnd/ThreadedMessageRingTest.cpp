// The message ring under concurrency: four writer threads post and close frames while an engine
// thread reads, in a ring small enough that writers wrap and drain it themselves. Every message
// must arrive once, whole, and in its writer's order.
#include "MessageRingTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <thread>
#include <vector>

using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;

namespace
{
constexpr uint32_t kWriters = 4;
constexpr uint32_t kMessagesPerWriter = 20000;
constexpr uint32_t kMessagesPerFrame = 37;

uint8_t FillerByte(uint32_t writer, uint32_t sequence, uint32_t index)
{
    return static_cast<uint8_t>(writer * 31 + sequence * 7 + index);
}

// Checks each message against what its writer wrote. Runs under the global engine lock (the
// engine thread's reads and the writers' drains), which also guards its counters.
class CheckingDispatcher : public IZkMessageDispatcher
{
public:
    void Dispatch(const uint8_t* message, bool&) override
    {
        const ZkMessageHeader header = ReadMessageHeader(message);
        uint32_t writer = 0;
        uint32_t sequence = 0;
        std::memcpy(&writer, message + 4, 4);
        std::memcpy(&sequence, message + 8, 4);
        if (header.type != ZkRingTest::kTestMessageType || writer >= kWriters || sequence != nextSequence[writer])
        {
            ++faults;
            return;
        }
        ++nextSequence[writer];
        for (uint32_t index = 12; index < header.size; ++index)
        {
            if (message[index] != FillerByte(writer, sequence, index))
            {
                ++faults;
                break;
            }
        }
        ++received;
        if (std::this_thread::get_id() != engineThread)
            ++drainedByWriters;
    }
    void Discard(const uint8_t*) override { ++discarded; }

    std::array<uint32_t, kWriters> nextSequence{};
    uint32_t received = 0;
    uint32_t faults = 0;
    uint32_t discarded = 0;
    uint32_t drainedByWriters = 0; // messages a writer applied while draining a full ring
    std::thread::id engineThread;
};

// A fixed-size body as Post writes it: writer, sequence and filler bytes (message offsets 12 on).
struct FixedBody
{
    uint32_t writer;
    uint32_t sequence;
    uint8_t filler[20];
};

void Writer(CZkMessageRing& ring, ZK::Platform::ZkEvent& wake, uint32_t writer, bool fixedSize)
{
    ZK::MemoryMgr::InitForThread();
    for (uint32_t sequence = 0; sequence < kMessagesPerWriter; ++sequence)
    {
        if (fixedSize)
        {
            FixedBody body{writer, sequence, {}};
            for (uint32_t index = 0; index < sizeof(body.filler); ++index)
                body.filler[index] = FillerByte(writer, sequence, 12 + index);
            if (!ring.Post(ZkRingTest::kTestMessageType, body))
                break;
        }
        else
        {
            const uint32_t size = 12 + ((sequence + writer) % 13) * 6; // 12 to 84 bytes, many not multiples of 4
            uint8_t* message = ring.ReserveMessage(ZkRingTest::kTestMessageType, size);
            if (message == nullptr)
                break; // reported by the dispatcher's count
            std::memcpy(message + 4, &writer, 4);
            std::memcpy(message + 8, &sequence, 4);
            for (uint32_t index = 12; index < RoundMessageSize(size); ++index)
                message[index] = FillerByte(writer, sequence, index);
            ring.FinishMessage();
        }
        if (sequence % kMessagesPerFrame == kMessagesPerFrame - 1)
            ring.EndFrame(&wake);
    }
    ZK::MemoryMgr::TermForThread();
}

// Four writers and the engine thread on one ring; every message checked on arrival.
void FourWritersAndTheEngine(uint32_t capacity, bool fixedSize)
{
    CheckingDispatcher dispatcher;
    CZkMessageRing ring;
    ASSERT_EQ(ring.Init(capacity, &dispatcher), ZK_Success);
    ZK::Platform::ZkEvent wake;
    ASSERT_TRUE(wake.Init(ZK::Platform::EventReset::Auto));

    std::thread engine([&] {
        {
            ZK::Platform::ZkScopedLock lock(g_EngineLock);
            dispatcher.engineThread = std::this_thread::get_id();
        }
        for (;;)
        {
            wake.Wait();
            ZK::Platform::ZkScopedLock lock(g_EngineLock);
            bool deviceChanged = false;
            ring.ProcessMessages(false, deviceChanged);
            if (dispatcher.received + dispatcher.faults >= kWriters * kMessagesPerWriter)
                return;
        }
    });
    std::vector<std::thread> writers;
    for (uint32_t writer = 0; writer < kWriters; ++writer)
        writers.emplace_back(Writer, std::ref(ring), std::ref(wake), writer, fixedSize);
    for (std::thread& writer : writers)
        writer.join();
    // Close the last batch, and wake the engine even if the writers' drains left nothing to post.
    ring.EndFrame(&wake);
    wake.Set();
    engine.join();

    EXPECT_EQ(dispatcher.faults, 0u);
    EXPECT_EQ(dispatcher.received, kWriters * kMessagesPerWriter);
    for (uint32_t writer = 0; writer < kWriters; ++writer)
        EXPECT_EQ(dispatcher.nextSequence[writer], kMessagesPerWriter) << "writer " << writer;
    EXPECT_TRUE(ring.IsEmpty());
    EXPECT_EQ(ring.WriterCount(), 0);
    // How the work was shared depends on the scheduler; recorded for whoever reads the results.
    testing::Test::RecordProperty("DrainedByWriters", static_cast<int>(dispatcher.drainedByWriters));
    ring.Term();
    EXPECT_EQ(dispatcher.discarded, 0u);
    wake.Term();
}
} // namespace

using ThreadedMessageRing = EngineMemoryTest;

TEST_F(ThreadedMessageRing, FourWritersAndTheEngineLoseAndReorderNothing)
{
    FourWritersAndTheEngine(4096, false);
}

// Fixed-size posts into a 1 KiB ring, full most of the time: writers wait for the engine's batches
// (published once per batch) and drain the ring themselves.
TEST_F(ThreadedMessageRing, FixedSizePostsIntoAFullRingLoseAndReorderNothing)
{
    FourWritersAndTheEngine(1024, true);
}
