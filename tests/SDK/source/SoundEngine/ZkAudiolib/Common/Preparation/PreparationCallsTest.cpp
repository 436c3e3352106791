// The preparation interface: preparation types, argument checks, the asynchronous forms' single
// callback, a cancelled cookie, and allocation failures at every step of a preparation.
#include "PreparationFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <mutex>

namespace
{
using namespace ZkPreparationTest;
namespace Faults = ZK::MemoryMgr::FaultInjection;

struct Call
{
    ZkBankID id;
    ZKRESULT result;
    void* cookie;
};
std::mutex g_callsLock;
std::vector<Call> g_calls;

void Record(ZkBankID id, const void*, ZKRESULT result, void* cookie)
{
    std::lock_guard guard(g_callsLock);
    g_calls.push_back({id, result, cookie});
}
std::vector<Call> Calls()
{
    std::lock_guard guard(g_callsLock);
    return g_calls;
}

class PreparationCalls : public PreparationTest
{
protected:
    void SetUp() override
    {
        PreparationTest::SetUp();
        std::lock_guard guard(g_callsLock);
        g_calls.clear();
    }
};

TEST_F(PreparationCalls, PreparationTypesAndArgumentChecks)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    const ZkUniqueID one[1] = {kPlayOne};
    for (PreparationType undo : {Preparation_Unload, Preparation_LoadAndDecode})
    {
        ASSERT_EQ(PrepareEvent(Preparation_Load, one, 1), ZK_Success);
        EXPECT_EQ(PrepareEvent(undo, one, 1), ZK_Success);
        EXPECT_EQ(EventPreparations(kPlayOne), 0u) << "any type but 0 unprepares";
    }
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", ZkBankContent_All), ZK_Success);
    ASSERT_EQ(PrepareBank(Preparation_Unload, "Sounds", ZkBankContent_All), ZK_Success);
    EXPECT_EQ(FindBank("Sounds"), nullptr) << "type 1 unprepares";

    const char* names[2] = {"Unknown", nullptr};
    const wchar_t* wideNames[1] = {nullptr};
    const ZkUniqueID values[1] = {1};
    const struct
    {
        const char* what;
        ZKRESULT result;
        ZKRESULT expected;
    } rows[] = {
        {"no events", PrepareEvent(Preparation_Load, one, 0), ZK_InvalidParameter},
        {"a null id array", PrepareEvent(Preparation_Load, static_cast<const ZkUniqueID*>(nullptr), 1),
         ZK_InvalidParameter},
        {"a null name array", PrepareEvent(Preparation_Load, static_cast<const char**>(nullptr), 1),
         ZK_InvalidParameter},
        {"names not loaded; a null name is id 0", PrepareEvent(Preparation_Load, names, 2), ZK_InvalidID},
        {"a null wide name", PrepareEvent(Preparation_Load, wideNames, 1), ZK_InvalidID},
        {"no values", PrepareGameSyncs(Preparation_Load, ZkGroupType_State, 5, values, 0), ZK_InvalidParameter},
        {"a null value array",
         PrepareGameSyncs(Preparation_Load, ZkGroupType_State, 5, static_cast<const ZkUniqueID*>(nullptr), 1),
         ZK_InvalidParameter},
        {"a null value-name array",
         PrepareGameSyncs(Preparation_Load, ZkGroupType_Switch, "Group", static_cast<const char**>(nullptr), 1),
         ZK_InvalidParameter},
        {"values of a group nobody prepares", PrepareGameSyncs(Preparation_Load, ZkGroupType_State, 5, values, 1),
         ZK_Success},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.result, row.expected) << row.what;
    EXPECT_TRUE(Calls().empty());
}

