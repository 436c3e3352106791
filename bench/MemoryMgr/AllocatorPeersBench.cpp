// Allocator churn against the allocators a game would otherwise pick: 4,096 live blocks per
// thread, each step frees one at random and allocates a new one of a random size from 32 to 128
// bytes (one malloc + free pair), on 1 and 4 threads, each thread with blocks of its own.
//   ours      ZK::MemoryMgr::Malloc / Free (the built-in span allocator, pool 0)
//   glibc     malloc / free
//   mimalloc  mi_malloc / mi_free       (libmimalloc, loaded on its own so it replaces nothing)
//   jemalloc  mallocx / dallocx         (libjemalloc, likewise; its thread-local block needs room in
//             the static TLS area that a library loaded late does not get by default, so the
//             program starts itself again once with that room asked for through GLIBC_TUNABLES)
// Besides the mean cost of a pair, the 99.9th percentile and the maximum time of one pair, timed
// one at a time with the time-stamp counter over a second pass.
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <dlfcn.h>
#include <unistd.h>
#include <x86intrin.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr uint32_t kLiveBlocks = 4096;
constexpr uint32_t kStepsPerIteration = 4096;
constexpr uint32_t kTimedSteps = 200000;
constexpr size_t kSmallestBytes = 32;
constexpr size_t kLargestBytes = 128;

using MallocFn = void* (*)(size_t);
using FreeFn = void (*)(void*);

struct Allocator
{
    MallocFn allocate = nullptr;
    FreeFn release = nullptr;
};

void* OursMalloc(size_t size) { return ZK::MemoryMgr::Malloc(ZkMemID_Default, size); }
void OursFree(void* block) { ZK::MemoryMgr::Free(ZkMemID_Default, block); }

constexpr const char* kStaticTlsTunable = "glibc.rtld.optional_static_tls=65536";

// Runs before main: starts the program again, with the same arguments, with room in the static TLS
// area for a late-loaded jemalloc. Without /proc or on failure the program goes on (jemalloc is then
// reported as not available).
const bool s_staticTlsRoom = [] {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "optional_static_tls"))
        return true;
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> words;
    for (size_t start = 0; start < all.size();)
    {
        const size_t end = all.find('\0', start);
        words.push_back(all.substr(start, end - start));
        start = end == std::string::npos ? all.size() : end + 1;
    }
    if (words.empty())
        return false;
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string value = tunables ? std::string(tunables) + ":" + kStaticTlsTunable : kStaticTlsTunable;
    setenv("GLIBC_TUNABLES", value.c_str(), 1);
    execv("/proc/self/exe", argv.data());
    return false;
}();

// A library loaded with its symbols kept to itself (RTLD_LOCAL, and its own references bound to
// itself first), so it serves only the calls made through the pointers taken from it.
void* LoadLocal(const char* library)
{
    return dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
}

void* g_jemalloc = nullptr;
using MallocxFn = void* (*)(size_t, int);
using DallocxFn = void (*)(void*, int);
MallocxFn g_mallocx = nullptr;
DallocxFn g_dallocx = nullptr;
void* JemallocMalloc(size_t size) { return g_mallocx(size, 0); }
void JemallocFree(void* block) { g_dallocx(block, 0); }

Allocator Contender(const std::string& name)
{
    if (name == "ours")
    {
        EnsureMemoryMgr();
        return {OursMalloc, OursFree};
    }
    if (name == "glibc")
        return {std::malloc, std::free};
    if (name == "mimalloc")
    {
        static void* s_library = LoadLocal("libmimalloc.so.2");
        if (!s_library)
            return {};
        return {reinterpret_cast<MallocFn>(dlsym(s_library, "mi_malloc")), reinterpret_cast<FreeFn>(dlsym(s_library, "mi_free"))};
    }
    if (name == "jemalloc")
    {
        if (!g_jemalloc)
        {
            g_jemalloc = LoadLocal("libjemalloc.so.2");
            if (!g_jemalloc)
                return {};
            g_mallocx = reinterpret_cast<MallocxFn>(dlsym(g_jemalloc, "mallocx"));
            g_dallocx = reinterpret_cast<DallocxFn>(dlsym(g_jemalloc, "dallocx"));
        }
        if (!g_mallocx || !g_dallocx)
            return {};
        return {JemallocMalloc, JemallocFree};
    }
    return {};
}

