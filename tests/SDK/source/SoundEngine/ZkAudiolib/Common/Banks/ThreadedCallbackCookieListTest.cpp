// Four threads register, cancel and notify cookies on one list at the same time (run under
// ThreadSanitizer by make test-tsan). Each thread owns its cookies, so the number of callbacks it
// must see is exact, while the cells they use are claimed, freed and reused by all threads.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr int kThreads = 4;
constexpr int kRounds = 4000;
constexpr int kCookiesPerThread = 3;

struct Cookie
{
    int owner;
    std::atomic<int> calls{0};
};

void CountCall(ZkBankID, const void*, ZKRESULT, void* cookie)
{
    static_cast<Cookie*>(cookie)->calls.fetch_add(1, std::memory_order_relaxed);
}

using ThreadedCallbackCookieList = ZkEngineTest::EngineMemoryTest;

TEST_F(ThreadedCallbackCookieList, FourThreadsAddCancelAndNotify)
{
    ZkCallbackCookieList list;
    list.Init();
    std::array<std::array<Cookie, kCookiesPerThread>, kThreads> cookies;
    std::array<int, kThreads * kCookiesPerThread> expected{};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread)
    {
        threads.emplace_back([&, thread] {
            ZK::MemoryMgr::InitForThread();
            for (int round = 0; round < kRounds; ++round)
            {
                const int slot = round % kCookiesPerThread;
                Cookie& cookie = cookies[thread][slot];
                ASSERT_EQ(list.Add(&cookie), ZK_Success);
                if (round % 5 == 0)
                {
                    ASSERT_EQ(list.Add(&cookie), ZK_Success); // registered twice
                }
                if (round % 7 == 3)
                {
                    list.Cancel(&cookie);
                    list.Notify(CountCall, 1, nullptr, ZK_Success, &cookie); // nothing left to call
                    continue;
                }
                list.Notify(CountCall, 1, nullptr, ZK_Success, &cookie);
                ++expected[thread * kCookiesPerThread + slot];
                if (round % 5 == 0)
                {
                    list.Notify(CountCall, 1, nullptr, ZK_Success, &cookie);
                    ++expected[thread * kCookiesPerThread + slot];
                }
                list.Notify(CountCall, 1, nullptr, ZK_Success, &cookie); // every registration consumed
            }
            ZK::MemoryMgr::TermForThread();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int thread = 0; thread < kThreads; ++thread)
    {
        for (int slot = 0; slot < kCookiesPerThread; ++slot)
        {
            EXPECT_EQ(cookies[thread][slot].calls.load(), expected[thread * kCookiesPerThread + slot])
                << "thread " << thread << " cookie " << slot;
            EXPECT_FALSE(list.IsRegistered(&cookies[thread][slot]));
        }
    }
    EXPECT_LE(list.CellCount(), static_cast<uint32_t>(kThreads * 2 + 2)) << "freed cells were reused";
    list.Term();
}
} // namespace
