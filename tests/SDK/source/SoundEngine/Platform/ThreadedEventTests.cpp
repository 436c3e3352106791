// Events between threads. Every step is ordered by events and joins, never by sleeping.
#include "Platform/PlatformEvent.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
using namespace ZK::Platform;

constexpr int kWaiterCount = 4;

TEST(ThreadedEvent, AutoResetSetWakesExactlyOneWaiterPerSet)
{
    ZkEvent wake;
    ZkEvent woke;
    ASSERT_TRUE(wake.Init(EventReset::Auto));
    ASSERT_TRUE(woke.Init(EventReset::Auto));
    std::atomic<int> wokenCount{0};

    std::vector<std::thread> waiters;
    for (int index = 0; index < kWaiterCount; ++index)
    {
        waiters.emplace_back(
            [&]
            {
                ASSERT_TRUE(wake.Wait());
                wokenCount.fetch_add(1);
                woke.Set();
            });
    }

    // Set one at a time: each Set lets exactly one waiter through, and is used up by it.
    for (int set = 1; set <= kWaiterCount; ++set)
    {
        wake.Set();
        ASSERT_TRUE(woke.Wait());
        EXPECT_EQ(wokenCount.load(), set);
    }
    for (std::thread& waiter : waiters)
    {
        waiter.join();
    }
    EXPECT_FALSE(wake.Wait(0)) << "every Set was consumed by one waiter";
}

TEST(ThreadedEvent, ManualResetReleasesEveryWaiterUntilReset)
{
    ZkEvent gate;
    ASSERT_TRUE(gate.Init(EventReset::Manual));
    std::atomic<int> passed{0};

    std::vector<std::thread> waiters;
    for (int index = 0; index < kWaiterCount; ++index)
    {
        waiters.emplace_back(
            [&]
            {
                EXPECT_TRUE(gate.Wait());
                passed.fetch_add(1);
            });
    }
    gate.Set();
    for (std::thread& waiter : waiters)
    {
        waiter.join();
    }
    EXPECT_EQ(passed.load(), kWaiterCount);
    EXPECT_TRUE(gate.Wait(0)) << "still signalled for a later waiter";
    gate.Reset();
    EXPECT_FALSE(gate.Wait(0));
}

TEST(ThreadedEvent, WaitForAnyWakesOnTheEventAnotherThreadSets)
{
    for (int chosen = 0; chosen < kWaiterCount; ++chosen)
    {
        SCOPED_TRACE(chosen);
        ZkEvent events[kWaiterCount];
        ZkEvent* pointers[kWaiterCount];
        for (int index = 0; index < kWaiterCount; ++index)
        {
            ASSERT_TRUE(events[index].Init(index % 2 == 0 ? EventReset::Auto : EventReset::Manual));
            pointers[index] = &events[index];
        }
        int answer = kWaitFailed;
        std::thread waiter([&] { answer = WaitForAnyEvent(pointers, kWaiterCount, kWaitInfinite); });
        events[chosen].Set();
        waiter.join();
        EXPECT_EQ(answer, chosen);
        EXPECT_EQ(events[chosen].Wait(0), chosen % 2 == 1) << "only a manual-reset event stays signalled";
    }
}

TEST(ThreadedEvent, WaitWithTimeOutWakesOnSet)
{
    ZkEvent event;
    ZkEvent waiting;
    ASSERT_TRUE(event.Init(EventReset::Auto));
    ASSERT_TRUE(waiting.Init(EventReset::Manual));
    bool signalled = false;
    // A long time-out that the Set cuts short; the test never depends on it expiring.
    std::thread waiter(
        [&]
        {
            waiting.Set();
            signalled = event.Wait(60'000);
        });
    ASSERT_TRUE(waiting.Wait());
    event.Set();
    waiter.join();
    EXPECT_TRUE(signalled);
}
} // namespace
