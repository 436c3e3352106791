// The ADPCM source over writer-made media, judged by ffmpeg's decode of the standard twin: from
// memory, from a loose file and from a loose file whose first bytes are in the bank, in stream
// buffers of chosen sizes (ending inside blocks), with loops, seeks, markers, virtual periods and
// the malformed headers it must refuse.
#include "AdpcmTestSupport.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Sources/CZkSrcFileAdpcm.h"

#include <cstring>

namespace
{
using namespace ZkSourceTest;
using ZkSoundFixtures::WriteMedia;

using AdpcmSource = AdpcmSourceTest;

constexpr uint32_t kFrames = 64 * 60;
constexpr const char* kLoop = R"(, "loop_points": {"start": 640, "end": 2559})";

CZkSrcFileAdpcm& AsAdpcm(SourcePtr& source)
{
    return static_cast<CZkSrcFileAdpcm&>(*source);
}

TEST_F(AdpcmSource, EveryStorageDeliversFfmpegsDecodeWithTheLoopUnrolled)
{
    struct Case
    {
        uint32_t channels;
        uint32_t storage; // 0 in memory, 1 loose file with a prefetch copy, 2 loose file
        std::vector<uint32_t> chunks;
        uint32_t blockSize;
        uint16_t loops;
    } cases[] = {
        {1, 0, {1u << 20}, 1, 1},        {2, 0, {1u << 20}, 1, 3},        {2, 0, {1000}, 1, 2},
        {1, 2, {170, 1000, 333}, 1, 1},  {2, 2, {170, 1000, 333}, 1, 3},  {2, 2, {2048}, 512, 3},
        {1, 1, {2048}, 512, 1},          {2, 1, {2048}, 512, 3},          {2, 1, {100, 0, 700}, 1, 2},
    };
    for (uint32_t channels : {1u, 2u})
    {
        const std::vector<int16_t> decoded = FfmpegDecode(48000, channels, kFrames);
        ASSERT_EQ(decoded.size(), size_t{kFrames} * channels);
        const Bytes bytes = WriteMedia(AdpcmWave(48000, channels, kFrames, kLoop));
        const uint32_t dataOffset = FindData(bytes).offset;
        for (const Case& c : cases)
        {
            if (c.channels != channels)
                continue;
            streams.chunks = c.chunks;
            streams.blockSize = c.blockSize;
            instance->SetLoopCount(c.loops);
            // A prefetch copy ending 17 bytes into the fourth block.
            PlayStored(c.storage, bytes, dataOffset + 36 * channels * 3 + 17);
            SourcePtr source = MakeSource();
            ASSERT_NE(source, nullptr);
            ASSERT_EQ(StartReady(*source), ZK_Success) << c.storage;
            std::vector<int16_t> samples;
            EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
            EXPECT_EQ(samples, Unrolled(decoded, channels, 640, 2559, c.loops))
                << "channels " << channels << " storage " << c.storage << " chunk " << c.chunks[0] << " loops "
                << c.loops;
        }
    }
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(AdpcmSource, PredictiveMediaDeliverTheWritersDecoderModel)
{
    for (uint32_t channels : {1u, 2u})
    {
        const std::string wave = AdpcmWave(44100, channels, 64 * 20, "", "adpcm_8311");
        const Bytes bytes = WriteMedia(wave);
        for (uint32_t storage : {0u, 2u})
        {
            streams.chunks = {500};
            PlayStored(storage, bytes);
            SourcePtr source = MakeSource();
            ASSERT_EQ(StartReady(*source), ZK_Success);
            EXPECT_EQ(AsAdpcm(source).FormatTag(), 0x8311);
            EXPECT_EQ(source->Format().sampleRate, 44100u);
            std::vector<int16_t> samples;
            EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
            EXPECT_EQ(samples, ModelDecode(wave)) << channels << " " << storage;
        }
    }
}

TEST_F(AdpcmSource, MalformedHeadersAndLoopsFailTheStart)
{
    struct Case
    {
        const char* name;
        std::string extra;
        uint32_t channels;
        ZKRESULT expected;
    } cases[] = {
        {"plain PCM tag", R"(, "fault": "tag_1")", 1, ZK_InvalidFile},
        {"extensible tag", R"(, "fault": "tag_fffe")", 2, ZK_InvalidFile},
        {"block align 0", R"(, "fault": "block_align_0")", 2, ZK_InvalidFile},
        {"block align 35 x channels", R"(, "fault": "block_align_35")", 2, ZK_InvalidFile},
        {"no channels", R"(, "fault": "channels_0")", 1, ZK_InvalidFile},
        {"a three-channel configuration on stereo", R"(, "fault": "config_3ch")", 2, ZK_InvalidFile},
        {"rate 0", R"(, "fault": "rate_0")", 1, ZK_InvalidFile},
        {"a 16-byte fmt", R"(, "fault": "fmt_16")", 1, ZK_InvalidFile},
        {"a loop inside one block", R"(, "loop_points": {"start": 10, "end": 50})", 1, ZK_InvalidFile},
        {"a loop end past the data", R"(, "loop_points": {"start": 64, "end": 4000})", 1, ZK_InvalidFile},
        {"a loop end at the frame count", R"(, "loop_points": {"start": 0, "end": 3840})", 1, ZK_Fail},
    };
    instance->SetLoopCount(0);
    for (const Case& c : cases)
    {
        const Bytes bytes = WriteMedia(AdpcmWave(48000, c.channels, kFrames, c.extra));
        for (uint32_t storage : {0u, 2u})
        {
            streams.chunks = {4096};
            PlayStored(storage, bytes);
            SourcePtr source = MakeSource();
            ASSERT_NE(source, nullptr);
            EXPECT_EQ(StartReady(*source), c.expected) << c.name << " storage " << storage;
        }
    }
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(AdpcmSource, AHeaderBeyondTheFirstBufferOrThePrefetchCopyFailsTheStart)
{
    const Bytes longHeader = WriteMedia(AdpcmWave(48000, 1, kFrames, R"(, "fault": "header_beyond")"));
    streams.chunks = {2048};
    PlayStored(2, longHeader);
    SourcePtr streamed = MakeSource();
    EXPECT_EQ(StartReady(*streamed), ZK_HeaderIncomplete);

    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    PlayStored(1, bytes, 40); // the copy ends inside "fmt "
    SourcePtr prefetched = MakeSource();
    EXPECT_EQ(StartReady(*prefetched), ZK_HeaderIncomplete);

    // No loose file; a memory stream without memory.
    StreamLooseFile(77);
    SourcePtr missing = MakeSource();
    EXPECT_EQ(StartReady(*missing), ZK_FileNotFound);
    SourcePtr noMemory(CZkVoiceSource::Create(kSourceKindInMemory, kAdpcmKey, instance));
    EXPECT_EQ(noMemory->StartOnce(nullptr, 0), ZK_NoDataReady);
    for (SourcePtr* made : {&streamed, &prefetched, &missing, &noMemory})
        made->reset();
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(AdpcmSource, DataThatEndsInsideABlockPlaysItsWholeBlocks)
{
    const std::vector<int16_t> decoded = FfmpegDecode(48000, 2, kFrames);
    struct Case
    {
        const char* fault;
        uint16_t loops;
        ZKRESULT end;
        uint32_t frames;
    } cases[] = {
        // The file is cut 10 bytes into its last block: the blocks before it, then a failure.
        {"cut_inside_block", 1, ZK_Fail, kFrames - 64},
        // Half a block more than the blocks: never decoded, every pass loops the whole blocks.
        {"half_block", 3, ZK_NoMoreData, kFrames},
    };
    for (const Case& c : cases)
    {
        const Bytes bytes = WriteMedia(AdpcmWave(48000, 2, kFrames, R"(, "fault": ")" + std::string(c.fault) + "\""));
        for (uint32_t storage : {0u, 2u})
        {
            streams.chunks = {1000};
            instance->SetLoopCount(c.loops);
            PlayStored(storage, bytes);
            SourcePtr source = MakeSource();
            ASSERT_EQ(StartReady(*source), ZK_Success);
            std::vector<int16_t> samples;
            EXPECT_EQ(ReadAll(*source, samples), c.end) << c.fault << " " << storage;
            const std::vector<int16_t> whole(decoded.begin(), decoded.begin() + c.frames * 2);
            EXPECT_EQ(samples, Unrolled(whole, 2, 0, c.frames - 1, c.loops)) << c.fault << " " << storage;
        }
    }
}

TEST_F(AdpcmSource, EngineBuffersSmallerThanABlockStillGetWholeBlocks)
{
    SetAudioFormatGlobals(48000, 32);
    const std::vector<int16_t> decoded = FfmpegDecode(48000, 1, kFrames);
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    PlayFromMemory(bytes);
    SourcePtr source = MakeSource();
    ASSERT_EQ(Start(*source), ZK_Success);
    std::vector<int16_t> samples;
    EXPECT_EQ(ReadAll(*source, samples, 32), ZK_NoMoreData);
    EXPECT_EQ(AsAdpcm(source).DecodeCapacity(), 64u);
    EXPECT_EQ(samples, decoded);
}

TEST_F(AdpcmSource, AStreamBufferEndingInsideABlockGivesTheWholeBlocksThenTheSplitOne)
{
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    const uint32_t dataOffset = FindData(bytes).offset;
    // The first buffer holds the header and 2.5 blocks; the next 1000 bytes.
    streams.chunks = {dataOffset + 90, 1000};
    PlayStored(2, bytes);
    SourcePtr source = MakeSource();
    ASSERT_EQ(StartReady(*source), ZK_Success);
    ZkPipelineBuffer first;
    first.maxFrames = 1024;
    ASSERT_EQ(source->GetBuffer(first), ZK_DataReady);
    EXPECT_EQ(first.validFrames, 128u);
    EXPECT_EQ(AsAdpcm(source).PartialBytes(), 18u);
    source->ReleaseBuffer();
    ZkPipelineBuffer second;
    second.maxFrames = 1024;
    ASSERT_EQ(source->GetBuffer(second), ZK_DataReady);
    // The split block, then whole blocks up to the engine's buffer of 16 blocks.
    EXPECT_EQ(second.validFrames, 1024u);
    EXPECT_EQ(second.position.positionSamples, 128u);
    source->ReleaseBuffer();
    // The rest of the 1000 bytes: 1000 - 18 - 15 x 36 = 442, 12 blocks and 10 bytes.
    ZkPipelineBuffer third;
    third.maxFrames = 1024;
    ASSERT_EQ(source->GetBuffer(third), ZK_DataReady);
    EXPECT_EQ(third.validFrames, 12u * 64);
    EXPECT_EQ(AsAdpcm(source).PartialBytes(), 10u);
}

TEST_F(AdpcmSource, StopLoopingAfterTheStreamWrappedPlaysWhatTheStreamReadAhead)
{
    const std::vector<int16_t> decoded = FfmpegDecode(48000, 2, kFrames);
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 2, kFrames, kLoop));
    const uint32_t dataOffset = FindData(bytes).offset;
    for (uint32_t storage : {0u, 1u, 2u})
    {
        streams.chunks = {3000};
        streams.blockSize = 1;
        instance->SetLoopCount(0);
        PlayStored(storage, bytes, dataOffset + 1000);
        SourcePtr source = MakeSource();
        ASSERT_EQ(StartReady(*source), ZK_Success);
        // Play on until the stream has wrapped to the loop start while the pass before is still
        // being played (its bytes up to the loop end are held).
        std::vector<int16_t> samples;
        bool wrapped = false;
        for (int call = 0; call < 200 && !wrapped; ++call)
        {
            ZkPipelineBuffer buffer;
            buffer.maxFrames = 1024;
            ASSERT_EQ(source->GetBuffer(buffer), ZK_DataReady);
            const auto* data = static_cast<const int16_t*>(buffer.data);
            samples.insert(samples.end(), data, data + buffer.validFrames * 2);
            source->ReleaseBuffer();
            wrapped = samples.size() >= size_t{640 + 2 * 1920} * 2 &&
                      (AsAdpcm(source).StreamFlags() & CZkSrcFileStream::kWrapped) != 0;
        }
        ASSERT_TRUE(wrapped);
        const uint32_t passes = 1 + static_cast<uint32_t>((samples.size() / 2 - 640) / 1920);
        ASSERT_EQ(source->StopLooping(), ZK_Success);
        EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
        // A memory stream goes on after the loop end; a file's next pass is on its way and plays.
        EXPECT_EQ(samples, Unrolled(decoded, 2, 640, 2559, passes + (storage != 0 ? 1 : 0))) << storage;
    }
}

TEST_F(AdpcmSource, MarkersGoToTheVoicesArrayAtTheirExactFrame)
{
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, 4032, R"(, "cues": [{"id": 1, "position": 10, "label": "ten"},
        {"id": 7, "position": 1500}, {"id": 9, "position": 4031, "label": "last"}])"));
    const BufferWalk walk = WalkFromMemory(bytes, 4, 1024);
    EXPECT_EQ(walk.results.back(), ZK_NoMoreData);
    ASSERT_EQ(walk.markers.size(), 3u);
    const uint32_t expected[][3] = {{0, 10, 1}, {1, 1500 - 1024, 7}, {3, 4031 - 3072, 9}};
    for (uint32_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(walk.markers[i].buffer, expected[i][0]);
        EXPECT_EQ(walk.markers[i].frame, expected[i][1]) << "the exact frame";
        EXPECT_EQ(walk.markers[i].id, expected[i][2]);
    }
    EXPECT_EQ(walk.markers[2].label, "last");
}

