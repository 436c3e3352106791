// Volume modulators heard end to end, through the running engine with offline rendering and the
// capture callback: a constant (0 Hz) media makes every captured sample the voice's gain at that
// sample, which is compared with the numpy models of the modulators through the link curve
// (gain = offset + scale x value). A control-rate LFO ramps frame by frame, an audio-rate LFO and
// an envelope follow sample by sample; an envelope with StopPlayback ends its sound at the link
// curve's floor; a pause holds a voice's LFO and the resume goes on from its phase; a break
// releases a held envelope; a note-scope envelope that ends stops the run-time plays carrying it.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <cmath>
#include <functional>

namespace
{
using namespace ZkFirstSoundTest;
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::CZkModulatorInstance;

// A sine LFO at phase 0 stands at its centre before its first frame: 0.5 at full depth.
constexpr double kLfoStart = 0.5;
// Envelope of the rubble: attack 0.02 s, decay 0.3 s, sustain 1 s, release 0.6 s.
constexpr uint32_t kEnvelopeEnd = 960 + 14400 + 48000 + 28800;

class ModulatedVolumeHeard : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(R"({"name": "Volume.bnk",
            "media": [{"id": 120, "wave": {"rate": 48000, "channels": 1, "seconds": 3.0,
                                           "parts": [{"tone": 0, "amp": 0.5, "phase": 90}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "lfo", "id": 420, "props": {"scope": 0, "lfo_frequency": 4.0, "lfo_depth": 100, "lfo_attack": 0}},
                {"type": "lfo", "id": 421, "props": {"scope": 0, "lfo_frequency": 20.0, "lfo_depth": 100, "lfo_attack": 0}},
                {"type": "envelope", "id": 422, "props": {"scope": 0, "stop_playback": 1, "trigger_on": 1,
                    "env_attack_time": 0.02, "env_attack_curve": 50, "env_decay_time": 0.3, "env_sustain_level": 40,
                    "env_sustain_time": 1.0, "env_release_time": 0.6}},
                {"type": "envelope", "id": 423, "props": {"scope": 0, "env_attack_time": 0, "env_decay_time": 0.1,
                    "env_sustain_level": 50, "env_sustain_time": -1, "env_release_time": 0.2}},
                {"type": "envelope", "id": 424, "props": {"scope": 1, "stop_playback": 1, "env_attack_time": 0,
                    "env_decay_time": 0, "env_sustain_level": 100, "env_sustain_time": 0.2, "env_release_time": 0}},
                {"type": "sound", "id": 220, "media": 120, "bus": "Effects", "rtpc": [
                    {"parameter": 420, "parameter_type": 2, "target": 0, "points": [[0, -12], [1, 0]]}]},
                {"type": "sound", "id": 221, "media": 120, "bus": "Effects", "rtpc": [
                    {"parameter": 421, "parameter_type": 2, "target": 0, "points": [[0, -12], [1, 0]]}]},
                {"type": "sound", "id": 222, "media": 120, "bus": "Effects", "rtpc": [
                    {"parameter": 422, "parameter_type": 2, "target": 0, "points": [[0, -96], [1, 0]]}]},
                {"type": "sound", "id": 223, "media": 120, "bus": "Effects", "rtpc": [
                    {"parameter": 423, "parameter_type": 2, "target": 0, "points": [[0, -96], [1, 0]]}]},
                {"type": "sound", "id": 224, "media": 120, "bus": "Effects", "rtpc": [
                    {"parameter": 424, "parameter_type": 2, "target": 0, "points": [[0, -96], [1, 0]]}]},
                {"type": "sound", "id": 225, "media": 120, "bus": "Effects"},
                {"type": "action", "id": 320, "action": "play", "target": 220},
                {"type": "event", "id": "Play_Lfo4", "actions": [320]},
                {"type": "action", "id": 321, "action": "play", "target": 221},
                {"type": "event", "id": "Play_Lfo20", "actions": [321]},
                {"type": "action", "id": 322, "action": "play", "target": 222},
                {"type": "event", "id": "Play_Rubble", "actions": [322]},
                {"type": "action", "id": 323, "action": "play", "target": 223},
                {"type": "event", "id": "Play_Held", "actions": [323]},
                {"type": "action", "id": 324, "action": "play", "target": 224},
                {"type": "event", "id": "Play_NoteEnvelope", "actions": [324]},
                {"type": "action", "id": 325, "action": "play", "target": 225},
                {"type": "event", "id": "Play_Plain", "actions": [325]},
                {"type": "action", "id": 330, "action": "pause", "target": 220},
                {"type": "event", "id": "Pause_Lfo4", "actions": [330]},
                {"type": "action", "id": 331, "action": "resume", "target": 220},
                {"type": "event", "id": "Resume_Lfo4", "actions": [331]},
                {"type": "action", "id": 332, "action": "break", "target": 223},
                {"type": "event", "id": "Break_Held", "actions": [332]}]}]})");
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / "Volume.bnk", std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }

    void StartWithBank()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Volume.bnk", bank), ZK_Success);
    }

    static std::vector<std::vector<double>> Model(const std::string& cases)
    {
        return ZkModulatorTest::NumberLines(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/modulator_model.py\" '" + cases + "'"));
    }

    // Channel 0 of the capture from its first audible sample on.
    std::vector<double> Heard() const
    {
        std::vector<double> heard;
        size_t first = 0;
        while (first < captured.size() / channels && captured[first * channels] == 0.0f)
            ++first;
        for (size_t k = first; k < captured.size() / channels; ++k)
            heard.push_back(captured[k * channels]);
        return heard;
    }

    // The modulation's gain at every sample: what is heard of the event over what is heard of the
    // same media without modulators, rendered alone the same way (the mix's own gains cancel).
    std::vector<double> Gains(const char* event, uint32_t frames, uint32_t* ends = nullptr,
                              const std::function<void()>& whilePlaying = {})
    {
        std::vector<double> plain, modulated;
        EXPECT_NO_FATAL_FAILURE(StartWithBank());
        EXPECT_NE(PostEvent("Play_Plain", kEmitter), 0u);
        EXPECT_NO_FATAL_FAILURE(RenderFrames(frames));
        plain = Heard();
        Term();
        EXPECT_NO_FATAL_FAILURE(StartWithBank());
        EXPECT_NE(PostEvent(event, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, ends), 0u);
        EXPECT_NO_FATAL_FAILURE(RenderFrames(2));
        if (whilePlaying)
            whilePlaying();
        EXPECT_NO_FATAL_FAILURE(RenderFrames(frames - 2));
        modulated = Heard();
        std::vector<double> gains;
        for (size_t k = 0; k < std::min(plain.size(), modulated.size()); ++k)
            gains.push_back(modulated[k] / plain[k]);
        return gains;
    }

    // The linked instance of the one playing instance.
    static CZkModulatorInstance* LinkedInstance()
    {
        const ZK::SoundEngine::CZkPlayingInstance* play = CZkActiveInstances::First();
        if (play == nullptr || play->ModulatorLinks().links == nullptr || play->ModulatorLinks().links->Head() == nullptr)
            return nullptr;
        return play->ModulatorLinks().links->Head()->instance;
    }

    // The line the link curve makes of the modulator's value (the curve's own maths is tested with
    // the modulator manager): gain = offset + scale x value.
    struct Line
    {
        double offset = 0.0;
        double scale = 0.0;
        double operator()(double value) const { return offset + scale * value; }
    };
    static Line LinkLine()
    {
        const ZK::SoundEngine::CZkPlayingInstance* play = CZkActiveInstances::First();
        if (play == nullptr || play->ModulatorLinks().links == nullptr)
            return Line{};
        const auto& entries = play->ModulatorLinks().links->Head()->entries;
        return entries.Length() == 1 ? Line{entries[0].offset, entries[0].scale} : Line{};
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent && info->cookie != nullptr)
            ++*static_cast<uint32_t*>(info->cookie);
    }
};

