// Four-character tags of chunked file formats (RIFF media chunks, bank chunks), compared as one
// little-endian 32-bit value: the first character in the lowest byte.
//
// Threading and ownership: constants and a pure function.
#pragma once

#include <cstdint>

namespace ZK
{
constexpr uint32_t ZkFourCC(const char (&tag)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(tag[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(tag[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(tag[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(tag[3])) << 24;
}
} // namespace ZK
