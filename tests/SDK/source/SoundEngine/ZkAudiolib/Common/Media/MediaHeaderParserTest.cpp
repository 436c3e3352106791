// The media header parser over files made by the media writer: the format, data, markers, labels
// and loop it finds, the channel-word rewrite, the writer's header variants, and counts that run
// past their chunk.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
using namespace ZK::SoundEngine;
using ZkSoundFixtures::Bytes;
using ZkSoundFixtures::WriteMedia;

struct Parsed
{
    ZKRESULT result = ZK_Fail;
    ZkMediaChunk format;
    uint32_t loopStart = 99;
    uint32_t loopEnd = 99;
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
    ZkMediaChunk engineChunk;
    ZkMediaChunk seekTable;

    uint32_t ChannelWord() const { return ZK::LoadLittleEndian<uint32_t>(format.data + 20); }
};

Parsed Parse(Bytes& bytes, ZkMarkerTable* markers = nullptr, bool keepMask = false)
{
    Parsed parsed;
    parsed.result = MediaHeaderParser::Parse(bytes.data(), static_cast<uint32_t>(bytes.size()), parsed.format, markers,
                                             parsed.loopStart, parsed.loopEnd, parsed.dataSize, parsed.dataOffset,
                                             &parsed.engineChunk, &parsed.seekTable, keepMask);
    return parsed;
}

const char* const kStereoTone = R"({"wave": {"rate": 48000, "channels": 2, "frames": 4800,
    "parts": [{"tone": 1000, "amp": 0.5}]}})";

using MediaHeaderParserTest = ZkEngineTest::EngineMemoryTest;

TEST_F(MediaHeaderParserTest, FindsFormatAndDataOfAStereoFile)
{
    Bytes media = WriteMedia(kStereoTone);
    ASSERT_FALSE(media.empty());
    const Parsed parsed = Parse(media);
    ASSERT_EQ(parsed.result, ZK_Success);
    EXPECT_EQ(parsed.format.size, 40u);
    EXPECT_EQ(ZK::LoadLittleEndian<uint16_t>(parsed.format.data), 0xFFFE);
    EXPECT_EQ(parsed.dataSize, 4800u * 4u) << "frames x block align";
    EXPECT_EQ(parsed.dataOffset + parsed.dataSize, media.size()) << "the samples end the file";
    EXPECT_EQ(parsed.loopStart, 0u);
    EXPECT_EQ(parsed.loopEnd, 0u);
    EXPECT_EQ(parsed.engineChunk.data, nullptr);
}

TEST_F(MediaHeaderParserTest, ReadsCuesLabelsLoopAndEngineChunks)
{
    Bytes media = WriteMedia(R"({"wave": {"rate": 48000, "channels": 1, "frames": 9600,
        "parts": [{"tone": 1000, "amp": 0.5}]},
        "cues": [{"id": 1, "position": 100, "label": "start"}, {"id": 7, "position": 4800},
                 {"id": 9, "position": 9000, "label": "odd"}],
        "loop_points": {"start": 480, "end": 9119, "play_count": 0},
        "engine_chunk": "0102030405", "seek_table": "aabbccdd"})");
    ASSERT_FALSE(media.empty());
    ZkMarkerTable markers;
    const Parsed parsed = Parse(media, &markers);
    ASSERT_EQ(parsed.result, ZK_Success);
    ASSERT_EQ(markers.Count(), 3u);
    EXPECT_EQ(markers[0].id, 1u);
    EXPECT_EQ(markers[0].position, 100u);
    EXPECT_STREQ(markers[0].label, "start");
    EXPECT_EQ(markers[1].id, 7u);
    EXPECT_EQ(markers[1].position, 4800u);
    EXPECT_EQ(markers[1].label, nullptr);
    EXPECT_STREQ(markers[2].label, "odd");
    EXPECT_EQ(parsed.loopStart, 480u);
    EXPECT_EQ(parsed.loopEnd, 9119u);
    ASSERT_EQ(parsed.engineChunk.size, 5u);
    EXPECT_EQ(parsed.engineChunk.data[4], 0x05);
    ASSERT_EQ(parsed.seekTable.size, 4u);
    EXPECT_EQ(parsed.seekTable.data[0], 0xAA);
    EXPECT_EQ(parsed.dataSize, 9600u * 2u);
}

