// Small-block allocation throughput: the memory manager's built-in span allocator against the
// system's malloc, side by side in one process. One thread allocating and freeing its own blocks,
// and four threads whose blocks are mostly freed by another thread.
#include "Support/BenchMemory.h"
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>

namespace
{
constexpr int kBatchBlocks = 256;
constexpr size_t kSmallestBytes = 16;
constexpr size_t kSizeSpreadBytes = 497; // sizes 16..512

size_t BlockSize(int index) { return kSmallestBytes + (size_t(index) * 37) % kSizeSpreadBytes; }

struct SpanAllocator
{
    static void* Allocate(size_t size) { return ZK::MemoryMgr::Malloc(ZkMemID_Default, size); }
    static void Release(void* block) { ZK::MemoryMgr::Free(ZkMemID_Default, block); }
    static void ThreadEnd() { ZK::MemoryMgr::TermForThread(); }
};

struct SystemMalloc
{
    static void* Allocate(size_t size) { return std::malloc(size); }
    static void Release(void* block) { std::free(block); }
    static void ThreadEnd() {}
};

template <typename Allocator>
void OneThreadBatches(benchmark::State& state)
{
    EnsureMemoryMgr();
    void* blocks[kBatchBlocks];
    for (auto _ : state)
    {
        for (int index = 0; index < kBatchBlocks; ++index)
            blocks[index] = Allocator::Allocate(BlockSize(index));
        benchmark::DoNotOptimize(blocks);
        for (int index = 0; index < kBatchBlocks; ++index)
            Allocator::Release(blocks[index]);
    }
    state.SetItemsProcessed(state.iterations() * kBatchBlocks);
    Allocator::ThreadEnd();
}

// Each thread allocates a batch, swaps it into a shared slot and frees whatever batch it took out,
// usually another thread's: most frees cross threads.
struct Batch
{
    void* blocks[kBatchBlocks];
};

template <typename Allocator>
std::atomic<Batch*>& HandOverSlot()
{
    static std::atomic<Batch*> s_slot{nullptr};
    return s_slot;
}

template <typename Allocator>
void FreeBatch(Batch* batch)
{
    if (!batch)
        return;
    for (void* block : batch->blocks)
        Allocator::Release(block);
    Allocator::Release(batch);
}

template <typename Allocator>
void CrossThreadBatches(benchmark::State& state)
{
    EnsureMemoryMgr();
    std::atomic<Batch*>& slot = HandOverSlot<Allocator>();
    for (auto _ : state)
    {
        auto* batch = static_cast<Batch*>(Allocator::Allocate(sizeof(Batch)));
        for (int index = 0; index < kBatchBlocks; ++index)
            batch->blocks[index] = Allocator::Allocate(BlockSize(index));
        FreeBatch<Allocator>(slot.exchange(batch, std::memory_order_acq_rel));
    }
    FreeBatch<Allocator>(slot.exchange(nullptr, std::memory_order_acq_rel));
    state.SetItemsProcessed(state.iterations() * (kBatchBlocks + 1));
    Allocator::ThreadEnd();
}
} // namespace

BENCHMARK(OneThreadBatches<SpanAllocator>)->Name("SmallBlocks/OneThread/SpanAllocator");
BENCHMARK(OneThreadBatches<SystemMalloc>)->Name("SmallBlocks/OneThread/SystemMalloc");
BENCHMARK(CrossThreadBatches<SpanAllocator>)->Name("SmallBlocks/CrossThreadFree/SpanAllocator")->Threads(4)->UseRealTime();
BENCHMARK(CrossThreadBatches<SystemMalloc>)->Name("SmallBlocks/CrossThreadFree/SystemMalloc")->Threads(4)->UseRealTime();
