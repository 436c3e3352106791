// The render pass's frame through the running engine: a voice whose source ends is destroyed in
// that frame with the buses it fed, which are idle and without inputs then, and the devices still
// end their frames without any; a suspended frame leaves every voice unrendered (status
// 44) and still ends the device frames; the engine's end destroys the voices it still has.
#include "FirstSoundFixture.h"

#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Mixing/ZkFlushDenormals.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererFrame.h"

#include <algorithm>
#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

bool Silent(const std::vector<float>& samples, size_t begin, size_t end)
{
    return std::all_of(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                       samples.begin() + static_cast<std::ptrdiff_t>(end), [](float x) { return x == 0.0f; });
}

class RenderPass : public FirstSound
{
};

TEST_F(RenderPass, AVoiceAndItsBusesEndInTheFrameItsSourceEndsAndTheDevicesGoOn)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent("Play_Tone48", kEmitter), 0u);
    // 12000 samples: frames 0 to 11, the last one partly.
    constexpr uint32_t kLastFrame = (kToneSamples48 - 1) / kFrames;
    for (uint32_t frame = 0; frame < kLastFrame; ++frame)
    {
        ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
        EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 1u) << "frame " << frame;
        EXPECT_GE(CZkAudioRenderer::BusCount(), 3u) << "Effects, the master bus and the device's master mix";
    }
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 0u) << "gone in the frame its last samples were heard";
    EXPECT_FALSE(Silent(captured, kLastFrame * kFrames * 2, (kLastFrame + 1) * kFrames * 2));
    // The last block ended the buses' objects (no more data): idle and without inputs once the
    // voice went, every bus of the graph leaves at the end of the same frame.
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    EXPECT_EQ(frameOffsets.size(), kLastFrame + 4u) << "without a bus or a voice the device frames go on";
    EXPECT_TRUE(Silent(captured, (kLastFrame + 1) * kFrames * 2, captured.size()));

    // A new post builds the graph again.
    ASSERT_NE(PostEvent("Play_Tone48", kEmitter), 0u);
    const size_t before = captured.size();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_FALSE(Silent(captured, before, captured.size()));
}

TEST_F(RenderPass, ASuspendedFrameRendersNoVoiceAndStillEndsTheDeviceFrames)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    ASSERT_EQ(Suspend(false), ZK_Success);
    for (uint32_t frame = 0; frame < 20 && CZkOutputDeviceMgr::GetRenderState() != CZkOutputDeviceMgr::Render_Suspended;
         ++frame)
        ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    ASSERT_EQ(CZkOutputDeviceMgr::GetRenderState(), CZkOutputDeviceMgr::Render_Suspended);
    const size_t frames = frameOffsets.size();
    const size_t before = captured.size();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    ASSERT_EQ(CZkAudioRenderer::VoiceCount(), 1u) << "the voice lives on";
    EXPECT_EQ(CZkAudioRenderer::VoiceAt(0)->Buffer().status, ZK_NotProcessedThisFrame);
    EXPECT_EQ(CZkAudioRenderer::VoiceAt(0)->State(), CZkVoice::kStatePlaying);
    EXPECT_EQ(frameOffsets.size(), frames + 2) << "the devices end their frames";
    EXPECT_TRUE(Silent(captured, before, captured.size()));

    ASSERT_EQ(WakeupFromSuspend(), ZK_Success);
    for (uint32_t frame = 0; frame < 20 && CZkOutputDeviceMgr::GetRenderState() != CZkOutputDeviceMgr::Render_Running;
         ++frame)
        ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    const size_t awake = captured.size();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_FALSE(Silent(captured, awake, captured.size())) << "rendered again once awake";
}

TEST_F(RenderPass, TheEnginesEndDestroysTheVoicesItStillHas)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NE(PostEvent("Play_Tone44", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 2u);
    EXPECT_GE(CZkAudioRenderer::BusCount(), 4u);
    Term();
    EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 0u);
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    EXPECT_EQ(SettledBlocks(), m_setUpBlocks) << "nothing of the voices or buses is left";
}
} // namespace

namespace
{
// Pause and resume reach the voice through the voice command queue (the voice found for the
// playing instance's source): a paused voice is silent and keeps its place, and the tone goes on
// from where it stopped.
TEST_F(RenderPass, APausedPlaybackIsSilentAndResumesWhereItStopped)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const ZkPlayingID playing = PostEvent("Play_Tone48", kEmitter);
    ASSERT_NE(playing, 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, playing);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    const size_t paused = captured.size();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    ASSERT_EQ(CZkAudioRenderer::VoiceCount(), 1u);
    EXPECT_EQ(CZkAudioRenderer::VoiceAt(0)->State(), CZkVoice::kStatePaused);
    EXPECT_TRUE(Silent(captured, paused, captured.size()));

    ExecuteActionOnPlayingID(ZkActionOnEventType_Resume, playing);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
    EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 0u) << "the rest of the tone played out";
    // The tone's span less the pause (its longest silence) holds the 12000 samples of the tone.
    size_t first = captured.size(), last = 0, longestSilence = 0, silence = 0;
    for (size_t i = 0; i < captured.size(); i += 2)
    {
        if (captured[i] == 0.0f)
        {
            ++silence;
            continue;
        }
        first = std::min(first, i / 2);
        last = i / 2;
        if (first != i / 2)
            longestSilence = std::max(longestSilence, silence);
        silence = 0;
    }
    EXPECT_GE(longestSilence, 4u * kFrames) << "the pause";
    EXPECT_NEAR(static_cast<double>(last - first + 1 - longestSilence), kToneSamples48, 2.0);
}
} // namespace

namespace
{
// A frame whose bus levels are unknown (their computation failed for want of memory: the
// graph-changed flag stays set through the frame) processes no bus, so nothing reaches the device,
// and drops what its voices mixed into their buses: the next frame plays the sound alone, not with
// the dropped mix added to it. The frame is run step by step, the flag set after the frame
// parameters as a failed computation leaves it.
TEST_F(RenderPass, AFrameWithoutBusLevelsIsSilentAndTheNextPlaysTheSoundAlone)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ZkFlushDenormals renderMode;
        RendererFrame::UpdateFrameParameters();
        CZkAudioRenderer::SetGraphChanged();
        RendererFrame::RenderInline(true);
        RendererFrame::PostFrameVoices();
        CZkOutputDeviceMgr::EndFrame();
    }
    ASSERT_EQ(frameOffsets.size(), 4u);
    EXPECT_TRUE(Silent(captured, 3 * kFrames * 2, captured.size())) << "no bus ran";
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    EXPECT_FALSE(CZkAudioRenderer::GraphChanged()) << "the levels are computed again";
    // The loop's period is 48 samples and three frames are 64 periods: the voice went on through
    // the dropped frame, so the next frame repeats frame 1 sample for sample.
    for (size_t i = 0; i < kFrames * 2; ++i)
        ASSERT_NEAR(captured[4 * kFrames * 2 + i], captured[kFrames * 2 + i], 1e-6f) << "sample " << i;
}
} // namespace
