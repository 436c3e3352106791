// UTF-8 <-> wide text (wchar_t holds one UTF-32 code point on Linux), independent of the locale.
// Invalid input is replaced by U+FFFD, as the system converters do: each maximal ill-formed part of
// a UTF-8 sequence becomes one U+FFFD, and so does each wide character that is a surrogate or lies
// outside 0..U+10FFFF.
//
// Thread safety: every function is pure and may be called from any thread.
#pragma once

#include <cstddef>
#include <string>

namespace ZK::Platform
{
// Converts a null-terminated UTF-8 text. Writes at most capacity wide characters including the
// terminating null (cutting at a whole code point) and returns the number written without the null.
// With a null output (or capacity 0) returns the number of wide characters the whole text needs,
// without the null.
size_t Utf8ToWide(const char* text, wchar_t* output, size_t capacity);
// Converts a null-terminated wide text, with the same rules, into UTF-8 bytes (a code point is
// never cut in the middle).
size_t WideToUtf8(const wchar_t* text, char* output, size_t capacity);

// Whole-string forms; embedded null characters are converted like any other.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Converts a null-terminated wide text without replacing anything, for names handed to the system
// (a replaced character would name a different file). False, with an empty output when it has room,
// when the text holds a character UTF-8 cannot carry or the whole text and its null do not fit.
bool WideToUtf8Exact(const wchar_t* text, char* output, size_t capacity);
} // namespace ZK::Platform
