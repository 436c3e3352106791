// The resampling stage against the models of the resampler's arithmetic: read positions through a
// source's blocks of uneven sizes, a pitch jump and a glide, the silence the first block starts
// with (over several frames when the start lies beyond the first), the start delay taken from the
// held input, skipping, the markers of consumed frames, and a
// block the source left unfinished.
#include "ResamplerTestSupport.h"

#include <ZkAudiolib/Common/Buffers/AudioBufferPool.h>
#include <ZkAudiolib/Common/Voice/CZkResamplingStage.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
using namespace ResamplerTest;
using namespace ZK::SoundEngine;

const ZkChannelConfig kMono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
constexpr uint16_t kFramesPerBuffer = 1024;

// A mono float source over a stream whose frame j holds j + 1 (its frame -1, the fresh history, is
// 0): an output sample then tells the position it was read at, in input frames from frame -1.
class TestSource final : public CZkVoicePipelineStage
{
public:
    TestSource(uint32_t frames, std::vector<uint32_t> chunkSizes) : stream(frames), chunks(std::move(chunkSizes))
    {
        for (uint32_t j = 0; j < frames; ++j)
            stream[j] = static_cast<float>(j + 1);
    }
    // The voice's source pull: the next chunk into the block.
    void Fill(ZkPipelineBuffer& block)
    {
        const uint32_t size = chunks[fills++ % chunks.size()];
        const uint32_t frames = std::min<uint32_t>(size, static_cast<uint32_t>(stream.size()) - position);
        block.AttachData(stream.data() + position, static_cast<uint16_t>(frames), kMono);
        block.position = kUnknownPlayPosition;
        block.position.positionSamples = position;
        position += frames;
        block.status = position == stream.size() ? ZK_NoMoreData : ZK_DataReady;
    }
    float GetPitch() override { return cents; }
    void ReleaseBuffer() override { ++releases; }
    ZKRESULT SkipFrames(uint32_t& frames) override
    {
        frames = std::min<uint32_t>(frames, static_cast<uint32_t>(stream.size()) - position);
        position += frames;
        return position == stream.size() ? ZK_NoMoreData : ZK_DataReady;
    }

    std::vector<float> stream;
    std::vector<uint32_t> chunks;
    uint32_t fills = 0;
    uint32_t position = 0;
    uint32_t releases = 0;
    float cents = 0.0f;
};

class ResamplingStage : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        SetAudioFormatGlobals(kEngineRate, kFramesPerBuffer);
        AudioBufferPool::Init();
    }
    void TearDown() override
    {
        stage.Term();
        AudioBufferPool::Flush();
        EngineMemoryTest::TearDown();
    }
    // The voice's block for one frame: empty, mono, one engine buffer long.
    static ZkPipelineBuffer EngineBlock()
    {
        ZkPipelineBuffer block;
        block.channelConfig = kMono;
        block.maxFrames = kFramesPerBuffer;
        return block;
    }
    // One frame of the voice's source pull; the delivered samples are appended to output (and
    // the delivered block's position stored in position, when given).
    ZKRESULT PullFrame(TestSource& source, std::vector<float>& output, uint32_t pitchMode = 1,
                       uint32_t* position = nullptr)
    {
        ZkPipelineBuffer block = EngineBlock();
        ZKRESULT status = stage.StartFrame(block, pitchMode);
        while (status == ZK_DataNeeded)
        {
            source.Fill(block);
            status = stage.Convert(block);
        }
        if (status == ZK_DataReady || status == ZK_NoMoreData)
        {
            output.insert(output.end(), block.GetChannel(0), block.GetChannel(0) + block.validFrames);
            if (position != nullptr)
                *position = block.position.positionSamples;
        }
        stage.ReleaseBuffer();
        return status;
    }
    void Start(TestSource& source, uint32_t rate, int32_t* delay)
    {
        stage.SetInput(&source);
        ASSERT_EQ(stage.Setup(Format(rate, kMono, 32), delay), ZK_Success);
    }

    CZkResamplingStage stage;
};

