// The bank parse: chunk framing, versions and the restricted mode, header sizes, the media chunks
// and their registration, and cut or malformed files. Banks are written by tools/bank_writer.py.
#include "BankTestSupport.h"

#include <bit>

namespace
{
using namespace ZkBankTest;

const char* const kMedia = R"("media": [{"id": 100, "wave": {"rate": 48000, "frames": 480, "parts": [{"tone": 440}]}},
    {"id": 101, "wave": {"rate": 44100, "frames": 100, "parts": [{"tone": 880}]}}], )";
const char* const kHierarchy = R"({"tag": "HIRC", "items": [{"type": "sound", "id": 200, "media": 100},
    {"type": "action", "id": 300, "action": "play", "target": 200},
    {"type": "event", "id": "Play_Test", "actions": [300]}]})";

std::string Header(int version, int alignment = 16, int bodyLength = 20)
{
    return R"({"tag": "BKHD", "version": )" + std::to_string(version) + R"(, "alignment": )" +
           std::to_string(alignment) + R"(, "body_length": )" + std::to_string(bodyLength) + "}";
}

using BankParseChunks = BankParseTest;

TEST_F(BankParseChunks, VersionsAndTheRestrictedMode)
{
    UseTestKinds();
    struct Case
    {
        int version;
        bool hierarchy;
        ZKRESULT result;
        size_t registrations;
    };
    const Case cases[] = {
        {140, true, ZK_Success, 1},
        {141, true, ZK_WrongBankVersion, 0},
        {117, true, ZK_WrongBankVersion, 0},
        {130, true, ZK_WrongBankVersion, 1}, // the media before "HIRC" are registered, then 64
        {130, false, ZK_Success, 1},         // an old bank can bring media
        {118, false, ZK_Success, 1},
    };
    ZkBankID bankID = 10;
    for (const Case& c : cases)
    {
        m_manager.registrations.clear();
        std::string chunks = Header(c.version) + R"(, {"tag": "DIDX"}, {"tag": "DATA"})";
        if (c.hierarchy)
            chunks += std::string(", ") + kHierarchy;
        const Bytes bank = WriteBank(Bank(chunks, kMedia));
        ASSERT_FALSE(bank.empty());
        EXPECT_EQ(ParseMemory(bank, bankID++), c.result) << "version " << c.version;
        EXPECT_EQ(m_manager.registrations.size(), c.registrations) << "version " << c.version;
    }
}

TEST_F(BankParseChunks, MediaAlignmentFromVersion135On)
{
    struct Case
    {
        int version;
        int alignment;
        uint32_t expected;
    };
    const Case cases[] = {{134, 64, 16}, {135, 64, 64}, {140, 256, 256}, {140, 16, 16}};
    ZkBankID bankID = 20;
    for (const Case& c : cases)
    {
        const Bytes bank = WriteBank(Bank(Header(c.version, c.alignment) + R"(, {"tag": "DIDX"}, {"tag": "DATA"})", kMedia));
        LoadedBank* parsed = nullptr;
        ASSERT_EQ(ParseMemory(bank, bankID++, ZkBankSourceMemoryCopy, &parsed), ZK_Success) << c.version;
        EXPECT_EQ(parsed->alignment, c.expected) << c.version;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(parsed->dataBlock) % c.expected, 0u) << c.version;
    }
    const Bytes odd = WriteBank(Bank(Header(140, 24) + R"(, {"tag": "DIDX"}, {"tag": "DATA"})", kMedia));
    EXPECT_EQ(ParseMemory(odd, bankID++), ZK_InvalidFile) << "an alignment that is not a power of two";
}

TEST_F(BankParseChunks, HeaderBodiesOf20And28BytesAndCutOnes)
{
    EXPECT_EQ(ParseMemory(WriteBank(Bank(Header(140, 16, 20) + R"(, {"tag": "STID", "groups": []})")), 30), ZK_Success);
    EXPECT_EQ(ParseMemory(WriteBank(Bank(Header(140, 16, 28) + R"(, {"tag": "PLAT", "name": ""})")), 31), ZK_Success)
        << "8 bytes after the header fields are skipped";
    EXPECT_EQ(ParseMemory(WriteBank(Bank(Header(140, 16, 16))), 32), ZK_InvalidFile) << "a header of 16 bytes";
    const Bytes shortFile = WriteBank(Bank(Header(140), R"("truncate": 20, )"));
    EXPECT_EQ(ParseMemory(shortFile, 33), ZK_ShortBankRead) << "the file ends inside the header fields";
}

