// File packages in the game's low-level I/O: packed files read back byte for byte at every block
// size, look-ups against the tables' own bisection, the package list's order and references, the
// language map, and packages the writer damaged on purpose.
#include "PackageTestSupport.h"

#include "StreamMgr/ZkFileNameHash.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <set>
#include <thread>

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

namespace
{
using namespace ZkPackageTest;

std::wstring WideOf(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class ThreadedFilePackageList : public PackageIO
{
protected:
    // Opens a file by id at the resolver and returns the package that holds it (null: loose or
    // not found); the reference is dropped again.
    void* HoldingPackage(uint32_t fileId, ZkFileOpenFlags flags)
    {
        ZkFileDescriptor fileDesc{};
        bool syncOpen = true;
        if (m_io.OpenByID(fileId, ZK_OpenModeRead, &flags, syncOpen, fileDesc) != ZK_Success)
            return nullptr;
        void* package = fileDesc.filePackage;
        m_io.Close(fileDesc);
        return package;
    }

    // Packs a folder of its own (relative to the sources) and loads it.
    ZKRESULT LoadFrom(const std::string& folder, const std::string& name, uint32_t& packageId)
    {
        EXPECT_TRUE(WritePackage(m_sources.Path() / folder, m_dir.Path() / name));
        return m_io.LoadFilePackage(WideOf(name).c_str(), packageId);
    }
};

TEST_F(ThreadedFilePackageList, NewestPackageWinsAndUnloadsFirst)
{
    Source("old/7.oxm", "old");
    Source("new/7.oxm", "new");
    uint32_t first = 0, second = 0, third = 0;
    ASSERT_EQ(LoadFrom("old", "Old.pck", first), ZK_Success);
    void* oldPackage = HoldingPackage(7, OpenFlags(kMediaType));
    ASSERT_NE(oldPackage, nullptr);
    // The same file twice: two packages with one id; the newer is found and unloaded first.
    ASSERT_EQ(m_io.LoadFilePackage(L"Old.pck", second), ZK_Success);
    EXPECT_EQ(second, first);
    EXPECT_EQ(m_io.PackageCount(), 2u);
    void* newerCopy = HoldingPackage(7, OpenFlags(kMediaType));
    EXPECT_NE(newerCopy, oldPackage);
    EXPECT_EQ(m_io.UnloadFilePackage(first), ZK_Success);
    EXPECT_EQ(HoldingPackage(7, OpenFlags(kMediaType)), oldPackage);
    // Two packages holding one file id: the one loaded last wins.
    ASSERT_EQ(LoadFrom("new", "New.pck", third), ZK_Success);
    EXPECT_TRUE(SameBytes(ReadById(7, OpenFlags(kMediaType)), "new"));
    EXPECT_EQ(m_io.UnloadFilePackage(third), ZK_Success);
    EXPECT_TRUE(SameBytes(ReadById(7, OpenFlags(kMediaType)), "old"));
    // A miss falls back to the loose files.
    m_dir.Write("8.oxm", 5, 'L');
    EXPECT_TRUE(SameBytes(ReadById(8, OpenFlags(kMediaType)), "LLLLL"));
    EXPECT_EQ(m_io.UnloadAllFilePackages(), ZK_Success);
    EXPECT_EQ(m_io.PackageCount(), 0u);
    EXPECT_TRUE(SameBytes(ReadById(7, OpenFlags(kMediaType)), "<result 2>"));
    TermIOLeavesNothing();
}

TEST_F(ThreadedFilePackageList, BanksByNameAndOpenModes)
{
    Source("banks/Init.bnk", "packed init");
    Source("banks/41.oxm", "media 41");
    uint32_t packageId = 0;
    ASSERT_EQ(LoadFrom("banks", "Banks.pck", packageId), ZK_Success);
    // "Init.bnk" by name is the bank whose id is that of "Init"; by id with the bank's file type.
    EXPECT_TRUE(SameBytes(ReadByName(L"Init.bnk", OpenFlags(ZK_FileTypeSoundBank)), "packed init"));
    EXPECT_TRUE(SameBytes(ReadById(FileIdOfName(L"Init", 4), OpenFlags(ZK_FileTypeSoundBank)), "packed init"));
    // A bank open searches the streamed files too; a media open never searches the banks.
    EXPECT_TRUE(SameBytes(ReadById(41, OpenFlags(ZK_FileTypeSoundBank)), "media 41"));
    EXPECT_TRUE(SameBytes(ReadById(FileIdOfName(L"Init", 4), OpenFlags(kMediaType)), "<result 2>"));

    // Opens for writing never find a packed file: they reach the loose file under the base path.
    struct Case
    {
        const char* what;
        bool byName;
        uint32_t openMode;
    };
    for (const Case& c : {Case{"by name, write", true, ZK_OpenModeWrite}, Case{"by id, write", false, ZK_OpenModeWrite},
                          Case{"by id, read and write", false, ZK_OpenModeReadWrite}})
    {
        SCOPED_TRACE(c.what);
        ZkFileOpenFlags flags = OpenFlags(ZK_FileTypeSoundBank);
        ZkFileDescriptor fileDesc{};
        bool syncOpen = true;
        ASSERT_EQ(c.byName ? m_io.OpenByName(L"Init.bnk", c.openMode, &flags, syncOpen, fileDesc)
                           : m_io.OpenByID(FileIdOfName(L"Init", 4), c.openMode, &flags, syncOpen, fileDesc),
                  ZK_Success);
        EXPECT_EQ(fileDesc.filePackage, nullptr);
        EXPECT_EQ(m_io.Close(fileDesc), ZK_Success);
    }
    TermIOLeavesNothing();
}

// Language maps: the current language's id in each package, 22 when a map of two or more entries
// lacks it, language-specific files of language 0 found only while the package's id is 0.
TEST_F(ThreadedFilePackageList, LanguageMapsFollowTheCurrentLanguage)
{
    Source("two/French(Canada)/5.oxm", "fr");
    Source("two/German/5.oxm", "de");
    Source("two/9.oxm", "neutral");
    Source("one/German/6.oxm", "de6");
    Source("one/9.oxm", "neutral one");
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);
    uint32_t two = 0, one = 0;
    EXPECT_EQ(LoadFrom("two", "Two.pck", two), ZK_LanguageNotFound) << "two entries, English(US) not among them";
    EXPECT_EQ(m_io.PackageCount(), 1u) << "kept, with language id 0";
    EXPECT_EQ(LoadFrom("one", "One.pck", one), ZK_Success) << "a one-entry map without it";
    EXPECT_EQ(m_io.PackageCount(), 2u);
    EXPECT_TRUE(SameBytes(ReadById(9, OpenFlags(kMediaType, true)), "neutral one"))
        << "language id 0: a language-specific open finds the file of language 0";
    EXPECT_TRUE(SameBytes(ReadById(5, OpenFlags(kMediaType, true)), "<result 2>"));

    // One change re-resolves every package; names are compared in lower case.
    ASSERT_EQ(SetCurrentLanguage(L"GERMAN"), ZK_Success);
    EXPECT_TRUE(SameBytes(ReadById(5, OpenFlags(kMediaType, true)), "de"));
    EXPECT_TRUE(SameBytes(ReadById(6, OpenFlags(kMediaType, true)), "de6"));
    EXPECT_TRUE(SameBytes(ReadById(9, OpenFlags(kMediaType, true)), "<result 2>"))
        << "language 0 is no longer the packages' language";
    EXPECT_TRUE(SameBytes(ReadById(9, OpenFlags(kMediaType, false)), "neutral one"));
    ASSERT_EQ(SetCurrentLanguage(L"French(Canada)"), ZK_Success);
    EXPECT_TRUE(SameBytes(ReadById(5, OpenFlags(kMediaType, true)), "fr"));
    EXPECT_TRUE(SameBytes(ReadById(6, OpenFlags(kMediaType, true)), "<result 2>"));
    ASSERT_EQ(SetCurrentLanguage(L""), ZK_Success);
    EXPECT_TRUE(SameBytes(ReadById(9, OpenFlags(kMediaType, true)), "neutral one"));
    TermIOLeavesNothing();
}

// Names are compared as UTF-16 code units, the map's order: U+1F600 (a surrogate pair, 0xD83D ...)
// sorts before U+FFFD, though its code point is larger. With code points the search for U+FFFD
// would turn the wrong way at U+1F600 and miss it.
TEST_F(ThreadedFilePackageList, LanguagesAreFoundInUtf16Order)
{
    Source("src/Zulu/4.oxm", "zulu");
    Source("src/\xF0\x9F\x98\x80/4.oxm", "smile");
    Source("src/\xEF\xBF\xBD/4.oxm", "replacement");
    uint32_t packageId = 0;
    ASSERT_EQ(LoadFrom("src", "Utf16.pck", packageId), ZK_Success);
    const struct
    {
        const wchar_t* language;
        const char* bytes;
    } cases[] = {{L"\uFFFD", "replacement"}, {L"\U0001F600", "smile"}, {L"ZULU", "zulu"}};
    for (const auto& c : cases)
    {
        ASSERT_EQ(SetCurrentLanguage(c.language), ZK_Success);
        EXPECT_TRUE(SameBytes(ReadById(4, OpenFlags(kMediaType, true)), c.bytes)) << c.bytes;
    }
    TermIOLeavesNothing();
}

// Every damaged copy the writer makes: the refused ones leave nothing loaded, allocated or open;
// the others load, and their damaged entries fail or end where the file ends.
TEST_F(ThreadedFilePackageList, DamagedPackagesAreRefusedWholeOrReadSafely)
{
    Source("src/Init.bnk", Pattern(300, 1));
    Source("src/Main.bnk", Pattern(200, 2));
    Source("src/30.oxm", Pattern(100, 3));
    Source("src/English(US)/31.oxm", Pattern(50, 4));
    Source("src/French(Canada)/31.oxm", Pattern(60, 5));
    Source("src/readme.txt", Pattern(10, 6));
    const std::map<std::string, fs::path> variants = WritePackageVariants(m_sources.Path() / "src", m_dir.Path());
    ASSERT_GT(variants.size(), 20u);
    const std::set<std::string> loading = {"", "empty_tables", "unsorted_banks", "bank_block_size_0",
                                           "bank_block_size_3", "last_entry_past_end"};
    for (const auto& [fault, path] : variants)
    {
        SCOPED_TRACE(fault.empty() ? "the package itself" : fault);
        uint32_t packageId = 0;
        const ZKRESULT loaded = m_io.LoadFilePackage(path.filename().wstring().c_str(), packageId);
        if (!loading.count(fault))
        {
            EXPECT_EQ(loaded, ZK_Fail);
            EXPECT_EQ(m_io.PackageCount(), 0u);
            continue;
        }
        ASSERT_EQ(loaded, ZK_Success);
        if (fault == "empty_tables")
        {
            EXPECT_TRUE(SameBytes(ReadById(30, OpenFlags(kMediaType)), "<result 2>")) << "finds nothing";
        }
        if (fault == "bank_block_size_0" || fault == "bank_block_size_3")
        {
            IZkStandardStream* stream = nullptr;
            ZkFileOpenFlags flags = OpenFlags(ZK_FileTypeSoundBank);
            EXPECT_EQ(m_manager->CreateStandardStreamByID(FileIdOfName(L"Init", 4), &flags, ZK_OpenModeRead, stream, true),
                      ZK_Fail);
        }
        if (fault == "last_entry_past_end")
        {
            EXPECT_TRUE(SameBytes(ReadByName(L"readme.txt", OpenFlags(kMediaType, false, ZK_FileIdSpaceExternal)),
                                  Pattern(10, 6)))
                << "the bytes that exist, then the end";
        }
        if (fault.empty())
        {
            EXPECT_TRUE(SameBytes(ReadById(30, OpenFlags(kMediaType)), Pattern(100, 3)));
        }
        EXPECT_EQ(m_io.UnloadAllFilePackages(), ZK_Success);
    }
    TermIOLeavesNothing();
}

// A header size of 0xFFFFFFF9 would wrap "header size + 8" to 1 byte in 32 bits, and the rest of the
// file would be read into that block: refused before any allocation.
TEST_F(ThreadedFilePackageList, HugeHeaderSizeIsRefusedBeforeAllocating)
{
    Source("src/1.oxm", "x");
    ASSERT_TRUE(WritePackage(m_sources.Path() / "src", m_dir.Path() / "Huge.pck"));
    {
        std::fstream file(m_dir.Path() / "Huge.pck", std::ios::in | std::ios::out | std::ios::binary);
        const uint32_t huge = 0xFFFFFFF9u;
        file.seekp(4);
        file.write(reinterpret_cast<const char*>(&huge), 4);
    }
    fs::resize_file(m_dir.Path() / "Huge.pck", 4096);
    uint32_t packageId = 0;
    EXPECT_EQ(m_io.LoadFilePackage(L"Huge.pck", packageId), ZK_Fail);
    EXPECT_EQ(m_io.PackageCount(), 0u);
    TermIOLeavesNothing();
}

// References: a package unloaded while a file of it is open stays, invisible, until that file
// closes; then its stream and its memory go.
TEST_F(ThreadedFilePackageList, UnloadedPackageStaysUntilItsLastFileCloses)
{
    Source("src/12.oxm", "twelve");
    uint32_t packageId = 0;
    ASSERT_EQ(LoadFrom("src", "Refs.pck", packageId), ZK_Success);
    ZkFileOpenFlags flags = OpenFlags(kMediaType);
    ZkFileDescriptor held{};
    bool syncOpen = true;
    ASSERT_EQ(m_io.OpenByID(12, ZK_OpenModeRead, &flags, syncOpen, held), ZK_Success);
    ASSERT_NE(held.filePackage, nullptr);
    EXPECT_EQ(m_io.UnloadFilePackage(packageId), ZK_Success);
    EXPECT_EQ(m_io.PackageCount(), 0u);
    EXPECT_EQ(HoldingPackage(12, flags), nullptr) << "invisible to look-ups";
    // The open file still reads through the package's handle.
    char bytes[6] = {};
    ZkTransferInfo transfer{static_cast<uint64_t>(held.startBlock) * held.blockSizeParam, sizeof bytes,
                            sizeof bytes, bytes, 0};
    EXPECT_EQ(m_io.Read(held, ZkIOHeuristics{}, bytes, transfer), ZK_Success);
    EXPECT_EQ(std::string(bytes, sizeof bytes), "twelve");
    const int64_t blocksWhileHeld = ExtraBlocks();
    EXPECT_GT(blocksWhileHeld, 0);
    EXPECT_EQ(m_io.Close(held), ZK_Success);
    EXPECT_LT(ExtraBlocks(), blocksWhileHeld) << "the header block went with the last reference";
    TermIOLeavesNothing();
}

// Closes on the device's I/O thread (streams destroyed by their clients are freed there) while
// this thread unloads the package.
TEST_F(ThreadedFilePackageList, ClosesOnTheIOThreadWhileThePackageUnloads)
{
    for (int file = 0; file < 8; ++file)
        Source("src/" + std::to_string(100 + file) + ".oxm", Pattern(5000, file));
    uint32_t packageId = 0;
    ASSERT_EQ(LoadFrom("src", "Race.pck", packageId), ZK_Success);
    for (int round = 0; round < 20; ++round)
    {
        std::vector<IZkStandardStream*> streams;
        for (uint32_t file = 0; file < 8; ++file)
        {
            ZkFileOpenFlags flags = OpenFlags(kMediaType);
            IZkStandardStream* stream = nullptr;
            ASSERT_EQ(m_manager->CreateStandardStreamByID(100 + file, &flags, ZK_OpenModeRead, stream, true), ZK_Success);
            streams.push_back(stream);
        }
        std::thread closer([&] {
            for (IZkStandardStream* stream : streams)
                stream->Destroy();
        });
        EXPECT_EQ(m_io.UnloadFilePackage(packageId), ZK_Success);
        closer.join();
        ASSERT_EQ(m_io.LoadFilePackage(L"Race.pck", packageId), ZK_Success);
    }
    TermIOLeavesNothing();
}

TEST_F(ThreadedFilePackageList, TermWithPackagesLoadedLeavesNothing)
{
    Source("a/1.oxm", "a");
    Source("b/English(US)/2.oxm", "b");
    uint32_t packageId = 0;
    ASSERT_EQ(LoadFrom("a", "A.pck", packageId), ZK_Success);
    ASSERT_EQ(LoadFrom("b", "B.pck", packageId), ZK_Success);
    ASSERT_EQ(LoadFrom("b", "B.pck", packageId), ZK_Success);
    EXPECT_EQ(m_io.PackageCount(), 3u);
    TermIOLeavesNothing();
}
} // namespace
