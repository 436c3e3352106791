// Variable-length unsigned numbers as bank bodies store them: 7 bits per byte, the most significant
// group first, bit 7 set on every byte but the last (1 to 5 bytes for a 32-bit value).
//
// Threading and ownership: pure functions over the caller's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK
{
constexpr size_t kVarUintMaxBytes = 5;

// Reads one number from [cursor, end) and moves cursor past it. False, with cursor and value left
// as they were, when the bytes end before the last byte of the number or the number does not fit
// 32 bits.
bool ReadVarUint(const uint8_t*& cursor, const uint8_t* end, uint32_t& value);

// Writes value into output (room for kVarUintMaxBytes) and returns the bytes written.
size_t WriteVarUint(uint32_t value, uint8_t* output);
} // namespace ZK
