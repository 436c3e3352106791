// ZkActionValue: the value block of the actions that set a property, a game parameter or a seek
// position: a base and a range {minimum, maximum} (and, for the setters, whether the value is
// absolute or an offset). Each execution draws the value again: base + minimum, plus a fraction
// r x (maximum - minimum) from the engine's generator when the range is not empty.
//
// Threading: read on the bank thread, drawn on the engine thread. Ownership: a plain value.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Parameters/CZkTransition.h"

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkActionValue
{
    ZkValueMeaning meaning = ZkValueMeaning_Absolute;
    float base = 0.0f;
    float minimum = 0.0f;
    float maximum = 0.0f;

    // Reads base, minimum and maximum as floats (or as 32-bit integers when asIntegers). False
    // when they run past the cursor.
    bool ReadValues(ZK::ZkByteCursor& cursor, bool asIntegers = false);
    // Reads the meaning byte, then the values as floats.
    bool ReadWithMeaning(ZK::ZkByteCursor& cursor);
    // The value for one execution (draws from the engine's generator when the range is not empty).
    float Draw() const;
};
} // namespace ZK::SoundEngine
