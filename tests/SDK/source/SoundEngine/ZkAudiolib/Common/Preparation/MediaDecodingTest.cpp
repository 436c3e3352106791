// Decoding ahead of play: DecodeBank over a whole image and PrepareBank with decoding, with the
// tests' codec of the 8-bit test format. The decoded image is judged by decoded_bank.py (its size,
// its chunks and entries, and the samples against sox's own 8-bit to 16-bit conversion); prepared
// blocks must equal the media of that judged image.
#include "PreparationFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"

namespace
{
using namespace ZkPreparationTest;

constexpr ZkUniqueID kMono = 300;     // header 56 bytes
constexpr ZkUniqueID kStereo = 301;   // header 66 bytes: a "JUNK" chunk of 2 bytes when decoded
constexpr ZkUniqueID kOdd = 302;      // header 65 bytes (an odd chunk without pad): "JUNK" of 3
constexpr ZkUniqueID kPcm = 303;      // 16-bit PCM: nothing to decode
constexpr ZkUniqueID kRawBytes = 304; // not a WAVE file

std::string CodedBank()
{
    const std::string u8 = R"("encoding": "u8_test", "wave": {"rate": 8000, "frames": 80, "parts": [{"tone": 440, "amp": 0.5}]})";
    const std::string stereo = R"("encoding": "u8_test", "wave": {"rate": 8000, "channels": 2, "frames": 80, "parts": [{"tone": 550, "amp": 0.5}]})";
    std::string items;
    for (ZkUniqueID media : {kMono, kStereo, kOdd, kPcm, kRawBytes})
        items += std::string(items.empty() ? "" : ", ") + R"({"type": "sound", "id": )" + std::to_string(media + 100) +
                 R"(, "media": )" + std::to_string(media) + R"(, "bus": "Master"})";
    return R"([{"name": "Buses.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [{"type": "bus", "id": "Master", "device": "System"}]}]},
        {"name": "Coded.bnk", "media": [
            {"id": 300, )" + u8 + R"(},
            {"id": 301, )" + stereo + R"(, "extra_chunks": [{"tag": "pad ", "hex": "0000"}]},
            {"id": 302, )" + u8 + R"(, "extra_chunks": [{"tag": "odd ", "hex": "01", "pad": "none"}]},
            {"id": 303, "wave": {"rate": 8000, "frames": 80, "parts": [{"tone": 660, "amp": 0.5}]}},
            {"id": 304, "hex": "000102030405060708090a0b0c0d0e0f10111213"}],
         "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
           items + "]}]}]";
}

class MediaDecoding : public PreparationTest
{
protected:
    void SetUp() override
    {
        PreparationTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(WriteBanks(CodedBank(), true));
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ZkBankID buses = 0;
        ASSERT_EQ(LoadBank("Buses.bnk", buses), ZK_Success);
        m_image = FileBytes("Coded.bnk");
    }

    std::string Judge(const std::string& arguments) const
    {
        return ZkEngineTest::RunPythonOracle("SDK/source/SoundEngine/ZkAudiolib/Common/Preparation/decoded_bank.py",
                                             arguments);
    }
    // The image decoded into a block of pool 0, copied out.
    Bytes Decoded(const Bytes& image) const
    {
        void* out = nullptr;
        uint32_t outSize = 0;
        EXPECT_EQ(DecodeBank(image.data(), static_cast<uint32_t>(image.size()), ZkMemID_Default, out, outSize),
                  ZK_Success);
        if (out == nullptr)
            return {};
        const auto* bytes = static_cast<const uint8_t*>(out);
        Bytes copy(bytes, bytes + outSize);
        ZK::MemoryMgr::Free(ZkMemID_Default, out);
        return copy;
    }

    Bytes m_image;
};

