// Shared by the voice tests: the source fixture (plug-in registry, chunked streams, a playing
// instance of a media-writer file) plus the audio buffer pool and the playing manager, with a
// playing id whose callback records the markers, durations and starvations it is told of; voices
// made for the instance and driven frame by frame the way the render pass drives them (without
// mix buses: the block of each frame is copied out before its buffers are released).
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Sources/SourceTestSupport.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

#include <memory>
#include <string>
#include <vector>

namespace ZkVoiceTest
{
using namespace ZkSourceTest;

struct VoiceDeleter
{
    void operator()(CZkVoice* voice) const { CZkVoice::Destroy(voice); }
};
using VoicePtr = std::unique_ptr<CZkVoice, VoiceDeleter>;

// What the game heard of the playing id.
struct Heard
{
    struct Marker
    {
        uint32_t identifier;
        uint32_t position;
        std::string label;
        uint32_t frame; // the voice frame during which it was told
    };
    std::vector<Marker> markers;
    std::vector<float> durations;
    uint32_t starvations = 0;
    uint32_t frame = 0;
};

// One frame of a voice: whether it rendered, the pipeline status, and the block's samples
// (channel after channel, valid frames each).
struct Frame
{
    bool rendered = false;
    ZKRESULT status = ZK_DataNeeded;
    uint32_t channels = 0;
    uint32_t frames = 0;
    std::vector<float> samples;
    float Sample(uint32_t channel, uint32_t frame) const { return samples[channel * frames + frame]; }
};

class VoiceTest : public SourceTest
{
protected:
    static constexpr ZkGameObjectID kObject = 11;

    void SetUp() override
    {
        SourceTest::SetUp();
        AudioBufferPool::Init();
        g_pPlayingMgr = ZK::ZkNew<CZkPlayingMgr>(CZkPlayingMgr::kPool);
        ASSERT_NE(g_pPlayingMgr, nullptr);
        ASSERT_EQ(g_pPlayingMgr->CreateCallbackEvent(), ZK_Success);
        ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(
                      kPlayingID, kObject, &Record, &heard,
                      ZkCallbackType_Marker | ZkCallbackType_Duration | ZkCallbackType_Starvation, 1),
                  ZK_Success);
    }
    void TearDown() override
    {
        g_pPlayingMgr->TermPlayingIDs();
        g_pPlayingMgr->Term();
        ZK::ZkDelete(CZkPlayingMgr::kPool, g_pPlayingMgr);
        g_pPlayingMgr = nullptr;
        AudioBufferPool::Flush();
        SourceTest::TearDown();
    }

    static void Record(ZkCallbackType type, ZkCallbackInfo* info)
    {
        Heard& heard = *static_cast<Heard*>(info->cookie);
        if (type == ZkCallbackType_Marker)
        {
            const auto* cue = static_cast<ZkCueCallbackInfo*>(info);
            heard.markers.push_back(
                Heard::Marker{cue->identifier, cue->position, cue->label != nullptr ? cue->label : "", heard.frame});
        }
        else if (type == ZkCallbackType_Duration)
            heard.durations.push_back(static_cast<ZkLengthCallbackInfo*>(info)->durationMs);
        else if (type == ZkCallbackType_Starvation)
            ++heard.starvations;
    }

    // A voice with the instance's source attached as its main source (the attach result expected).
    VoicePtr MakeVoice(ZKRESULT expected = ZK_Success)
    {
        VoicePtr voice(CZkVoice::Create());
        EXPECT_NE(voice, nullptr);
        EXPECT_EQ(voice->AttachSource(instance, true), expected);
        return voice;
    }
    VoicePtr StartVoice()
    {
        VoicePtr voice = MakeVoice();
        voice->Start();
        return voice;
    }

    // One frame as the render pass runs it for a voice in state 1 (the start delays of the
    // started list count down first), then its post-frame step: a voice whose source finished
    // (17) or that failed stops; a starving one (46) plays on.
    Frame RunFrame(CZkVoice& voice)
    {
        Frame frame;
        if (voice.State() != CZkVoice::kStatePlaying)
            return frame;
        ZkVoiceLists::UpdatePlaying(ZkAudioSettings::FramesPerBuffer());
        if (voice.MainSource() != nullptr)
            voice.MainSource()->FrameStep();
        voice.UpdateGain();
        voice.UpdateSendConnections(true, GetVolumeThresholdDB());
        voice.ApplyRelatedLevels();
        frame.rendered = voice.PrepareFrame();
        if (frame.rendered)
        {
            voice.Pull();
            const ZkPipelineBuffer& block = voice.Buffer();
            frame.status = block.status;
            if (frame.status == ZK_DataReady || frame.status == ZK_NoMoreData)
            {
                frame.channels = block.NumChannels();
                frame.frames = block.validFrames;
                for (uint32_t c = 0; c < frame.channels; ++c)
                    frame.samples.insert(frame.samples.end(), block.GetChannel(c), block.GetChannel(c) + block.validFrames);
            }
            // As the render pass: a starving voice keeps what its stages hold for the next frame.
            if (frame.status != ZK_NoDataReady)
                voice.ReleaseFrameBuffers();
        }
        AudioBufferPool::Flush();
        ++heard.frame;
        if (frame.rendered && frame.status != ZK_DataReady && frame.status != ZK_NoDataReady)
            voice.Stop();
        return frame;
    }

    // Frames until the voice stops (at most limit), every frame's samples interleaved.
    std::vector<float> RunToEnd(CZkVoice& voice, uint32_t& channels, uint32_t limit = 2000)
    {
        std::vector<float> interleaved;
        for (uint32_t i = 0; i < limit && voice.State() == CZkVoice::kStatePlaying; ++i)
        {
            const Frame frame = RunFrame(voice);
            if (frame.frames == 0)
                continue;
            channels = frame.channels;
            for (uint32_t f = 0; f < frame.frames; ++f)
                for (uint32_t c = 0; c < frame.channels; ++c)
                    interleaved.push_back(frame.Sample(c, f));
        }
        return interleaved;
    }

    Heard heard;
};
} // namespace ZkVoiceTest
