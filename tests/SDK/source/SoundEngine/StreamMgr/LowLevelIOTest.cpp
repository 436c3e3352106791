// The loose-file resolver and blocking hook: names from ids, language folders, base paths, the
// 259-character path rule, result codes of each level, and reads and writes at positions.
#include "StreamMgr/CZkDefaultIOHookBlocking.h"

#include "StreamTestSupport.h"

#include <cstring>
#include <vector>

namespace
{
using namespace ZkStreamTest;

class LowLevelIO : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(SetCurrentLanguage(L""), ZK_Success); }
    void TearDown() override { SetCurrentLanguage(L""); }

    ZKRESULT OpenId(uint32_t fileId, ZkFileOpenFlags flags, uint32_t openMode, ZkFileDescriptor& fileDesc)
    {
        bool syncOpen = true;
        fileDesc = ZkFileDescriptor{};
        return m_hook.OpenByID(fileId, openMode, &flags, syncOpen, fileDesc);
    }

    MemoryScope m_memory;
    TempDir m_dir;
    CZkDefaultIOHookBlocking m_hook;
};

ZkFileOpenFlags Flags(uint32_t fileType, bool languageSpecific, uint32_t idSpace = ZK_FileIdSpace32)
{
    ZkFileOpenFlags flags;
    flags.fileType = fileType;
    flags.isLanguageSpecific = languageSpecific;
    flags.idSpace = idSpace;
    return flags;
}

// Every candidate location holds a file of its own size, so the size tells which one was opened.
TEST_F(LowLevelIO, IdsResolveToBankAndMediaNamesInTheRightFolder)
{
    m_dir.Write("123.bnk", 11);
    m_dir.Write("123.oxm", 22);
    m_dir.Write("English(US)/123.oxm", 33);
    m_dir.Write("English(US)/123.bnk", 44);
    ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);

    struct Case
    {
        const char* what;
        ZkFileOpenFlags flags;
        uint32_t openMode;
        int64_t expectedSize;
    };
    const Case cases[] = {
        {"bank", Flags(ZK_FileTypeSoundBank, false), ZK_OpenModeRead, 11},
        {"media", Flags(1, false), ZK_OpenModeRead, 22},
        {"language-specific media", Flags(1, true), ZK_OpenModeRead, 33},
        {"language-specific bank", Flags(ZK_FileTypeSoundBank, true), ZK_OpenModeRead, 44},
        {"language-specific media opened for writing", Flags(1, true), ZK_OpenModeWrite, 22},
        {"language-specific media opened to read and write", Flags(1, true), ZK_OpenModeReadWrite, 22},
        {"external id space falls back to the loose name", Flags(1, false, ZK_FileIdSpaceExternal), ZK_OpenModeRead, 22},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ZkFileDescriptor fileDesc;
        ASSERT_EQ(OpenId(123, c.flags, c.openMode, fileDesc), ZK_Success);
        EXPECT_EQ(fileDesc.fileSize, c.expectedSize);
        EXPECT_EQ(fileDesc.startBlock, 0);
        EXPECT_EQ(fileDesc.filePackage, nullptr);
        EXPECT_EQ(m_hook.GetBlockSize(fileDesc), 1u);
        EXPECT_EQ(m_hook.Close(fileDesc), ZK_Success);
    }
}

TEST_F(LowLevelIO, WriteOverwriteCreatesTheFileOutsideTheLanguageFolder)
{
    ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);
    ZkFileDescriptor fileDesc;
    ASSERT_EQ(OpenId(77, Flags(1, true), ZK_OpenModeWriteOverwrite, fileDesc), ZK_Success);
    EXPECT_EQ(fileDesc.fileSize, 0);
    EXPECT_EQ(m_hook.Close(fileDesc), ZK_Success);
    EXPECT_TRUE(fs::exists(m_dir.Path() / "77.oxm"));
    EXPECT_FALSE(fs::exists(m_dir.Path() / "English(US)"));
}