TEST_F(ResamplingStage, ReadPositionsThroughUnevenSourceBlocksFollowTheModel)
{
    struct Case
    {
        uint32_t rate;
        float cents;
    } cases[] = {{24000, 0.0f}, {44100, 0.0f}, {48000, -700.0f}, {32000, 350.0f}};
    for (const Case& c : cases)
    {
        TestSource source(9000, {300, 517, 64, 1201, 8});
        source.cents = c.cents;
        int32_t delay = -kFramesPerBuffer * 4; // no silence before the first block
        Start(source, c.rate, &delay);
        std::vector<float> output;
        ZKRESULT status = ZK_DataReady;
        for (int frame = 0; frame < 40 && status != ZK_NoMoreData; ++frame)
            status = PullFrame(source, output);
        EXPECT_EQ(status, ZK_NoMoreData) << c.rate;
        const uint32_t step = static_cast<uint32_t>(stage.Resampler().currentStep);
        const std::vector<double> model = ModelFixedStep(source.stream, step, output.size());
        ASSERT_GE(output.size(), model.size());
        for (size_t j = 0; j < model.size(); ++j)
            ASSERT_NEAR(output[j], model[j], 2e-3) << "rate " << c.rate << " output frame " << j;
        EXPECT_EQ(source.releases, source.fills) << "every source block went back once converted";
        stage.Term();
    }
}

TEST_F(ResamplingStage, PitchJumpsInModeZeroAndGlidesOtherwise)
{
    for (uint32_t mode : {0u, 1u})
    {
        TestSource source(20000, {700});
        int32_t delay = -kFramesPerBuffer * 4;
        Start(source, kEngineRate, &delay);
        std::vector<float> output;
        PullFrame(source, output, mode);
        const int32_t from = stage.Resampler().currentStep;
        source.cents = 500.0f;
        const size_t firstGlideFrame = output.size();
        PullFrame(source, output, mode);
        PullFrame(source, output, mode);
        const int32_t to = CZkResampler::StepFromCents(500.0f, 1.0f);
        if (mode == 0)
        {
            EXPECT_EQ(stage.Resampler().currentStep, to) << "a jump";
            EXPECT_EQ(stage.Resampler().kernelRow, CZkResampler::kRowFixedStep);
            const size_t jumped = firstGlideFrame;
            ASSERT_NEAR(output[jumped + 2] - output[jumped + 1], to / 65536.0, 2e-3) << "the new step at once";
            stage.Term();
            continue;
        }
        // Steps between consecutive output frames follow the glide model from the frame the new
        // pitch applied on.
        GlideModel model(from, to, CZkResampler::GlideIncrementFor(kEngineRate));
        uint64_t previous = model.Next();
        for (size_t j = firstGlideFrame + 1; j < output.size(); ++j)
        {
            const uint64_t position = model.Next();
            const double expected = static_cast<double>(position - previous) / 65536.0;
            ASSERT_NEAR(output[j] - output[j - 1], expected, 2e-3) << "output frame " << j;
            previous = position;
        }
        stage.Term();
    }
}

TEST_F(ResamplingStage, FirstBlockStartsWithSilenceForTheLookAheadAndStartDelay)
{
    struct Case
    {
        float cents;    // speed 2^(cents / 1200)
        int32_t delay;  // source frames
        uint32_t silence;
    } cases[] = {
        {0.0f, -1024, 0}, {0.0f, -512, 512}, {0.0f, -3000, 0}, {1200.0f, -1024, 512}, {-1200.0f, -256, 512},
        {0.0f, -1, 1023},
    };
    for (const Case& c : cases)
    {
        TestSource source(4096, {1024});
        source.cents = c.cents;
        int32_t delay = c.delay;
        Start(source, kEngineRate, &delay);
        std::vector<float> output;
        PullFrame(source, output, 0);
        ASSERT_EQ(output.size(), kFramesPerBuffer);
        const auto firstSound = std::find_if(output.begin(), output.end(), [](float s) { return s != 0.0f; });
        EXPECT_EQ(static_cast<uint32_t>(firstSound - output.begin()), c.silence)
            << "cents " << c.cents << " delay " << c.delay;
        stage.Term();
    }
}