TEST_F(MediaHeaderParserTest, ASpeakerMaskBecomesAChannelWordUnlessKept)
{
    struct Case
    {
        int channels;
        const char* mask; // the value at offset 20 of "fmt "; null: the writer's usual mask
        bool keep;
        uint32_t word;
    };
    const Case cases[] = {
        {2, nullptr, false, 0x3102},     // stereo mask 0x3
        {1, nullptr, false, 0x4101},     // mono mask 0x4 (front centre)
        {6, nullptr, false, 0x3F106},    // 5.1 mask 0x3F
        {2, nullptr, true, 0x3},         // kept as written
        {2, "12546", false, 0x3102},    // already a channel word: left alone
        {1, "769", false, 0x301103},  // type 3 is above 2: taken as a mask of 3 bits
    };
    for (const Case& c : cases)
    {
        std::string desc = R"({"wave": {"rate": 48000, "frames": 16, "parts": [{"tone": 100}], "channels": )" +
                           std::to_string(c.channels) + "}";
        if (c.mask != nullptr)
            desc += std::string(R"(, "channel_mask": )") + c.mask;
        desc += "}";
        Bytes media = WriteMedia(desc);
        ASSERT_FALSE(media.empty());
        const Parsed parsed = Parse(media, nullptr, c.keep);
        ASSERT_EQ(parsed.result, ZK_Success);
        EXPECT_EQ(parsed.ChannelWord(), c.word) << c.channels << " channels, mask " << (c.mask ? c.mask : "usual");
    }
}

TEST_F(MediaHeaderParserTest, HeaderVariantsOfTheWriter)
{
    struct Case
    {
        const char* variant;
        ZKRESULT result;
    };
    const Case cases[] = {
        {"odd_chunk", ZK_Success},          // a 3-byte chunk and its zero pad before "data"
        {"odd_chunk_unpadded", ZK_Success}, // the byte after the odd chunk is not a pad
        {"second_fmt", ZK_Success},         // the first "fmt " counts
        {"data_before_fmt", ZK_InvalidFile},
        {"cue_before_fmt", ZK_InvalidFile},
        {"no_data", ZK_HeaderIncomplete},
        {"ogg", ZK_Success},
        {"not_wave", ZK_InvalidFile},
        {"short", ZK_InvalidFile},
        {"data_past_end", ZK_Success},
        {"plain_pcm", ZK_Success},
    };
    for (const Case& c : cases)
    {
        Bytes media = WriteMedia(std::string(R"({"wave": {"rate": 48000, "channels": 2, "frames": 64,
            "parts": [{"tone": 1000}]}, "cues": [{"id": 1, "position": 8}], "variant": ")") + c.variant + "\"}");
        ASSERT_FALSE(media.empty()) << c.variant;
        ZkMarkerTable markers;
        const Parsed parsed = Parse(media, &markers);
        EXPECT_EQ(parsed.result, c.result) << c.variant;
        if (parsed.result != ZK_Success || std::string(c.variant) == "ogg")
            continue;
        EXPECT_EQ(parsed.dataOffset + 64u * 4u, media.size()) << c.variant << ": the samples found where they are";
        EXPECT_EQ(parsed.dataSize, 64u * 4u + (std::string(c.variant) == "data_past_end" ? 4096u : 0u)) << c.variant;
        if (std::string(c.variant) == "second_fmt")
        {
            EXPECT_EQ(parsed.format.size, 40u) << "the extensible format, not the plain one after it";
        }
    }
}

TEST_F(MediaHeaderParserTest, TooFewBytesAndNullInput)
{
    Bytes media = WriteMedia(kStereoTone);
    ASSERT_FALSE(media.empty());
    Parsed parsed = Parse(media);
    ASSERT_EQ(parsed.result, ZK_Success);
    const uint32_t headerEnd = parsed.dataOffset;
    for (uint32_t size : {1u, 11u, 12u, 20u, headerEnd - 8, headerEnd - 1})
    {
        Bytes cut(media.begin(), media.begin() + size);
        EXPECT_EQ(Parse(cut).result, size < 12 ? ZK_InvalidFile : ZK_HeaderIncomplete) << size << " bytes";
    }
    Bytes upToData(media.begin(), media.begin() + headerEnd);
    EXPECT_EQ(Parse(upToData).result, ZK_Success) << "the data chunk's header is all that is needed";
    uint32_t loopStart = 0, loopEnd = 0, dataSize = 0, dataOffset = 0;
    ZkMediaChunk format;
    EXPECT_EQ(MediaHeaderParser::Parse(nullptr, 100, format, nullptr, loopStart, loopEnd, dataSize, dataOffset, nullptr,
                                       nullptr, false),
              ZK_InvalidParameter);
    EXPECT_EQ(MediaHeaderParser::Parse(media.data(), 0, format, nullptr, loopStart, loopEnd, dataSize, dataOffset,
                                       nullptr, nullptr, false),
              ZK_InvalidParameter);
}

