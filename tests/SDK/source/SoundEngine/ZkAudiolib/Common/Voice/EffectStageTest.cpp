// Effect inserts: in-place stages (the block, or a list of one audio object), the out-of-place
// stage holding its input across calls, bypass with one reset per bypass period, the tail after
// the input ended, and the starts that leave a slot empty.
#include "EffectStageTestSupport.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>
#include <ZkAudiolib/Common/Voice/CZkInPlaceEffectStage.h>
#include <ZkAudiolib/Common/Voice/CZkOutOfPlaceEffectStage.h>

#include <cmath>

namespace
{
using namespace EffectStageTest;

const ZkChannelConfig kStereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);

// The stage before an effect: counts how often its block was given back.
class InputStage final : public CZkVoicePipelineStage
{
public:
    void ReleaseBuffer() override { ++releases; }
    ZKRESULT SkipFrames(uint32_t& frames) override
    {
        skipped += frames;
        return ZK_DataReady;
    }
    uint32_t releases = 0;
    uint32_t skipped = 0;
};

class EffectStage : public EffectStageFixture
{
protected:
    template <typename Stage>
    void Start(Stage& stage, uint32_t pluginID, ZkChannelConfig config)
    {
        ZK::ZkEffectFormat format{48000, config};
        ASSERT_EQ(stage.Init(CreateEffect(pluginID), effect(), 0, voice, nullptr, format), ZK_Success);
        stage.SetInput(&input);
    }
    InputStage input;
};

TEST_F(EffectStage, InPlaceEffectProcessesTheBlockWhereItIs)
{
    CZkInPlaceEffectStage stage(false);
    Start(stage, kInPlaceID, kStereo);
    EXPECT_EQ(g_log.inits, 1u);
    EXPECT_EQ(g_log.resets, 1u) << "reset once after its start";
    EXPECT_EQ(stage.EffectID(), effect().ID());
    Block block(kStereo, 64);
    EXPECT_EQ(stage.Execute(block.buffer), ZK_DataReady);
    EXPECT_EQ(block.At(1, 63), 0.5f);
    stage.Destroy();
    EXPECT_EQ(g_log.terms, 1u);
}

TEST_F(EffectStage, BypassedInPlaceEffectLeavesTheBlockAndResetsOncePerBypass)
{
    CZkInPlaceEffectStage stage(false);
    Start(stage, kInPlaceID, kStereo);
    const uint32_t resetsAfterStart = g_log.resets;
    for (uint16_t bypass : {uint16_t{1}, uint16_t{0}})
    {
        stage.bypass = bypass;
        for (int frame = 0; frame < 3; ++frame)
        {
            Block block(kStereo, 32);
            stage.Execute(block.buffer);
            EXPECT_EQ(block.At(0, 0), bypass != 0 ? 1.0f : 0.5f);
        }
    }
    EXPECT_EQ(g_log.resets, resetsAfterStart + 1) << "one reset for the bypass period, not one per frame";
    EXPECT_EQ(g_log.executes, 3u);

    // The instance's bypass-all value bypasses too, and a new bypass period resets again.
    voice.View().bypassAllEffects = 1;
    Block block(kStereo, 32);
    stage.Execute(block.buffer);
    EXPECT_EQ(block.At(0, 0), 1.0f);
    EXPECT_EQ(g_log.resets, resetsAfterStart + 2);
    stage.Destroy();
}

TEST_F(EffectStage, TheEndOfTheInputLetsTheNextPendingRequestFlushTheTail)
{
    CZkInPlaceEffectStage stage(false);
    Start(stage, kInPlaceID, kStereo);
    Block last(kStereo, 64);
    last.buffer.validFrames = 40; // the source ended in the middle of the block
    last.buffer.status = ZK_NoMoreData;
    EXPECT_EQ(stage.Execute(last.buffer), ZK_NoMoreData);
    EXPECT_TRUE(stage.IsFinished());

    g_log.tailFrames = 16;
    ZkPipelineBuffer next; // the next frame's block: no memory yet
    next.channelConfig = kStereo;
    next.maxFrames = 64;
    EXPECT_EQ(stage.GetPendingOutput(next), ZK_NoMoreData);
    ASSERT_NE(next.data, nullptr) << "a private block for the tail";
    EXPECT_EQ(next.validFrames, 16);
    EXPECT_EQ(next.GetChannel(1)[15], 0.25f);
    stage.ReleaseBuffer();
    EXPECT_EQ(input.releases, 0u) << "the private block is the stage's own";

    EXPECT_EQ(stage.Restart(), ZK_Fail) << "forwarded to an input that has none";
    EXPECT_FALSE(stage.IsFinished());
    ZkPipelineBuffer quiet;
    EXPECT_EQ(stage.GetPendingOutput(quiet), ZK_DataNeeded);
    stage.Destroy();
}

