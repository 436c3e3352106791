// Milliseconds to audio frames: ceil(ms / frame length), the frame length being a whole number of
// milliseconds (21 ms: 1024 samples at 48 kHz, truncated). Times not above 0 are 0 frames; a frame
// length of 0 (a buffer shorter than 1 ms) counts as 1 ms so that nothing divides by zero.
//
// Threading and ownership: pure functions.
#pragma once

#include <cstdint>

namespace ZK
{
constexpr uint32_t kDefaultFrameLengthMs = 21;

constexpr uint32_t MillisecondsToFrames(int64_t milliseconds, uint32_t frameLengthMs = kDefaultFrameLengthMs)
{
    if (milliseconds <= 0)
        return 0;
    const uint64_t length = frameLengthMs == 0 ? 1u : frameLengthMs;
    const uint64_t frames = (static_cast<uint64_t>(milliseconds) + length - 1) / length;
    return frames > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(frames);
}
} // namespace ZK
