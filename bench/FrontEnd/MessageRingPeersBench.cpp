// The engine's message ring against the queues a game would otherwise pick, one 24-byte message
// (a game-parameter change: header and a 20-byte body) at a time:
//   post    one thread posts 1,024 messages (timed), then they are read (not timed)
//   read    one thread posts 1,024 messages and closes the frame (not timed), then reads them (timed)
//   writer  a writer posts while a reader consumes beside it on its own thread; the writer's time
//           per message. Ours closes a frame every 64 messages (RenderAudio) and the engine thread
//           sleeps until it is woken for a frame; the peers' reader polls without sleeping.
// Peers: boost::lockfree::spsc_queue (single writer, single reader, fixed capacity) and a
// std::deque behind a std::mutex. The ring is multi-writer; the spsc queue is not.
#include "RingWithEngine.h"
#include "Support/PeerRatios.h"

#include <boost/lockfree/spsc_queue.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <immintrin.h>

namespace
{
using namespace RingBench;
using ZK::SoundEngine::CZkMessageRing;

constexpr uint32_t kBatchMessages = 1024;
constexpr size_t kQueueCapacity = CZkMessageRing::kDefaultCapacityBytes / 24;

// The peers carry the same 24 bytes: a header word and the body.
struct PeerMessage
{
    uint16_t size;
    uint16_t type;
    uint32_t parameter;
    uint64_t gameObject;
    float value;
    uint32_t transition;
};
static_assert(sizeof(PeerMessage) == 24, "the peers' message matches ours");

#pragma pack(push, 1)
struct PackedBody // the ring's body: 20 bytes, no padding
{
    uint64_t gameObject;
    uint32_t parameter;
    float value;
    uint32_t transition;
};
#pragma pack(pop)
static_assert(sizeof(PackedBody) == 20, "header + body = 24 bytes");
static_assert(offsetof(PackedBody, value) + 4 == kValueOffset, "the dispatcher reads the value");

PackedBody MakeBody(uint32_t i) { return {0x1000u + (i & 7u), 0x2000u + i, static_cast<float>(i & 255u), 0}; }
PeerMessage MakePeerMessage(uint32_t i) { return {24, kMessageType, 0x2000u + i, 0x1000u + (i & 7u), static_cast<float>(i & 255u), 0}; }

struct OneThreadRing
{
    RingWithEngine ring{false};
    void Post(uint32_t i) { ring.ring.Post(kMessageType, MakeBody(i)); }
    void Read()
    {
        ring.ring.EndFrame(nullptr);
        ring.ReadFrames();
    }
};

struct OneThreadSpsc
{
    boost::lockfree::spsc_queue<PeerMessage, boost::lockfree::capacity<kQueueCapacity>> queue;
    double sum = 0.0;
    void Post(uint32_t i) { queue.push(MakePeerMessage(i)); }
    void Read()
    {
        queue.consume_all([this](const PeerMessage& m) { sum += m.value; });
    }
};

struct OneThreadMutexDeque
{
    std::mutex mutex;
    std::deque<PeerMessage> queue;
    std::deque<PeerMessage> taken;
    double sum = 0.0;
    void Post(uint32_t i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(MakePeerMessage(i));
    }
    void Read()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            taken.swap(queue);
        }
        for (const PeerMessage& m : taken)
            sum += m.value;
        taken.clear();
    }
};

// timePosts: the posts are timed, else the reads.
template <typename Queue, bool TimePosts>
void OneThread(benchmark::State& state)
{
    auto queue = std::make_unique<Queue>();
    PeerBench::NsPerUnit cost(state, TimePosts ? "post" : "read");
    std::chrono::steady_clock::duration timed{};
    uint64_t messages = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        for (uint32_t i = 0; i < kBatchMessages; ++i)
            queue->Post(i);
        auto middle = std::chrono::steady_clock::now();
        queue->Read();
        auto end = std::chrono::steady_clock::now();
        timed += TimePosts ? middle - start : end - middle;
        messages += kBatchMessages;
    }
    state.counters[TimePosts ? "ns_per_post" : "ns_per_read"] =
        std::chrono::duration<double, std::nano>(timed).count() / static_cast<double>(messages);
}

// The writer beside a reader on its own thread.
struct RingWriter
{
    RingWithEngine engine{true};
    uint32_t posted = 0;
    void Post(uint32_t i)
    {
        engine.ring.Post(kMessageType, MakeBody(i));
        if (++posted % kMessagesPerFrame == 0)
            engine.ring.EndFrame(&engine.wake);
    }
};

struct SpscWithReader
{
    boost::lockfree::spsc_queue<PeerMessage, boost::lockfree::capacity<kQueueCapacity>> queue;
    std::atomic<bool> quit{false};
    double sum = 0.0;
    std::thread reader;
    SpscWithReader()
    {
        reader = std::thread([this] {
            while (!quit.load(std::memory_order_acquire))
                if (queue.consume_all([this](const PeerMessage& m) { sum += m.value; }) == 0)
                    _mm_pause();
        });
    }
    ~SpscWithReader()
    {
        quit.store(true, std::memory_order_release);
        reader.join();
    }
    void Post(uint32_t i)
    {
        while (!queue.push(MakePeerMessage(i)))
            _mm_pause();
    }
};

struct MutexDequeWithReader
{
    std::mutex mutex;
    std::deque<PeerMessage> queue;
    std::atomic<bool> quit{false};
    double sum = 0.0;
    std::thread reader;
    MutexDequeWithReader()
    {
        reader = std::thread([this] {
            std::deque<PeerMessage> taken;
            while (!quit.load(std::memory_order_acquire))
            {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    taken.swap(queue);
                }
                if (taken.empty())
                    _mm_pause();
                for (const PeerMessage& m : taken)
                    sum += m.value;
                taken.clear();
            }
        });
    }
    ~MutexDequeWithReader()
    {
        quit.store(true, std::memory_order_release);
        reader.join();
    }
    void Post(uint32_t i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(MakePeerMessage(i));
    }
};

template <typename Queue>
void WriterBesideReader(benchmark::State& state)
{
    auto queue = std::make_unique<Queue>();
    PeerBench::MeasurePerUnit(state, "message", kBatchMessages, [&] {
        for (uint32_t i = 0; i < kBatchMessages; ++i)
            queue->Post(i);
    });
}

const bool s_registered = [] {
    PeerBench::PeerRuns("MessageRing/post", "ours", OneThread<OneThreadRing, true>);
    PeerBench::PeerRuns("MessageRing/post", "spsc_queue", OneThread<OneThreadSpsc, true>);
    PeerBench::PeerRuns("MessageRing/post", "mutex_deque", OneThread<OneThreadMutexDeque, true>);
    PeerBench::PeerRuns("MessageRing/read", "ours", OneThread<OneThreadRing, false>);
    PeerBench::PeerRuns("MessageRing/read", "spsc_queue", OneThread<OneThreadSpsc, false>);
    PeerBench::PeerRuns("MessageRing/read", "mutex_deque", OneThread<OneThreadMutexDeque, false>);
    PeerBench::PeerRuns("MessageRing/writer_beside_reader", "ours", WriterBesideReader<RingWriter>)->UseRealTime();
    PeerBench::PeerRuns("MessageRing/writer_beside_reader", "spsc_queue", WriterBesideReader<SpscWithReader>)->UseRealTime();
    PeerBench::PeerRuns("MessageRing/writer_beside_reader", "mutex_deque", WriterBesideReader<MutexDequeWithReader>)->UseRealTime();
    return true;
}();
} // namespace
