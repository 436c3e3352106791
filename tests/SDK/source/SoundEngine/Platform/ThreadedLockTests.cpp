// The critical section is recursive: its owner re-enters it, and another thread stays out until
// every Enter has been matched by a Leave.
#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"

#include <gtest/gtest.h>
#include <thread>

namespace
{
using namespace ZK::Platform;

TEST(ThreadedCriticalSection, ReenteredByOwnerExcludesAnotherThread)
{
    ZkCriticalSection lock;
    ZkEvent tryNow;
    ZkEvent tried;
    ASSERT_TRUE(tryNow.Init(EventReset::Auto));
    ASSERT_TRUE(tried.Init(EventReset::Auto));
    bool entered = false;
    bool stop = false;

    std::thread other(
        [&]
        {
            for (;;)
            {
                tryNow.Wait();
                if (stop)
                {
                    return;
                }
                entered = lock.TryEnter();
                if (entered)
                {
                    lock.Leave();
                }
                tried.Set();
            }
        });
    auto otherThreadCanEnter = [&]
    {
        tryNow.Set();
        tried.Wait();
        return entered;
    };

    lock.Enter();
    ASSERT_TRUE(lock.TryEnter()) << "the owner re-enters";
    {
        ZkScopedLock third(lock);
        EXPECT_FALSE(otherThreadCanEnter()) << "held three times";
    }
    EXPECT_FALSE(otherThreadCanEnter()) << "held twice";
    lock.Leave();
    EXPECT_FALSE(otherThreadCanEnter()) << "still held once";
    lock.Leave();
    EXPECT_TRUE(otherThreadCanEnter()) << "released by every Leave";

    stop = true;
    tryNow.Set();
    other.join();
}
} // namespace
