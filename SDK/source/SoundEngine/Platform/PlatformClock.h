// The monotonic performance counter: nanoseconds since an arbitrary start, never going backwards.
// Thread safety: may be read from any thread; all threads share the same time base.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
constexpr int64_t kPerformanceFrequencyHz = 1'000'000'000;

int64_t PerformanceCounter();
inline int64_t PerformanceFrequency()
{
    return kPerformanceFrequencyHz;
}
} // namespace ZK::Platform
