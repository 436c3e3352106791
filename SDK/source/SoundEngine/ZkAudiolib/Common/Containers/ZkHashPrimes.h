// The bucket counts the engine's chained hash tables grow through: primes, each about twice the one
// before, so that ids that share a pattern still spread over the buckets.
//
// Threading and ownership: constants and a pure function.
#pragma once

#include <array>
#include <cstdint>

namespace ZK
{
inline constexpr std::array<uint32_t, 27> kHashTablePrimes = {
    29u,       53u,       97u,        193u,       389u,       769u,       1543u,
    3079u,     6151u,     12289u,     24593u,     49157u,     98317u,     196613u,
    393241u,   786433u,   1572869u,   3145739u,   6291469u,   12582917u,  25165843u,
    50331653u, 100663319u, 201326611u, 402653189u, 805306457u, 1610612741u};

// The first prime of the list above bucketCount; 0 when none is.
constexpr uint32_t NextHashTablePrime(uint32_t bucketCount)
{
    for (uint32_t prime : kHashTablePrimes)
    {
        if (prime > bucketCount)
            return prime;
    }
    return 0;
}
} // namespace ZK