TEST_F(MediaDecoding, DecodeBankStoresTheTestFormatAs16BitSamplesAndCopiesTheRest)
{
    ASSERT_EQ(U8TestCodec::Register(), ZK_Success);
    void* none = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(DecodeBank(m_image.data(), static_cast<uint32_t>(m_image.size()), static_cast<ZkMemoryId>(-1), none, size),
              ZK_Success);
    EXPECT_EQ(none, nullptr) << "a size query";
    const auto original = m_folder.Path() / "Coded.bnk";
    EXPECT_EQ(std::to_string(size) + "\n", Judge("size \"" + original.string() + "\""));

    const Bytes decoded = Decoded(m_image);
    ASSERT_EQ(decoded.size(), size);
    WriteFile("Decoded.bnk", decoded);
    EXPECT_EQ("ok\n", Judge("check \"" + original.string() + "\" \"" + (m_folder.Path() / "Decoded.bnk").string() + "\""));

    // Into the caller's block: the same bytes; a block too small is refused untouched.
    Bytes block(size, 0xAB);
    void* into = block.data();
    uint32_t capacity = size;
    EXPECT_EQ(DecodeBank(m_image.data(), static_cast<uint32_t>(m_image.size()), static_cast<ZkMemoryId>(-1), into,
                         capacity),
              ZK_Success);
    EXPECT_EQ(block, decoded);
    Bytes small(size - 1, 0xAB);
    into = small.data();
    capacity = size - 1;
    EXPECT_EQ(DecodeBank(m_image.data(), static_cast<uint32_t>(m_image.size()), static_cast<ZkMemoryId>(-1), into,
                         capacity),
              ZK_InvalidParameter);
    EXPECT_EQ(small, Bytes(size - 1, 0xAB));

    // The decoded image loads; its media are those of the judged image.
    ZkBankID bankID = 0;
    ASSERT_EQ(LoadBankMemoryCopy(decoded.data(), static_cast<uint32_t>(decoded.size()), bankID), ZK_Success);
    const auto slices = MediaSlices(decoded);
    for (ZkUniqueID media : {kMono, kStereo, kOdd, kPcm, kRawBytes})
        EXPECT_EQ(BankCopy(media), slices.at(media)) << media;
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
}

TEST_F(MediaDecoding, PreparedBlocksOfABankPreparedWithDecodingAreTheDecodedMedia)
{
    ASSERT_EQ(U8TestCodec::Register(), ZK_Success);
    const auto decoded = MediaSlices(Decoded(m_image));
    ASSERT_EQ(PrepareBank(Preparation_LoadAndDecode, "Coded", ZkBankContent_All), ZK_Success);
    for (ZkUniqueID media : {kMono, kStereo, kOdd, kPcm, kRawBytes})
        EXPECT_EQ(Prepared(media), decoded.at(media)) << media;
    // The engine's own reading of the decoded headers: samples 4-aligned, as long as announced.
    const struct
    {
        ZkUniqueID media;
        uint32_t dataOffset;
        uint32_t channels;
    } rows[] = {{kMono, 56, 1}, {kStereo, 76, 2}, {kOdd, 76, 1}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.media);
        Bytes block = Prepared(row.media);
        ZkMediaChunk format;
        uint32_t loopStart = 0, loopEnd = 0, dataSize = 0, dataOffset = 0;
        ASSERT_EQ(MediaHeaderParser::Parse(block.data(), static_cast<uint32_t>(block.size()), format, nullptr, loopStart,
                                           loopEnd, dataSize, dataOffset, nullptr, nullptr, true),
                  ZK_Success);
        EXPECT_EQ(dataOffset, row.dataOffset);
        EXPECT_EQ(dataSize, 80u * row.channels * 2u);
        EXPECT_EQ(dataOffset + dataSize, block.size());
        EXPECT_EQ(ZK::LoadLittleEndian<uint16_t>(format.data), 0xFFFE);
        EXPECT_EQ(ZK::LoadLittleEndian<uint16_t>(format.data + 12), row.channels * 2);
        EXPECT_EQ(ZK::LoadLittleEndian<uint16_t>(format.data + 14), 16);
    }
    ASSERT_EQ(PrepareBank(Preparation_Unload, "Coded"), ZK_Success);
    EXPECT_EQ(MediaCount(), 0u);
}

TEST_F(MediaDecoding, WithoutItsCodecAMediaIsCopiedAsItIs)
{
    const auto before = MediaSlices(m_image);
    const auto after = MediaSlices(Decoded(m_image));
    EXPECT_EQ(after, before);
    ASSERT_EQ(PrepareBank(Preparation_LoadAndDecode, "Coded", ZkBankContent_All), ZK_Success);
    EXPECT_EQ(Prepared(kMono), before.at(kMono));
}

TEST_F(MediaDecoding, AFrameCountBeyondTheDataIsRefusedBeforeAnythingIsAllocated)
{
    ASSERT_EQ(U8TestCodec::Register(), ZK_Success);
    // 2^31 + 8 frames of one channel: 4 GiB + 16 bytes, which 32 bits would wrap to 16.
    const Bytes huge = FileBytes("Coded.frames_claimed_huge.bnk");
    const int64_t blocks = SettledBlocks();
    void* out = nullptr;
    uint32_t outSize = 0;
    EXPECT_EQ(DecodeBank(huge.data(), static_cast<uint32_t>(huge.size()), ZkMemID_Default, out, outSize),
              ZK_InvalidFile);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(SettledBlocks(), blocks);
    // A prepared block that cannot be decoded stays as it was read.
    ASSERT_EQ(PrepareBank(Preparation_LoadAndDecode, "Coded.frames_claimed_huge.bnk", ZkBankContent_All), ZK_Success);
    EXPECT_EQ(Prepared(kMono), MediaSlices(huge).at(kMono));
}
} // namespace
