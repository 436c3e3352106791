// What buses do to each other's mix: the background-music buses muted and unmuted together (with
// the game's callback), and ducking: the records a playing bus holds in its targets, their sum
// floored at the target's maximum duck volume, the fades, the release when the bus goes quiet (at
// once while the recovery action cannot be queued), and the broadcast of each change.
#include "BusFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/RecordingTarget.h"

namespace
{
using namespace ZkHierarchyTest;
using ZkParamTest::RecordingTarget;

std::vector<std::pair<uint8_t, void*>> g_callbacks;

void RecordMute(uint8_t muted, void* cookie) { g_callbacks.emplace_back(muted, cookie); }

class BusMix : public BusTest
{
protected:
    void SetUp() override
    {
        BusTest::SetUp();
        g_callbacks.clear();
    }

    // The gain entry of node in a voice's gathering, 1 when it has none.
    static float GainOf(const ZkVoiceParams& params, const CZkHierarchyNode* node)
    {
        for (const ZkGainEntry& entry : params.gains)
        {
            if (entry.node == node)
                return entry.gain;
        }
        return 1.0f;
    }

    // A release of the last bank loaded only.
    void ReleaseLastBank()
    {
        LoadedBank* bank = m_loaded.back();
        bank->ReleaseItemList();
        bank->Destroy();
        m_loaded.pop_back();
    }
};

TEST_F(BusMix, BackgroundMusicIsMutedAndUnmutedAsAWhole)
{
    Load(Bus("Master") + ", " + Bus("Music", R"("parent": "Master", "bus_flags": 8)") + ", " +
         Bus("Effects", R"("parent": "Master")"));
    CZkBus* music = FindBus("Music");
    CZkBus* effects = FindBus("Effects");
    int cookie = 0;
    GetEngineSettings().bgmMuteCallback = RecordMute;
    GetEngineSettings().bgmMuteCookie = &cookie;
    TestNode* song = AddNode(300, ZkNodeCategory_Sound);
    ASSERT_EQ(music->AddChild(song), ZK_Success);
    Play(song);
    ASSERT_EQ(music->SetModifiedProperty(nullptr, ZkProp_Gain, 0.5f, 0, 4), ZK_Success);
    const size_t contributions = song->contributions.size();

    CZkBus::MuteBackgroundMusic();
    CZkBus::MuteBackgroundMusic();
    ASSERT_EQ(g_callbacks.size(), 1u) << "muting twice tells the game once";
    EXPECT_EQ(g_callbacks[0], std::make_pair(uint8_t{1}, static_cast<void*>(&cookie)));
    EXPECT_EQ(music->BusGain(), 0.0f);
    EXPECT_EQ(effects->BusGain(), 1.0f) << "not background music";
    EXPECT_EQ(song->contributions.size(), contributions + 1) << "the music's voices take the new gain";
    ZkVoiceParams params;
    ZkGatherRequest request;
    music->GatherVoiceParams(params, request);
    EXPECT_EQ(GainOf(params, music), 0.0f) << "the gathering sets the listed bus's gain to 0";

    // A background-music bus loaded while muted is silent at once.
    Load(Bus("Ambience", R"("parent": "Master", "bus_flags": 8)"));
    EXPECT_EQ(FindBus("Ambience")->BusGain(), 0.0f);

    CZkBus::UnmuteBackgroundMusic();
    CZkBus::UnmuteBackgroundMusic();
    ASSERT_EQ(g_callbacks.size(), 2u);
    EXPECT_EQ(g_callbacks[1].first, 0u);
    EXPECT_EQ(music->BusGain(), 0.5f) << "its modified gain again";
    EXPECT_EQ(FindBus("Ambience")->BusGain(), 1.0f) << "1.0 without a modified gain";
    ZkVoiceParams unmuted;
    music->GatherVoiceParams(unmuted, request);
    EXPECT_EQ(GainOf(unmuted, music), 0.5f);
    Stop(song);
    song->SetOutputBus(nullptr);
}

TEST_F(BusMix, DucksSumOnTheirTargetDownToItsMaximumDuckVolume)
{
    Load(Bus("Target") + ", " + Bus("Floored", R"("max_duck_volume": -12.0)"));
    Load(Bus("Voice", R"("ducks": [{"target": "Target", "volume": -6.0}, {"target": "Floored", "volume": -6.0}])") + ", " +
         Bus("Alarm", R"("ducks": [{"target": "Target", "volume": -10.0}, {"target": "Floored", "volume": -10.0}])") + ", " +
         Bus("Hum", R"("ducks": [{"target": "Target", "volume": -4.0, "property": 5}])"));
    CZkBus* target = FindBus("Target");
    CZkBus* floored = FindBus("Floored");
    CZkBus* voice = FindBus("Voice");
    CZkBus* alarm = FindBus("Alarm");
    CZkBus* hum = FindBus("Hum");
    EXPECT_EQ(target->DuckTargets().UsedBits(), 1ull << 0 | 1ull << 5) << "the loaded targets mark the ducked parameters";
    RecordingTarget listener(ZkRTPCKey::Global(), 1ull << 0);
    listener.RegisterWithNode(target, 1ull << 0, true);

    Play(voice);
    EXPECT_EQ(voice->DuckState(), ZkDuckState_Ducking);
    EXPECT_EQ(target->DuckValue(0), -6.0f);
    ASSERT_FALSE(listener.changes.empty());
    EXPECT_EQ(listener.changes.back().bit, 0u);
    EXPECT_EQ(listener.changes.back().value, -6.0f);
    EXPECT_EQ(listener.changes.back().delta, -6.0f);
    Play(hum);
    Play(alarm);
    Play(alarm);
    EXPECT_EQ(target->DuckValue(0), -16.0f) << "-6 and -10";
    EXPECT_EQ(floored->DuckValue(0), -12.0f) << "never below the maximum duck volume";
    EXPECT_EQ(target->DuckValue(5), -4.0f) << "the bus-volume list";
    EXPECT_EQ(listener.changes.back().value, -16.0f);

    Stop(alarm);
    EXPECT_EQ(target->DuckValue(0), -16.0f) << "the alarm still plays once";
    Stop(alarm);
    EXPECT_EQ(alarm->DuckState(), ZkDuckState_Idle);
    EXPECT_EQ(target->DuckValue(0), -6.0f) << "released at once without fade-in time";
    EXPECT_EQ(listener.changes.back().delta, 10.0f);
    Stop(hum);
    EXPECT_EQ(target->DuckValue(5), 0.0f);

    // A ducking bus that goes releases what it holds in its targets.
    Stop(voice);
    Play(voice);
    EXPECT_EQ(target->DuckValue(0), -6.0f);
    Stop(voice);
    listener.Unregister(kAllParamBits, true);
    ReleaseLastBank();
    EXPECT_EQ(target->DuckValue(0), 0.0f);
    EXPECT_EQ(floored->DuckValue(0), 0.0f);
}

TEST_F(BusMix, DucksFadeInAndOutWithTheirTransitions)
{
    Load(Bus("Target"));
    Load(Bus("Voice", R"("recovery_ms": 1000,
                         "ducks": [{"target": "Target", "volume": -12.0, "fade_out": 105, "fade_in": 210, "curve": 4}])"));
    CZkBus* target = FindBus("Target");
    CZkBus* voice = FindBus("Voice");
    Play(voice);
    ZkDuckRecord* record = target->FindDuckRecord(voice->ID(), 0);
    ASSERT_NE(record, nullptr);
    EXPECT_NE(record->transition, nullptr);
    EXPECT_EQ(target->DuckValue(0), 0.0f) << "the fade has not run yet";
    RunFrames(1, 1);
    const float partway = target->DuckValue(0);
    EXPECT_LT(partway, 0.0f);
    EXPECT_GT(partway, -12.0f);
    RunFrames(2, 5); // 105 ms of 21 ms frames
    EXPECT_FLOAT_EQ(target->DuckValue(0), -12.0f);
    EXPECT_EQ(record->transition, nullptr);

    // The bus has a recovery time, but without an event manager its recovery cannot be queued: the
    // ducks are released at once, over their fade-in time, and the bus is idle.
    Stop(voice);
    EXPECT_EQ(voice->DuckState(), ZkDuckState_Idle);
    EXPECT_EQ(record->releasing, 1u);
    RunFrames(6, 8);
    EXPECT_GT(target->DuckValue(0), -12.0f);
    EXPECT_LT(target->DuckValue(0), 0.0f);
    RunFrames(9, 15);
    EXPECT_EQ(target->DuckValue(0), 0.0f) << "a releasing record ends at exactly 0";
    EXPECT_EQ(record->releasing, 0u);
    voice->EndDuckRecovery();
    EXPECT_EQ(voice->DuckState(), ZkDuckState_Idle) << "a recovery that is not running changes nothing";

    // A play that starts while a fade runs takes the fade over.
    Play(voice);
    RunFrames(16, 17);
    Stop(voice);
    Play(voice);
    RunFrames(18, 30);
    EXPECT_FLOAT_EQ(target->DuckValue(0), -12.0f);
    Stop(voice);
    RunFrames(31, 50);
    EXPECT_EQ(target->DuckValue(0), 0.0f);
}
} // namespace
