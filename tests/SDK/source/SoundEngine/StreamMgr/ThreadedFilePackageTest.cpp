// File packages in the game's low-level I/O: packed files read back byte for byte at every block
// size, look-ups against the tables' own bisection, the package list's order and references, the
// language map, and packages the writer damaged on purpose.
#include "PackageTestSupport.h"

#include "StreamMgr/ZkFileNameHash.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

namespace
{
using namespace ZkPackageTest;

constexpr uint32_t kMediaType = 1; // any file type other than a bank's

std::string Pattern(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (size_t index = 0; index < size; ++index)
        bytes[index] = static_cast<char>((index * 131 + seed * 7 + index / 253) & 0xFF);
    return bytes;
}

// Equal bytes, or the sizes and the first difference (never the bytes themselves).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << (actual.rfind("<result", 0) == 0 ? actual : "") << " " << actual.size()
                                         << " bytes, expected " << expected.size() << ", first difference at " << at;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

using ThreadedFilePackage = PackageIO;

// Banks, streamed media, language-specific media and external files of odd sizes, packed at each
// block size: every file read through a standard stream equals its source, and every descriptor
// carries what the tables' bisection (the oracle) finds.
TEST_F(ThreadedFilePackage, EveryPackedFileReadsBackByteForByteAtEveryBlockSize)
{
    const std::string init = Pattern(3001, 1), main = Pattern(1, 2), media = Pattern(40000, 3),
                      english = Pattern(777, 4), french = Pattern(778, 5), notes = Pattern(17, 6);
    Source("Init.bnk", init);
    Source("Main.bnk", main);
    Source("123.oxm", media);
    Source("English(US)/55.oxm", english);
    Source("French(Canada)/55.oxm", french);
    Source("notes.txt", notes);
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);
    const uint32_t initId = FileIdOfName(L"Init", 4);
    const uint32_t mainId = FileIdOfName(L"Main", 4);
    for (uint32_t blockSize : {1u, 16u, 2048u})
    {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        const std::string name = "Sounds" + std::to_string(blockSize) + ".pck";
        Pack(name, blockSize);
        uint32_t packageId = 0;
        ASSERT_EQ(m_io.LoadFilePackage(Wide(name).c_str(), packageId), ZK_Success);
        EXPECT_EQ(packageId, FileIdOfName(Wide(name).c_str(), name.size()));

        EXPECT_TRUE(SameBytes(ReadById(initId, OpenFlags(ZK_FileTypeSoundBank)), init));
        EXPECT_TRUE(SameBytes(ReadByName(L"Main.bnk", OpenFlags(ZK_FileTypeSoundBank)), main));
        EXPECT_TRUE(SameBytes(ReadById(123, OpenFlags(kMediaType)), media));
        EXPECT_TRUE(SameBytes(ReadById(55, OpenFlags(kMediaType, true)), english));
        EXPECT_TRUE(SameBytes(ReadByName(L"notes.txt", OpenFlags(kMediaType, false, ZK_FileIdSpaceExternal)), notes));
        ASSERT_EQ(SetCurrentLanguage(L"French(Canada)"), ZK_Success);
        EXPECT_TRUE(SameBytes(ReadById(55, OpenFlags(kMediaType, true)), french));
        ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);

        // The descriptors against the oracle: the map gives english(us) 1 and french(canada) 2.
        const std::vector<std::string> answers = OracleLookUps(
            m_dir.Path() / name, {"bank:" + std::to_string(initId) + ":0", "bank:" + std::to_string(mainId) + ":0",
                                  "streamed:123:0", "streamed:55:1",
                                  "external:" + std::to_string(ExternalFileIdOfName(L"notes.txt")) + ":0"});
        ASSERT_EQ(answers.size(), 5u);
        struct Open
        {
            uint32_t fileId;
            const wchar_t* name;
            ZkFileOpenFlags flags;
        };
        const Open opens[] = {{initId, nullptr, OpenFlags(ZK_FileTypeSoundBank)},
                              {0, L"Main.bnk", OpenFlags(ZK_FileTypeSoundBank)},
                              {123, nullptr, OpenFlags(kMediaType)},
                              {55, nullptr, OpenFlags(kMediaType, true)},
                              {0, L"notes.txt", OpenFlags(kMediaType, false, ZK_FileIdSpaceExternal)}};
        for (size_t index = 0; index < std::size(opens); ++index)
        {
            ZkFileOpenFlags flags = opens[index].flags;
            ZkFileDescriptor fileDesc{};
            bool syncOpen = false;
            ASSERT_EQ(opens[index].name ? m_io.OpenByName(opens[index].name, ZK_OpenModeRead, &flags, syncOpen, fileDesc)
                                        : m_io.OpenByID(opens[index].fileId, ZK_OpenModeRead, &flags, syncOpen, fileDesc),
                      ZK_Success);
            EXPECT_TRUE(syncOpen);
            EXPECT_NE(fileDesc.filePackage, nullptr);
            EXPECT_EQ(Describe(fileDesc), answers[index]) << "open " << index;
            EXPECT_EQ(m_io.GetBlockSize(fileDesc), blockSize);
            EXPECT_EQ(fileDesc.deviceId, m_io.DeviceId());
            EXPECT_EQ(m_io.Close(fileDesc), ZK_Success);
            EXPECT_EQ(fileDesc.filePackage, nullptr);
        }
        EXPECT_EQ(m_io.UnloadFilePackage(packageId), ZK_Success);
        EXPECT_EQ(m_io.UnloadFilePackage(packageId), ZK_Fail);
    }
}
} // namespace