TEST_F(BankParseChunks, FramingOfChunks)
{
    const std::string chunks = Header(140) + R"(, {"tag": "STID", "groups": []}, {"tag": "PLAT", "name": ""})";
    struct Case
    {
        const char* label;
        std::string extra;
        ZKRESULT result;
    };
    const Case cases[] = {
        {"whole", "", ZK_Success},
        {"ends exactly after a chunk", R"("truncate": {"chunk": 2, "offset": 0}, )", ZK_Success},
        {"1 byte of a chunk header", R"("truncate": {"chunk": 2, "offset": 1}, )", ZK_InvalidFile},
        {"3 bytes of a chunk header", R"("truncate": {"chunk": 2, "offset": 3}, )", ZK_InvalidFile},
        {"7 bytes of a chunk header", R"("truncate": {"chunk": 2, "offset": 7}, )", ZK_InvalidFile},
        {"3 bytes of the first header", R"("truncate": 3, )", ZK_InvalidFile},
        {"only 4 bytes", R"("truncate": 4, )", ZK_InvalidFile},
        {"an unknown chunk is skipped", R"("append": "5a5a5a5a03000000010203", )", ZK_Success},
        {"an unknown chunk beyond the file", R"("append": "5a5a5a5a1000000001020300", )", ZK_InvalidFile},
    };
    ZkBankID bankID = 40;
    for (const Case& c : cases)
    {
        const Bytes bank = WriteBank(Bank(chunks, c.extra));
        EXPECT_EQ(ParseMemory(bank, bankID++), c.result) << c.label;
    }
    const Bytes notFirst = WriteBank(Bank(R"({"tag": "STID", "groups": []}, )" + Header(140)));
    EXPECT_EQ(ParseMemory(notFirst, bankID++), ZK_InvalidFile) << "a first chunk that is not the header";
}

TEST_F(BankParseChunks, MediaChunksInPlaceOrCopied)
{
    const Bytes bank = WriteBank(Bank(Header(140) + R"(, {"tag": "DIDX"}, {"tag": "DATA"})", kMedia));
    LoadedBank* copied = nullptr;
    ASSERT_EQ(ParseMemory(bank, 50, ZkBankSourceMemoryCopy, &copied), ZK_Success);
    ASSERT_EQ(m_manager.registrations.size(), 1u);
    ASSERT_EQ(copied->entryCount, 2u);
    EXPECT_NE(copied->dataBlock, nullptr);
    EXPECT_EQ(m_manager.registrations[0].data, copied->dataBlock);
    const ZkMediaEntry second = copied->Entry(1);
    EXPECT_EQ(second.mediaID, 101u);
    EXPECT_EQ(second.offset % 16, 0u) << "the writer aligns media to 16";
    EXPECT_LE(second.offset + second.size, copied->dataSize);
    EXPECT_EQ(std::memcmp(copied->dataBlock + second.offset, "RIFF", 4), 0);

    LoadedBank* view = nullptr;
    ASSERT_EQ(ParseMemory(bank, 50, ZkBankSourceMemoryView, &view), ZK_Success) << "another key: the block's address";
    ASSERT_EQ(m_manager.registrations.size(), 2u);
    EXPECT_EQ(view->dataBlock, nullptr) << "a memory view is not copied";
    EXPECT_GE(view->entries, bank.data());
    EXPECT_LT(view->entries, bank.data() + bank.size());
    const uint8_t* data = m_manager.registrations[1].data;
    EXPECT_GE(data, bank.data());
    EXPECT_EQ(std::memcmp(data + second.offset, "RIFF", 4), 0);
    EXPECT_EQ(view->MemoryAddress(), bank.data());
}

TEST_F(BankParseChunks, DataBeforeTheIndexRegistersNothing)
{
    const Bytes bank = WriteBank(Bank(Header(140) + R"(, {"tag": "DATA"}, {"tag": "DIDX"})", kMedia));
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(bank, 60, ZkBankSourceMemoryCopy, &parsed), ZK_Success);
    EXPECT_TRUE(m_manager.registrations.empty());
    EXPECT_EQ(parsed->registeredMedia, 0u);
}