TEST_F(AdpcmSource, SeeksRestartAtTheirBlockAndLeaveTheRestToTheVoice)
{
    const std::vector<int16_t> decoded = FfmpegDecode(24000, 1, kFrames);
    const Bytes bytes = WriteMedia(AdpcmWave(24000, 1, kFrames, R"(, "cues": [{"id": 1, "position": 1000},
        {"id": 2, "position": 2000}], "loop_points": {"start": 640, "end": 2559})"));
    struct Case
    {
        uint32_t engineSamples; // at the engine's rate, twice the media's
        bool snap;
        bool percent;
        uint16_t loops;
        ZKRESULT result;
        uint32_t target;
    } cases[] = {
        {3000, false, false, 1, ZK_Success, 1500},
        {3000, true, false, 1, ZK_Success, 1000},  // 1000 and 2000 lie as far: the earlier wins
        {2 * 3000, false, false, 2, ZK_Success, 1080}, // the second pass: 640 + (3000 - 640) mod 1920
        {0, false, true, 1, ZK_Success, 1920},     // half of 3840 frames
        {2 * 3840, false, false, 1, ZK_Fail, 0},   // past the end
    };
    for (uint32_t storage : {0u, 2u})
        for (const Case& c : cases)
        {
            streams.chunks = {700};
            instance->SetLoopCount(c.loops);
            PlayStored(storage, bytes);
            if (c.percent)
                instance->SeekToPercent(0.5f, false);
            else if (c.snap)
                instance->SeekToTime(static_cast<float>(c.engineSamples) * 1000.0f / 48000.0f, true);
            else
                instance->SeekToSamples(c.engineSamples);
            SourcePtr source = MakeSource();
            EXPECT_EQ(StartReady(*source), c.result) << c.engineSamples;
            if (c.result != ZK_Success)
                continue;
            const uint32_t restart = c.target / 64 * 64;
            EXPECT_EQ(instance->SeekPosition(), c.target - restart) << "the frames the voice skips";
            ZkPipelineBuffer buffer;
            buffer.maxFrames = 64;
            ASSERT_EQ(source->GetBuffer(buffer), ZK_DataReady);
            EXPECT_EQ(buffer.position.positionSamples, restart);
            EXPECT_EQ(std::memcmp(buffer.data, decoded.data() + restart, 64 * 2), 0) << c.engineSamples;
        }
}

