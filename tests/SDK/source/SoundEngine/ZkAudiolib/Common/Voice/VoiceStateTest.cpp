// The voice's state table, its stop points, the filter values it hands its filter, the second
// source it follows with (or not), the factory's refusals as failed starts, and the audio
// settings the voice reads.
#include "VoiceTestSupport.h"

#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace
{
using namespace ZkVoiceTest;
using ZkSoundFixtures::WriteMedia;

constexpr uint32_t kLowPassParam = 3;
constexpr uint32_t kHighPassParam = 4;

class VoiceStates : public VoiceTest
{
protected:
    void SetUp() override
    {
        VoiceTest::SetUp();
        tone = WriteMedia(ToneSpec(48000, 1, 48000));
        PlayFromMemory(tone);
    }
    // A voice brought into state: 0 attached, 1 started, 2 stopped, 3 paused.
    VoicePtr VoiceIn(uint32_t state)
    {
        VoicePtr voice = MakeVoice();
        if (state == CZkVoice::kStatePlaying || state == CZkVoice::kStatePaused)
            voice->Start();
        if (state == CZkVoice::kStatePaused)
            voice->Pause();
        if (state == CZkVoice::kStateStopped)
            voice->Stop();
        EXPECT_EQ(voice->State(), state);
        return voice;
    }
    Bytes tone;
};

TEST_F(VoiceStates, StartPauseResumeAndStopFollowTheStateTable)
{
    enum Operation
    {
        Start,
        Pause,
        Resume,
        Stop
    };
    // Rows: the state before; columns: Start, Pause, Resume, Stop.
    const uint32_t table[4][4] = {
        {1, 2, 2, 2}, // idle
        {2, 3, 1, 2}, // playing
        {2, 2, 2, 2}, // stopped
        {2, 3, 1, 2}, // paused
    };
    for (uint32_t state = 0; state < 4; ++state)
    {
        for (Operation operation : {Start, Pause, Resume, Stop})
        {
            VoicePtr voice = VoiceIn(state);
            switch (operation)
            {
            case Start: voice->Start(); break;
            case Pause: voice->Pause(); break;
            case Resume: voice->Resume(); break;
            case Stop: voice->Stop(); break;
            }
            EXPECT_EQ(voice->State(), table[state][operation]) << "state " << state << " operation " << operation;
        }
    }
}

TEST_F(VoiceStates, OnlyAPlayingVoiceTakesPartInAFrame)
{
    VoicePtr voice = VoiceIn(CZkVoice::kStatePaused);
    EXPECT_FALSE(voice->PrepareFrame());
    voice->Resume();
    EXPECT_TRUE(RunFrame(*voice).rendered);
    EXPECT_TRUE(voice->IsPipelineBuilt()) << "built on the first frame that renders";
}

TEST_F(VoiceStates, AStopPointOf0StopsAtOnceAnyOtherRendersALastFrameCutThere)
{
    struct Case
    {
        int32_t stop;
        bool rendered;
        uint32_t frames;
        uint32_t state;
    } cases[] = {{-1, true, 1024, CZkVoice::kStatePlaying}, {0, false, 0, CZkVoice::kStateStopped},
                 {100, true, 100, CZkVoice::kStateStopped}, {5000, true, 1024, CZkVoice::kStateStopped}};
    for (const Case& c : cases)
    {
        VoicePtr voice = StartVoice();
        ASSERT_TRUE(RunFrame(*voice).rendered);
        instance->SetPendingStopOffset(c.stop);
        const Frame frame = RunFrame(*voice);
        EXPECT_EQ(frame.rendered, c.rendered) << c.stop;
        EXPECT_EQ(frame.frames, c.frames) << c.stop;
        EXPECT_EQ(voice->State(), c.state) << c.stop;
        EXPECT_EQ(instance->PendingStopOffset(), -1) << "the stop point was taken";
    }
}

TEST_F(VoiceStates, FilterValuesAreClampedToZeroToHundred)
{
    struct Case
    {
        float lowPass, highPass;
        float expectedLow, expectedHigh;
    } cases[] = {{150.0f, -5.0f, 100.0f, 0.0f}, {40.0f, 60.0f, 40.0f, 60.0f}, {-1.0f, 1000.0f, 0.0f, 100.0f}};
    for (const Case& c : cases)
    {
        // Game parameters 3 and 4 move the low-pass and high-pass values by their deltas.
        instance->ApplyParamDelta(kLowPassParam, c.lowPass - instance->GetLowPass());
        instance->ApplyParamDelta(kHighPassParam, c.highPass - instance->GetHighPass());
        VoicePtr voice = StartVoice();
        ASSERT_TRUE(RunFrame(*voice).rendered);
        CZkSrcLpHpFilter& filter = voice->FilterStage().Filter();
        EXPECT_FLOAT_EQ(filter.LowPass().Params().targetValue, c.expectedLow) << c.lowPass;
        EXPECT_FLOAT_EQ(filter.HighPass().Params().targetValue, c.expectedHigh) << c.highPass;
    }
}

TEST_F(VoiceStates, BlockSizesFollowTheSampleRate)
{
    struct Case
    {
        uint32_t rate;
        uint32_t block;
        uint16_t blocksPerBuffer;
    } cases[] = {{48000, 128, 8}, {24000, 64, 16}, {96000, 256, 4}};
    for (const Case& c : cases)
    {
        SetAudioFormatGlobals(c.rate, 1024);
        EXPECT_EQ(ZkAudioSettings::BlockFrames(), c.block) << c.rate;
        EXPECT_EQ(ZkAudioSettings::BlocksPerBuffer(), c.blocksPerBuffer) << c.rate;
    }
    SetAudioFormatGlobals(48000, 1024);
}

TEST_F(VoiceStates, MediaWithoutASourceFailTheStart)
{
    struct Case
    {
        uint32_t codecKey;
        uint32_t kind;
    } cases[] = {{0x60001, kMediaKindOwned}, {0x50002, kMediaKindOwned}, {0x10001, 0}};
    for (const Case& c : cases)
    {
        // Streamed: the header in memory decides nothing, so the codec key does.
        Describe(media, c.kind, 0, 5, 5, nullptr, 0);
        media.sourceType = static_cast<int32_t>(c.codecKey);
        instance->AcquireMedia();
        VoicePtr voice = MakeVoice(ZK_Fail);
        EXPECT_EQ(voice->MainSource(), nullptr) << c.codecKey;
    }
}

TEST_F(VoiceStates, ASecondSourceOfTheSameLayoutFollowsWithoutAGapAnotherIsNotSwitchedTo)
{
    const Bytes first = WriteMedia(ToneSpec(48000, 1, 1500));
    const Bytes sameLayout = WriteMedia(ToneSpec(48000, 1, 700, "", 440));
    const Bytes stereo = WriteMedia(ToneSpec(48000, 2, 700, "", 440));
    for (const Bytes* next : {&sameLayout, &stereo})
    {
        PlayFromMemory(first);
        VoicePtr voice = StartVoice();
        ZkMediaRef& followerMedia = MoreMedia();
        Describe(followerMedia, kMediaKindInMemory, 0, 901, kNoFileID, next->data(),
                 static_cast<uint32_t>(next->size()));
        CZkPlayingInstance* follower = MakeInstance(followerMedia);
        ASSERT_NE(follower, nullptr);
        follower->AcquireMedia();
        ASSERT_EQ(voice->AttachSource(follower, false), ZK_Success);
        ASSERT_NE(voice->SecondSource(), nullptr);
        uint32_t channels = 0;
        const std::vector<float> played = RunToEnd(*voice, channels);
        std::vector<int16_t> expected = SamplesOf(first);
        if (next == &sameLayout)
        {
            const std::vector<int16_t> more = SamplesOf(*next);
            expected.insert(expected.end(), more.begin(), more.end());
        }
        ASSERT_EQ(played.size(), expected.size()) << (next == &stereo ? "stereo" : "mono");
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(played[i], expected[i] / 32768.0f) << i;
        EXPECT_EQ(voice->State(), CZkVoice::kStateStopped);
    }
}
} // namespace