// A voice built frames ahead of its start (a streamed source is given time to fill): every frame
// up to the one its start falls in is silence, the started list counting the delay down between
// them as the engine does, and that frame starts the source at the sample the delay names.
TEST_F(ResamplingStage, AStartBeyondTheFirstFrameIsSilenceUpToItsSample)
{
    struct Case
    {
        float cents;
        int32_t delay; // source frames left after the first frame's count-down
        uint32_t firstSound;
    } cases[] = {
        {0.0f, 0, 1024},    {0.0f, 704, 1728},  {0.0f, 192, 1216},     {0.0f, 1024, 2048},
        {0.0f, 3000, 4024}, {1200.0f, 1000, 1524}, {-1200.0f, 300, 1624},
    };
    for (const Case& c : cases)
    {
        TestSource source(16384, {1024});
        source.cents = c.cents;
        int32_t delay = c.delay;
        Start(source, kEngineRate, &delay);
        std::vector<float> output;
        for (int frame = 0; frame < 8; ++frame)
        {
            PullFrame(source, output, 0);
            delay -= static_cast<int32_t>(std::lround(kFramesPerBuffer * std::exp2(c.cents / 1200.0f)));
        }
        const auto firstSound = std::find_if(output.begin(), output.end(), [](float s) { return s != 0.0f; });
        ASSERT_NE(firstSound, output.end()) << "delay " << c.delay;
        EXPECT_EQ(static_cast<uint32_t>(firstSound - output.begin()), c.firstSound) << "cents " << c.cents << " delay " << c.delay;
        EXPECT_NEAR(*firstSound, 1.0f, 2.0f * std::exp2(c.cents / 1200.0f)) << "the source from its first frame";
        stage.Term();
    }
}

// A start delay given once the voice plays (a chained source taking over) is taken from the held
// input: the source frames it covers are skipped.
TEST_F(ResamplingStage, AStartDelayGivenAfterThePrimingIsTakenFromTheHeldInput)
{
    struct Case
    {
        int32_t delay;
        ZKRESULT status; // of the conversion after the delay is given
        int32_t delayLeft;
    } cases[] = {
        {300, ZK_DataReady, 0},       // shorter than the block: skipped
        {1024, ZK_DataReady, 0},      // exactly one source block: all of it, then the next block
        {5000, ZK_NoMoreData, 1928},  // longer than the rest of the source: 17 at its end
    };
    for (const Case& c : cases)
    {
        TestSource source(4096, {1024});
        int32_t delay = -kFramesPerBuffer; // no silence: the source from the first frame
        Start(source, kEngineRate, &delay);
        std::vector<float> output;
        PullFrame(source, output, 0);
        ASSERT_EQ(output.size(), kFramesPerBuffer);
        ASSERT_EQ(output[0], 1.0f);
        output.clear();
        delay = c.delay;
        EXPECT_EQ(PullFrame(source, output, 0), c.status) << "delay " << c.delay;
        EXPECT_EQ(delay, c.delayLeft) << "delay " << c.delay;
        if (c.status == ZK_DataReady)
        {
            EXPECT_FLOAT_EQ(output[0], static_cast<float>(kFramesPerBuffer + c.delay + 1)) << "source frame 1024 + delay comes first";
        }
        stage.Term();
    }
}

TEST_F(ResamplingStage, SkippingConvertsOutputFramesToSourceFramesAndBack)
{
    TestSource source(100000, {1000});
    source.cents = 1200.0f; // two source frames per output frame
    int32_t delay = 0;
    Start(source, kEngineRate, &delay);
    uint32_t frames = 1024;
    EXPECT_EQ(stage.SkipFrames(frames), ZK_DataReady);
    EXPECT_EQ(source.position, 2048u);
    EXPECT_EQ(frames, 1024u);
    frames = 60000;
    EXPECT_EQ(stage.SkipFrames(frames), ZK_NoMoreData);
    EXPECT_EQ(source.position, 100000u);
    EXPECT_EQ(frames, (100000u - 2048u) / 2);
}

