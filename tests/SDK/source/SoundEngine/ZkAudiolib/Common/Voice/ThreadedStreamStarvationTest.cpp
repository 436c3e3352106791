// A voice over ADPCM media streamed through the stream manager's own automatic stream, its deferred
// device and I/O thread, over a test hook that completes reads only while the test lets it (the
// gate). The engine renders in real time (not offline), so a source whose stream has nothing
// ready answers 46 instead of waiting: with the gate shut the voice starves, the game hears one
// starvation notice in each starving frame and a voice from memory renders on; once the gate
// opens the media go on where they stopped, every sample once, and the voice ends once. The
// instance's answer to the starvation decides what the voice does: go on as it stands (a plain
// play's answer), restart its chain (the source seeks nowhere, and what the resampling stage had
// converted before the source starved is still heard first), or stop. A read that fails stops the
// voice once.
//
// No test sleeps: while the gate is open, a starving frame waits (with a deadline) for the hook
// to complete one more read before the next frame is rendered.
#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"
#include "SDK/source/SoundEngine/StreamMgr/TestDeferredHook.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Sources/AdpcmTestSupport.h"
#include "VoiceTestSupport.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>
#include <algorithm>
#include <chrono>

namespace
{
using namespace ZkVoiceTest;
using ZkSoundFixtures::WriteMedia;

constexpr uint32_t kMediaFrames = 64 * 1500; // 2 s of 48 kHz stereo, 108000 bytes of blocks
constexpr uint32_t kFileID = 4400;
constexpr uint32_t kStarvingFramesWanted = 3;
constexpr uint32_t kFrameLimit = 2000;
constexpr std::chrono::milliseconds kDeadline{20000};

// A play whose answer to a starvation (and to a return from virtual) the test chooses.
class AnsweringInstance final : public CZkPlayingInstance
{
public:
    AnsweringInstance(const PlayLaunchParams& params, const ZkMediaRef* media, uint32_t answer)
        : CZkPlayingInstance(params, nullptr, media, ZkPriorityRecord{}, 0u), m_answer(answer)
    {
    }
    uint32_t HandleVirtual(uint32_t) override
    {
        ++asked;
        return m_answer;
    }
    uint32_t asked = 0;

private:
    uint32_t m_answer;
};

// What one voice delivered over the frames of a run.
struct Delivered
{
    std::vector<float> samples; // interleaved
    uint32_t starvingFrames = 0;
    uint32_t endFrames = 0;                // frames that answered 17
    uint32_t failedFrames = 0;             // frames that answered 2
    uint32_t fullFramesBesideStarving = 0; // the other voice's full frames in the starving ones
    uint32_t shortFramesBeside = 0;        // frames in which the other voice did not render in full

