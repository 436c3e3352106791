#include "Platform/PlatformClock.h"

#include <ctime>

namespace ZK::Platform
{
int64_t PerformanceCounter()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kPerformanceFrequencyHz + now.tv_nsec;
}
} // namespace ZK::Platform
