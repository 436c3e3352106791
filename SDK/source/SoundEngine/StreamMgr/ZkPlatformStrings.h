// Wide-string helpers of the sound engine shared by the stream manager, its streams and the front
// end: a copy into a fixed buffer that always terminates.
//
// Threading: pure functions, any thread.
#pragma once

#include <cstddef>

namespace ZK
{
// Copies at most capacity - 1 characters of source into destination and always terminates it
// (nothing happens for a zero capacity; a null source gives an empty text).
void SafeWideStrCopy(wchar_t* destination, const wchar_t* source, size_t capacity);
} // namespace ZK