TEST_F(PreparationCalls, AsynchronousFormsCallBackOnceWithTheEventOfASingleEvent)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    int cookie = 0;
    const ZkUniqueID one[1] = {kPlayOne};
    const ZkUniqueID two[2] = {kPlayOne, kPlayChain};
    ASSERT_EQ(PrepareEvent(Preparation_Load, one, 1, &Record, &cookie), ZK_Success);
    ASSERT_EQ(PrepareEvent(Preparation_Load, two, 2, &Record, &cookie), ZK_Success);
    ASSERT_EQ(PrepareEvent(Preparation_Unload, two, 2, &Record, &cookie), ZK_Success);
    ASSERT_EQ(PrepareEvent(Preparation_Unload, one, 1, &Record, &cookie), ZK_Success);
    ASSERT_EQ(PrepareBank(Preparation_Load, "Sounds", &Record, &cookie, ZkBankContent_All), ZK_Success);
    ASSERT_EQ(PrepareBank(Preparation_Unload, GetIDFromString("Sounds"), &Record, &cookie), ZK_Success);
    const ZkUniqueID values[2] = {1, 2};
    ASSERT_EQ(PrepareGameSyncs(Preparation_Load, ZkGroupType_State, 5, values, 2, &Record, &cookie), ZK_Success);
    const ZkBankID sounds = GetIDFromString("Sounds");
    const std::vector<std::pair<ZkBankID, ZKRESULT>> expected = {
        {kPlayOne, ZK_Success}, {0, ZK_Success}, {0, ZK_Success}, {kPlayOne, ZK_Success},
        {sounds, ZK_Success},   {sounds, ZK_Success}, {0, ZK_Success}};
    std::vector<std::pair<ZkBankID, ZKRESULT>> seen;
    for (const Call& call : Calls())
    {
        seen.emplace_back(call.id, call.result);
        EXPECT_EQ(call.cookie, &cookie);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(MediaCount(), 0u);
}

using ThreadedPreparationCalls = PreparationCalls;

TEST_F(ThreadedPreparationCalls, ACancelledCookieIsNotCalledButItsRequestRuns)
{
    settings.bankThread = 1;
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    int first = 0;
    int cancelled = 0;
    const ZkUniqueID one[1] = {kPlayOne};
    const ZkUniqueID two[1] = {kPlayTwo};
    {
        // The bank thread cannot finish the first request while the bank table is held here, so the
        // second is still queued when its cookie is cancelled.
        ZK::Platform::ZkScopedLock hold(CZkLockedIdTable::Lock());
        ASSERT_EQ(PrepareEvent(Preparation_Load, one, 1, &Record, &first), ZK_Success);
        ASSERT_EQ(PrepareEvent(Preparation_Load, two, 1, &Record, &cancelled), ZK_Success);
        CancelBankCallbackCookie(&cancelled);
    }
    const ZkUniqueID both[2] = {kPlayOne, kPlayTwo};
    ASSERT_EQ(PrepareEvent(Preparation_Unload, both, 2), ZK_Success) << "runs after both";
    const std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].cookie, &first);
    EXPECT_EQ(calls[0].id, kPlayOne);
    EXPECT_EQ(MediaCount(), 0u) << "the cancelled request ran, and was undone";
}

// An allocation failure anywhere in a preparation leaves nothing prepared and no block held.
TEST_F(PreparationCalls, EveryAllocationFailureLeavesNothingBehind)
{
    ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
    const struct
    {
        const char* what;
        ZKRESULT (*prepare)();
        ZKRESULT (*undo)();
    } scenarios[] = {
        {"two events",
         [] {
             const ZkUniqueID events[2] = {kPlayOne, kPlayChain};
             return PrepareEvent(Preparation_Load, events, 2);
         },
         [] {
             const ZkUniqueID events[2] = {kPlayOne, kPlayChain};
             return PrepareEvent(Preparation_Unload, events, 2);
         }},
        {"a bank with its media, decoded", [] { return PrepareBank(Preparation_LoadAndDecode, "Sounds"); },
         [] { return PrepareBank(Preparation_Unload, "Sounds"); }},
    };
    for (const auto& scenario : scenarios)
    {
        SCOPED_TRACE(scenario.what);
        // Tables that grow on first use keep their buckets: a first round settles them.
        ASSERT_EQ(scenario.prepare(), ZK_Success);
        ASSERT_EQ(scenario.undo(), ZK_Success);
        const int64_t rest = SettledBlocks();
        Faults::CountOnly(Faults::kAnyPool);
        ASSERT_EQ(scenario.prepare(), ZK_Success);
        const uint32_t allocations = Faults::CountedAllocations();
        Faults::Disarm();
        ASSERT_EQ(scenario.undo(), ZK_Success);
        ASSERT_GT(allocations, 5u);
        for (uint32_t nth = 1; nth <= allocations; ++nth)
        {
            SCOPED_TRACE(nth);
            Faults::FailNth(Faults::kAnyPool, nth);
            const ZKRESULT result = scenario.prepare();
            Faults::Disarm();
            if (result == ZK_Success)
            {
                ASSERT_EQ(scenario.undo(), ZK_Success);
            }
            EXPECT_EQ(MediaCount(), 0u);
            EXPECT_EQ(FindBank("Sounds"), nullptr);
            EXPECT_EQ(EventPreparations(kPlayOne), 0u);
            EXPECT_FALSE(NodeLoaded(kSoundA));
            ASSERT_EQ(SettledBlocks(), rest);
        }
    }
}
} // namespace
