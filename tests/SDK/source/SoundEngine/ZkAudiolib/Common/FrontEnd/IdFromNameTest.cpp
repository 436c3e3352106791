// Ids from names and bank ids from bank names, judged by a Python FNV-1 oracle.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"

#include "Platform/PlatformText.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using ZK::SoundEngine::GetBankIDFromString;
using ZK::SoundEngine::GetIDFromString;

namespace
{
const char* const kOracle = "SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/fnv1_oracle.py";

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex = "''"; // an empty argument for the empty name
    if (!bytes.empty())
        hex.clear();
    for (unsigned char byte : bytes)
    {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::vector<uint32_t> OracleIds(const std::vector<std::string>& names, bool bank)
{
    std::string arguments = bank ? "--bank" : "";
    for (const std::string& name : names)
    {
        // Appended in two steps: " " + Hex(name) makes GCC 12 at -O3 warn of an overlapping copy
        // that cannot happen (-Wrestrict), which stops a Release build.
        arguments += ' ';
        arguments += Hex(name);
    }
    std::istringstream lines(ZkEngineTest::RunPythonOracle(kOracle, arguments));
    std::vector<uint32_t> ids;
    std::string line;
    while (lines >> line)
        ids.push_back(static_cast<uint32_t>(std::stoul(line, nullptr, 16)));
    return ids;
}

const std::vector<std::string> kNames = {
    "", "abc", "ABC", "Init", "init", "Play_Cannon_Fire", "volumeLevel1", "Mixed Case 123 [x]",
    "K\xC3\x84se",                          // 'Ä' in UTF-8: only ASCII capitals fold
    "\xE6\xB0\xB4\xE3\x81\xAE\xE9\x9F\xB3", // three CJK characters
    "\xF0\x9F\x94\x8A speaker",             // a character outside the basic plane
    std::string(258, 'Z'), // the longest wide name hashed whole
};
} // namespace

TEST(GetIDFromString, KnownIds)
{
    EXPECT_EQ(GetIDFromString(static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(GetIDFromString(static_cast<const wchar_t*>(nullptr)), 0u);
    EXPECT_EQ(GetIDFromString(""), 0x811C9DC5u);
    EXPECT_EQ(GetIDFromString("abc"), 0x439C2F4Bu);
    EXPECT_EQ(GetIDFromString("ABC"), 0x439C2F4Bu);
    EXPECT_EQ(GetIDFromString("Init"), 0x50C63A23u);
    EXPECT_EQ(GetIDFromString("init"), 0x50C63A23u);
}

TEST(GetIDFromString, NarrowAndWideNamesAgreeWithTheOracle)
{
    const std::vector<uint32_t> expected = OracleIds(kNames, false);
    ASSERT_EQ(expected.size(), kNames.size()) << "the Python oracle did not answer";
    for (size_t i = 0; i < kNames.size(); ++i)
    {
        EXPECT_EQ(GetIDFromString(kNames[i].c_str()), expected[i]) << "name " << i;
        const std::wstring wide = ZK::Platform::Utf8ToWide(kNames[i]);
        EXPECT_EQ(GetIDFromString(wide.c_str()), expected[i]) << "wide name " << i;
    }
    // 'Ä' keeps its two bytes: folding them would give the id of "käse" in another spelling.
    EXPECT_NE(GetIDFromString("K\xC3\x84se"), GetIDFromString("k\xC3\xA4se"));
}

TEST(GetIDFromString, LongWideNamesUseTheir258FirstCharactersOrNothing)
{
    // 300 ASCII characters: hashed on the first 258.
    const std::wstring longAscii(300, L'q');
    EXPECT_EQ(GetIDFromString(longAscii.c_str()), GetIDFromString(std::string(258, 'q').c_str()));
    // 200 two-byte characters need 400 UTF-8 bytes: the conversion fails and the name is empty.
    const std::wstring longAccented(200, L'\u00E9');
    EXPECT_EQ(GetIDFromString(longAccented.c_str()), 0x811C9DC5u);
    // 129 two-byte characters need 258 bytes and still fit.
    const std::wstring fits(129, L'\u00E9');
    std::string fitsUtf8;
    for (int i = 0; i < 129; ++i)
        fitsUtf8 += "\xC3\xA9";
    EXPECT_EQ(GetIDFromString(fits.c_str()), GetIDFromString(fitsUtf8.c_str()));
}

TEST(GetBankIDFromString, CutsOnlyTheLastExtension)
{
    const std::vector<std::string> names = {"Main.bnk", "main", "MAIN.BNK", "a.b.bnk", "a.b", ".bnk", "Init.bnk", "no_extension"};
    const std::vector<uint32_t> expected = OracleIds(names, true);
    ASSERT_EQ(expected.size(), names.size()) << "the Python oracle did not answer";
    for (size_t i = 0; i < names.size(); ++i)
    {
        EXPECT_EQ(GetBankIDFromString(names[i].c_str()), expected[i]) << names[i];
        const std::wstring wide = ZK::Platform::Utf8ToWide(names[i]);
        EXPECT_EQ(GetBankIDFromString(wide.c_str()), expected[i]) << names[i] << " (wide)";
    }
    EXPECT_EQ(GetBankIDFromString("Main.bnk"), GetIDFromString("main"));
    EXPECT_EQ(GetBankIDFromString("MAIN.BNK"), GetBankIDFromString("main"));
    EXPECT_EQ(GetBankIDFromString("a.b.bnk"), GetIDFromString("a.b"));
    EXPECT_EQ(GetBankIDFromString("a.b"), GetIDFromString("a"));
    EXPECT_EQ(GetBankIDFromString(".bnk"), GetIDFromString(""));
    EXPECT_EQ(GetBankIDFromString(static_cast<const char*>(nullptr)), 0u);
}

TEST(GetBankIDFromString, UsesAtMost259BytesOfTheName)
{
    // The 259-byte limit cuts ".bnk" away before the extension search: the dot left is the one
    // inside the kept part.
    const std::string name = std::string(250, 'x') + ".part" + std::string(10, 'y') + ".bnk";
    const std::string kept = name.substr(0, 259);
    EXPECT_EQ(GetBankIDFromString(name.c_str()), GetIDFromString(kept.substr(0, kept.rfind('.')).c_str()));
}
