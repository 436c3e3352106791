// Starting and stopping the memory manager many times leaves nothing behind: every page the
// built-in allocator took comes back through the page hooks, and no mapping stays in the process.
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "MemoryMgr/DefaultPageHooks.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

namespace
{
// Page hooks that keep every live mapping, to check that each one is released exactly once and
// with the length it was mapped with.
std::map<uintptr_t, size_t> g_liveMappings;
uint64_t g_decommits = 0;

void* TrackingPageAlloc(size_t size, void** cookie)
{
    void* address = ZK::MemoryMgr::DefaultPageAlloc(size, cookie);
    *cookie = reinterpret_cast<void*>(size); // the cookie comes back to the free hook
    if (address)
        g_liveMappings[reinterpret_cast<uintptr_t>(address)] = size;
    return address;
}

void TrackingPageFree(void* address, size_t size, void* cookie, size_t releaseSize)
{
    if (releaseSize != 0)
    {
        auto found = g_liveMappings.find(reinterpret_cast<uintptr_t>(address));
        ASSERT_NE(found, g_liveMappings.end()) << "release of an address never mapped";
        EXPECT_EQ(found->second, releaseSize);
        EXPECT_EQ(reinterpret_cast<size_t>(cookie), releaseSize);
        g_liveMappings.erase(found);
    }
    else
    {
        ++g_decommits;
    }
    ZK::MemoryMgr::DefaultPageFree(address, size, cookie, releaseSize);
}

bool AddressIsMapped(uintptr_t address)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
    {
        std::istringstream fields(line);
        uintptr_t start = 0;
        uintptr_t end = 0;
        char dash = 0;
        fields >> std::hex >> start >> dash >> end;
        if (address >= start && address < end)
            return true;
    }
    return false;
}

// One round of work touching every path: all classes, large, huge, aligned, shared heap,
// reallocation, and a second thread that allocates and frees without calling TermForThread.
std::vector<uintptr_t> Exercise(int round)
{
    std::vector<void*> blocks;
    std::vector<uintptr_t> addresses;
    for (size_t size = 1; size < 3 * 1024 * 1024; size = size * 3 / 2 + 7)
        blocks.push_back(ZK::MemoryMgr::Malloc(round % 17, size));
    for (uint32_t alignment : {32u, 256u, 4096u, 16384u})
        blocks.push_back(ZK::MemoryMgr::Malign(0, 3000, alignment));
    blocks.push_back(ZK::MemoryMgr::Malloc(ZkMemID_SharedHeap, 500));
    void* grown = ZK::MemoryMgr::Malloc(0, 10);
    for (size_t size = 20; size < 200000; size *= 2)
        grown = ZK::MemoryMgr::Realloc(0, grown, size);
    blocks.push_back(grown);
    std::thread worker([&] {
        std::vector<void*> own;
        for (int index = 0; index < 3000; ++index)
            own.push_back(ZK::MemoryMgr::Malloc(0, 16 + index % 900));
        addresses.push_back(reinterpret_cast<uintptr_t>(own.front()));
        for (void* block : own)
            ZK::MemoryMgr::Free(0, block);
    });
    worker.join();
    for (void* block : blocks)
    {
        EXPECT_NE(block, nullptr);
        addresses.push_back(reinterpret_cast<uintptr_t>(block));
        ZK::MemoryMgr::Free(0, block);
    }
    return addresses;
}
} // namespace

TEST(MemoryMgrLifecycle, ManyStartsAndStopsGiveBackEveryMapping)
{
    const uint64_t baseline = ZkMemoryTest::MappedBytes();
    for (int round = 0; round < 30; ++round)
    {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        settings.pageAllocHook = TrackingPageAlloc;
        settings.pageFreeHook = TrackingPageFree;
        ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        ASSERT_TRUE(ZK::MemoryMgr::IsInitialized());
        const std::vector<uintptr_t> addresses = Exercise(round);
        ZK::MemoryMgr::Term();
        ASSERT_FALSE(ZK::MemoryMgr::IsInitialized());
        EXPECT_TRUE(g_liveMappings.empty()) << g_liveMappings.size() << " mappings left in round " << round;
        EXPECT_EQ(ZkMemoryTest::MappedBytes(), baseline) << "round " << round;
        g_liveMappings.clear();
    }
    EXPECT_GT(g_decommits, 0u); // spans given back one by one were decommitted first
}

TEST(MemoryMgrLifecycle, TermReturnsEveryMappingToTheSystem)
{
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    const std::vector<uintptr_t> addresses = Exercise(1);
    // Freed small blocks stay mapped in their heaps' spans until Term (huge ones went at once).
    EXPECT_GT(std::count_if(addresses.begin(), addresses.end(), AddressIsMapped), 10);
    ZK::MemoryMgr::Term();
    for (uintptr_t address : addresses)
        EXPECT_FALSE(AddressIsMapped(address)) << std::hex << address;
}

TEST(MemoryMgrLifecycle, ConfiguredPageAndSpanSizes)
{
    // A page larger than the span: heaps fill a whole page and mappings must still be span-aligned
    // although the system maps at 4 KiB.
    for (uint32_t pageSize : {256u, 1u << 20, 3000u})
    {
        const uint64_t baseline = ZkMemoryTest::MappedBytes();
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        settings.pageSize = pageSize;
        ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        const auto& allocator = ZK::SpanAlloc::CZkSpanAllocator::Instance(0);
        EXPECT_EQ(allocator.PageSize(), pageSize == 3000u ? 2048u : pageSize);
        Exercise(2);
        ZK::MemoryMgr::Term();
        EXPECT_EQ(ZkMemoryTest::MappedBytes(), baseline) << pageSize;
    }
}