TEST_F(LowLevelIO, BasePathAddedLastIsTriedFirst)
{
    TempDir older;
    older.Write("5.bnk", 10);
    older.Write("6.bnk", 60);
    m_dir.Write("5.bnk", 20);
    ASSERT_EQ(m_hook.AddBasePath(older.WPath().c_str()), ZK_Success);
    ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    EXPECT_EQ(m_hook.BasePathCount(), 2u);

    ZkFileDescriptor fileDesc;
    ASSERT_EQ(OpenId(5, Flags(ZK_FileTypeSoundBank, false), ZK_OpenModeRead, fileDesc), ZK_Success);
    EXPECT_EQ(fileDesc.fileSize, 20) << "the newer base path holds 5.bnk";
    m_hook.Close(fileDesc);
    ASSERT_EQ(OpenId(6, Flags(ZK_FileTypeSoundBank, false), ZK_OpenModeRead, fileDesc), ZK_Success);
    EXPECT_EQ(fileDesc.fileSize, 60) << "missing in the newer one, found in the older one";
    m_hook.Close(fileDesc);
}

TEST_F(LowLevelIO, PathRuleOf259Characters)
{
    const std::wstring name259(259, L'n');
    const std::wstring name260(260, L'n');
    ZkFileOpenFlags languageFlags = Flags(1, true);
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success); // 11 characters

    struct Case
    {
        const char* what;
        const wchar_t* name;
        const wchar_t* base;
        const ZkFileOpenFlags* flags;
        uint32_t openMode;
        ZKRESULT expected;
        size_t expectedLength;
    };
    const std::wstring name247(247, L'n'); // 247 + "English(US)/" = 259
    const std::wstring name248(248, L'n');
    const std::wstring base259(259, L'b');
    const std::wstring base260(260, L'b');
    const Case cases[] = {
        {"null name", nullptr, L"", nullptr, ZK_OpenModeRead, ZK_InvalidParameter, 0},
        {"260 characters", name260.c_str(), L"", nullptr, ZK_OpenModeRead, ZK_InvalidParameter, 0},
        {"259 characters alone", name259.c_str(), L"", nullptr, ZK_OpenModeRead, ZK_Success, 259},
        {"259 characters under a base path", name259.c_str(), L"b/", nullptr, ZK_OpenModeRead, ZK_Fail, 0},
        {"language folder fills 259", name247.c_str(), L"", &languageFlags, ZK_OpenModeRead, ZK_Success, 259},
        {"language folder passes 259", name248.c_str(), L"", &languageFlags, ZK_OpenModeRead, ZK_Fail, 0},
        {"writes have no language folder", name248.c_str(), L"", &languageFlags, ZK_OpenModeWrite, ZK_Success, 248},
        {"a base path of 259 characters alone", L"", base259.c_str(), nullptr, ZK_OpenModeRead, ZK_Success, 259},
        {"a base path too long to keep whole", L"", base260.c_str(), nullptr, ZK_OpenModeRead, ZK_Fail, 0},
        {"a base path too long, with a name", L"x", base260.c_str(), nullptr, ZK_OpenModeRead, ZK_Fail, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        wchar_t path[kMaxPathChars];
        EXPECT_EQ(CZkMultipleFileLocation::BuildPath(c.name, c.flags, c.openMode, c.base, path), c.expected);
        if (c.expected == ZK_Success)
        {
            EXPECT_EQ(std::wcslen(path), c.expectedLength);
        }
    }

    wchar_t path[kMaxPathChars];
    ASSERT_EQ(CZkMultipleFileLocation::BuildPath(L"9.oxm", &languageFlags, ZK_OpenModeRead, L"base/", path), ZK_Success);
    EXPECT_STREQ(path, L"base/English(US)/9.oxm");
}

TEST_F(LowLevelIO, BasePathTooLongForALanguageFolderIsRefused)
{
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);
    EXPECT_EQ(m_hook.AddBasePath(std::wstring(246, L'p').c_str()), ZK_Success); // 246 + 11 + 2 = 259
    EXPECT_EQ(m_hook.AddBasePath(std::wstring(247, L'p').c_str()), ZK_InvalidParameter);
    EXPECT_EQ(m_hook.AddBasePath(nullptr), ZK_InvalidParameter);
    EXPECT_EQ(m_hook.BasePathCount(), 1u);
}

