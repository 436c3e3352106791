// Failure injection for tests: makes chosen allocations of the memory manager fail as if the pool
// were out of memory, so that every "out of memory" path of the sound engine can be driven.
//
// This is a test hook compiled into the memory manager. While nothing is armed it costs one load of
// a global and one predictable branch per allocation call (ShouldFail is inline), and changes
// nothing. When armed, ZK::MemoryMgr::Malloc, Malign,
// Realloc and ReallocAligned count the calls whose memory id names the armed pool (the category
// bits 0-28; kAnyPool counts every call) and return null for the chosen ones without calling the
// allocator, so a failed Realloc leaves its block valid and unchanged. Free is never counted.
//
// Typical use, a sweep over every allocation of a scenario:
//   FaultInjection::CountOnly(ZkMemID_Default);  run the scenario;  n = CountedAllocations();
//   for k in 1..n: FailNth(ZkMemID_Default, k); run the scenario; expect 52 (or a clean refusal).
//
// Threading: the calls may be made from any thread; arming while other threads allocate is allowed
// but which of their calls is "the n-th" is then up to the scheduler. Tests disarm before they end
// (ScopedAllocationFailure does it for them).
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <cstdint>

namespace ZK::MemoryMgr::FaultInjection
{
constexpr ZkMemoryId kAnyPool = -1;
constexpr uint32_t kNever = 0xFFFFFFFFu;

// The n-th allocation (1 = the next one) naming the pool fails; the ones after it succeed again.
void FailNth(ZkMemoryId pool, uint32_t n);
// Every allocation naming the pool fails, from the n-th (1 = the next one) on, until Disarm.
void FailFrom(ZkMemoryId pool, uint32_t n);
// Counts the allocations naming the pool without making any fail.
void CountOnly(ZkMemoryId pool);
// Stops failing and counting; the counters keep their last values until the next arming.
void Disarm();

bool IsArmed();
// Allocation calls naming the armed pool since it was armed (failed ones included).
uint32_t CountedAllocations();
// Calls made to fail since the pool was armed.
uint32_t FailedAllocations();

namespace Detail
{
// Non-zero while armed.
extern std::atomic<uint32_t> g_armState;
bool ShouldFailArmed(ZkMemoryId memId);
} // namespace Detail

// Whether anything is armed (one load).
inline bool AnyArmed() { return Detail::g_armState.load(std::memory_order_acquire) != 0; }

// The memory manager's check: true when this allocation call must fail. Counts the call.
inline bool ShouldFail(ZkMemoryId memId)
{
    if (!AnyArmed()) [[likely]]
        return false;
    return Detail::ShouldFailArmed(memId);
}

// Arms on construction, disarms on destruction.
class ScopedAllocationFailure
{
public:
    enum class Mode
    {
        OnlyNth,
        FromNth
    };
    ScopedAllocationFailure(ZkMemoryId pool, uint32_t n, Mode mode = Mode::OnlyNth)
    {
        if (mode == Mode::OnlyNth)
            FailNth(pool, n);
        else
            FailFrom(pool, n);
    }
    ~ScopedAllocationFailure() { Disarm(); }
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};
} // namespace ZK::MemoryMgr::FaultInjection