TEST_F(BankParseChunks, AnIndexEntryOutsideTheDataIsRefused)
{
    struct Case
    {
        const char* label;
        const char* entries;
        ZKRESULT result;
    };
    const Case cases[] = {
        {"ends at the end of DATA", R"([{"id": 100, "offset": 0, "size": 1028}])", ZK_Success},
        {"one byte past DATA", R"([{"id": 100, "offset": 0, "size": 1029}])", ZK_InvalidFile},
        {"starts past DATA", R"([{"id": 100, "offset": 2000, "size": 4}])", ZK_InvalidFile},
        {"offset + size wraps 32 bits", R"([{"id": 100, "offset": "0xFFFFFFF0", "size": 32}])", ZK_InvalidFile},
        {"an empty entry is not checked", R"([{"id": 0, "offset": 5000, "size": 5000}])", ZK_Success},
    };
    ZkBankID bankID = 70;
    for (const Case& c : cases)
    {
        m_manager.registrations.clear();
        const Bytes bank = WriteBank(
            Bank(Header(140) + R"(, {"tag": "DIDX", "entries": )" + c.entries + R"(}, {"tag": "DATA"})",
                 R"("media": [{"id": 100, "wave": {"rate": 48000, "frames": 480, "parts": [{"tone": 440}]}}], )"));
        EXPECT_EQ(ParseMemory(bank, bankID, ZkBankSourceMemoryCopy), c.result) << c.label;
        EXPECT_EQ(ParseMemory(bank, bankID++, ZkBankSourceMemoryView), c.result) << c.label << " (in place)";
        EXPECT_EQ(m_manager.registrations.size(), c.result == ZK_Success ? 2u : 0u) << c.label;
    }
}

TEST_F(BankParseChunks, TheDataChunkRegistersTheMediaInTheIndex)
{
    BankManager plain;
    ASSERT_EQ(plain.Init(), ZK_Success);
    const Bytes bank = WriteBank(Bank(Header(140) + R"(, {"tag": "DIDX"}, {"tag": "DATA"})", kMedia));
    BankRequest request;
    request.bankID = 80;
    request.sourceKind = ZkBankSourceMemoryCopy;
    request.data.bank.memory = bank.data();
    request.data.bank.memorySize = static_cast<uint32_t>(bank.size());
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(plain.ParseBank(request, parsed, ZkBankParseLoad, false, false), ZK_Success);
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(parsed->registeredMedia, 2u);
    EXPECT_EQ(plain.Media().Length(), 2u);
    for (uint32_t index = 0; index < parsed->entryCount; ++index)
    {
        const ZkMediaEntry entry = parsed->Entry(index);
        LoadedBank* holder = nullptr;
        const ZkMediaBlock media = plain.GetMedia(entry.mediaID, holder);
        EXPECT_EQ(media.data, parsed->dataBlock + entry.offset) << "the copy in the bank's media block";
        EXPECT_EQ(media.size, entry.size);
        EXPECT_EQ(holder, parsed);
        plain.ReleaseMedia(entry.mediaID);
        holder->loadCount.fetch_sub(1);
    }
    plain.ReleaseBankMedia(*parsed);
    EXPECT_EQ(plain.Media().Length(), 0u);
    parsed->ReleaseItemList();
    parsed->Destroy();
    plain.Term();
}

TEST_F(BankParseChunks, ABankAlreadyLoadedIsNotParsedAgain)
{
    const Bytes bank = WriteBank(Bank(Header(140)));
    LoadedBank* first = nullptr;
    ASSERT_EQ(ParseMemory(bank, 90, ZkBankSourceMemoryCopy, &first), ZK_Success);
    ASSERT_TRUE(m_manager.BankTable().InsertUnique(first->key, first));
    LoadedBank* second = nullptr;
    EXPECT_EQ(ParseMemory(bank, 90, ZkBankSourceMemoryCopy, &second), ZK_BankAlreadyLoaded);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(ParseMemory(bank, 90, ZkBankSourceMemoryView), ZK_Success) << "from memory in place: another key";
    m_manager.BankTable().Remove(first->key);
}
} // namespace
