// The bank manager's callback cookies: a callback is called only while its cookie is registered,
// once per registration; cancelling drops every registration.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

struct Call
{
    ZkBankID bank;
    const void* memory;
    ZKRESULT result;
    void* cookie;
};
std::vector<Call> g_calls;

void RecordCall(ZkBankID bank, const void* memory, ZKRESULT result, void* cookie)
{
    g_calls.push_back({bank, memory, result, cookie});
}

class CallbackCookieList : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        g_calls.clear();
        m_list.Init();
    }
    void TearDown() override
    {
        m_list.Term();
        EngineMemoryTest::TearDown();
    }
    ZkCallbackCookieList m_list;
    int m_cookieA = 0;
    int m_cookieB = 0;
};

TEST_F(CallbackCookieList, InitMakesTwoCellsAndNotifyCallsOncePerRegistration)
{
    EXPECT_EQ(m_list.CellCount(), 2u);
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success) << "a second request with the same cookie";
    EXPECT_EQ(m_list.CellCount(), 2u);
    const int memory = 0;
    m_list.Notify(RecordCall, 7, &memory, ZK_Success, &m_cookieA);
    m_list.Notify(RecordCall, 8, nullptr, ZK_BankNotLoaded, &m_cookieA);
    m_list.Notify(RecordCall, 9, nullptr, ZK_Success, &m_cookieA);
    ASSERT_EQ(g_calls.size(), 2u) << "two registrations, two calls";
    EXPECT_EQ(g_calls[0].bank, 7u);
    EXPECT_EQ(g_calls[0].memory, &memory);
    EXPECT_EQ(g_calls[0].cookie, &m_cookieA);
    EXPECT_EQ(g_calls[1].result, ZK_BankNotLoaded);
    EXPECT_FALSE(m_list.IsRegistered(&m_cookieA));
}

TEST_F(CallbackCookieList, CancelDropsEveryRegistrationOfTheCookieOnly)
{
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    ASSERT_EQ(m_list.Add(&m_cookieB), ZK_Success);
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    EXPECT_EQ(m_list.CellCount(), 3u) << "the third registration allocates a cell";
    m_list.Cancel(&m_cookieA);
    m_list.Notify(RecordCall, 1, nullptr, ZK_Success, &m_cookieA);
    EXPECT_TRUE(g_calls.empty());
    m_list.Notify(RecordCall, 2, nullptr, ZK_Success, &m_cookieB);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].bank, 2u);
}

TEST_F(CallbackCookieList, ANullCallbackCallsNothingAndKeepsTheRegistration)
{
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    m_list.Notify(nullptr, 1, nullptr, ZK_Success, &m_cookieA);
    EXPECT_TRUE(m_list.IsRegistered(&m_cookieA));
    m_list.Notify(RecordCall, 1, nullptr, ZK_Success, &m_cookieA);
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(CallbackCookieList, ACancelDuringTheCallbackDoesNotStopThatCall)
{
    static ZkCallbackCookieList* s_list = nullptr;
    s_list = &m_list;
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    m_list.Notify([](ZkBankID bank, const void* memory, ZKRESULT result, void* cookie) {
        s_list->Cancel(cookie);
        RecordCall(bank, memory, result, cookie);
    }, 3, nullptr, ZK_Success, &m_cookieA);
    EXPECT_EQ(g_calls.size(), 1u);
    EXPECT_FALSE(m_list.IsRegistered(&m_cookieA));
}

TEST_F(CallbackCookieList, NoCellForANewCookieGives52AndRegistersNothing)
{
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    ASSERT_EQ(m_list.Add(&m_cookieA), ZK_Success);
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkCallbackCookieList::kPool, 1);
    EXPECT_EQ(m_list.Add(&m_cookieB), ZK_InsufficientMemory);
    EXPECT_FALSE(m_list.IsRegistered(&m_cookieB));
}
} // namespace
