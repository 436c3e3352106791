// The performance counter runs on the monotonic clock in nanoseconds; random bytes fill the
// whole buffer, also when the system hands them out in parts.
#include "Platform/PlatformClock.h"
#include "Platform/PlatformRandom.h"

#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <vector>

namespace
{
using namespace ZK::Platform;

int64_t MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

TEST(PerformanceCounter, ReadsTheMonotonicClockInNanoseconds)
{
    EXPECT_EQ(PerformanceFrequency(), 1'000'000'000);
    const int64_t before = MonotonicNanoseconds();
    const int64_t counter = PerformanceCounter();
    const int64_t after = MonotonicNanoseconds();
    EXPECT_LE(before, counter);
    EXPECT_LE(counter, after);
}

TEST(RandomBytes, FillTheWholeBuffer)
{
    // Larger than one getrandom call is guaranteed to deliver.
    constexpr size_t kSize = 1 << 20;
    constexpr size_t kTail = 64;
    std::vector<unsigned char> first(kSize, 0);
    std::vector<unsigned char> second(kSize, 0);
    ASSERT_TRUE(FillRandomBytes(first.data(), first.size()));
    ASSERT_TRUE(FillRandomBytes(second.data(), second.size()));
    EXPECT_TRUE(std::any_of(first.end() - kTail, first.end(), [](unsigned char byte) { return byte != 0; }))
        << "the end of the buffer was not filled";
    EXPECT_NE(first, second);
    EXPECT_TRUE(FillRandomBytes(nullptr, 0));
    EXPECT_FALSE(FillRandomBytes(nullptr, 1));
}
} // namespace
