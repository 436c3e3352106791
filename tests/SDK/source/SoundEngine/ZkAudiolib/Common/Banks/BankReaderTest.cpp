// The bank reader over memory and over standard streams (a stream manager of the tests' own, so
// that every read is seen and no thread runs): pointers in place, copies of items that straddle
// the two buffers, direct reads of large blocks, the language retry, buffers grown to the block
// size, the end of the file, files that shrank, and stream errors.
#include "FakeBankFiles.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Banks/BankReader.h"

#include <gtest/gtest.h>

#include <numeric>

namespace
{
using namespace ZK::SoundEngine;
using namespace ZkBankTest;
namespace Faults = ZK::MemoryMgr::FaultInjection;

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t index = 0; index < size; ++index)
        bytes[index] = static_cast<uint8_t>(index * 13 + index / 251);
    return bytes;
}

class BankReaderTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ASSERT_EQ(m_reader.Init(), ZK_Success);
    }
    void TearDown() override
    {
        m_reader.Term();
        EngineMemoryTest::TearDown();
    }
    // Opens a file of the given bytes by name.
    FakeFileStream* OpenFile(const std::vector<uint8_t>& bytes, uint64_t startOffset = 0)
    {
        m_files.AddFile(L"Bank.bnk", 0, bytes);
        EXPECT_EQ(m_reader.OpenByName("Bank.bnk", startOffset, nullptr), ZK_Success);
        return m_files.LastStream();
    }

    BankReader m_reader;
    FakeFileStreamMgr m_files;
};

TEST_F(BankReaderTest, AMemoryBankIsReadInPlace)
{
    EXPECT_EQ(m_reader.Init(), ZK_Fail) << "already initialised";
    const std::vector<uint8_t> bank = Pattern(1000);
    ASSERT_EQ(m_reader.SetMemory(bank.data(), 1000), ZK_Success);
    Faults::CountOnly(BankReader::kPool);
    EXPECT_EQ(m_reader.GetData(10), bank.data());
    EXPECT_EQ(m_reader.GetData(900), bank.data() + 10) << "any size within the bank";
    EXPECT_EQ(m_reader.GetData(91), nullptr) << "more than the bank holds";
    EXPECT_EQ(Faults::CountedAllocations(), 0u) << "memory banks never copy";
    uint8_t bytes[100];
    uint32_t got = 0;
    EXPECT_EQ(m_reader.Read(bytes, 100, got), ZK_Success);
    EXPECT_EQ(got, 90u);
    EXPECT_EQ(m_reader.Read(bytes, 100, got), ZK_Success) << "at the end: 1 with a count of 0";
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(m_reader.ReadExact(bytes, 1), ZK_ShortBankRead);
}

TEST_F(BankReaderTest, AnItemAcrossTheTwoBuffersComesAsACopy)
{
    const std::vector<uint8_t> file = Pattern(70000);
    OpenFile(file);
    EXPECT_EQ(m_reader.BufferSize(), 32768u) << "the engine's default buffer size";
    uint32_t skipped = 0;
    ASSERT_EQ(m_reader.Skip(32760, skipped), ZK_Success);
    ASSERT_EQ(skipped, 32760u);
    Faults::CountOnly(BankReader::kPool);
    const uint8_t* straddling = m_reader.GetData(16);
    ASSERT_NE(straddling, nullptr);
    EXPECT_EQ(Faults::CountedAllocations(), 1u) << "a temporary copy";
    EXPECT_EQ(std::memcmp(straddling, file.data() + 32760, 16), 0);
    m_reader.ReleaseData();
    const uint8_t* inPlace = m_reader.GetData(1000);
    ASSERT_NE(inPlace, nullptr);
    EXPECT_EQ(Faults::CountedAllocations(), 1u) << "an item inside one buffer is not copied";
    EXPECT_EQ(std::memcmp(inPlace, file.data() + 32776, 1000), 0);
    EXPECT_EQ(m_reader.GetData(40000), nullptr) << "more than the file has left";
    EXPECT_EQ(Faults::CountedAllocations(), 1u) << "and nothing is allocated for it";
}