TEST_F(ResamplingStage, MarkersOfConvertedFramesMoveToTheOutput)
{
    std::vector<ZkPipelineMarker> markers{
        {10, nullptr, 0, 0, 0, 0}, {700, nullptr, 0, 0, 0, 0}, {1500, nullptr, 0, 0, 0, 0}};
    stage.markers = markers.data();
    TestSource source(4096, {2000});
    source.cents = 1200.0f; // 2048 source frames per output block
    int32_t delay = -4096;
    Start(source, kEngineRate, &delay);
    ZkPipelineBuffer block = EngineBlock();
    ASSERT_EQ(stage.StartFrame(block, 0), ZK_DataNeeded);
    source.Fill(block);
    block.markers = ZkMarkerWindow{0, 3};
    const ZKRESULT first = stage.Convert(block);
    ASSERT_EQ(first, ZK_DataNeeded) << "2000 source frames do not fill the block";
    EXPECT_EQ(markers[0].position, 0u);
    EXPECT_EQ(markers[2].position, 0u);
    source.Fill(block);
    block.markers = ZkMarkerWindow{3, 0};
    ASSERT_EQ(stage.Convert(block), ZK_DataReady);
    EXPECT_EQ(block.markers.first, 0u);
    EXPECT_EQ(block.markers.count, 3u) << "the output carries the three markers";
    stage.ReleaseBuffer();
}

// A frame in which the source ran dry after the stage had converted part of a block (the voice
// starving): what the voice does next decides whether those frames are still heard. A restart
// after starvation and a plain frame end keep them, so the media go on without a gap; a seek, or a
// voice going virtual other than to resume, comes back elsewhere and drops them.
TEST_F(ResamplingStage, ABlockTheSourceLeftUnfinishedIsKeptUnlessTheVoiceSeeksOrGoesVirtual)
{
    constexpr uint32_t kConverted = 300;
    struct Case
    {
        const char* name;
        void (*step)(CZkResamplingStage&);
        bool kept;
    } cases[] = {
        {"frame end", [](CZkResamplingStage& s) { s.ReleaseBuffer(); }, true},
        {"chain restarted",
         [](CZkResamplingStage& s) {
             s.ReleaseBuffer();
             s.Restart();
         },
         true},
        {"chain restarted for a seek",
         [](CZkResamplingStage& s) {
             s.DropUnfinishedOutput();
             s.ReleaseBuffer();
             s.Restart();
         },
         false},
        {"virtual, resuming", [](CZkResamplingStage& s) { s.EnterVirtual(kVirtualModeResume); }, true},
        {"virtual, from the start",
         [](CZkResamplingStage& s) {
             s.EnterVirtual(kVirtualModeFromStart);
             s.ReleaseBuffer();
         },
         false},
        {"virtual, skipping time",
         [](CZkResamplingStage& s) {
             s.EnterVirtual(kVirtualModeSkipTime);
             s.ReleaseBuffer();
         },
         false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestSource source(4096, {kConverted});
        int32_t delay = -4096;
        Start(source, kEngineRate, &delay);
        ZkPipelineBuffer block = EngineBlock();
        ASSERT_EQ(stage.StartFrame(block, 0), ZK_DataNeeded);
        source.Fill(block);
        ASSERT_EQ(stage.Convert(block), ZK_DataNeeded) << "the source has nothing more in this frame";
        c.step(stage);

        std::vector<float> output;
        uint32_t position = 0;
        ASSERT_EQ(PullFrame(source, output, 1, &position), ZK_DataReady);
        ASSERT_EQ(output.size(), kFramesPerBuffer);
        const uint32_t first = c.kept ? 0 : kConverted;
        EXPECT_EQ(position, first);
        for (uint32_t i = 0; i < kFramesPerBuffer; ++i)
            ASSERT_EQ(output[i], static_cast<float>(first + i + 1)) << "frame " << i;
    }
}

TEST_F(ResamplingStage, VirtualModesAndRestartReachTheSourceUnlessHeld)
{
    TestSource source(4096, {512});
    int32_t delay = -4096;
    Start(source, kEngineRate, &delay);
    std::vector<float> output;
    PullFrame(source, output, 0);
    const uint32_t releases = source.releases;
    stage.EnterVirtual(kVirtualModeResume);
    EXPECT_EQ(source.releases, releases) << "mode 2 keeps what is held";
    EXPECT_EQ(stage.Restart(), ZK_Fail) << "forwarded to the source, which has no input";
    stage.hold = 1;
    EXPECT_EQ(stage.Restart(), ZK_Success) << "held: the source is not restarted";
    EXPECT_EQ(stage.LeaveVirtual(kVirtualModeResume, true), ZK_Success);
    stage.EnterVirtual(kVirtualModeFromStart);
    EXPECT_EQ(stage.hold, 0);
}
} // namespace