std::string LfoCase(double frequency, bool audio, uint32_t buffers)
{
    return "[{\"kind\": \"lfo\", \"waveform\": 0, \"smoothing\": 0, \"pulse_width\": 0, \"phase\": 0, \"attack\": 0, "
           "\"depth\": 100, \"frequency\": " + std::to_string(frequency) + ", \"seed\": 0, \"audio\": " +
           (audio ? "true" : "false") + ", \"frames\": 1024, \"buffers\": " + std::to_string(buffers) + "}]";
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

TEST_F(ModulatedVolumeHeard, AControlRateLfoRampsTheGainFromFrameToFrame)
{
    constexpr uint32_t kBuffers = 30;
    Line line;
    const std::vector<double> gains = Gains("Play_Lfo4", kBuffers + 1, nullptr, [&] { line = LinkLine(); });
    EXPECT_NEAR(line.offset, std::pow(10.0, -12.0 / 20.0), 2e-3) << "the curve's -12 dB";
    EXPECT_NEAR(line.offset + line.scale, 1.0, 2e-3) << "and its 0 dB";
    const auto model = Model(LfoCase(4.0, false, kBuffers));
    ASSERT_EQ(model.size(), kBuffers);
    ASSERT_GE(gains.size(), size_t{kBuffers} * kFrames);
    double lowest = 1.0;
    for (uint32_t frame = 0; frame < kBuffers; ++frame)
    {
        const double from = line(frame == 0 ? kLfoStart : model[frame - 1][0]);
        const double to = line(model[frame][0]);
        for (uint32_t k = 0; k < kFrames; ++k)
        {
            const double expected = from + (to - from) * k / kFrames;
            const double heard = gains[size_t{frame} * kFrames + k];
            ASSERT_NEAR(Db(heard), Db(expected), 0.1) << "frame " << frame << " sample " << k;
            lowest = std::min(lowest, heard);
        }
    }
    EXPECT_LT(lowest, 0.3) << "the LFO reaches down to about -12 dB";
}

TEST_F(ModulatedVolumeHeard, AnAudioRateLfoGivesEverySampleItsGain)
{
    constexpr uint32_t kBuffers = 12;
    Line line;
    uint32_t audioRateFrames = 0;
    const std::vector<double> gains = Gains("Play_Lfo20", kBuffers + 1, nullptr, [&] {
        line = LinkLine();
        audioRateFrames = LinkedInstance() != nullptr ? LinkedInstance()->Header().audioRateFrames : 0;
    });
    EXPECT_EQ(audioRateFrames, kFrames) << "20 Hz is above 12000 / 1024";
    const auto model = Model(LfoCase(20.0, true, kBuffers));
    ASSERT_EQ(model.size(), size_t{kBuffers} * kFrames);
    ASSERT_GE(gains.size(), model.size());
    for (size_t k = 0; k < model.size(); ++k)
        ASSERT_NEAR(gains[k], line(model[k][0]), 1e-4) << "sample " << k;
}

TEST_F(ModulatedVolumeHeard, AnEnvelopeWithStopPlaybackEndsItsSoundAtTheCurvesFloor)
{
    constexpr uint32_t kBuffers = kEnvelopeEnd / kFrames + 4;
    uint32_t ends = 0;
    Line line;
    const std::vector<double> gains = Gains("Play_Rubble", kBuffers, &ends, [&] { line = LinkLine(); });
    EXPECT_NEAR(line.offset, std::pow(10.0, -96.0 / 20.0), 1e-6) << "the curve's floor, -96 dB";
    const auto model = Model(R"([{"kind": "envelope", "attack": 960, "curve": 0.5, "decay": 14400, "sustain": 0.4,
                                  "release": 28800, "release_frame": 63360, "start_level": 0, "start_offset": 0,
                                  "audio": true, "frames": 1024, "buffers": )" + std::to_string(kBuffers) + "}]");
    ASSERT_GE(gains.size(), size_t{kEnvelopeEnd});
    for (size_t k = 0; k < kEnvelopeEnd; ++k)
        ASSERT_NEAR(gains[k], line(model[k][0]), 1e-4) << "sample " << k;
    // From the end of its release the sound is at the floor (-96 dB) until it stops, in the frame
    // after the one the envelope ends in; then it is silent.
    size_t silentFrom = gains.size();
    while (silentFrom > 0 && gains[silentFrom - 1] == 0.0)
        --silentFrom;
    for (size_t k = kEnvelopeEnd; k < silentFrom; ++k)
        ASSERT_LE(Db(std::fabs(gains[k])), -95.9) << "sample " << k;
    EXPECT_GT(silentFrom, size_t{kEnvelopeEnd});
    EXPECT_LE(silentFrom, (kEnvelopeEnd / kFrames + 2) * kFrames) << "stopped right after";
    EXPECT_EQ(ends, 1u) << "one end-of-event callback";
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
}