TEST_F(BankReaderTest, ALargeReadGoesStraightIntoTheDestination)
{
    const std::vector<uint8_t> file = Pattern(200000);
    FakeFileStream* stream = OpenFile(file);
    std::vector<uint8_t> small(8);
    ASSERT_EQ(m_reader.ReadExact(small.data(), 8), ZK_Success);
    // The two buffers are consumed first (one read ahead), the rest goes straight in.
    std::vector<uint8_t> large(150000);
    ASSERT_EQ(m_reader.ReadExact(large.data(), 150000), ZK_Success);
    EXPECT_EQ(std::memcmp(large.data(), file.data() + 8, 150000), 0);
    bool direct = false;
    for (const FakeFileStream::ReadCall& call : stream->reads)
        direct = direct || (call.buffer >= large.data() && call.buffer < large.data() + large.size() && call.wait);
    EXPECT_TRUE(direct) << "at least one buffer's worth read into the destination itself";
    for (const FakeFileStream::ReadCall& call : stream->reads)
        EXPECT_EQ(call.priority, BankReader::kDefaultPriority);
    std::vector<uint8_t> rest(60000);
    uint32_t got = 0;
    ASSERT_EQ(m_reader.Read(rest.data(), 60000, got), ZK_Success);
    EXPECT_EQ(got, 200000u - 150008u);
    EXPECT_EQ(std::memcmp(rest.data(), file.data() + 150008, got), 0);
    EXPECT_EQ(m_reader.Read(rest.data(), 10, got), ZK_Success);
    EXPECT_EQ(got, 0u) << "Read at the end of a file gives 1 with a count of 0";
}

TEST_F(BankReaderTest, ReadsInPiecesMatchTheFile)
{
    const std::vector<uint8_t> file = Pattern(200000);
    OpenFile(file);
    std::vector<uint8_t> read;
    const uint32_t pieces[] = {1, 7, 32767, 2, 5000, 40000, 3, 65536, 12};
    for (uint32_t round = 0; read.size() < file.size(); ++round)
    {
        const uint32_t want = pieces[round % std::size(pieces)];
        std::vector<uint8_t> piece(want);
        uint32_t got = 0;
        ASSERT_EQ(m_reader.Read(piece.data(), want, got), ZK_Success);
        ASSERT_GT(got, 0u);
        read.insert(read.end(), piece.begin(), piece.begin() + got);
        if (round % 3 == 2)
        {
            uint32_t skipped = 0;
            ASSERT_EQ(m_reader.Skip(want, skipped), ZK_Success);
            read.insert(read.end(), file.begin() + static_cast<long>(read.size()),
                        file.begin() + static_cast<long>(read.size() + skipped));
        }
    }
    ASSERT_EQ(read.size(), file.size());
    EXPECT_TRUE(read == file);
}

TEST_F(BankReaderTest, AFirstOpenInTheLanguageFolderIsTriedAgainWithout)
{
    m_files.AddFile(L"Bank.bnk", 0, Pattern(100), false);
    m_files.AddFile(L"", 77, Pattern(50), true);
    ASSERT_EQ(m_reader.OpenByName("Bank.bnk", 0, nullptr), ZK_Success);
    ASSERT_EQ(m_files.opens.size(), 2u);
    EXPECT_TRUE(m_files.opens[0].languageSpecific);
    EXPECT_FALSE(m_files.opens[1].languageSpecific);
    EXPECT_EQ(m_files.opens[1].fileType, 0u) << "a bank";
    ASSERT_EQ(m_reader.OpenByID(77, 0, 0, nullptr, true), ZK_Success);
    EXPECT_EQ(m_files.opens.size(), 3u) << "found in the language folder at once";
    EXPECT_EQ(m_reader.OpenByID(78, 0, 0, nullptr, true), ZK_FileNotFound);
    EXPECT_EQ(m_reader.OpenByID(78, 0, 0, nullptr, false), ZK_FileNotFound);
    EXPECT_EQ(m_files.opens.size(), 6u) << "tried twice with the language, once without";
    const std::string longName(2000, 'n');
    EXPECT_EQ(m_reader.OpenByName(longName.c_str(), 0, nullptr), ZK_InvalidParameter);
}

