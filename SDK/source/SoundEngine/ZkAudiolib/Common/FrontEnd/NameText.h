// The fixed-size UTF-8 text that ids are computed from: the engine hashes at most 259 bytes of a
// name, held in a 260-byte buffer with its terminating zero.
//
// Threading and ownership: pure functions over the caller's buffer.
#pragma once

#include <cstddef>

namespace ZK::SoundEngine
{
constexpr size_t kNameBufferBytes = 260;               // 259 bytes of text and the zero
constexpr size_t kMaximumWideNameCharacters = 258;     // wide characters converted at most

// Converts the first kMaximumWideNameCharacters of a wide name into UTF-8 in buffer. When the UTF-8
// form does not fit 259 bytes the text is left empty (a name is never cut in the middle).
void WideNameToUtf8(const wchar_t* name, char (&buffer)[kNameBufferBytes]);
} // namespace ZK::SoundEngine