    void Add(const Frame& frame)
    {
        for (uint32_t f = 0; f < frame.frames; ++f)
            for (uint32_t c = 0; c < frame.channels; ++c)
                samples.push_back(frame.Sample(c, f));
        starvingFrames += frame.rendered && frame.status == ZK_NoDataReady ? 1 : 0;
        endFrames += frame.rendered && frame.status == ZK_NoMoreData ? 1 : 0;
        failedFrames += frame.rendered && frame.status == ZK_Fail ? 1 : 0;
    }
};

// Where delivered skips ahead in reference (each gap in frames): delivered must be reference with
// whole runs of frames left out, nothing repeated or changed; false when it is not. The media
// carry noise, so 64 matching frames cannot be a coincidence.
bool FindGaps(const std::vector<float>& delivered, const std::vector<float>& reference, size_t channels,
              size_t longestGap, std::vector<size_t>& gaps, size_t& referenceUsed)
{
    size_t r = 0;
    for (size_t d = 0; d < delivered.size();)
    {
        if (r < reference.size() && delivered[d] == reference[r])
        {
            ++d;
            ++r;
            continue;
        }
        bool found = false;
        for (size_t skip = channels; skip <= longestGap * channels && r + skip < reference.size();
             skip += channels)
        {
            const size_t n = std::min({64 * channels, delivered.size() - d, reference.size() - r - skip});
            if (std::equal(delivered.begin() + d, delivered.begin() + d + n, reference.begin() + r + skip))
            {
                gaps.push_back(skip / channels);
                r += skip;
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    referenceUsed = r;
    return true;
}

class ThreadedStreamStarvation : public VoiceTest
{
protected:
    void SetUp() override
    {
        VoiceTest::SetUp();
        media.sourceType = static_cast<int32_t>(ZkSourceTest::kAdpcmKey);
        // The stream manager's own streams in place of the tests' chunked ones.
        ZK::IZkStreamMgr::m_pStreamMgr = nullptr;
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_streamMgr, nullptr);
        ZkDeviceSettings settings = ZkStreamTest::DefaultDeviceSettings();
        settings.schedulerKind = ZK_SchedulerDeferred;
        settings.ioMemoryBytes = 256 * 1024;
        settings.granularity = 4096; // reads that end inside the media's 72-byte blocks
        const uint32_t device = ZK::StreamMgr::CreateDevice(settings, &m_hook);
        ASSERT_NE(device, ZK_InvalidDeviceID);
        m_hook.SetDeviceId(device);
        ZK::StreamMgr::SetFileLocationResolver(&m_hook);
        m_hook.SetAutomatic(true);
        ASSERT_EQ(g_offlineRendering.load(), 0) << "sources must not wait for their streams";
    }
    void TearDown() override
    {
        // The instances first: the streams their sources held are destroyed with the voices.
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        EXPECT_EQ(m_hook.OpenFiles(), 0) << "a file was left open";
        VoiceTest::TearDown();
    }

    // The instance streams the media from the hook's file, answering starvations with answer.
    void StreamWithAnswer(const Bytes& bytes, uint32_t answer)
    {
        m_hook.AddFile(kFileID, std::vector<char>(bytes.begin(), bytes.end()));
        PlayLaunchParams params;
        params.playingID = kPlayingID;
        m_answering = ZK::ZkNew<AnsweringInstance>(CZkPlayingInstance::kPool, params, &media, answer);
        ASSERT_NE(m_answering, nullptr);
        m_instances.push_back(m_answering);
        ASSERT_EQ(ZkVoiceLists::AddPlaying(m_answering), ZK_Success);
        instance = m_answering;
        StreamLooseFile(kFileID);
    }

    // What a voice of the media from memory delivers.
    std::vector<float> Reference(const Bytes& bytes)
    {
        PlayFromMemory(bytes);
        VoicePtr voice = StartVoice();
        uint32_t channels = 0;
        std::vector<float> samples = RunToEnd(*voice, channels);
        EXPECT_EQ(heard.starvations, 0u);
        heard = Heard{};
        return samples;
    }

    // The other voice: the same media from memory, looping for as long as the test runs (null
    // when it could not be made).
    VoicePtr LoopFromMemory(const Bytes& bytes)
    {
        ZkMediaRef& other = MoreMedia();
        other.sourceType = static_cast<int32_t>(ZkSourceTest::kAdpcmKey);
        Describe(other, kMediaKindInMemory, 0, 901, kNoFileID, bytes.data(),
                 static_cast<uint32_t>(bytes.size()));
        CZkPlayingInstance* looping = MakeInstance(other);
        if (looping == nullptr)
            return nullptr;
        looping->AcquireMedia();
        looping->SetLoopCount(0);
        VoicePtr voice(CZkVoice::Create());
        if (voice == nullptr || voice->AttachSource(looping, true) != ZK_Success)
            return nullptr;
        voice->Start();
        return voice;
    }

    // A started voice of the streamed instance: attached, its source waiting for its stream (63)
    // or already ready.
    VoicePtr StartStreamedVoice()
    {
        VoicePtr voice(CZkVoice::Create());
        if (voice == nullptr)
            return nullptr;
        const ZKRESULT attached = voice->AttachSource(instance, true);
        EXPECT_TRUE(attached == ZK_Success || attached == ZK_NotReadyYet) << attached;
        voice->Start();
        return voice;
    }

    // One frame of the streamed voice and, beside it, of the voice from memory. While the gate is
    // open, a starving frame waits for the hook to complete a read it had not completed when the
    // frame began (false: none came before the deadline).
    bool RenderBoth(CZkVoice& streamed, CZkVoice& fromMemory, Delivered& out, bool gateOpen)
    {
        const size_t completedBefore = m_hook.CompletedCount();
        const Frame frame = RunFrame(streamed);
        const Frame beside = RunFrame(fromMemory);
        out.Add(frame);
        const bool starving = frame.rendered && frame.status == ZK_NoDataReady;
        const bool fullBeside =
            beside.status == ZK_DataReady && beside.frames == ZkAudioSettings::FramesPerBuffer();
        out.fullFramesBesideStarving += starving && fullBeside ? 1 : 0;
        out.shortFramesBeside += fullBeside ? 0 : 1;
        if (!gateOpen || !starving)
            return true;
        return m_hook.WaitForCompletedBeyond(completedBefore, kDeadline);
    }

    ZkStreamTest::TestDeferredHook m_hook;
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    AnsweringInstance* m_answering = nullptr;
};

TEST_F(ThreadedStreamStarvation, AStarvingStreamIsToldEachFrameAndGoesOnWhereItStopped)
{
    const Bytes bytes = WriteMedia(ZkSourceTest::AdpcmWave(48000, 2, kMediaFrames));
    const std::vector<float> reference = Reference(bytes);
    ASSERT_EQ(reference.size(), size_t{kMediaFrames} * 2);

    struct Case
    {
        const char* name;
        uint32_t answer;
    } cases[] = {
        {"goes on as it stands", CZkPlayingInstance::kResumeAsItStands},
        {"restarts its chain", CZkPlayingInstance::kResumeRestart},
        {"stops", CZkPlayingInstance::kResumeStop},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        heard = Heard{};
        m_hook.SetAutomatic(true);
        ASSERT_NO_FATAL_FAILURE(StreamWithAnswer(bytes, c.answer));
        VoicePtr streamed = StartStreamedVoice();
        ASSERT_NE(streamed, nullptr);

        VoicePtr fromMemory = LoopFromMemory(bytes);
        ASSERT_NE(fromMemory, nullptr);

        // The gate open until the voice has played a few frames, then shut until it has starved
        // in several frames in a row.
        Delivered delivered;
        uint32_t frame = 0;
        const size_t fourFrames = 4 * size_t{ZkAudioSettings::FramesPerBuffer()} * 2;
        for (; frame < kFrameLimit && delivered.samples.size() < fourFrames &&
               streamed->State() == CZkVoice::kStatePlaying;
             ++frame)
            ASSERT_TRUE(RenderBoth(*streamed, *fromMemory, delivered, true)) << "no read completed";
        m_hook.SetAutomatic(false);
        m_hook.WaitUntilDrained();
        uint32_t inARow = 0;
        for (; frame < kFrameLimit && inARow < kStarvingFramesWanted &&
               streamed->State() == CZkVoice::kStatePlaying;
             ++frame)
        {
            const uint32_t before = delivered.starvingFrames;
            ASSERT_TRUE(RenderBoth(*streamed, *fromMemory, delivered, false));
            inARow = delivered.starvingFrames > before ? inARow + 1 : 0;
        }
        ASSERT_GT(delivered.starvingFrames, 0u) << "the voice never starved";
        const size_t heldBack = delivered.samples.size();

        // The gate opens: the reads held are completed, and every read after them.
        m_hook.SetAutomatic(true);
        for (; frame < kFrameLimit && streamed->State() == CZkVoice::kStatePlaying; ++frame)
            ASSERT_TRUE(RenderBoth(*streamed, *fromMemory, delivered, true)) << "no read completed";
        EXPECT_EQ(streamed->State(), CZkVoice::kStateStopped);

        EXPECT_EQ(heard.starvations, delivered.starvingFrames) << "one notice in each starving frame";
        EXPECT_EQ(delivered.fullFramesBesideStarving, delivered.starvingFrames)
            << "the other voice rendered on";
        EXPECT_EQ(delivered.shortFramesBeside, 0u);
        EXPECT_EQ(m_answering->asked, delivered.starvingFrames)
            << "asked in the frame after each starving one";
        // The frames delivered are the media's, in order, each once: a restarted chain keeps what
        // its resampling stage had converted in the starving frame and goes on where the source
        // stood, as a voice going on as it stands does. A gap found says where frames were lost.
        std::vector<size_t> gaps;
        size_t used = 0;
        const size_t frames = ZkAudioSettings::FramesPerBuffer();
        ASSERT_TRUE(FindGaps(delivered.samples, reference, 2, frames, gaps, used))
            << "samples repeated or changed";
        if (c.answer == CZkPlayingInstance::kResumeStop)
        {
            EXPECT_EQ(delivered.starvingFrames, 1u) << "stopped after its first starving frame";
            EXPECT_EQ(delivered.endFrames, 0u);
            EXPECT_EQ(delivered.samples.size(), heldBack) << "nothing after the stop";
            EXPECT_TRUE(gaps.empty());
            continue;
        }
        EXPECT_GE(delivered.starvingFrames, kStarvingFramesWanted);
        EXPECT_EQ(delivered.endFrames, 1u) << "the voice ends once";
        EXPECT_EQ(used, reference.size()) << "to the media's end";
        EXPECT_EQ(delivered.samples.size(), reference.size()) << "no sample lost or repeated";
        EXPECT_TRUE(gaps.empty()) << gaps.size() << " gaps, the first of " << (gaps.empty() ? 0 : gaps[0])
                                  << " frames";
        streamed.reset();
        fromMemory.reset();
    }
}

TEST_F(ThreadedStreamStarvation, AReadFailingMidPlayStopsTheVoiceOnceAndTheOtherPlaysOn)
{
    const Bytes bytes = WriteMedia(ZkSourceTest::AdpcmWave(48000, 2, kMediaFrames));
    const std::vector<float> reference = Reference(bytes);
    constexpr uint64_t kFailingRead = 10 * 4096; // the eleventh read of the file
    m_hook.FailTransfersAt(kFailingRead);
    ASSERT_NO_FATAL_FAILURE(StreamWithAnswer(bytes, CZkPlayingInstance::kResumeAsItStands));
    VoicePtr streamed = StartStreamedVoice();
    ASSERT_NE(streamed, nullptr);
    VoicePtr fromMemory = LoopFromMemory(bytes);
    ASSERT_NE(fromMemory, nullptr);

    Delivered delivered;
    for (uint32_t frame = 0; frame < kFrameLimit && streamed->State() == CZkVoice::kStatePlaying; ++frame)
        ASSERT_TRUE(RenderBoth(*streamed, *fromMemory, delivered, true)) << "no read completed";
    EXPECT_EQ(streamed->State(), CZkVoice::kStateStopped);
    EXPECT_EQ(delivered.failedFrames, 1u) << "the failure reached the voice once";
    EXPECT_EQ(delivered.shortFramesBeside, 0u) << "the other voice rendered on";
    EXPECT_EQ(delivered.endFrames, 0u);
    EXPECT_EQ(heard.starvations, delivered.starvingFrames);
    // The media's first samples, none of the blocks the failed read held or after them.
    const uint32_t blocksBefore =
        static_cast<uint32_t>((kFailingRead - ZkSourceTest::FindData(bytes).offset) / 72);
    EXPECT_GT(delivered.samples.size(), 0u);
    ASSERT_LE(delivered.samples.size(), size_t{blocksBefore} * 64 * 2);
    EXPECT_TRUE(std::equal(delivered.samples.begin(), delivered.samples.end(), reference.begin()));
    const Frame after = RunFrame(*fromMemory);
    EXPECT_EQ(after.status, ZK_DataReady) << "the other voice plays on after the stop";
}
} // namespace
