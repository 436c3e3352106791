// Init, Term and the forwarding of every call to the hooks of the settings copy.
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "MemoryMgr/DefaultPageHooks.h"
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct HookCall
{
    const char* name;
    ZkMemoryId memId;
    void* block;
    size_t size;
    uint32_t alignment;
};

std::vector<HookCall> g_calls;
char g_fakeBlock[64];

void* RecordMalloc(ZkMemoryId id, size_t size)
{
    g_calls.push_back({"malloc", id, nullptr, size, 0});
    return g_fakeBlock;
}
void* RecordMalign(ZkMemoryId id, size_t size, uint32_t alignment)
{
    g_calls.push_back({"malign", id, nullptr, size, alignment});
    return g_fakeBlock;
}
void* RecordRealloc(ZkMemoryId id, void* block, size_t size)
{
    g_calls.push_back({"realloc", id, block, size, 0});
    return g_fakeBlock;
}
void* RecordReallocAligned(ZkMemoryId id, void* block, size_t size, uint32_t alignment)
{
    g_calls.push_back({"reallocAligned", id, block, size, alignment});
    return g_fakeBlock;
}
void RecordFree(ZkMemoryId id, void* block) { g_calls.push_back({"free", id, block, 0, 0}); }
void RecordInitThread() { g_calls.push_back({"initThread", 0, nullptr, 0, 0}); }
void RecordTermThread() { g_calls.push_back({"termThread", 0, nullptr, 0, 0}); }

ZkMemSettings CallerHookSettings()
{
    ZkMemSettings settings = ZkMemoryTest::SettingsWithAllocationHooks(RecordMalloc, RecordMalign, RecordRealloc,
                                                                       RecordReallocAligned, RecordFree);
    settings.initForThreadHook = RecordInitThread;
    settings.termForThreadHook = RecordTermThread;
    return settings;
}

class MemoryMgrInit : public ::testing::Test
{
protected:
    void TearDown() override
    {
        ZK::MemoryMgr::Term();
        g_calls.clear();
    }
};
} // namespace

TEST_F(MemoryMgrInit, DefaultSettingsHoldOnlyThePageHooks)
{
    ZkMemSettings settings;
    std::memset(&settings, 0xAB, sizeof(settings));
    ZK::MemoryMgr::GetDefaultSettings(settings);
    EXPECT_EQ(settings.pageAllocHook, &ZK::MemoryMgr::DefaultPageAlloc);
    EXPECT_EQ(settings.pageFreeHook, &ZK::MemoryMgr::DefaultPageFree);
    ZkMemSettings expected;
    std::memset(&expected, 0, sizeof(expected));
    expected.pageAllocHook = settings.pageAllocHook;
    expected.pageFreeHook = settings.pageFreeHook;
    EXPECT_EQ(std::memcmp(&settings, &expected, sizeof(settings)), 0);
}

TEST_F(MemoryMgrInit, RefusesNullSettingsAndIncompleteOrMixedHooks)
{
    struct Case
    {
        const char* what;
        void (*change)(ZkMemSettings&);
    };
    const Case cases[] = {
        {"malloc set, free missing", [](ZkMemSettings& s) { s.freeHook = nullptr; }},
        {"malloc set, malign missing", [](ZkMemSettings& s) { s.malignHook = nullptr; }},
        {"malloc set, realloc missing", [](ZkMemSettings& s) { s.reallocHook = nullptr; }},
        {"malloc set, reallocAligned missing", [](ZkMemSettings& s) { s.reallocAlignedHook = nullptr; }},
        {"malloc null, free set", [](ZkMemSettings& s) { s.mallocHook = nullptr; }},
        {"malloc null, only blockSize set",
         [](ZkMemSettings& s) {
             s.mallocHook = nullptr;
             s.malignHook = nullptr;
             s.reallocHook = nullptr;
             s.reallocAlignedHook = nullptr;
             s.freeHook = nullptr;
             s.blockSizeHook = [](ZkMemoryId, void*) -> size_t { return 0; };
         }},
    };
    EXPECT_EQ(ZK::MemoryMgr::Init(nullptr), ZK_Fail);
    EXPECT_FALSE(ZK::MemoryMgr::IsInitialized());
    for (const Case& testCase : cases)
    {
        ZkMemSettings settings = CallerHookSettings();
        testCase.change(settings);
        EXPECT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Fail) << testCase.what;
        EXPECT_FALSE(ZK::MemoryMgr::IsInitialized()) << testCase.what;
    }
}

TEST_F(MemoryMgrInit, MallocNullWithThreadAndMappedHooksSetIsAccepted)
{
    // The thread hooks and the mapped-bytes hook are overwritten by the built-in ones, not refused.
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    settings.initForThreadHook = RecordInitThread;
    settings.mappedBytesHook = []() -> size_t { return 12345; };
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    ZK::MemoryMgr::InitForThread();
    EXPECT_TRUE(g_calls.empty());
    EXPECT_NE(ZK::MemoryMgr::GetMappedBytes(), 12345u);
}

TEST_F(MemoryMgrInit, SecondInitSucceedsAndKeepsTheFirstSettings)
{
    ZkMemSettings callerHooks = CallerHookSettings();
    ASSERT_EQ(ZK::MemoryMgr::Init(&callerHooks), ZK_Success);
    ZkMemSettings defaults;
    ZK::MemoryMgr::GetDefaultSettings(defaults);
    EXPECT_EQ(ZK::MemoryMgr::Init(&defaults), ZK_Success);
    EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 8), g_fakeBlock);
    ASSERT_EQ(g_calls.size(), 1u);
}

