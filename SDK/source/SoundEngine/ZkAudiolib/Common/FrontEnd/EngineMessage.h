// The layout rules every engine message shares: a 4-byte header {u16 size, u16 type}, the size
// covering the whole message rounded up to a multiple of 4, followed by the body. Bodies are
// little-endian and read with memcpy (fields are not aligned).
//
// Threading and ownership: constants and pure helpers.
#pragma once

#include <cstdint>
#include <cstring>

namespace ZK::SoundEngine
{
struct ZkMessageHeader
{
    uint16_t size;
    uint16_t type;
};
static_assert(sizeof(ZkMessageHeader) == 4, "message header is two 16-bit fields");

constexpr uint32_t kMessageHeaderBytes = sizeof(ZkMessageHeader);
constexpr uint32_t kMessageAlignmentBytes = 4;

// Types the ring itself handles; every other type goes to the message dispatcher.
constexpr uint16_t kMessageFrameMarker = 0;  // closes a batch (RenderAudio); header only
constexpr uint16_t kMessageWrapMarker = 60;  // fills the ring's tail: its size reaches the buffer end
constexpr uint16_t kMessageAbandoned = 61;   // reserved and then given up by its poster: skipped

// The largest message of fixed size (a posted event).
constexpr uint32_t kLargestFixedMessageBytes = 52;
// The largest message every ring must take: the fixed-size messages and the one-element form of
// every message that carries an array, the largest being one emitter position (20 + 40 bytes).
constexpr uint32_t kLargestMessageEveryRingTakes = 60;
static_assert(kLargestMessageEveryRingTakes >= kLargestFixedMessageBytes);
// The largest message the 16-bit size field can carry such that a wrap marker in front of it
// (at most its size + 4 bytes) still fits the field.
constexpr uint32_t kLargestMessageBytes = 0xFFF8;

constexpr uint32_t RoundMessageSize(uint32_t size)
{
    return (size + kMessageAlignmentBytes - 1) & ~(kMessageAlignmentBytes - 1);
}

inline ZkMessageHeader ReadMessageHeader(const uint8_t* message)
{
    ZkMessageHeader header;
    std::memcpy(&header, message, sizeof(header));
    return header;
}

inline void WriteMessageHeader(uint8_t* message, uint32_t size, uint16_t type)
{
    const ZkMessageHeader header{static_cast<uint16_t>(size), type};
    std::memcpy(message, &header, sizeof(header));
}
} // namespace ZK::SoundEngine
