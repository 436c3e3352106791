// Threads and the built-in allocator: frees from other threads, heaps handed over at
// TermForThread, and several threads allocating and freeing each other's blocks at once.
// Threads are sequenced with joins and barriers only.
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <set>
#include <thread>
#include <vector>

using ZkMemoryTest::BuiltInMemoryTest;
using ZkMemoryTest::Fill;
using ZkMemoryTest::Holds;

namespace
{
class ThreadedSpanAllocator : public BuiltInMemoryTest
{
};

ZK::SpanAlloc::ZkSpanHeap* CurrentHeap()
{
    return ZK::SpanAlloc::CZkSpanAllocator::Instance(0).CurrentThreadHeapIfAny();
}
} // namespace

TEST_F(ThreadedSpanAllocator, BlockFreedByAnotherThreadIsReusedAfterTheOwnersNextRefill)
{
    constexpr size_t kSize = 720; // a class nothing else in this test uses
    const uint32_t perSpan = (65536 - 128) / kSize;
    void* first = ZK::MemoryMgr::Malloc(0, kSize);
    std::vector<void*> keep;
    for (int index = 0; index < 5; ++index)
        keep.push_back(ZK::MemoryMgr::Malloc(0, kSize));

    std::thread other([first] { ZK::MemoryMgr::Free(0, first); });
    other.join();

    const uint64_t mapped = ZkMemoryTest::MappedBytes();
    bool reused = false;
    for (uint32_t index = 0; index < perSpan && !reused; ++index)
    {
        void* block = ZK::MemoryMgr::Malloc(0, kSize);
        ASSERT_NE(block, nullptr);
        reused = block == first;
        keep.push_back(block);
    }
    EXPECT_TRUE(reused) << "the block freed by the other thread never came back";
    EXPECT_EQ(ZkMemoryTest::MappedBytes(), mapped);
    for (void* block : keep)
        ZK::MemoryMgr::Free(0, block);
}

TEST_F(ThreadedSpanAllocator, SpansFreedWhollyByAnotherThreadAreReused)
{
    // Many full spans, every block freed by another thread: the spans come back to the owner
    // through its deferred span list, and allocating the same again maps nothing new.
    std::vector<void*> blocks;
    for (int index = 0; index < 20000; ++index)
        blocks.push_back(ZK::MemoryMgr::Malloc(0, 64));
    void* large = ZK::MemoryMgr::Malloc(0, 200000);
    const uint64_t mappedWithoutHuge = ZkMemoryTest::MappedBytes();
    void* huge = ZK::MemoryMgr::Malloc(0, 3 * 1024 * 1024);

    std::thread other([&] {
        for (void* block : blocks)
            ZK::MemoryMgr::Free(0, block);
        ZK::MemoryMgr::Free(0, large);
        ZK::MemoryMgr::Free(0, huge);
        ZK::MemoryMgr::TermForThread();
    });
    other.join();

    // The new blocks are the freed ones, but for those the class still had in its own free list.
    const uint32_t perSpan = (65536 - 128) / 64;
    const std::set<void*> freed(blocks.begin(), blocks.end());
    size_t reused = 0;
    for (void*& block : blocks)
    {
        block = ZK::MemoryMgr::Malloc(0, 64);
        reused += freed.count(block);
    }
    EXPECT_GE(reused, blocks.size() - perSpan);
    EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 200000), large);
    // The huge block was given back by its owner once it saw it; nothing new was mapped.
    EXPECT_LE(ZkMemoryTest::MappedBytes(), mappedWithoutHuge);
    for (void* block : blocks)
        ZK::MemoryMgr::Free(0, block);
    ZK::MemoryMgr::Free(0, large);
}