TEST_F(MemoryMgrInit, CallerHooksReceiveEveryCallWithTheIdUnchanged)
{
    ZkMemSettings settings = CallerHookSettings();
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    const ZkMemoryId ids[] = {0, 7, 16, ZkMemID_SharedHeap | 5, ZkMemID_SecondInstance | 2,
                              ZkMemID_SharedHeap | ZkMemID_SecondInstance | 0x1FFFFFFF,
                              static_cast<ZkMemoryId>(0x80000000u | 4)};
    for (ZkMemoryId id : ids)
    {
        g_calls.clear();
        ZK::MemoryMgr::Malloc(id, 10);
        ZK::MemoryMgr::Malign(id, 20, 64);
        ZK::MemoryMgr::Realloc(id, g_fakeBlock, 30);
        ZK::MemoryMgr::ReallocAligned(id, g_fakeBlock, 40, 128);
        ZK::MemoryMgr::Free(id, g_fakeBlock);
        ASSERT_EQ(g_calls.size(), 5u);
        const char* names[] = {"malloc", "malign", "realloc", "reallocAligned", "free"};
        const size_t sizes[] = {10, 20, 30, 40, 0};
        const uint32_t alignments[] = {0, 64, 0, 128, 0};
        for (size_t call = 0; call < 5; ++call)
        {
            EXPECT_STREQ(g_calls[call].name, names[call]);
            EXPECT_EQ(g_calls[call].memId, id) << names[call];
            EXPECT_EQ(g_calls[call].size, sizes[call]) << names[call];
            EXPECT_EQ(g_calls[call].alignment, alignments[call]) << names[call];
        }
        EXPECT_EQ(g_calls[2].block, g_fakeBlock);
        EXPECT_EQ(g_calls[4].block, g_fakeBlock);
    }
    g_calls.clear();
    ZK::MemoryMgr::InitForThread();
    ZK::MemoryMgr::TermForThread();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_STREQ(g_calls[0].name, "initThread");
    EXPECT_STREQ(g_calls[1].name, "termThread");
    // Absent optional hooks answer zero.
    EXPECT_EQ(ZK::MemoryMgr::GetMappedBytes(), 0u);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, g_fakeBlock), 0u);
}

TEST_F(MemoryMgrInit, CallsBeforeInitAndAfterTermAreHarmless)
{
    for (int round = 0; round < 2; ++round)
    {
        EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 16), nullptr);
        EXPECT_EQ(ZK::MemoryMgr::Malign(0, 16, 64), nullptr);
        EXPECT_EQ(ZK::MemoryMgr::Realloc(0, nullptr, 16), nullptr);
        EXPECT_EQ(ZK::MemoryMgr::ReallocAligned(0, nullptr, 16, 64), nullptr);
        ZK::MemoryMgr::Free(0, nullptr);
        ZK::MemoryMgr::InitForThread();
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        ZK::MemoryMgr::Term();
    }
}

TEST_F(MemoryMgrInit, StatisticsAndProfilingKeepNothing)
{
    ZK::MemoryMgr::GlobalStats global;
    std::memset(&global, 0x5A, sizeof(global));
    ZK::MemoryMgr::GetGlobalStats(global);
    const ZK::MemoryMgr::GlobalStats zero{};
    EXPECT_EQ(std::memcmp(&global, &zero, sizeof(global)), 0);

    ZK::MemoryMgr::CategoryStats category;
    std::memset(&category, 0x5A, sizeof(category));
    ZK::MemoryMgr::CategoryStats before = category;
    ZK::MemoryMgr::GetCategoryStats(2, category);
    EXPECT_EQ(std::memcmp(&category, &before, sizeof(category)), 0);

    ZK::MemoryMgr::DumpToFile(L"memory.txt");
    ZK::MemoryMgr::StartProfileThreadUsage();
    EXPECT_EQ(ZK::MemoryMgr::StopProfileThreadUsage(), 0u);
}

TEST(ZkThreadLocalStorage, SlotsHoldOneValuePerThreadAndRunOut)
{
    uint32_t slot = 0;
    ASSERT_EQ(ZkTlsAllocateSlot(&slot), 0);
    EXPECT_NE(slot, 0xFFFFFFFFu);
    EXPECT_EQ(ZkTlsGetValue(slot), nullptr);
    int value = 0;
    ZkTlsSetValue(slot, &value);
    EXPECT_EQ(ZkTlsGetValue(slot), &value);
    ZkTlsFreeSlot(slot);

    // Exhaust the system's slots: the last answer is -1 with the out-of-slots index stored.
    std::vector<uint32_t> slots;
    int32_t result = 0;
    uint32_t last = 0;
    for (int attempt = 0; attempt < 100000 && result == 0; ++attempt)
    {
        result = ZkTlsAllocateSlot(&last);
        if (result == 0)
            slots.push_back(last);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(last, 0xFFFFFFFFu);

    // With no slot left the built-in allocator hands out no thread heaps: allocations answer null
    // rather than use an invalid slot. The shared heap needs no slot.
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 32), nullptr);
    void* shared = ZK::MemoryMgr::Malloc(ZkMemID_SharedHeap, 32);
    EXPECT_NE(shared, nullptr);
    ZK::MemoryMgr::Free(0, shared);
    ZK::MemoryMgr::TermForThread();
    ZK::MemoryMgr::Term();

    for (uint32_t held : slots)
        ZkTlsFreeSlot(held);
}