TEST_F(BankReaderTest, ABlockSizeAboveTheBufferSizeEnlargesTheBuffers)
{
    m_files.blockSize = 65536;
    const std::vector<uint8_t> file = Pattern(150000);
    OpenFile(file);
    EXPECT_EQ(m_reader.BufferSize(), 65536u);
    std::vector<uint8_t> bytes(100);
    ASSERT_EQ(m_reader.ReadExact(bytes.data(), 100), ZK_Success);
    EXPECT_EQ(std::memcmp(bytes.data(), file.data(), 100), 0);
    m_reader.Close();
    m_files.blockSize = 4;
    OpenFile(file);
    EXPECT_EQ(m_reader.BufferSize(), 65536u) << "the buffers only grow";
}

TEST_F(BankReaderTest, AStartOffsetInsideABlock)
{
    m_files.blockSize = 4;
    const std::vector<uint8_t> file = Pattern(1000);
    OpenFile(file, 5);
    uint8_t bytes[10];
    ASSERT_EQ(m_reader.ReadExact(bytes, 10), ZK_Success);
    EXPECT_EQ(std::memcmp(bytes, file.data() + 5, 10), 0);
    EXPECT_EQ(m_reader.BytesLeft(), 1000u - 15u);
    m_reader.Close();
    m_files.AddFile(L"Short.bnk", 0, Pattern(3));
    EXPECT_EQ(m_reader.OpenByName("Short.bnk", 5, nullptr), ZK_Fail) << "the start offset is past the end";
}

TEST_F(BankReaderTest, AFileThatShrankEndsEarlyInsteadOfHandingOutStaleBytes)
{
    const std::vector<uint8_t> file = Pattern(50000);
    FakeFileStream* stream = OpenFile(file);
    stream->content.resize(30000); // cut by another program after the open
    std::vector<uint8_t> bytes(50000, 0xEE);
    uint32_t got = 0;
    ASSERT_EQ(m_reader.Read(bytes.data(), 100, got), ZK_Success);
    ASSERT_EQ(m_reader.Read(bytes.data() + 100, 49900, got), ZK_Success);
    EXPECT_EQ(got + 100, 30000u);
    EXPECT_EQ(std::memcmp(bytes.data(), file.data(), 30000), 0);
}

TEST_F(BankReaderTest, SkipsStopAtTheEndOfTheFile)
{
    const std::vector<uint8_t> file = Pattern(70000);
    OpenFile(file);
    uint32_t skipped = 0;
    ASSERT_EQ(m_reader.Skip(100000, skipped), ZK_Success);
    EXPECT_EQ(skipped, 70000u);
    uint8_t byte = 0;
    uint32_t got = 0;
    EXPECT_EQ(m_reader.Read(&byte, 1, got), ZK_Success);
    EXPECT_EQ(got, 0u);
}

TEST_F(BankReaderTest, StreamErrorsAre56AndCloseCancelsAndDestroys)
{
    FakeFileStream* stream = OpenFile(Pattern(70000));
    stream->errorOnCompletion = true;
    uint8_t bytes[16];
    EXPECT_EQ(m_reader.ReadExact(bytes, 16), ZK_ShortBankRead);
    m_reader.Close();
    EXPECT_TRUE(stream->destroyed);
    EXPECT_GE(stream->cancels, 1);
    stream = OpenFile(Pattern(70000));
    stream->failReads = true;
    EXPECT_EQ(m_reader.ReadExact(bytes, 16), ZK_ShortBankRead);
    m_files.blockSize = 0;
    m_files.AddFile(L"NoBlocks.bnk", 0, Pattern(10));
    EXPECT_EQ(m_reader.OpenByName("NoBlocks.bnk", 0, nullptr), ZK_Fail) << "a block size of 0";
}

TEST_F(BankReaderTest, BuffersThatCannotBeAllocatedGive52)
{
    m_files.AddFile(L"Bank.bnk", 0, Pattern(100));
    Faults::ScopedAllocationFailure failure(BankReader::kPool, 1);
    EXPECT_EQ(m_reader.OpenByName("Bank.bnk", 0, nullptr), ZK_InsufficientMemory);
}
} // namespace
