// UTF-8 <-> wide conversion, judged by Python's own codec: its "replace" decoder applies the same
// one-U+FFFD-per-maximal-ill-formed-part rule the converter promises.
#include "Platform/PlatformText.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::Platform;

std::string ToHex(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes)
    {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t index = 0; index + 1 < hex.size(); index += 2)
    {
        bytes += static_cast<char>(std::stoi(hex.substr(index, 2), nullptr, 16));
    }
    return bytes;
}

struct PythonAnswer
{
    std::wstring decoded;  // bytes.decode("utf-8", "replace")
    std::string reencoded; // the decoded text encoded again
};

// One Python run for the whole table. Each argument is "x" + the hex of one input's bytes.
std::vector<PythonAnswer> AskPython(const std::vector<std::string>& inputs)
{
    std::string command = "python3 -c '"
                          "import sys\n"
                          "for argument in sys.argv[1:]:\n"
                          "    text = bytes.fromhex(argument[1:]).decode(\"utf-8\", \"replace\")\n"
                          "    print(\"|\" + \",\".join(\"%x\" % ord(c) for c in text) + \"|\" + "
                          "text.encode(\"utf-8\").hex())\n"
                          "'";
    for (const std::string& input : inputs)
    {
        command += " x" + ToHex(input);
    }
    std::vector<PythonAnswer> answers;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
    {
        return answers;
    }
    char line[8192];
    while (std::fgets(line, sizeof(line), pipe) != nullptr)
    {
        std::string text(line);
        const size_t separator = text.find('|', 1);
        PythonAnswer answer;
        std::stringstream codePoints(text.substr(1, separator - 1));
        std::string codePoint;
        while (std::getline(codePoints, codePoint, ','))
        {
            answer.decoded += static_cast<wchar_t>(std::stoul(codePoint, nullptr, 16));
        }
        std::string reencodedHex = text.substr(separator + 1);
        while (!reencodedHex.empty() && (reencodedHex.back() == '\n' || reencodedHex.back() == '\r'))
        {
            reencodedHex.pop_back();
        }
        answer.reencoded = FromHex(reencodedHex);
        answers.push_back(answer);
    }
    pclose(pipe);
    return answers;
}

struct Utf8Case
{
    const char* what;
    std::string bytes;
};

const std::vector<Utf8Case>& Utf8Cases()
{
    static const std::vector<Utf8Case> cases = {
        {"empty", ""},
        {"ASCII", "ZK::EventManager, bank 123.bnk"},
        {"Latin accents", "Gr\xC3\xBC\xC3\x9F"
                          "e, \xC3\xA7"
                          "a va? \xC3\x86\xC3\xB8\xC3\xA5"},
        {"CJK", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"non-BMP", "\xF0\x9D\x84\x9E clef \xF0\x9F\x8E\xB5"},
        {"two-byte bounds", "\xC2\x80\xDF\xBF"},
        {"three-byte bounds", "\xE0\xA0\x80\xEF\xBF\xBF\xED\x9F\xBF\xEE\x80\x80"},
        {"four-byte bounds", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"replacement character itself", "\xEF\xBF\xBD"},
        {"lone bytes FF and FE", "a\xFF"
                                 "b\xFE"},
        {"stray continuation bytes", "\x80\xBF"
                                     "x"},
        {"overlong two-byte", "\xC0\xAF\xC1\xBF"},
        {"overlong three-byte", "\xE0\x80\xAF"},
        {"overlong four-byte", "\xF0\x80\x80\xAF"},
        {"encoded surrogate", "\xED\xA0\x80\xED\xBF\xBF"},
        {"above U+10FFFF", "\xF4\x90\x80\x80"},
        {"five-byte form", "\xF8\x88\x80\x80\x80"},
        {"truncated at the end", "abc\xE2\x82"},
        {"truncated before ASCII", "\xE2\x82"
                                   "A\xF0\x9F\x98"
                                   "B"},
        {"truncated four-byte at the end", "\xF0\x9F\x98"},
        {"lead byte then lead byte", "\xC3\xC3\xA9"},
    };
    return cases;
}

