// Hand-written UTF-8 coding, so that the result never depends on the process locale.
#include "Platform/PlatformText.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace ZK::Platform
{
namespace
{
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr size_t kMaxUtf8BytesPerCodePoint = 4;

struct DecodedCodePoint
{
    char32_t codePoint;
    size_t length; // bytes consumed, at least 1
};

bool InRange(unsigned char byte, unsigned char low, unsigned char high)
{
    return byte >= low && byte <= high;
}

// Decodes the sequence at [next, end). An ill-formed sequence consumes its maximal well-formed
// prefix (at least the lead byte) and yields one U+FFFD, the practice the Unicode standard
// recommends and Python's "replace" decoder follows.
DecodedCodePoint DecodeUtf8(const unsigned char* next, const unsigned char* end)
{
    const unsigned char lead = next[0];
    if (lead < 0x80)
    {
        return {lead, 1};
    }

    size_t continuationCount = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    char32_t codePoint = 0;
    if (InRange(lead, 0xC2, 0xDF))
    {
        continuationCount = 1;
        codePoint = lead & 0x1F;
    }
    else if (InRange(lead, 0xE0, 0xEF))
    {
        continuationCount = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
        {
            secondLow = 0xA0; // shorter forms are overlong
        }
        else if (lead == 0xED)
        {
            secondHigh = 0x9F; // higher values are surrogates
        }
    }
    else if (InRange(lead, 0xF0, 0xF4))
    {
        continuationCount = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
        {
            secondLow = 0x90; // overlong
        }
        else if (lead == 0xF4)
        {
            secondHigh = 0x8F; // above U+10FFFF
        }
    }
    else
    {
        return {kReplacementCharacter, 1}; // a stray continuation byte, C0, C1 or F5..FF
    }

    for (size_t index = 1; index <= continuationCount; ++index)
    {
        const unsigned char low = index == 1 ? secondLow : 0x80;
        const unsigned char high = index == 1 ? secondHigh : 0xBF;
        if (next + index >= end || !InRange(next[index], low, high))
        {
            return {kReplacementCharacter, index};
        }
        codePoint = (codePoint << 6) | (next[index] & 0x3F);
    }
    return {codePoint, continuationCount + 1};
}

char32_t ValidOrReplacement(wchar_t character)
{
    // wchar_t is signed here: a negative value is out of range as well.
    const int64_t value = static_cast<int64_t>(character);
    if (value < 0 || value > kLastCodePoint || (value >= 0xD800 && value <= 0xDFFF))
    {
        return kReplacementCharacter;
    }
    return static_cast<char32_t>(value);
}

bool IsEncodable(wchar_t character)
{
    return ValidOrReplacement(character) == static_cast<char32_t>(character);
}

size_t EncodedLength(char32_t codePoint)
{
    if (codePoint < 0x80)
    {
        return 1;
    }
    if (codePoint < 0x800)
    {
        return 2;
    }
    if (codePoint < 0x10000)
    {
        return 3;
    }
    return 4;
}

void EncodeUtf8(char32_t codePoint, size_t length, char* output)
{
    static constexpr unsigned char kLeadMarks[kMaxUtf8BytesPerCodePoint + 1] = {0, 0x00, 0xC0, 0xE0, 0xF0};
    for (size_t index = length - 1; index > 0; --index)
    {
        output[index] = static_cast<char>(0x80 | (codePoint & 0x3F));
        codePoint >>= 6;
    }
    output[0] = static_cast<char>(kLeadMarks[length] | codePoint);
}

template <typename Sink> void DecodeAll(const char* text, size_t size, Sink&& sink)
{
    const auto* next = reinterpret_cast<const unsigned char*>(text);
    const auto* end = next + size;
    while (next < end)
    {
        const DecodedCodePoint decoded = DecodeUtf8(next, end);
        if (!sink(decoded.codePoint))
        {
            return;
        }
        next += decoded.length;
    }
}
} // namespace

size_t Utf8ToWide(const char* text, wchar_t* output, size_t capacity)
{
    if (text == nullptr)
    {
        if (output != nullptr && capacity > 0)
        {
            output[0] = L'\0';
        }
        return 0;
    }
    const bool measureOnly = output == nullptr || capacity == 0;
    size_t count = 0;
    DecodeAll(text, std::strlen(text),
              [&](char32_t codePoint)
              {
                  if (measureOnly)
                  {
                      ++count;
                      return true;
                  }
                  if (count + 1 >= capacity)
                  {
                      return false;
                  }
                  output[count++] = static_cast<wchar_t>(codePoint);
                  return true;
              });
    if (!measureOnly)
    {
        output[count] = L'\0';
    }
    return count;
}

size_t WideToUtf8(const wchar_t* text, char* output, size_t capacity)
{
    if (text == nullptr)
    {
        if (output != nullptr && capacity > 0)
        {
            output[0] = '\0';
        }
        return 0;
    }
    const bool measureOnly = output == nullptr || capacity == 0;
    size_t count = 0;
    for (const wchar_t* next = text; *next != L'\0'; ++next)
    {
        const char32_t codePoint = ValidOrReplacement(*next);
        const size_t length = EncodedLength(codePoint);
        if (!measureOnly)
        {
            if (count + length + 1 > capacity)
            {
                break;
            }
            EncodeUtf8(codePoint, length, output + count);
        }
        count += length;
    }
    if (!measureOnly)
    {
        output[count] = '\0';
    }
    return count;
}

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring result;
    result.reserve(text.size());
    DecodeAll(text.data(), text.size(),
              [&](char32_t codePoint)
              {
                  result.push_back(static_cast<wchar_t>(codePoint));
                  return true;
              });
    return result;
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string result;
    result.reserve(text.size());
    for (const wchar_t character : text)
    {
        const char32_t codePoint = ValidOrReplacement(character);
        char encoded[kMaxUtf8BytesPerCodePoint];
        const size_t length = EncodedLength(codePoint);
        EncodeUtf8(codePoint, length, encoded);
        result.append(encoded, length);
    }
    return result;
}

bool WideToUtf8Exact(const wchar_t* text, char* output, size_t capacity)
{
    if (output != nullptr && capacity > 0)
    {
        output[0] = '\0';
    }
    if (text == nullptr || output == nullptr || capacity == 0)
    {
        return false;
    }
    for (const wchar_t* next = text; *next != L'\0'; ++next)
    {
        if (!IsEncodable(*next))
        {
            return false;
        }
    }
    if (WideToUtf8(text, nullptr, 0) + 1 > capacity)
    {
        return false;
    }
    WideToUtf8(text, output, capacity);
    return true;
}
} // namespace ZK::Platform
