// The span allocator's spin rule for its short critical sections (orphan heap lists, global span
// reserve, a span's deferred free list): up to kSpinTriesBeforeYield tries with a processor pause,
// then a try after every yield of the time slice until it succeeds.
#pragma once

#include "Platform/PlatformThread.h"

#include <atomic>
#include <cstdint>

namespace ZK::SpanAlloc
{
constexpr uint32_t kSpinTriesBeforeYield = 1000;

inline void CpuPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

template <typename TryOnce>
void SpinUntil(TryOnce tryOnce)
{
    for (uint32_t attempt = 0; attempt < kSpinTriesBeforeYield; ++attempt)
    {
        if (tryOnce())
            return;
        CpuPause();
    }
    while (!tryOnce())
        Platform::YieldProcessor();
}

class ZkSpinLock
{
public:
    void Lock()
    {
        SpinUntil([this] { return !m_locked.exchange(true, std::memory_order_acquire); });
    }
    void Unlock() { m_locked.store(false, std::memory_order_release); }

private:
    std::atomic<bool> m_locked{false};
};

class ZkSpinLockGuard
{
public:
    explicit ZkSpinLockGuard(ZkSpinLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~ZkSpinLockGuard() { m_lock.Unlock(); }
    ZkSpinLockGuard(const ZkSpinLockGuard&) = delete;
    ZkSpinLockGuard& operator=(const ZkSpinLockGuard&) = delete;

private:
    ZkSpinLock& m_lock;
};
} // namespace ZK::SpanAlloc
