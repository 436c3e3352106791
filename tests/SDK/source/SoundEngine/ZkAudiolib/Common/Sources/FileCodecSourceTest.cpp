// The codec file source over media-writer files, from memory and streamed in buffers of chosen
// sizes: the samples it delivers (loops unrolled, buffers ending inside frames, headers spanning
// buffers), its markers, the factory's choices, the header and format failures, truncated media,
// seeks (past the end, snapped to markers, from virtual mode), the duration and the envelope.
#include "SourceTestSupport.h"

#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <bit>
#include <cstring>

namespace
{
using namespace ZkSourceTest;
using ZkSoundFixtures::WriteMedia;

using FileCodecSource = SourceTest;

TEST_F(FileCodecSource, TheFactoryMakesSourcesOnlyForMediaWithABuiltInCodec)
{
    struct Case
    {
        uint32_t kind;
        uint32_t key;
        bool made;
    } cases[] = {
        {kSourceKindInMemory, kPcmKey, true},  {kSourceKindStreamed, kPcmKey, true},
        {kSourceKindNone, kPcmKey, false},     {kSourceKindInMemory, 0xFFFF, false},
        {kSourceKindPlugin, kPcmKey, true}, // the source plug-in host, whatever the key
        {kSourceKindInMemory, 0x20001, true}, {kSourceKindStreamed, 0x20001, true},
        {kSourceKindInMemory, 0x50001, false}, // a codec nobody registered
    };
    for (const Case& c : cases)
    {
        SourcePtr source(CZkVoiceSource::Create(c.kind, c.key, instance));
        EXPECT_EQ(source != nullptr, c.made) << c.kind << " " << c.key;
        if (source != nullptr)
        {
            EXPECT_EQ(source->Kind(), c.kind);
        }
    }
}

TEST_F(FileCodecSource, DeliversTheFilesSamplesWithItsLoopUnrolled)
{
    const Bytes looped = WriteMedia(ToneSpec(48000, 2, 6000, R"(, "loop_points": {"start": 1000, "end": 2999})"));
    const Bytes plain = WriteMedia(ToneSpec(48000, 1, 3000));
    const DataChunk loopedData = FindData(looped);
    struct Case
    {
        const Bytes* bytes;
        uint16_t loops;
        bool streamed;
        std::vector<uint32_t> chunks;
        uint32_t loopStart, loopEnd;
    } cases[] = {
        {&looped, 3, false, {1u << 20}, 1000, 2999},
        {&looped, 1, false, {1u << 20}, 1000, 2999},
        {&looped, 2, true, {loopedData.offset + 42, 1001, 4096}, 1000, 2999}, // buffers end inside frames
        {&looped, 3, true, {333}, 1000, 2999},
        {&plain, 3, false, {1u << 20}, 0, 2999}, // no loop end: the whole media loops
        {&plain, 2, true, {511, 0, 513}, 0, 2999},
    };
    for (const Case& c : cases)
    {
        streams.chunks = c.chunks;
        streams.blockSize = 1;
        instance->SetLoopCount(c.loops);
        Play(c.streamed, 12, *c.bytes);
        SourcePtr source = MakeSource();
        ASSERT_NE(source, nullptr);
        ZKRESULT started = Start(*source);
        for (int retry = 0; retry < 4 && started == ZK_NotReadyYet; ++retry)
            started = Start(*source);
        ASSERT_EQ(started, ZK_Success);
        const uint32_t channels = source->Format().channelConfig.NumChannels();
        std::vector<int16_t> samples;
        EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
        EXPECT_EQ(samples, Unrolled(SamplesOf(*c.bytes), channels, c.loopStart, c.loopEnd, c.loops))
            << "loops " << c.loops << " streamed " << c.streamed << " chunk " << c.chunks[0];
    }
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(FileCodecSource, MarkersGoToTheVoicesArrayAtTheirFrameInTheBuffer)
{
    const Bytes bytes = WriteMedia(ToneSpec(48000, 1, 4000, R"(, "cues": [{"id": 1, "position": 10, "label": "ten"},
        {"id": 7, "position": 1500}, {"id": 9, "position": 3999, "label": "last"}])"));
    struct Expected
    {
        uint32_t buffer, frame, id;
        const char* label;
    } expected[] = {{0, 10, 1, "ten"}, {1, 1500 - 1024, 7, ""}, {3, 3999 - 3072, 9, "last"}};
    const BufferWalk walk = WalkFromMemory(bytes, 4, 1024);
    EXPECT_EQ(walk.results, (std::vector<ZKRESULT>{ZK_DataReady, ZK_DataReady, ZK_DataReady, ZK_NoMoreData}));
    EXPECT_EQ(walk.positions, (std::vector<uint32_t>{0, 1024, 2048, 3072})) << "the position of the first frame";
    ASSERT_EQ(walk.markers.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i)
    {
        const SeenMarker& seen = walk.markers[i];
        EXPECT_EQ(seen.buffer, expected[i].buffer);
        EXPECT_EQ(seen.frame, expected[i].frame);
        EXPECT_EQ(seen.id, expected[i].id);
        EXPECT_EQ(seen.playingID, 77u);
        EXPECT_EQ(seen.label, expected[i].label);
    }
}

TEST_F(FileCodecSource, BadHeadersAndFormatsFailTheStart)
{
    struct Case
    {
        const char* name;
        std::string wave;
        ZKRESULT expected;
    } cases[] = {
        {"plain PCM", ToneSpec(48000, 2, 480, R"(, "variant": "plain_pcm")"), ZK_UnsupportedFormat},
        {"loop start equal to loop end", ToneSpec(48000, 1, 480, R"(, "loop_points": {"start": 100, "end": 100})"),
         ZK_InvalidFile},
        {"loop end past the data", ToneSpec(48000, 1, 480, R"(, "loop_points": {"start": 10, "end": 480})"),
         ZK_InvalidFile},
        {"not a WAVE", ToneSpec(48000, 1, 480, R"(, "variant": "not_wave")"), ZK_InvalidFile},
        {"8 bytes", ToneSpec(48000, 1, 480, R"(, "variant": "short")"), ZK_InvalidFile},
        {"no data chunk", ToneSpec(48000, 1, 480, R"(, "variant": "no_data")"), ZK_Fail},
        {"a cue count past its chunk", ToneSpec(48000, 1, 480, R"(, "variant": "cue_count_past_chunk")"),
         ZK_InvalidFile},
        {"a 3-bit mask on a 2-channel file", ToneSpec(48000, 2, 480, R"(, "channel_mask": 7)"), ZK_InvalidFile},
    };
    for (const Case& c : cases)
    {
        const Bytes bytes = WriteMedia(c.wave);
        for (bool streamed : {false, true})
        {
            streams.chunks = {64};
            Play(streamed, 3, bytes);
            SourcePtr source = MakeSource();
            ASSERT_NE(source, nullptr);
            EXPECT_EQ(Start(*source), c.expected) << c.name << (streamed ? " streamed" : " in memory");
        }
    }
    EXPECT_EQ(streams.alive, 0);
}

TEST_F(FileCodecSource, AHeaderOverSeveralBuffersAnswers63UntilItHasCome)
{
    const Bytes bytes = WriteMedia(ToneSpec(48000, 1, 2000, R"(, "cues": [{"id": 1, "position": 5, "label": "a"}],
        "loop_points": {"start": 100, "end": 1999})"));
    ASSERT_GT(FindData(bytes).offset, 100u);
    // 40-byte buffers, with nothing ready before the first and after the second.
    streams.chunks = {0, 40, 40, 0, 40};
    PlayStreamed(5, bytes);
    SourcePtr source = MakeSource();
    EXPECT_EQ(Start(*source), ZK_NotReadyYet) << "no data yet";
    EXPECT_EQ(Start(*source), ZK_NotReadyYet) << "two buffers of the header";
    ZKRESULT started = ZK_NotReadyYet;
    for (int retry = 0; retry < 10 && started == ZK_NotReadyYet; ++retry)
        started = Start(*source);
    ASSERT_EQ(started, ZK_Success);
    auto* codecSource = static_cast<CZkSrcFileCodec*>(source.get());
    EXPECT_EQ(codecSource->Markers().Count(), 1u);
    EXPECT_STREQ(codecSource->Markers()[0].label, "a");
    EXPECT_EQ(codecSource->Position().loopStart, 100u);
    std::vector<int16_t> samples;
    ReadAll(*source, samples);
    EXPECT_EQ(samples, SamplesOf(bytes));
}

TEST_F(FileCodecSource, AStreamedSourceStartsOnceItsStreamHoldsItsNominalBuffering)
{
    const Bytes bytes = WriteMedia(ToneSpec(48000, 1, 4800));
    ASSERT_TRUE(instance->WaitsForBuffering()) << "every play waits for its stream's buffering";
    streams.chunks = {2048};
    streams.nominalBuffering = 1u << 20; // more than the whole file
    PlayStreamed(6, bytes);
    SourcePtr source = MakeSource();
    EXPECT_EQ(Start(*source), ZK_NotReadyYet) << "the header is read, the stream is still filling up";
    EXPECT_EQ(Start(*source), ZK_NotReadyYet);
    ASSERT_NE(streams.last, nullptr);
    streams.last->nominalBuffering = 2048; // what it holds beyond the buffer handed out
    ASSERT_EQ(Start(*source), ZK_Success) << "filled up";
    std::vector<int16_t> samples;
    EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
    EXPECT_EQ(samples, SamplesOf(bytes)) << "nothing lost while it waited";

    // Media in memory hold everything at once.
    PlayFromMemory(bytes);
    SourcePtr inMemory = MakeSource();
    EXPECT_EQ(Start(*inMemory), ZK_Success);
}

TEST_F(FileCodecSource, TruncatedMediaEndsAfterItsLastWholeFrame)
{
    Bytes bytes = WriteMedia(ToneSpec(48000, 2, 1000));
    const DataChunk data = FindData(bytes);
    bytes.resize(data.offset + 401 * 4 + 3); // three bytes into frame 401
    for (bool streamed : {false, true})
    {
        streams.chunks = {1000};
        Play(streamed, 8, bytes);
        SourcePtr source = MakeSource();
        ASSERT_EQ(Start(*source), ZK_Success);
        std::vector<int16_t> samples;
        EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
        EXPECT_EQ(samples.size(), 401u * 2) << (streamed ? "streamed" : "in memory");
        EXPECT_EQ(std::memcmp(samples.data(), bytes.data() + data.offset, 401 * 4), 0);
    }
}

TEST_F(FileCodecSource, SeeksMapIntoTheLoopSnapToTheEarlierMarkerAndFailPastTheEnd)
{
    const Bytes bytes = WriteMedia(ToneSpec(24000, 1, 4000, R"(, "cues": [{"id": 1, "position": 1000},
        {"id": 2, "position": 2000}], "loop_points": {"start": 500, "end": 2499})"));
    PlayFromMemory(bytes);
    struct Case
    {
        uint32_t engineSamples; // the seek target at the engine's rate (twice the media's)
        bool snap;
        uint16_t loops;
        ZKRESULT result;
        uint32_t frame;
    } cases[] = {
        {3000, false, 1, ZK_Success, 1500},
        {3000, true, 1, ZK_Success, 1000},   // 1000 and 2000 lie as far: the earlier wins
        {3360, true, 1, ZK_Success, 2000},
        {2 * 4500, false, 2, ZK_Success, 2500}, // the second pass: past the loop end after the last loop
        {2 * 3500, false, 0, ZK_Success, 1500}, // infinite: folded into the loop
        {2 * 4000, false, 1, ZK_Fail, 0},    // past the end
    };
    for (const Case& c : cases)
    {
        instance->SetLoopCount(c.loops);
        if (c.snap)
            instance->SeekToTime(static_cast<float>(c.engineSamples) * 1000.0f / 48000.0f, true);
        else
            instance->SeekToSamples(c.engineSamples);
        ASSERT_EQ(instance->SeekPosition(), c.engineSamples);
        SourcePtr source = MakeSource();
        EXPECT_EQ(Start(*source), c.result) << c.engineSamples;
        if (c.result != ZK_Success)
            continue;
        EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, 0u) << "the request was carried out";
        ZkPipelineBuffer buffer;
        buffer.maxFrames = 16;
        ASSERT_EQ(source->GetBuffer(buffer), ZK_DataReady);
        EXPECT_EQ(buffer.position.positionSamples, c.frame) << c.engineSamples;
        EXPECT_EQ(std::memcmp(buffer.data, SamplesOf(bytes).data() + c.frame, 16 * 2), 0);
        source->ReleaseBuffer();
    }
}

TEST_F(FileCodecSource, AFailedSeekWhenLeavingVirtualModeRestartsAtTheFirstFrame)
{
    const Bytes bytes = WriteMedia(ToneSpec(48000, 1, 3000));
    PlayFromMemory(bytes);
    SourcePtr source = MakeSource();
    ASSERT_EQ(Start(*source), ZK_Success);
    std::vector<int16_t> samples;
    ZkPipelineBuffer buffer;
    buffer.maxFrames = 1024;
    ASSERT_EQ(source->GetBuffer(buffer), ZK_DataReady);
    source->ReleaseBuffer();
    source->EnterVirtual(kVirtualModeSkipTime);
    auto* codecSource = static_cast<CZkSrcFileCodec*>(source.get());
    EXPECT_NE(codecSource->OwnFlags() & CZkSrcFileCodec::kDataDropped, 0u);
    instance->SeekToSamples(5000); // past the end
    ASSERT_EQ(source->LeaveVirtual(kVirtualModeSkipTime, true), ZK_Success);
    EXPECT_EQ(codecSource->OwnFlags() & (CZkSrcFileCodec::kDataDropped | CZkSrcFileCodec::kVirtual), 0u);
    EXPECT_EQ(ReadAll(*source, samples), ZK_NoMoreData);
    EXPECT_EQ(samples, SamplesOf(bytes)) << "from frame 0";

    // Skipping time while virtual, then coming back where the time went.
    SourcePtr again = MakeSource();
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, 0u) << "the seek from frame 0 ended the request";
    ASSERT_EQ(Start(*again), ZK_Success);
    again->EnterVirtual(kVirtualModeSkipTime);
    uint32_t frames = 1200;
    EXPECT_EQ(again->SkipFrames(frames), ZK_DataReady);
    EXPECT_EQ(frames, 1200u);
    ASSERT_EQ(again->LeaveVirtual(kVirtualModeSkipTime, false), ZK_Success);
    samples.clear();
    EXPECT_EQ(ReadAll(*again, samples), ZK_NoMoreData);
    const std::vector<int16_t> all = SamplesOf(bytes);
    EXPECT_EQ(samples, std::vector<int16_t>(all.begin() + 1200, all.end()));
}

TEST_F(FileCodecSource, DurationCountsEveryLoopAndTheEnvelopeIsReadAtThePosition)
{
    // An envelope of two points: 0 at frame 0, 100 at frame 1000 (offset 0.5).
    const std::string envelope = "02000000" "0000003f" "00000000" "0000" "e8030000" "6400";
    const Bytes bytes = WriteMedia(ToneSpec(48000, 1, 4800, R"(, "engine_chunk": ")" + envelope +
                                                                R"(", "loop_points": {"start": 2400, "end": 4799})"));
    PlayFromMemory(bytes);
    instance->SetLoopCount(3);
    SourcePtr source = MakeSource();
    ASSERT_EQ(Start(*source), ZK_Success);
    EXPECT_FLOAT_EQ(source->GetDuration(), 100.0f + 2 * 50.0f);
    EXPECT_TRUE(source->UsesMediaMemory()) << "the envelope lies in the media's memory";
    EXPECT_FLOAT_EQ(source->GetEnvelopeValue(), -0.5f);
    ZkPipelineBuffer buffer;
    buffer.maxFrames = 500;
    ASSERT_EQ(source->GetBuffer(buffer), ZK_DataReady);
    source->ReleaseBuffer();
    EXPECT_FLOAT_EQ(source->GetEnvelopeValue(), -50.5f);
    instance->SetLoopCount(0);
    SourcePtr forever = MakeSource();
    ASSERT_EQ(Start(*forever), ZK_Success);
    EXPECT_FLOAT_EQ(forever->GetDuration(), 0.0f) << "infinite";
    ASSERT_EQ(forever->StopLooping(), ZK_Success);
    EXPECT_FLOAT_EQ(forever->GetDuration(), 100.0f);
}
} // namespace