TEST_F(AdpcmSource, LeavingVirtualModeRestartsAtTheStartTheSkippedTimeOrWhereItStopped)
{
    const std::vector<int16_t> decoded = FfmpegDecode(48000, 1, kFrames);
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    struct Case
    {
        uint32_t behaviour;
        uint32_t from; // the first frame after the virtual period
    } cases[] = {
        {kVirtualModeFromStart, 0},
        {kVirtualModeSkipTime, (1024 + 1200) / 64 * 64},
        {kVirtualModeResume, 1024},
    };
    for (uint32_t storage : {0u, 2u})
        for (const Case& c : cases)
        {
            streams.chunks = {1500};
            PlayStored(storage, bytes);
            SourcePtr source = MakeSource();
            ASSERT_EQ(StartReady(*source), ZK_Success);
            ZkPipelineBuffer buffer;
            buffer.maxFrames = 1024;
            ASSERT_EQ(source->GetBuffer(buffer), ZK_DataReady);
            source->ReleaseBuffer();
            source->EnterVirtual(c.behaviour);
            if (c.behaviour == kVirtualModeSkipTime)
            {
                uint32_t frames = 1200;
                EXPECT_EQ(source->SkipFrames(frames), ZK_DataReady);
                EXPECT_EQ(frames, 1200u);
            }
            ASSERT_EQ(source->LeaveVirtual(c.behaviour, false), ZK_Success);
            std::vector<int16_t> samples;
            EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
            EXPECT_EQ(samples, std::vector<int16_t>(decoded.begin() + c.from, decoded.end()))
                << c.behaviour << " " << storage;
        }
}