TEST_F(EffectStage, FinishedStageAnswersVirtualRequestsItself)
{
    CZkInPlaceEffectStage stage(false);
    Start(stage, kInPlaceID, kStereo);
    uint32_t frames = 512;
    EXPECT_EQ(stage.SkipFrames(frames), ZK_DataReady);
    EXPECT_EQ(g_log.skips, 1u);
    EXPECT_EQ(input.skipped, 512u);

    Block last(kStereo, 8);
    last.buffer.status = ZK_NoMoreData;
    stage.Execute(last.buffer);
    EXPECT_EQ(stage.SkipFrames(frames), ZK_NoMoreData);
    EXPECT_EQ(stage.LeaveVirtual(kVirtualModeSkipTime, false), ZK_Success);
    const uint32_t resets = g_log.resets;
    stage.EnterVirtual(kVirtualModeResume);
    EXPECT_EQ(g_log.resets, resets) << "mode 2 keeps the effect's state";
    stage.EnterVirtual(kVirtualModeFromStart);
    EXPECT_EQ(g_log.resets, resets + 1);
    EXPECT_FALSE(stage.IsFinished());
    stage.Destroy();
}

TEST_F(EffectStage, ObjectVariantGetsOneObjectAndItsAttachedBuffersAreReleased)
{
    CZkInPlaceEffectStage stage(true);
    Start(stage, kObjectsID, kStereo);
    Block block(kStereo, 64);
    EXPECT_EQ(stage.Execute(block.buffer), ZK_DataReady);
    EXPECT_EQ(block.At(0, 10), 2.0f);
    EXPECT_EQ(g_log.objectsSeen, 1u);
    EXPECT_EQ(g_log.firstObjectKey, ZkAudioObject::kNoKey);
    EXPECT_EQ(g_log.firstObjectMask, 0xFFFFu);
    EXPECT_EQ(g_log.firstObjectGain, 1.0f);
    EXPECT_EQ(g_log.attachedBuffers, 1u);
    EXPECT_EQ(AudioBufferPool::CachedBlocks(1), 1u) << "the attached buffer went back to the pool";
    stage.Destroy();
}

TEST_F(EffectStage, StartsThatLeaveTheSlotEmpty)
{
    // The plug-in answers 4: it needs to work out of place.
    CZkInPlaceEffectStage refused(false);
    ZK::ZkEffectFormat format{48000, kStereo};
    EXPECT_EQ(refused.Init(CreateEffect(kRefusesInPlaceID), effect(), 1, voice, nullptr, format), ZK_NotImplemented);
    refused.Destroy();
    // The effect object cannot give the instance its parameters: its contributions find no memory.
    CZkInPlaceEffectStage noParameters(false);
    ZK::ZkEffectFormat noMemory{48000, kStereo};
    ZK::IZkEffectPlugin* plugin = CreateEffect(kInPlaceID);
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(noParameters.Init(plugin, effect(), 1, voice, nullptr, noMemory), ZK_Fail);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_EQ(effect().FirstContext(), nullptr) << "no half-made context stays linked";
    EXPECT_EQ(effect().RefCount(), 1u);
    noParameters.Destroy();
    EXPECT_EQ(g_log.terms, 2u) << "both plug-ins terminated";
    EXPECT_EQ(g_log.inits, 0u);
}

