// The count of bytes both span allocator instances hold from the system, and the cap on it.
// Changed by compare-and-swap so that the cap is never passed, even by two threads at once.
#pragma once

#include <atomic>
#include <cstdint>

namespace ZK::SpanAlloc
{
inline std::atomic<uint64_t> g_mappedBytes{0};
inline std::atomic<uint64_t> g_mappedBytesCap{0}; // 0 = no cap

// Adds bytes to the count unless that would pass the cap; false (count unchanged) when it would.
inline bool TryAddMappedBytes(uint64_t bytes)
{
    uint64_t current = g_mappedBytes.load(std::memory_order_relaxed);
    for (;;)
    {
        const uint64_t cap = g_mappedBytesCap.load(std::memory_order_relaxed);
        const uint64_t wanted = current + bytes;
        if (wanted < current || (cap != 0 && wanted > cap))
            return false;
        if (g_mappedBytes.compare_exchange_weak(current, wanted, std::memory_order_relaxed))
            return true;
    }
}

inline void SubtractMappedBytes(uint64_t bytes)
{
    g_mappedBytes.fetch_sub(bytes, std::memory_order_relaxed);
}
} // namespace ZK::SpanAlloc