TEST_F(AdpcmSource, DurationCountsEveryLoopAndSkipsStopAtTheLoopEnd)
{
    // An envelope of two points: 0 at frame 0, 100 at frame 1000 (offset 0.5).
    const std::string envelope = "02000000" "0000003f" "00000000" "0000" "e8030000" "6400";
    const Bytes bytes =
        WriteMedia(AdpcmWave(48000, 1, kFrames, std::string(kLoop) + R"(, "engine_chunk": ")" + envelope + "\""));
    PlayFromMemory(bytes);
    instance->SetLoopCount(3);
    SourcePtr source = MakeSource();
    ASSERT_EQ(Start(*source), ZK_Success);
    EXPECT_TRUE(source->UsesMediaMemory()) << "the envelope lies in the media's memory";
    EXPECT_FLOAT_EQ(source->GetEnvelopeValue(), -0.5f);
    EXPECT_FLOAT_EQ(source->GetDuration(), 80.0f + 2 * 40.0f);
    uint32_t frames = 3000;
    EXPECT_EQ(source->SkipFrames(frames), ZK_DataReady);
    EXPECT_EQ(frames, 2560u) << "up to the loop end";
    EXPECT_EQ(AsAdpcm(source).PlayPosition(), 640u);
    EXPECT_FLOAT_EQ(source->GetEnvelopeValue(), -64.5f) << "at the loop start, 640 of the 1000 frames up";
    EXPECT_EQ(AsAdpcm(source).LoopsLeft(), 2u);
    instance->SetLoopCount(1);
    frames = 5000;
    ASSERT_EQ(source->StopLooping(), ZK_Success);
    EXPECT_EQ(source->SkipFrames(frames), ZK_NoMoreData);
    EXPECT_EQ(frames, kFrames - 640) << "the last pass ends at the media's end";
    instance->SetLoopCount(0);
    EXPECT_FLOAT_EQ(source->GetDuration(), 0.0f) << "infinite";
}

