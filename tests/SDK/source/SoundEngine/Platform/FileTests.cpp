// Files by wide name: open modes, the not-found case, positional reads that report short counts at
// the end of a file, writes, size, attributes.
#include "Platform/PlatformFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using namespace ZK::Platform;
namespace fs = std::filesystem;

class FileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = testing::TempDir() + "zk_platform_files_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // A wide name in the temporary folder (the folder's own name is plain ASCII).
    std::wstring WidePath(const std::wstring& name) const
    {
        const std::string folder = m_folder.string();
        return std::wstring(folder.begin(), folder.end()) + L"/" + name;
    }
    fs::path Path(const std::string& name) const { return m_folder / name; }

    void WriteBytes(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string ReadBytes(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_folder;
};

TEST_F(FileTest, MissingFilesAnswerNotFound)
{
    WriteBytes("plain.bin", "x");
    fs::create_directory(Path("folder"));
    struct Case
    {
        const wchar_t* name;
        FileOpenMode mode;
    };
    const Case cases[] = {
        {L"absent.bnk", FileOpenMode::Read},
        {L"absent.bnk", FileOpenMode::ReadWrite},
        {L"no_such_folder/absent.bnk", FileOpenMode::Read},
        {L"no_such_folder/new.bnk", FileOpenMode::Write},
        {L"no_such_folder/new.bnk", FileOpenMode::ReadWriteCreate},
        {L"plain.bin/inside.bnk", FileOpenMode::Read}, // a file used as a folder
        {L"Plain.bin", FileOpenMode::Read},            // names are case-sensitive
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << fs::path(testCase.name).string() << " mode " << static_cast<int>(testCase.mode));
        ZkFile file;
        EXPECT_EQ(file.Open(WidePath(testCase.name).c_str(), testCase.mode), FileStatus::NotFound);
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST_F(FileTest, FolderIsNotAFile)
{
    fs::create_directory(Path("folder"));
    for (const FileOpenMode mode : {FileOpenMode::Read, FileOpenMode::Write, FileOpenMode::ReadWrite})
    {
        ZkFile file;
        EXPECT_EQ(file.Open(WidePath(L"folder").c_str(), mode), FileStatus::AccessDenied);
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST_F(FileTest, PositionalReadsReportTheBytesMoved)
{
    WriteBytes("ten.bin", "0123456789");
    ZkFile file;
    ASSERT_EQ(file.Open(WidePath(L"ten.bin").c_str(), FileOpenMode::Read), FileStatus::Ok);
    uint64_t size = 0;
    ASSERT_EQ(file.Size(size), FileStatus::Ok);
    EXPECT_EQ(size, 10u);

    struct Case
    {
        uint64_t position;
        size_t requested;
        std::string expected;
    };
    const Case cases[] = {
        {0, 4, "0123"}, {6, 4, "6789"},        {6, 8, "6789"}, // short at the end of the file
        {9, 100, "9"},  {10, 4, ""},           {1000, 4, ""},  // at and past the end
        {0, 0, ""},     {0, 10, "0123456789"},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testing::Message() << "at " << testCase.position << " for " << testCase.requested);
        std::vector<char> buffer(testCase.requested + 1, '#');
        size_t bytesRead = 12345;
        EXPECT_EQ(file.ReadAt(testCase.position, buffer.data(), testCase.requested, bytesRead),
                  FileStatus::Ok);
        EXPECT_EQ(bytesRead, testCase.expected.size());
        EXPECT_EQ(std::string(buffer.data(), bytesRead), testCase.expected);
        EXPECT_EQ(buffer[bytesRead], '#') << "nothing written past the bytes read";
    }
}

TEST_F(FileTest, OpenModesCreateTruncateOrKeep)
{
    struct Case
    {
        FileOpenMode mode;
        bool existedBefore;
        std::string expectedAfterWritingAB; // "AB" written at position 1
    };
    const Case cases[] = {
        {FileOpenMode::Write, true, std::string("\0AB", 3)}, // truncated, then a hole before AB
        {FileOpenMode::Write, false, std::string("\0AB", 3)},
        {FileOpenMode::ReadWrite, true, "xABxx"},
        {FileOpenMode::ReadWriteCreate, true, "xABxx"},
        {FileOpenMode::ReadWriteCreate, false, std::string("\0AB", 3)},
        {FileOpenMode::WriteOpenOrCreate, true, "xABxx"},
        {FileOpenMode::WriteOpenOrCreate, false, std::string("\0AB", 3)},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "mode " << static_cast<int>(testCase.mode) << " existed " << testCase.existedBefore);
        fs::remove(Path("modes.bin"));
        if (testCase.existedBefore)
        {
            WriteBytes("modes.bin", "xxxxx");
        }
        ZkFile file;
        ASSERT_EQ(file.Open(WidePath(L"modes.bin").c_str(), testCase.mode), FileStatus::Ok);
        size_t bytesWritten = 0;
        EXPECT_EQ(file.WriteAt(1, "AB", 2, bytesWritten), FileStatus::Ok);
        EXPECT_EQ(bytesWritten, 2u);
        EXPECT_EQ(file.Flush(), FileStatus::Ok);
        EXPECT_EQ(file.Close(), FileStatus::Ok);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(ReadBytes("modes.bin"), testCase.expectedAfterWritingAB);
    }
}

TEST_F(FileTest, ReadOnlyFileRefusesWritesAndWriteOnlyRefusesReads)
{
    WriteBytes("data.bin", "abc");
    ZkFile reader;
    ASSERT_EQ(reader.Open(WidePath(L"data.bin").c_str(), FileOpenMode::Read), FileStatus::Ok);
    size_t moved = 99;
    EXPECT_NE(reader.WriteAt(0, "z", 1, moved), FileStatus::Ok);
    EXPECT_EQ(moved, 0u);

    ZkFile writer;
    ASSERT_EQ(writer.Open(WidePath(L"data.bin").c_str(), FileOpenMode::WriteOpenOrCreate), FileStatus::Ok);
    char byte = 0;
    moved = 99;
    EXPECT_NE(writer.ReadAt(0, &byte, 1, moved), FileStatus::Ok);
    EXPECT_EQ(moved, 0u);

    ZkFile closed;
    EXPECT_EQ(closed.ReadAt(0, &byte, 1, moved), FileStatus::Failed);
    uint64_t size = 7;
    EXPECT_EQ(closed.Size(size), FileStatus::Failed);
    EXPECT_EQ(closed.Close(), FileStatus::Ok);
}

TEST_F(FileTest, WideNamesAreUtf8OnDisk)
{
    // "Musik-Übergänge 🎵.bnk" as stored by the file system: UTF-8 bytes.
    const std::wstring wideName = L"Musik-\u00DCberg\u00E4nge \U0001F3B5.bnk";
    const std::string utf8Name = "Musik-\xC3\x9C"
                                 "berg\xC3\xA4nge \xF0\x9F\x8E\xB5.bnk";
    ZkFile file;
    ASSERT_EQ(file.Open(WidePath(wideName).c_str(), FileOpenMode::Write), FileStatus::Ok);
    size_t moved = 0;
    ASSERT_EQ(file.WriteAt(0, "bank", 4, moved), FileStatus::Ok);
    file.Close();
    EXPECT_EQ(ReadBytes(utf8Name), "bank");

    const wchar_t surrogateName[] = {L'a', static_cast<wchar_t>(0xDC00), L'\0'};
    EXPECT_EQ(file.Open(WidePath(surrogateName).c_str(), FileOpenMode::Write), FileStatus::Failed)
        << "a name UTF-8 cannot carry must not create some other file";
}

TEST_F(FileTest, AttributesTellFilesFoldersAndNothing)
{
    WriteBytes("file.bin", "x");
    fs::create_directory(Path("folder"));
    struct Case
    {
        const wchar_t* name;
        bool exists;
        bool isDirectory;
    };
    const Case cases[] = {
        {L"file.bin", true, false},
        {L"folder", true, true},
        {L"absent", false, false},
        {L"file.bin/below", false, false},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(fs::path(testCase.name).string());
        const FileAttributes attributes = GetFileAttributes(WidePath(testCase.name).c_str());
        EXPECT_EQ(attributes.exists, testCase.exists);
        EXPECT_EQ(attributes.isDirectory, testCase.isDirectory);
    }
    EXPECT_FALSE(GetFileAttributes(nullptr).exists);
}

TEST_F(FileTest, MovedFileKeepsItsDescriptor)
{
    WriteBytes("moved.bin", "payload");
    ZkFile first;
    ASSERT_EQ(first.Open(WidePath(L"moved.bin").c_str(), FileOpenMode::Read), FileStatus::Ok);
    ZkFile second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    ASSERT_TRUE(second.IsOpen());
    char buffer[7];
    size_t bytesRead = 0;
    EXPECT_EQ(second.ReadAt(0, buffer, sizeof(buffer), bytesRead), FileStatus::Ok);
    EXPECT_EQ(std::string(buffer, bytesRead), "payload");

    ZkFile third;
    third = std::move(second);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(third.IsOpen());
}
} // namespace
