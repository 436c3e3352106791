// Buffer alignment of automatic streams: a buffer must hold whole blocks of the file and whole
// blocks of the client's own unit, so its alignment is the least common multiple of both.
#pragma once

#include <cstdint>

namespace ZK::StreamMgr
{
// Greatest common divisor by the binary (Stein) algorithm; gcd(0, b) = b.
constexpr uint32_t BinaryGcd(uint32_t a, uint32_t b)
{
    if (a == 0)
        return b;
    if (b == 0)
        return a;
    uint32_t shift = 0;
    while (((a | b) & 1u) == 0)
    {
        a >>= 1;
        b >>= 1;
        ++shift;
    }
    while ((a & 1u) == 0)
        a >>= 1;
    do
    {
        while ((b & 1u) == 0)
            b >>= 1;
        if (a > b)
        {
            const uint32_t t = a;
            a = b;
            b = t;
        }
        b -= a;
    } while (b != 0);
    return a << shift;
}

// Least common multiple, in 64 bits (it may not fit 32); 0 when either is 0.
constexpr uint64_t LeastCommonMultiple(uint32_t a, uint32_t b)
{
    if (a == 0 || b == 0)
        return 0;
    return uint64_t(a) / BinaryGcd(a, b) * b;
}

static_assert(LeastCommonMultiple(2048, 3072) == 6144);
static_assert(BinaryGcd(12, 18) == 6);
} // namespace ZK::StreamMgr
