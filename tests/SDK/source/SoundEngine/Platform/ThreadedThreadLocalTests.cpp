// Thread-local slots between threads: each thread sees its own value, null until it sets one.
#include "Platform/PlatformThreadLocal.h"

#include <gtest/gtest.h>
#include <thread>

namespace
{
using namespace ZK::Platform;

TEST(ThreadedThreadLocal, EachThreadHasItsOwnValue)
{
    const uint32_t slot = AllocateTlsSlot();
    ASSERT_NE(slot, kInvalidTlsSlot);
    int mine = 1;
    int theirs = 2;
    EXPECT_EQ(GetTlsValue(slot), nullptr);
    ASSERT_TRUE(SetTlsValue(slot, &mine));

    void* seenBeforeSet = &mine;
    void* seenAfterSet = nullptr;
    std::thread other(
        [&]
        {
            seenBeforeSet = GetTlsValue(slot);
            SetTlsValue(slot, &theirs);
            seenAfterSet = GetTlsValue(slot);
        });
    other.join();

    EXPECT_EQ(seenBeforeSet, nullptr);
    EXPECT_EQ(seenAfterSet, &theirs);
    EXPECT_EQ(GetTlsValue(slot), &mine);
    FreeTlsSlot(slot);
}
} // namespace
