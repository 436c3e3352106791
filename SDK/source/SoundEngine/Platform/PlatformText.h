// UTF-8 <-> wide text (wchar_t holds one UTF-32 code point on Linux), independent of the locale.
// Invalid input (a malformed UTF-8 sequence, a surrogate or out-of-range code point) is replaced
// by U+FFFD, as the system converters do.
#pragma once

#include <cstddef>
#include <string>

namespace ZK::Platform
{
// Converts a null-terminated UTF-8 text. Writes at most capacity wide characters including the
// terminating null (cutting at a whole code point) and returns the number written without the null.
// With a null output (or capacity 0) returns the number of wide characters the whole text needs.
size_t Utf8ToWide(const char* text, wchar_t* output, size_t capacity);
// Converts a null-terminated wide text, with the same rules, into UTF-8 bytes (a code point is
// never cut in the middle).
size_t WideToUtf8(const wchar_t* text, char* output, size_t capacity);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
} // namespace ZK::Platform
