// Failure injection state: one armed pool at a time, process-wide.
#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <atomic>

namespace ZK::MemoryMgr::FaultInjection
{
std::atomic<uint32_t> Detail::g_armState{0};

namespace
{
enum class ArmState : uint32_t
{
    Disarmed, // 0: what the inline check tests for
    Counting,
    FailingNth,
    FailingFrom
};

std::atomic<uint32_t>& g_state = Detail::g_armState;
std::atomic<ZkMemoryId> g_pool{kAnyPool};
std::atomic<uint32_t> g_target{kNever};
std::atomic<uint32_t> g_counted{0};
std::atomic<uint32_t> g_failed{0};

void Arm(ArmState state, ZkMemoryId pool, uint32_t n)
{
    g_state.store(static_cast<uint32_t>(ArmState::Disarmed), std::memory_order_seq_cst);
    g_pool.store(pool == kAnyPool ? kAnyPool : (pool & ZkMemID_CategoryMask));
    g_target.store(n);
    g_counted.store(0);
    g_failed.store(0);
    g_state.store(static_cast<uint32_t>(state), std::memory_order_seq_cst);
}
} // namespace

void FailNth(ZkMemoryId pool, uint32_t n) { Arm(ArmState::FailingNth, pool, n); }
void FailFrom(ZkMemoryId pool, uint32_t n) { Arm(ArmState::FailingFrom, pool, n); }
void CountOnly(ZkMemoryId pool) { Arm(ArmState::Counting, pool, kNever); }
void Disarm() { g_state.store(static_cast<uint32_t>(ArmState::Disarmed)); }

bool IsArmed() { return g_state.load() != static_cast<uint32_t>(ArmState::Disarmed); }
uint32_t CountedAllocations() { return g_counted.load(); }
uint32_t FailedAllocations() { return g_failed.load(); }

bool Detail::ShouldFailArmed(ZkMemoryId memId)
{
    const auto state = static_cast<ArmState>(g_state.load(std::memory_order_acquire));
    if (state == ArmState::Disarmed)
        return false;
    const ZkMemoryId pool = g_pool.load(std::memory_order_relaxed);
    if (pool != kAnyPool && pool != (memId & ZkMemID_CategoryMask))
        return false;
    const uint32_t ordinal = g_counted.fetch_add(1) + 1;
    const uint32_t target = g_target.load(std::memory_order_relaxed);
    const bool fail = (state == ArmState::FailingNth && ordinal == target) ||
                      (state == ArmState::FailingFrom && ordinal >= target);
    if (fail)
        g_failed.fetch_add(1);
    return fail;
}
} // namespace ZK::MemoryMgr::FaultInjection