TEST_F(EffectStage, OutOfPlaceEffectHoldsItsInputUntilConsumed)
{
    CZkOutOfPlaceEffectStage stage;
    Start(stage, kOutOfPlaceID, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1));
    EXPECT_EQ(stage.GetOutputConfig(), kStereo) << "the plug-in wrote the format it outputs";

    // A block of 96 frames into outputs of 64: the first call fills the output and holds the rest.
    Block first(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 96, 0.25f);
    first.buffer.markers = ZkMarkerWindow{0, 0};
    first.buffer.maxFrames = 96;
    ZkPipelineBuffer& buffer = first.buffer;
    const uint16_t callerFrames = 64;
    ZkPipelineBuffer caller = buffer;
    caller.maxFrames = callerFrames;
    caller.validFrames = 96;
    EXPECT_EQ(stage.Execute(caller), ZK_DataReady);
    EXPECT_EQ(caller.channelConfig, kStereo) << "the output block replaced the caller's";
    EXPECT_EQ(caller.validFrames, 64);
    EXPECT_EQ(caller.GetChannel(1)[63], 0.25f);
    EXPECT_EQ(stage.HeldInput().validFrames, 32);
    EXPECT_EQ(input.releases, 0u);
    stage.ReleaseBuffer();

    // The next frame: the held input comes out first, then the stage needs more.
    ZkPipelineBuffer next;
    next.maxFrames = callerFrames;
    EXPECT_EQ(stage.GetPendingOutput(next), ZK_DataNeeded);
    EXPECT_EQ(input.releases, 1u) << "the input's block went back once consumed";
    EXPECT_EQ(stage.HeldInput().validFrames, 0);
    EXPECT_EQ(stage.Output().validFrames, 32);

    // The input ends: what is there comes out final.
    Block last(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 16, 0.5f);
    last.buffer.status = ZK_NoMoreData;
    EXPECT_EQ(stage.Execute(last.buffer), ZK_NoMoreData);
    EXPECT_EQ(last.buffer.validFrames, 48);
    EXPECT_EQ(last.buffer.GetChannel(0)[47], 0.5f);
    stage.Destroy();
}

TEST_F(EffectStage, BypassedOutOfPlaceEffectDownmixesThroughThePanningMatrixAtUnityGain)
{
    const ZkChannelConfig five = ZkChannelConfig::FromMask(ZK_SPEAKER_FRONT_LEFT | ZK_SPEAKER_FRONT_RIGHT |
                                                           ZK_SPEAKER_FRONT_CENTER | ZK_SPEAKER_BACK_LEFT |
                                                           ZK_SPEAKER_BACK_RIGHT);
    CZkOutOfPlaceEffectStage stage;
    Start(stage, kOutOfPlaceID, five);
    stage.bypass = 1;
    const uint32_t resets = g_log.resets;
    Block block(five, 64);
    for (uint32_t c = 0; c < 5; ++c)
        for (uint32_t k = 0; k < 64; ++k)
            block.buffer.GetChannel(c)[k] = static_cast<float>(c + 1) * 0.1f + static_cast<float>(k) * 0.001f;
    block.buffer.validFrames = 40;
    const std::vector<float> in = block.samples;
    EXPECT_EQ(stage.Execute(block.buffer), ZK_DataNeeded) << "40 of 64 output frames";
    EXPECT_EQ(g_log.resets, resets + 1);
    EXPECT_EQ(g_log.executes, 0u);
    const ZkPipelineBuffer& out = stage.Output();
    ASSERT_EQ(out.validFrames, 40);

    std::vector<float> matrix(5 * 4);
    CZkSpeakerPan::ComputeSpeakerVolumesDirect(five, kStereo, 100.0f, matrix.data());
    for (uint32_t o = 0; o < 2; ++o)
        for (uint32_t k = 0; k < 40; ++k)
        {
            double expected = 0.0;
            for (uint32_t i = 0; i < 5; ++i)
                expected += double{matrix[i * 4 + o]} * in[i * 64 + k];
            ASSERT_NEAR(out.GetChannel(o)[k], expected, 1e-5) << "output " << o << " frame " << k;
        }
    EXPECT_GT(matrix[0], 0.0f);
    EXPECT_EQ(input.releases, 1u);
    stage.Destroy();
}
} // namespace
