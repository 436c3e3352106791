// Thread-local slots seen from one thread: a fresh slot is null, also after a freed slot's number
// is handed out again.
#include "Platform/PlatformThreadLocal.h"

#include <gtest/gtest.h>

namespace
{
using namespace ZK::Platform;

TEST(ThreadLocal, NewSlotReadsNullAfterAFreedOneHeldAValue)
{
    int value = 7;
    const uint32_t first = AllocateTlsSlot();
    ASSERT_NE(first, kInvalidTlsSlot);
    ASSERT_TRUE(SetTlsValue(first, &value));
    FreeTlsSlot(first);

    const uint32_t second = AllocateTlsSlot(); // usually the same number again
    ASSERT_NE(second, kInvalidTlsSlot);
    EXPECT_EQ(GetTlsValue(second), nullptr);
    FreeTlsSlot(second);

    EXPECT_EQ(GetTlsValue(kInvalidTlsSlot), nullptr);
    EXPECT_FALSE(SetTlsValue(kInvalidTlsSlot, &value));
}
} // namespace