// Time-stamp counter ticks per nanosecond, measured once against the steady clock.
double TicksPerNanosecond()
{
    static const double s_ticks = [] {
        const auto start = std::chrono::steady_clock::now();
        const uint64_t first = __rdtsc();
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(20))
        {
        }
        const uint64_t last = __rdtsc();
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        return static_cast<double>(last - first) / ns;
    }();
    return s_ticks;
}

struct Script
{
    std::vector<uint32_t> slots;
    std::vector<uint32_t> sizes;
    explicit Script(uint32_t seed, uint32_t length) : slots(length), sizes(length)
    {
        std::mt19937 generator(seed);
        std::uniform_int_distribution<uint32_t> slot(0, kLiveBlocks - 1);
        std::uniform_int_distribution<uint32_t> size(kSmallestBytes, kLargestBytes);
        for (uint32_t i = 0; i < length; ++i)
        {
            slots[i] = slot(generator);
            sizes[i] = size(generator);
        }
    }
};

void Churn(benchmark::State& state, const std::string& name)
{
    const Allocator allocator = Contender(name);
    if (!allocator.allocate || !allocator.release)
    {
        state.SkipWithError("allocator not available");
        return;
    }
    const Script script(1234u + static_cast<uint32_t>(state.thread_index()), kStepsPerIteration);
    std::vector<void*> live(kLiveBlocks);
    for (uint32_t i = 0; i < kLiveBlocks; ++i)
        live[i] = allocator.allocate(script.sizes[i % kStepsPerIteration]);

    PeerBench::NsPerUnit cost(state, "pair");
    uint64_t steps = 0;
    cost.Start();
    for (auto _ : state)
    {
        for (uint32_t i = 0; i < kStepsPerIteration; ++i)
        {
            void*& block = live[script.slots[i]];
            allocator.release(block);
            block = allocator.allocate(script.sizes[i]);
        }
        benchmark::DoNotOptimize(live.data());
        steps += kStepsPerIteration;
    }
    cost.Stop(static_cast<double>(steps));

    // One pair at a time, for the tail of the distribution.
    std::vector<uint32_t> ticks(kTimedSteps);
    for (uint32_t i = 0; i < kTimedSteps; ++i)
    {
        const uint32_t step = i % kStepsPerIteration;
        void*& block = live[script.slots[step]];
        const uint64_t start = __rdtsc();
        allocator.release(block);
        block = allocator.allocate(script.sizes[step]);
        ticks[i] = static_cast<uint32_t>(std::min<uint64_t>(__rdtsc() - start, 0xFFFFFFFFu));
    }
    std::sort(ticks.begin(), ticks.end());
    const double perNs = TicksPerNanosecond();
    state.counters["p999_ns"] = benchmark::Counter(ticks[kTimedSteps * 999 / 1000] / perNs, benchmark::Counter::kAvgThreads);
    state.counters["max_ns"] = benchmark::Counter(ticks.back() / perNs, benchmark::Counter::kAvgThreads);

    for (void* block : live)
        allocator.release(block);
    if (name == "ours")
        ZK::MemoryMgr::TermForThread();
}

constexpr const char* kContenders[] = {"ours", "glibc", "mimalloc", "jemalloc"};

template <int Index>
void ChurnWith(benchmark::State& state)
{
    Churn(state, kContenders[Index]);
}

template <int... Index>
bool Register(std::integer_sequence<int, Index...>)
{
    (PeerBench::PeerRuns("AllocatorChurn/1thread", kContenders[Index], ChurnWith<Index>), ...);
    (PeerBench::PeerRuns("AllocatorChurn/4threads", kContenders[Index], ChurnWith<Index>)->Threads(4)->UseRealTime(), ...);
    return true;
}

const bool s_registered = Register(std::make_integer_sequence<int, 4>{});
} // namespace