TEST_F(LowLevelIO, MissingFilesAnswerEachLevelsCodeAndLeaveNothingOpen)
{
    ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    const size_t descriptorsBefore = OpenDescriptorCount();
    ZkFileDescriptor fileDesc{};

    const std::wstring missing = m_dir.WPath() + L"/404.bnk";
    EXPECT_EQ(CZkMultipleFileLocation::OpenFile(missing.c_str(), ZK_OpenModeRead, fileDesc), ZK_FileNotFound);
    const std::wstring missingFolder = m_dir.WPath() + L"/nowhere/404.bnk";
    EXPECT_EQ(CZkMultipleFileLocation::OpenFile(missingFolder.c_str(), ZK_OpenModeRead, fileDesc), ZK_FileNotFound);
    EXPECT_EQ(CZkMultipleFileLocation::OpenFile(m_dir.WPath().c_str(), ZK_OpenModeRead, fileDesc), ZK_Fail)
        << "a folder is not a file";
    m_dir.Write("present.bnk", 3);
    const std::wstring present = m_dir.WPath() + L"/present.bnk";
    fileDesc.fileHandle = &fileDesc;
    EXPECT_EQ(CZkMultipleFileLocation::OpenFile(present.c_str(), 4, fileDesc), ZK_InvalidParameter);
    EXPECT_EQ(fileDesc.fileHandle, nullptr);

    EXPECT_EQ(m_hook.OpenLoose(L"404.bnk", ZK_OpenModeRead, nullptr, fileDesc), ZK_Fail);
    EXPECT_EQ(OpenId(404, Flags(ZK_FileTypeSoundBank, false), ZK_OpenModeRead, fileDesc), ZK_Fail);
    EXPECT_EQ(OpenId(404, Flags(1, true), ZK_OpenModeRead, fileDesc), ZK_Fail) << "missing language folder";
    EXPECT_EQ(OpenId(3, Flags(ZK_FileTypeSoundBank, false, 2), ZK_OpenModeRead, fileDesc), ZK_Fail)
        << "id space 2 is resolvable by name only";
    bool syncOpen = true;
    EXPECT_EQ(m_hook.OpenByID(404, ZK_OpenModeRead, nullptr, syncOpen, fileDesc), ZK_InvalidParameter);
    EXPECT_EQ(m_hook.OpenByName(nullptr, ZK_OpenModeRead, nullptr, syncOpen, fileDesc), ZK_InvalidParameter);
    const std::wstring longName(300, L'n');
    EXPECT_EQ(m_hook.OpenByName(longName.c_str(), ZK_OpenModeRead, nullptr, syncOpen, fileDesc), ZK_Fail);
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

TEST_F(LowLevelIO, NamesAreCaseSensitiveAndOpenedAsGiven)
{
    m_dir.Write("Init.bnk", 8);
    ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    bool syncOpen = false;
    ZkFileDescriptor fileDesc{};
    ZkFileOpenFlags flags = Flags(ZK_FileTypeSoundBank, false, 2);
    ASSERT_EQ(m_hook.OpenByName(L"Init.bnk", ZK_OpenModeRead, &flags, syncOpen, fileDesc), ZK_Success);
    EXPECT_TRUE(syncOpen);
    EXPECT_EQ(fileDesc.fileSize, 8);
    m_hook.Close(fileDesc);
    EXPECT_EQ(m_hook.OpenByName(L"init.bnk", ZK_OpenModeRead, &flags, syncOpen, fileDesc), ZK_Fail);
}

TEST_F(LowLevelIO, DeferredOpenDescribesTheFileWithoutOpeningIt)
{
    m_hook.SetDeviceId(3);
    m_hook.SetDeferredOpen(true);
    EXPECT_TRUE(m_hook.GetDeviceFlag());
    bool syncOpen = false;
    ZkFileDescriptor fileDesc{};
    ZkFileOpenFlags flags = Flags(ZK_FileTypeSoundBank, false, 2);
    EXPECT_EQ(m_hook.OpenByID(1, ZK_OpenModeRead, &flags, syncOpen, fileDesc), ZK_Success);
    EXPECT_FALSE(syncOpen);
    EXPECT_EQ(fileDesc.fileSize, 0);
    EXPECT_EQ(fileDesc.fileHandle, nullptr);
    EXPECT_EQ(fileDesc.deviceId, 3u);

    syncOpen = true; // needed now: the loose open runs (and the file is missing)
    EXPECT_EQ(m_hook.OpenByID(1, ZK_OpenModeRead, &flags, syncOpen, fileDesc), ZK_Fail);
}

TEST_F(LowLevelIO, WritesAndReadsAtPositionsAndClearsWhatAShortReadDidNotFill)
{
    ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
    ZkFileDescriptor fileDesc;
    ASSERT_EQ(OpenId(9, Flags(1, false), ZK_OpenModeWriteOverwrite, fileDesc), ZK_Success);
    std::vector<char> data(100);
    for (size_t index = 0; index < data.size(); ++index)
        data[index] = static_cast<char>('A' + index % 26);
    ZkTransferInfo transfer{};
    transfer.filePosition = 0;
    transfer.bufferSize = 100;
    transfer.requestedSize = 100;
    transfer.buffer = data.data();
    const ZkIOHeuristics heuristics{0.0f, 50};
    ASSERT_EQ(m_hook.Write(fileDesc, heuristics, data.data(), transfer), ZK_Success);
    EXPECT_EQ(transfer.bytesTransferred, 100u);
    ASSERT_EQ(m_hook.Close(fileDesc), ZK_Success);
    EXPECT_EQ(fs::file_size(m_dir.Path() / "9.oxm"), 100u);

    ASSERT_EQ(OpenId(9, Flags(1, false), ZK_OpenModeRead, fileDesc), ZK_Success);
    ASSERT_EQ(fileDesc.fileSize, 100);
    std::vector<char> buffer(64, '\x55');
    transfer.filePosition = 90; // 10 bytes are left
    transfer.bufferSize = 64;
    transfer.requestedSize = 64;
    transfer.buffer = buffer.data();
    EXPECT_EQ(m_hook.Read(fileDesc, heuristics, buffer.data(), transfer), ZK_Success);
    EXPECT_EQ(transfer.bytesTransferred, 10u);
    EXPECT_EQ(std::memcmp(buffer.data(), data.data() + 90, 10), 0);
    EXPECT_EQ(std::vector<char>(buffer.begin() + 10, buffer.end()), std::vector<char>(54, '\0'))
        << "no stale bytes after the end of the file";

    std::fill(buffer.begin(), buffer.end(), '\x55');
    transfer.filePosition = 500;
    EXPECT_EQ(m_hook.Read(fileDesc, heuristics, buffer.data(), transfer), ZK_Success);
    EXPECT_EQ(transfer.bytesTransferred, 0u);
    EXPECT_EQ(buffer, std::vector<char>(64, '\0'));

    ZkTransferInfo written{};
    written.requestedSize = 4;
    written.buffer = data.data();
    EXPECT_EQ(m_hook.Write(fileDesc, heuristics, data.data(), written), ZK_Fail) << "the file is open for reading";
    ASSERT_EQ(m_hook.Close(fileDesc), ZK_Success);
    EXPECT_EQ(fileDesc.fileHandle, nullptr);

    std::fill(buffer.begin(), buffer.end(), '\x55');
    transfer.filePosition = 0;
    EXPECT_EQ(m_hook.Read(fileDesc, heuristics, buffer.data(), transfer), ZK_Fail) << "closed";
    EXPECT_EQ(buffer, std::vector<char>(64, '\0'));
    EXPECT_EQ(m_hook.Close(fileDesc), ZK_Fail) << "nothing left to close";
}
} // namespace
