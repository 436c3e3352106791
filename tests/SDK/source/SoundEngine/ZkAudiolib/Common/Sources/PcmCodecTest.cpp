// The PCM codec over media-writer files: the format checks (the tag, and the fields that must agree
// with each other before a block align divides anything or the resampler reads configuration-many
// channels per frame), and decoding through a source cursor whose stream buffers end inside a
// frame.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Media/ChunkedStreamMgr.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"
#include "ZkAudiolib/Common/Sources/CZkPcmCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
using namespace ZK::SoundEngine;
using ZkSoundFixtures::Bytes;
using ZkSoundFixtures::WriteMedia;

// Offsets in the format chunk's body.
constexpr uint32_t kChannels = 2;
constexpr uint32_t kByteRate = 8;
constexpr uint32_t kBlockAlign = 12;
constexpr uint32_t kBits = 14;
constexpr uint32_t kValidBits = 18;

std::string Tone(uint32_t channels, uint32_t frames, const std::string& extra = "")
{
    return R"({"wave": {"rate": 48000, "channels": )" + std::to_string(channels) + R"(, "frames": )" +
           std::to_string(frames) + R"(, "parts": [{"tone": 1000, "amp": 0.5}]})" + extra + "}";
}

struct Header
{
    ZKRESULT parsed = ZK_Fail;
    ZkCodecHeader header;
};

Header ParseHeader(Bytes& bytes)
{
    Header result;
    ZkCodecHeader& h = result.header;
    result.parsed = MediaHeaderParser::Parse(bytes.data(), static_cast<uint32_t>(bytes.size()), h.format, nullptr,
                                             h.loopStart, h.loopEnd, h.dataSize, h.dataOffset, nullptr, nullptr,
                                             false);
    if (result.parsed == ZK_Success && h.format.size >= 24)
        h.channelWord = ZK::LoadLittleEndian<uint32_t>(h.format.data + MediaHeaderParser::kChannelWordOffset);
    return result;
}