TEST_F(MediaHeaderParserTest, ACueCountOneTooLargeIsMalformed)
{
    Bytes media = WriteMedia(R"({"wave": {"rate": 48000, "channels": 1, "frames": 64, "parts": [{"tone": 1000}]},
        "cues": [{"id": 1, "position": 8}, {"id": 2, "position": 16}], "cue_count": 3})");
    ASSERT_FALSE(media.empty());
    ZkMarkerTable markers;
    EXPECT_EQ(Parse(media, &markers).result, ZK_InvalidFile);
    EXPECT_EQ(markers.Count(), 0u);
    EXPECT_EQ(Parse(media, nullptr).result, ZK_Success) << "markers not asked for: the chunk is not read";
}

// Sampler chunks whose records run past the chunk, built by hand around a writer-made file: the
// "smpl" chunk is put in front of "data". The loop record follows the sampler data.
TEST_F(MediaHeaderParserTest, SamplerRecordsPastTheirChunkAreMalformed)
{
    Bytes media = WriteMedia(kStereoTone);
    ASSERT_FALSE(media.empty());
    const Parsed parsed = Parse(media);
    ASSERT_EQ(parsed.result, ZK_Success);
    const size_t dataHeader = parsed.dataOffset - 8;
    struct Case
    {
        uint32_t chunkSize;
        uint32_t loopCount;
        uint32_t samplerData;
        ZKRESULT result;
    };
    const Case cases[] = {
        {60, 1, 0, ZK_Success},        // one loop record, whole
        {60, 1, 4, ZK_Success},        // 4 bytes of sampler data, the loop still inside
        {60, 1, 8, ZK_Success},        // the loop end is the last field of the chunk
        {60, 1, 12, ZK_InvalidFile},   // the loop end would lie past the chunk
        {60, 0, 0xFFFFFFFF, ZK_Success}, // no loop: nothing else is read
        {40, 1, 0, ZK_InvalidFile},    // the loop record is cut
        {32, 0, 0, ZK_InvalidFile},    // the sampler-data field itself is missing
    };
    for (const Case& c : cases)
    {
        Bytes sampler(8 + c.chunkSize, 0);
        std::memcpy(sampler.data(), "smpl", 4);
        std::memcpy(sampler.data() + 4, &c.chunkSize, 4);
        if (c.chunkSize >= 32)
            std::memcpy(sampler.data() + 8 + 28, &c.loopCount, 4);
        if (c.chunkSize >= 36)
            std::memcpy(sampler.data() + 8 + 32, &c.samplerData, 4);
        const uint32_t start = 10, end = 20;
        if (uint64_t{c.chunkSize} >= 52 + uint64_t{c.samplerData})
        {
            std::memcpy(sampler.data() + 8 + 44 + c.samplerData, &start, 4);
            std::memcpy(sampler.data() + 8 + 48 + c.samplerData, &end, 4);
        }
        Bytes withSampler(media.begin(), media.begin() + static_cast<long>(dataHeader));
        withSampler.insert(withSampler.end(), sampler.begin(), sampler.end());
        withSampler.insert(withSampler.end(), media.begin() + static_cast<long>(dataHeader), media.end());
        const Parsed result = Parse(withSampler);
        EXPECT_EQ(result.result, c.result) << "chunk " << c.chunkSize << " loops " << c.loopCount;
        if (c.result == ZK_Success && c.loopCount != 0)
        {
            EXPECT_EQ(result.loopStart, start);
            EXPECT_EQ(result.loopEnd, end);
        }
    }
}
} // namespace