TEST_F(ThreadedSpanAllocator, HeapHandedOverAtTermForThreadIsTakenByALaterThread)
{
    ZK::SpanAlloc::ZkSpanHeap* firstHeap = nullptr;
    void* kept = nullptr;
    std::thread first([&] {
        ZK::MemoryMgr::InitForThread();
        kept = ZK::MemoryMgr::Malloc(0, 300);
        Fill(kept, 300, 77);
        firstHeap = CurrentHeap();
        ZK::MemoryMgr::TermForThread();
        EXPECT_EQ(CurrentHeap(), nullptr);
    });
    first.join();
    ASSERT_NE(firstHeap, nullptr);

    ZK::SpanAlloc::ZkSpanHeap* laterHeap = nullptr;
    void* next = nullptr;
    std::thread later([&] {
        ZK::MemoryMgr::InitForThread();
        next = ZK::MemoryMgr::Malloc(0, 300);
        laterHeap = CurrentHeap();
        // The adopted heap's blocks are now this thread's own.
        EXPECT_TRUE(Holds(kept, 300, 77));
        ZK::MemoryMgr::Free(0, kept);
        ZK::MemoryMgr::Free(0, next);
        ZK::MemoryMgr::TermForThread();
    });
    later.join();
    EXPECT_EQ(laterHeap, firstHeap);
    // The next block of the partly used span follows the kept one.
    EXPECT_EQ(static_cast<char*>(next), static_cast<char*>(kept) + 304);
}

TEST_F(ThreadedSpanAllocator, TermForThreadWithoutAnyAllocationIsHarmless)
{
    std::thread idle([] {
        ZK::MemoryMgr::InitForThread();
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::TermForThread();
        EXPECT_EQ(CurrentHeap(), nullptr);
    });
    idle.join();
    void* block = ZK::MemoryMgr::Malloc(0, 10);
    EXPECT_NE(block, nullptr);
    ZK::MemoryMgr::Free(0, block);
}

TEST_F(ThreadedSpanAllocator, FourThreadsFreeingEachOthersBlocks)
{
    constexpr int kThreads = 4;
    constexpr int kBlocks = 4000;
    constexpr int kRounds = 3;
    std::vector<std::vector<void*>> owned(kThreads);
    std::barrier sync(kThreads);
    auto body = [&](int self) {
        ZK::MemoryMgr::InitForThread();
        const int neighbour = (self + 1) % kThreads;
        for (int round = 0; round < kRounds; ++round)
        {
            for (int index = 0; index < kBlocks; ++index)
            {
                const size_t size = 1 + (index * 37 + self * 11) % (index % 50 == 0 ? 70000 : 2000);
                void* block = ZK::MemoryMgr::Malloc(0, size);
                ASSERT_NE(block, nullptr);
                Fill(block, std::min<size_t>(size, 64), static_cast<uint8_t>(self));
                owned[self].push_back(block);
            }
            sync.arrive_and_wait();
            // Free the neighbour's blocks while the neighbour frees someone else's.
            for (size_t index = 0; index < owned[neighbour].size(); ++index)
            {
                void* block = owned[neighbour][index];
                const size_t size = 1 + (index * 37 + neighbour * 11) % (index % 50 == 0 ? 70000 : 2000);
                EXPECT_TRUE(Holds(block, std::min<size_t>(size, 64), static_cast<uint8_t>(neighbour)));
                ZK::MemoryMgr::Free(0, block);
            }
            sync.arrive_and_wait();
            owned[neighbour].clear();
            sync.arrive_and_wait();
        }
        ZK::MemoryMgr::TermForThread();
    };
    std::vector<std::thread> threads;
    for (int self = 0; self < kThreads; ++self)
        threads.emplace_back(body, self);
    for (std::thread& thread : threads)
        thread.join();
}

// A thread that allocated before a Term and a new Init (its heap went with the old mappings) gets
// a heap of the new instance at its next allocation, not the one it remembers.
TEST_F(ThreadedSpanAllocator, ThreadThatOutlivesTermAndInitTakesAHeapOfTheNewInstance)
{
    std::barrier step(2);
    ZK::SpanAlloc::ZkSpanHeap* before = nullptr;
    ZK::SpanAlloc::ZkSpanHeap* after = nullptr;
    bool holds = false;
    std::thread worker([&] {
        void* block = ZK::MemoryMgr::Malloc(0, 96);
        ZK::MemoryMgr::Free(0, block);
        before = CurrentHeap();
        step.arrive_and_wait(); // the main thread terminates and initialises again
        step.arrive_and_wait();
        void* again = ZK::MemoryMgr::Malloc(0, 96);
        Fill(again, 96, 31);
        holds = Holds(again, 96, 31);
        after = CurrentHeap();
        ZK::MemoryMgr::Free(0, again);
        ZK::MemoryMgr::TermForThread();
    });
    step.arrive_and_wait();
    ZK::MemoryMgr::Term();
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    step.arrive_and_wait();
    worker.join();
    EXPECT_NE(before, nullptr);
    EXPECT_NE(after, nullptr);
    EXPECT_TRUE(holds);
}