// The format's body in the file's bytes.
uint8_t* FormatBody(Bytes& bytes)
{
    for (size_t at = 12; at + 8 <= bytes.size();)
    {
        const uint32_t size = ZK::LoadLittleEndian<uint32_t>(bytes.data() + at + 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0)
            return bytes.data() + at + 8;
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << "no format chunk";
    return nullptr;
}

// Rewrites the sample layout of a format: bits per sample and block align (and the byte rate).
void SetLayout(Bytes& bytes, uint16_t bits, uint16_t blockAlign)
{
    uint8_t* format = FormatBody(bytes);
    ZK::StoreLittleEndian<uint16_t>(format + kBits, bits);
    ZK::StoreLittleEndian<uint16_t>(format + kValidBits, bits);
    ZK::StoreLittleEndian<uint16_t>(format + kBlockAlign, blockAlign);
    ZK::StoreLittleEndian<uint32_t>(format + kByteRate, 48000u * blockAlign);
}

ZKRESULT ParseFormatOf(Bytes& bytes, ZkCodecFormat& format)
{
    Header header = ParseHeader(bytes);
    EXPECT_EQ(header.parsed, ZK_Success);
    CZkPcmCodec codec;
    return codec.ParseFormat(header.header, format);
}

using PcmCodec = ZkEngineTest::EngineMemoryTest;

TEST_F(PcmCodec, RefusesFormatsWhoseFieldsDisagree)
{
    struct Case
    {
        const char* name;
        uint32_t channels;
        std::string extra;
        int bits;       // -1: as written
        int blockAlign; // -1: as written
        ZKRESULT expected;
    } cases[] = {
        {"16-bit stereo", 2, "", -1, -1, ZK_Success},
        {"16-bit mono", 1, "", -1, -1, ZK_Success},
        {"32-bit mono", 1, "", 32, 4, ZK_Success},
        {"a mask of fewer bits than channels", 3, R"(, "channel_mask": 3)", -1, -1, ZK_Success},
        {"plain PCM", 2, R"(, "variant": "plain_pcm")", -1, -1, ZK_UnsupportedFormat},
        {"block align 0", 2, "", -1, 0, ZK_InvalidFile},
        {"block align 6 for 16-bit stereo", 2, "", -1, 6, ZK_InvalidFile},
        {"a 3-bit mask on a 2-channel file", 2, R"(, "channel_mask": 7)", -1, -1, ZK_InvalidFile},
        {"32-bit stereo", 2, "", 32, 8, ZK_InvalidFile},
        {"no channels", 0, "", -1, -1, ZK_InvalidFile},
    };
    for (const Case& c : cases)
    {
        Bytes bytes = WriteMedia(Tone(c.channels == 0 ? 1 : c.channels, 480, c.extra));
        ASSERT_FALSE(bytes.empty()) << c.name;
        if (c.channels == 0)
            ZK::StoreLittleEndian<uint16_t>(FormatBody(bytes) + kChannels, 0);
        if (c.bits >= 0 || c.blockAlign >= 0)
        {
            uint8_t* format = FormatBody(bytes);
            const uint16_t bits = c.bits >= 0 ? static_cast<uint16_t>(c.bits) : ZK::LoadLittleEndian<uint16_t>(format + kBits);
            const uint16_t blockAlign =
                c.blockAlign >= 0 ? static_cast<uint16_t>(c.blockAlign) : ZK::LoadLittleEndian<uint16_t>(format + kBlockAlign);
            SetLayout(bytes, bits, blockAlign);
        }
        ZkCodecFormat format;
        EXPECT_EQ(ParseFormatOf(bytes, format), c.expected) << c.name;
    }
}

TEST_F(PcmCodec, TheFormatWordTotalsAndLoopBytes)
{
    Bytes bytes = WriteMedia(Tone(2, 4800, R"(, "loop_points": {"start": 100, "end": 1099, "play_count": 0})"));
    Header header = ParseHeader(bytes);
    ASSERT_EQ(header.parsed, ZK_Success);
    CZkPcmCodec codec;
    ZkCodecFormat format;
    ASSERT_EQ(codec.ParseFormat(header.header, format), ZK_Success);
    EXPECT_EQ(format.sampleRate, 48000u);
    EXPECT_EQ(format.channelConfig.word, ZkChannelConfig::kStereoWord);
    EXPECT_EQ(format.formatWord, 16u | 4u << 6);
    EXPECT_EQ(format.totalFrames, 4800u);
    EXPECT_EQ(format.loopStartByte, header.header.dataOffset + 400u);
    EXPECT_EQ(format.loopEndByte, header.header.dataOffset + 4400u);
    EXPECT_FLOAT_EQ(format.bytesPerMs, 192.0f);

    ZkCodecHeader noLoop = header.header;
    noLoop.loopEnd = 0;
    ASSERT_EQ(codec.ParseFormat(noLoop, format), ZK_Success);
    EXPECT_EQ(format.loopStartByte, noLoop.dataOffset);
    EXPECT_EQ(format.loopEndByte, noLoop.dataOffset + 4800u * 4u) << "the whole media loops";

    ZkCodecHeader pastTheData = header.header;
    pastTheData.loopEnd = 4800;
    EXPECT_EQ(codec.ParseFormat(pastTheData, format), ZK_InvalidFile) << "a loop end past the data";
    ZkCodecHeader empty = header.header;
    empty.dataSize = 3;
    EXPECT_EQ(codec.ParseFormat(empty, format), ZK_InvalidFile) << "no whole frame";
    ZkCodecHeader shortFormat = header.header;
    shortFormat.format.size = CZkPcmCodec::kFormatBytes - 1;
    EXPECT_EQ(codec.ParseFormat(shortFormat, format), ZK_InvalidFile);
    ZK::StoreLittleEndian<uint32_t>(FormatBody(bytes) + 4, 0);
    EXPECT_EQ(codec.ParseFormat(header.header, format), ZK_InvalidFile) << "rate 0: no bytes per millisecond";
}

TEST_F(PcmCodec, ABufferEndingInsideAFrameDeliversItsWholeFramesThenTheFrameAcrossBuffers)
{
    Bytes bytes = WriteMedia(Tone(2, 1000));
    Header header = ParseHeader(bytes);
    ASSERT_EQ(header.parsed, ZK_Success);
    const uint32_t dataOffset = header.header.dataOffset;
    ZkSourceTest::ChunkedStreamMgr streams;
    // The first buffer ends two bytes into frame 10 of the data, the second four bytes later.
    streams.chunks = {dataOffset + 42, 1000, 1u << 20};
    ZkMediaRef media;
    media.Init();
    ZkSourceDescription description;
    description.media = &media;
    description.kind = kSourceKindInMemory;
    description.memory = bytes.data();
    description.memorySize = static_cast<uint32_t>(bytes.size());
    ZkSourceCursor cursor;
    ASSERT_EQ(cursor.Open(description), ZK_Success);
    const uint8_t* head = nullptr;
    uint32_t headBytes = 0;
    ASSERT_EQ(cursor.GetData(head, headBytes, false), ZK_DataReady) << "the header's buffer";
    EXPECT_EQ(headBytes, dataOffset + 42);
    cursor.SetLayout(ZkCursorLayout{192.0f, dataOffset, dataOffset + 4000, dataOffset + 4000, 4});
    ASSERT_EQ(cursor.Seek(dataOffset, 1), ZK_PartialSuccess) << "the data starts in the buffer held";

    CZkPcmCodec codec;
    ZkCodecFormat format;
    ASSERT_EQ(codec.ParseFormat(header.header, format), ZK_Success);
    ZkDecodedFrames frames;
    ASSERT_EQ(codec.Decode(cursor, 1024, frames, false), ZK_DataReady);
    EXPECT_EQ(frames.frames, 10u) << "the whole frames first";
    EXPECT_EQ(frames.data, bytes.data() + dataOffset);
    EXPECT_EQ(codec.PartialBytes(), 2u);
    codec.Release(cursor);
    EXPECT_EQ(streams.last->released, 1u) << "the buffer used up went back";

    ASSERT_EQ(codec.Decode(cursor, 1024, frames, false), ZK_DataReady);
    ASSERT_EQ(frames.frames, 1u) << "then the frame from the tail and the next head";
    EXPECT_NE(frames.data, bytes.data() + dataOffset + 40) << "assembled in the partial block";
    EXPECT_EQ(std::memcmp(frames.data, bytes.data() + dataOffset + 40, 4), 0);
    codec.Release(cursor);

    uint32_t delivered = 11;
    while (delivered < 1000)
    {
        ASSERT_EQ(codec.Decode(cursor, 1024, frames, false), ZK_DataReady) << delivered;
        EXPECT_EQ(std::memcmp(frames.data, bytes.data() + dataOffset + delivered * 4, frames.frames * 4), 0);
        delivered += frames.frames;
        codec.Release(cursor);
    }
    EXPECT_EQ(delivered, 1000u);
    EXPECT_EQ(codec.Decode(cursor, 1024, frames, false), ZK_NoMoreData);
    cursor.ReleaseStream();
    EXPECT_EQ(streams.alive, 0);
}
} // namespace
