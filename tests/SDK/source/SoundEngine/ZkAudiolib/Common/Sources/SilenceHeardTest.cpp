// The silence source end to end: banks written by tools/bank_writer.py (a 0.25 s tone and silence
// sounds on the Effects bus), loaded with LoadBank into the engine rendering offline (1024 frames
// at 48 kHz per RenderAudio). A silence keeps its event playing for its length without adding a
// sample to the output; an endless one lasts until it is stopped; PlaySourcePlugin plays one on its
// own, with the plug-in's defaults.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "Plugins/Sources/ZkSilenceSource/ZkFXSrcSilence.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

#include <algorithm>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::CZkSrcSilence;

constexpr uint32_t kSilenceFrames = 24000; // 0.5 s at 48 kHz

class SilenceHeard : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(R"({"name": "Silence.bnk",
            "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
              {"type": "silence", "id": 500, "effect": 600, "duration": 0.5, "bus": "Effects"},
              {"type": "silence", "id": 501, "effect": 601, "duration": 0.1, "bus": "Effects",
               "props": {"loop_count": 0}},
              {"type": "sound", "id": 503, "plugin": 6619138, "media": 999, "media_size": 0, "bus": "Effects"},
              {"type": "action", "id": 703, "action": "play", "target": 503},
              {"type": "event", "id": "NoEffectObject", "actions": [703]},
              {"type": "action", "id": 700, "action": "play", "target": 200},
              {"type": "action", "id": 701, "action": "play", "target": 500},
              {"type": "action", "id": 702, "action": "play", "target": 501},
              {"type": "event", "id": "ToneAndSilence", "actions": [700, 701]},
              {"type": "event", "id": "EndlessSilence", "actions": [702]}]}]})");
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / "Silence.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }

    void StartWithSilences()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Silence.bnk", bank), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        captured.clear();
        frameOffsets.clear();
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }

    // Posts the event and renders frames frames: the frame after the post in which its end-of-event
    // callback came (frames + 1: none came), which must come once.
    uint32_t FrameOfTheEnd(const char* event, uint32_t frames)
    {
        uint32_t ends = 0;
        uint32_t end = frames + 1;
        EXPECT_NE(PostEvent(event, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u) << event;
        for (uint32_t frame = 1; frame <= frames; ++frame)
        {
            EXPECT_EQ(RenderAudio(true), ZK_Success);
            if (ends != 0 && end > frames)
                end = frame;
        }
        EXPECT_EQ(ends, 1u) << event << " ends once";
        return end;
    }
};

TEST_F(SilenceHeard, AnEventEndsWithItsLongerSilenceAndSoundsAsWithoutIt)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSilences());
    const uint32_t toneEnd = FrameOfTheEnd("Play_Tone48", 40);
    const std::vector<float> toneAlone = captured;
    captured.clear();
    const uint32_t bothEnd = FrameOfTheEnd("ToneAndSilence", 40);
    ASSERT_EQ(captured.size(), toneAlone.size());
    // Both start in the frame after the post: the tone's buffers end in frame ceil(12000 / 1024),
    // the silence's in frame ceil(24000 / 1024); the lag from there to the callback is the same.
    constexpr uint32_t kToneBuffers = (kToneSamples48 + kFrames - 1) / kFrames;
    constexpr uint32_t kSilenceBuffers = (kSilenceFrames + kFrames - 1) / kFrames;
    EXPECT_LE(toneEnd, 20u);
    EXPECT_EQ(bothEnd, toneEnd + (kSilenceBuffers - kToneBuffers));
    EXPECT_TRUE(captured == toneAlone)
        << "the silence adds nothing to the output, bit for bit";
}

TEST_F(SilenceHeard, AnEndlessSilenceLastsUntilItsPlayingIDIsStopped)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSilences());
    uint32_t ends = 0;
    const ZkPlayingID playing = PostEvent("EndlessSilence", kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends);
    ASSERT_NE(playing, 0u);
    RenderFrames(60); // 1.3 s: thirteen loops of 0.1 s
    EXPECT_EQ(ends, 0u);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 1u);
    StopPlayingID(playing);
    RenderFrames(4);
    EXPECT_EQ(ends, 1u);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
    EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float s) { return s == 0.0f; }));
}

TEST_F(SilenceHeard, PlaySourcePluginPlaysTheDefaultSecondAndStopSourcePluginEndsAnother)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSilences());
    const ZkPlayingID first = PlaySourcePlugin(CZkSrcSilence::kPluginNumber, CZkSrcSilence::kCompany, kEmitter);
    ASSERT_NE(first, 0u);
    // 48000 frames: 47 buffers of 1024, the last one cut.
    RenderFrames(46);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 1u) << "still playing after 46 frames";
    RenderFrames(3);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "ended after its 1.0 s";

    const ZkPlayingID second = PlaySourcePlugin(CZkSrcSilence::kPluginNumber, CZkSrcSilence::kCompany, kEmitter);
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    RenderFrames(5);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 1u);
    EXPECT_EQ(StopSourcePlugin(CZkSrcSilence::kPluginNumber, CZkSrcSilence::kCompany, second), ZK_Success);
    RenderFrames(2);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "stopped early";
    EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float s) { return s == 0.0f; }));
}

TEST_F(SilenceHeard, NothingPlaysForAnUnregisteredPluginOrGameObject)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSilences());
    EXPECT_NE(PlaySourcePlugin(CZkSrcSilence::kPluginNumber, CZkSrcSilence::kCompany, 999), 0u)
        << "posted: the play is refused at the next tick";
    RenderFrames(1);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "no play on an object that is not registered";
    EXPECT_NE(PlaySourcePlugin(77, 0, kEmitter), 0u);
    RenderFrames(3);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "the play of a plug-in that is not registered ends";
}

TEST_F(SilenceHeard, ASoundWhoseSourcePluginHasNoEffectObjectEndsItsEventOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartWithSilences());
    EXPECT_LE(FrameOfTheEnd("NoEffectObject", 6), 3u) << "the failed start ends the event";
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
}
} // namespace
