// The global callbacks: registration at once for location 1, the masks and their refusals, removal
// by callback, dispatch newest first, a callback that changes the lists while it is called, and the
// growth of the lists with its out-of-memory answer.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZK::ZkGlobalCallbackLocation;
namespace Fault = ZK::MemoryMgr::FaultInjection;

struct Call
{
    int callback;
    ZK::IZkGlobalPluginContext* context;
    ZkGlobalCallbackLocation location;
    void* cookie;
};
std::vector<Call> g_calls;

template <int Id>
void Record(ZK::IZkGlobalPluginContext* context, ZkGlobalCallbackLocation location, void* cookie)
{
    g_calls.push_back({Id, context, location, cookie});
}

class GlobalCallbacksTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        g_calls.clear();
    }
    void TearDown() override
    {
        GlobalCallbacks::Clear();
        g_calls.clear();
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }
};

TEST_F(GlobalCallbacksTest, LocationOneIsCalledOnceAtRegistrationThenTheTickStagesCallTheirs)
{
    int cookie = 0;
    ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_Register | ZK::ZkGlobalCallbackLocation_Begin,
                                     &cookie),
              ZK_Success);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].location, ZK::ZkGlobalCallbackLocation_Register);
    EXPECT_EQ(g_calls[0].cookie, &cookie);
    EXPECT_EQ(g_calls[0].context, GetGlobalPluginContext());
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_Register);
    EXPECT_EQ(g_calls.size(), 2u) << "a dispatch of location 1 calls it again, as for any location";
    g_calls.clear();
    for (int tick = 0; tick < 3; ++tick)
    {
        GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_Begin);
        GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_End);
    }
    ASSERT_EQ(g_calls.size(), 3u);
    for (const Call& call : g_calls)
        EXPECT_EQ(call.location, ZK::ZkGlobalCallbackLocation_Begin);
}

TEST_F(GlobalCallbacksTest, MasksOf8192OrMoreAndNullCallbacksAreRefused)
{
    EXPECT_EQ(RegisterGlobalCallback(&Record<1>, 8192), ZK_InvalidParameter);
    EXPECT_EQ(RegisterGlobalCallback(&Record<1>, 0x1000 | 0x2000), ZK_InvalidParameter);
    EXPECT_EQ(RegisterGlobalCallback(nullptr, ZK::ZkGlobalCallbackLocation_End), ZK_InvalidParameter);
    EXPECT_EQ(UnregisterGlobalCallback(&Record<1>, 8192), ZK_InvalidParameter);
    for (uint32_t bit = 0; bit < ZK::ZkGlobalCallbackLocation_Num; ++bit)
        EXPECT_EQ(GlobalCallbacks::Count(1u << bit), 0u);
    EXPECT_EQ(RegisterGlobalCallback(&Record<1>, 0x1FFE), ZK_Success) << "every location but 1";
    for (uint32_t bit = 1; bit < ZK::ZkGlobalCallbackLocation_Num; ++bit)
        EXPECT_EQ(GlobalCallbacks::Count(1u << bit), 1u);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(GlobalCallbacksTest, UnregisteringFromAListWithoutTheCallbackGives31AndStillRemovesTheOthers)
{
    ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_Begin), ZK_Success);
    EXPECT_EQ(UnregisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_Begin |
                                                        ZK::ZkGlobalCallbackLocation_PreProcessMessages),
              ZK_InvalidParameter);
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_Begin), 0u);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_Begin);
    EXPECT_TRUE(g_calls.empty());

    // Registered twice, with two cookies: one removal takes the first entry, whatever its cookie.
    int first = 0;
    int second = 0;
    ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_End, &first), ZK_Success);
    ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_End, &second), ZK_Success);
    EXPECT_EQ(UnregisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_End);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].cookie, &second);
}

TEST_F(GlobalCallbacksTest, TheCallbacksOfALocationAreCalledNewestFirst)
{
    ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    ASSERT_EQ(RegisterGlobalCallback(&Record<2>, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    ASSERT_EQ(RegisterGlobalCallback(&Record<3>, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_End);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].callback, 3);
    EXPECT_EQ(g_calls[1].callback, 2);
    EXPECT_EQ(g_calls[2].callback, 1);
}

TEST_F(GlobalCallbacksTest, ACallbackMayRemoveItselfAndAddAnotherWhileItIsCalled)
{
    static void (*const removeItself)(ZK::IZkGlobalPluginContext*, ZkGlobalCallbackLocation, void*) =
        [](ZK::IZkGlobalPluginContext*, ZkGlobalCallbackLocation location, void*) {
            g_calls.push_back({9, nullptr, location, nullptr});
            UnregisterGlobalCallback(removeItself, location);
            RegisterGlobalCallback(&Record<4>, location);
        };
    ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_BeginRender), ZK_Success);
    ASSERT_EQ(RegisterGlobalCallback(removeItself, ZK::ZkGlobalCallbackLocation_BeginRender), ZK_Success);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_BeginRender);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].callback, 9);
    EXPECT_EQ(g_calls[1].callback, 1);
    g_calls.clear();
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_BeginRender);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].callback, 4);
    EXPECT_EQ(g_calls[1].callback, 1);
}

TEST_F(GlobalCallbacksTest, ListsGrowAndOutOfMemoryKeepsTheLowerLocationsEntries)
{
    // Capacities 1, 2, 5, 12: six registrations of one location need four growths.
    Fault::CountOnly(ZkMemID_Default);
    for (int index = 0; index < 6; ++index)
        ASSERT_EQ(RegisterGlobalCallback(&Record<1>, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    EXPECT_EQ(Fault::CountedAllocations(), 4u);
    Fault::Disarm();
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_End), 6u);

    // The second list's growth fails: the first keeps its entry, the third is never reached.
    Fault::FailNth(ZkMemID_Default, 2);
    EXPECT_EQ(RegisterGlobalCallback(&Record<2>, ZK::ZkGlobalCallbackLocation_Begin |
                                                     ZK::ZkGlobalCallbackLocation_PreProcessMessages |
                                                     ZK::ZkGlobalCallbackLocation_PostMessagesProcessed),
              ZK_InsufficientMemory);
    Fault::Disarm();
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_Begin), 1u);
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_PreProcessMessages), 0u);
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_PostMessagesProcessed), 0u);

    GlobalCallbacks::Clear();
    EXPECT_EQ(GlobalCallbacks::Count(ZK::ZkGlobalCallbackLocation_End), 0u);
}
} // namespace