TEST(TextConversion, Utf8ToWideAndBackAgreeWithPython)
{
    std::vector<std::string> inputs;
    for (const Utf8Case& testCase : Utf8Cases())
    {
        inputs.push_back(testCase.bytes);
    }
    const std::vector<PythonAnswer> answers = AskPython(inputs);
    ASSERT_EQ(answers.size(), inputs.size()) << "python3 did not answer for every case";

    for (size_t index = 0; index < inputs.size(); ++index)
    {
        SCOPED_TRACE(Utf8Cases()[index].what);
        const std::string& input = inputs[index];
        const std::wstring wide = Utf8ToWide(input);
        EXPECT_EQ(wide, answers[index].decoded);
        EXPECT_EQ(WideToUtf8(wide), answers[index].reencoded);

        // The null-terminated forms: measure, then convert into a buffer of exactly that size.
        const size_t needed = Utf8ToWide(input.c_str(), nullptr, 0);
        EXPECT_EQ(needed, answers[index].decoded.size());
        std::vector<wchar_t> wideBuffer(needed + 1, L'#');
        EXPECT_EQ(Utf8ToWide(input.c_str(), wideBuffer.data(), wideBuffer.size()), needed);
        EXPECT_EQ(std::wstring(wideBuffer.data()), answers[index].decoded);

        const size_t neededBytes = WideToUtf8(wide.c_str(), nullptr, 0);
        EXPECT_EQ(neededBytes, answers[index].reencoded.size());
        std::vector<char> byteBuffer(neededBytes + 1, '#');
        EXPECT_EQ(WideToUtf8(wide.c_str(), byteBuffer.data(), byteBuffer.size()), neededBytes);
        EXPECT_EQ(std::string(byteBuffer.data()), answers[index].reencoded);
    }
}

TEST(TextConversion, InvalidWideCharactersBecomeReplacementCharacters)
{
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case
    {
        const char* what;
        std::wstring wide;
        std::string expected;
    };
    const Case cases[] = {
        {"high surrogate", std::wstring{L'a', static_cast<wchar_t>(0xD800), L'b'}, "a" + replacement + "b"},
        {"low surrogate", std::wstring{static_cast<wchar_t>(0xDFFF)}, replacement},
        {"above U+10FFFF", std::wstring{static_cast<wchar_t>(0x110000)}, replacement},
        {"negative", std::wstring{static_cast<wchar_t>(-1), L'z'}, replacement + "z"},
        {"last code point", std::wstring{static_cast<wchar_t>(0x10FFFF)}, "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testCase.what);
        EXPECT_EQ(WideToUtf8(testCase.wide), testCase.expected);
        EXPECT_EQ(WideToUtf8(testCase.wide.c_str(), nullptr, 0), testCase.expected.size());
    }
}

TEST(TextConversion, CapacityCutsAtWholeCodePoints)
{
    const std::wstring wide = L"a\u00E9\U0001D11E"; // 1 + 2 + 4 bytes in UTF-8
    struct Case
    {
        size_t capacity;
        std::string expectedBytes;
        std::wstring expectedWide;
    };
    const Case cases[] = {
        {1, "", L""},
        {2, "a", L"a"},
        {3, "a", L"a\u00E9"},
        {4, "a\xC3\xA9", L"a\u00E9\U0001D11E"},
        {7, "a\xC3\xA9", L"a\u00E9\U0001D11E"},
        {8, "a\xC3\xA9\xF0\x9D\x84\x9E", L"a\u00E9\U0001D11E"},
    };
    const std::string utf8 = WideToUtf8(wide);
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testCase.capacity);
        std::vector<char> bytes(testCase.capacity + 4, '#');
        EXPECT_EQ(WideToUtf8(wide.c_str(), bytes.data(), testCase.capacity), testCase.expectedBytes.size());
        EXPECT_EQ(std::string(bytes.data()), testCase.expectedBytes);
        EXPECT_EQ(bytes[testCase.capacity], '#') << "wrote past the capacity";

        std::vector<wchar_t> wideOut(testCase.capacity + 4, L'#');
        EXPECT_EQ(Utf8ToWide(utf8.c_str(), wideOut.data(), testCase.capacity), testCase.expectedWide.size());
        EXPECT_EQ(std::wstring(wideOut.data()), testCase.expectedWide);
        EXPECT_EQ(wideOut[testCase.capacity], L'#') << "wrote past the capacity";
    }
}

TEST(TextConversion, ExactConversionRefusesWhatItWouldHaveToReplace)
{
    char output[16];
    EXPECT_TRUE(WideToUtf8Exact(L"caf\u00E9.bnk", output, sizeof(output)));
    EXPECT_STREQ(output, "caf\xC3\xA9.bnk");

    const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'\0'};
    EXPECT_FALSE(WideToUtf8Exact(surrogate, output, sizeof(output)));
    EXPECT_STREQ(output, "");
    EXPECT_FALSE(WideToUtf8Exact(L"0123456789abcdef", output, sizeof(output))) << "16 bytes and a null";
    EXPECT_TRUE(WideToUtf8Exact(L"0123456789abcde", output, sizeof(output)));
}
} // namespace