TEST_F(AdpcmSource, TheBufferingGateHoldsUntilTheStreamHoldsItsNominalBuffering)
{
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    ASSERT_TRUE(instance->WaitsForBuffering());
    streams.chunks = {2048};
    streams.nominalBuffering = 1u << 20;
    PlayStored(2, bytes);
    SourcePtr source = MakeSource();
    EXPECT_EQ(Start(*source), ZK_NotReadyYet) << "the header is read, the stream is filling up";
    EXPECT_EQ(Start(*source), ZK_NotReadyYet);
    ZkPipelineBuffer held;
    held.maxFrames = 1024;
    EXPECT_EQ(source->GetBuffer(held), ZK_NoDataReady) << "the gate";
    EXPECT_EQ(held.validFrames, 0u);
    streams.last->bufferingStatus = ZK_NoMoreData; // the stream has read to the end of its file
    EXPECT_EQ(Start(*source), ZK_Success);
    streams.last->bufferingStatus = ZK_DataReady;
    streams.last->nominalBuffering = 1024;
    std::vector<int16_t> samples;
    EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
    EXPECT_EQ(samples, ModelDecode(AdpcmWave(48000, 1, kFrames))) << "nothing lost while it waited";
}

TEST_F(AdpcmSource, OfflineRenderingNeverWaitsForBufferingButWaitsForEveryBuffer)
{
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    g_offlineRendering = 1;
    streams.chunks = {2048};
    streams.nominalBuffering = 1u << 20;
    PlayStored(2, bytes);
    SourcePtr source = MakeSource();
    EXPECT_EQ(Start(*source), ZK_Success);
    EXPECT_TRUE(streams.last->lastWait);
    ZkPipelineBuffer buffer;
    buffer.maxFrames = 1024;
    EXPECT_EQ(source->GetBuffer(buffer), ZK_DataReady);
    EXPECT_TRUE(streams.last->lastWait);
    g_offlineRendering = 0;
}

TEST_F(AdpcmSource, AFileStreamWithAPrefetchCopyStartsWithoutWaitingAndReadsOnAfterIt)
{
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    streams.chunks = {0}; // the stream never has data ready
    streams.blockSize = 512;
    streams.nominalBuffering = 1u << 20;
    PlayStored(1, bytes, 1000);
    SourcePtr source = MakeSource();
    ASSERT_EQ(Start(*source), ZK_Success) << "no wait for the stream";
    EXPECT_EQ(streams.last->GetPosition(nullptr), 512u) << "the block of the prefetch copy's end";
    EXPECT_EQ(streams.last->reads, 0u);
}

TEST_F(AdpcmSource, AFailingReadMidPlayFailsTheBuffer)
{
    const Bytes bytes = WriteMedia(AdpcmWave(48000, 1, kFrames));
    streams.chunks = {700};
    PlayStored(2, bytes);
    SourcePtr source = MakeSource();
    ASSERT_EQ(StartReady(*source), ZK_Success);
    streams.last->failingRead = 3;
    std::vector<int16_t> samples;
    EXPECT_EQ(ReadAll(*source, samples), ZK_Fail);
    EXPECT_GT(samples.size(), 0u);
    EXPECT_LT(samples.size(), size_t{kFrames});
}
} // namespace