TEST_F(ModulatedVolumeHeard, APauseHoldsTheVoicesLfoAndTheResumeGoesOnFromItsPhase)
{
    constexpr uint32_t kBefore = 10, kPaused = 50, kAfter = 10;
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent("Play_Lfo4", kEmitter), 0u);
    std::vector<float> values;
    auto frames = [&](uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
        {
            ASSERT_EQ(RenderAudio(true), ZK_Success);
            CZkModulatorInstance* lfo = LinkedInstance();
            ASSERT_NE(lfo, nullptr);
            values.push_back(lfo->Value());
        }
    };
    ASSERT_NO_FATAL_FAILURE(frames(kBefore));
    ASSERT_NE(PostEvent("Pause_Lfo4", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(frames(kPaused));
    ASSERT_NE(PostEvent("Resume_Lfo4", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(frames(kAfter));

    // The pause takes the frame it falls in: the instance keeps that frame's value and drops its
    // output, so its oscillator stands where that frame began. The resume computes that frame
    // again and goes on from there: no phase is lost or skipped while the sound is held.
    const auto model = Model(LfoCase(4.0, false, kBefore + kAfter));
    for (uint32_t i = 0; i < kPaused; ++i)
        ASSERT_EQ(values[kBefore + i], values[kBefore - 1]) << "held in paused frame " << i;
    for (uint32_t i = 0; i < kBefore; ++i)
        EXPECT_NEAR(values[i], model[i][0], 1e-6) << "frame " << i;
    for (uint32_t i = 0; i < kAfter; ++i)
        EXPECT_NEAR(values[kBefore + kPaused + i], model[kBefore - 1 + i][0], 1e-6) << "frame " << i << " after the resume";
}

TEST_F(ModulatedVolumeHeard, ABreakReleasesAHeldEnvelopeFromTheNextFrame)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent("Play_Held", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
    CZkModulatorInstance* envelope = LinkedInstance();
    ASSERT_NE(envelope, nullptr);
    envelope->AddRef(); // looked at after its end (its sound, silent, may end before it)
    EXPECT_NEAR(envelope->Value(), 0.5f, 1e-6f) << "sustained without end";
    const int64_t elapsed = envelope->Header().elapsedFrames;
    ASSERT_NE(PostEvent("Break_Held", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    EXPECT_EQ(envelope->Header().releaseFrame, elapsed) << "released from frame 0 of the break";
    EXPECT_LT(envelope->Value(), 0.5f) << "and falling in the next frame";
    ASSERT_NO_FATAL_FAILURE(RenderFrames(12));
    EXPECT_EQ(envelope->Value(), 0.0f) << "0.2 s of release later";
    EXPECT_EQ(envelope->State(), ZK::SoundEngine::ZkModulatorState_Stopped);
    envelope->Release();
}

TEST_F(ModulatedVolumeHeard, ANoteEnvelopeThatEndsStopsTheRunTimePlaysCarryingIt)
{
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_NE(PostEvent("Play_NoteEnvelope", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkModulatorInstance* envelope = LinkedInstance();
    ASSERT_NE(envelope, nullptr);
    ASSERT_EQ(envelope->Scope(), ZK::SoundEngine::ZkModulatorScope_Note);

    // Two plays of another sound queued 2 s ahead, one carrying the envelope on.
    using ZK::SoundEngine::CZkDynamicPlayAction;
    using ZK::SoundEngine::PendingAction;
    CZkRegisteredObj* object = ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter);
    ASSERT_NE(object, nullptr);
    for (bool carries : {true, false})
    {
        CZkDynamicPlayAction* play = CZkDynamicPlayAction::Create(225);
        ASSERT_NE(play, nullptr);
        ASSERT_EQ(play->SetIntProperty(ZK::SoundEngine::ZkProp_ActionDelay, 2 * kRate, 0, 0), ZK_Success);
        if (carries)
        {
            ASSERT_EQ(play->ModulatorInstances().Add(envelope), ZK_Success);
        }
        EXPECT_EQ(play->HasModulatorInstance(envelope), carries);
        auto* pending = ZK::ZkNew<PendingAction>(PendingAction::kPool, play, object);
        ASSERT_NE(pending, nullptr);
        ASSERT_EQ(ZK::SoundEngine::g_pEventMgr->EnqueuePendingAction(pending, 0, false), ZK_Success);
        play->Release();
    }
    ASSERT_EQ(ZK::SoundEngine::g_pEventMgr->ActivePendingCount(), 2u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(15)); // 0.2 s of sustain: it ends and stops its play
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
    EXPECT_EQ(ZK::SoundEngine::g_pEventMgr->ActivePendingCount(), 1u) << "the play carrying it went with it";
}
} // namespace
