// Field readers shared by the music objects' bank payloads: bank times (milliseconds, as f64 or
// i32) turned into 32-bit sample counts at the engine's rate, and zero-terminated names.
//
// A time that is not finite or whose sample count does not fit in 32 bits is refused (false)
// instead of converted: a float-to-integer conversion out of range is undefined, and the sync
// searches of the playback contexts rely on every length being a real, representable count.
//
// Threading: any thread; reads the engine's sample rate. Ownership: none.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <cstddef>
#include <cstdint>

namespace ZK::MusicEngine
{
// ms x rate x 0.001, rounded half away from zero.
bool MsToSamples(double ms, int32_t& samples);
// ms x rate x 0.001 with no rounding yet, and whether it is finite and fits 32 bits after ceil.
bool MsToSamplesCeil(double ms, int32_t& samples);
// An i32 offset in ms: ms x rate / 1000 in 64-bit integer arithmetic, truncated toward zero.
bool OffsetMsToSamples(int32_t ms, int32_t& samples);
// A double sample count (already computed) rounded half away from zero into 32 bits.
bool RoundToSamples(double value, int32_t& samples);
// The name at the cursor up to and including its terminating zero: the text and its length
// without the zero. False (the cursor unmoved) when no zero lies within the cursor's bytes.
bool ReadZeroTerminated(ZK::ZkByteCursor& cursor, const char*& text, size_t& length);
} // namespace ZK::MusicEngine
