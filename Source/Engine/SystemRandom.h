// Random identifiers from the operating system's cryptographic random source (getrandom), for the
// unique names of launched airships. SystemRandomBits is a uniform random bit generator that the
// UUID library's random generator draws from.
//
// Threading: any thread. Ownership: values only. A failure of the random source is reported as an
// exception (std::system_error), as the UUID library reports its own; the game does not handle it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace trindle
{
class SystemRandomBits
{
public:
    using result_type = std::uint64_t;
    static constexpr result_type min() { return std::numeric_limits<result_type>::min(); }
    static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }
    // Eight bytes from getrandom.
    result_type operator()();
};

// Fills `size` bytes from getrandom, retrying interrupted and partial reads.
void FillRandomBytes(void* buffer, std::size_t size);

// A fresh random UUID (version 4, RFC 4122 variant) in its 36-character lowercase text form,
// 8-4-4-4-12 hexadecimal digits.
std::string RandomUuidText();
} // namespace trindle
