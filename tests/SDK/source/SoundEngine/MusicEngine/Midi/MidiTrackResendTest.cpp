// A track player that jumps into its track takes over from an ending player of the same node, game
// object and playing id (the manager's ResendControllers, driven directly with a dispatch list, and
// called by the manager for a player's first event when that player starts into its track):
// the ending player's entries leave the list, its sustain goes off on every channel, so that the
// note the pedal held ends at once (heard), and the controllers the jumping player skipped go out
// with their last values (read back from the game-parameter manager), a reset-all-controllers
// forgetting what came before it on its channel, the trigger's own controller left to the trigger,
// and a looping track counted in whole passes.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiMediaFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardFixture.h"

#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Midi/ZkMidiDispatchOrder.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

namespace
{
using namespace ZkMidiHeardTest;
using ZK::MusicEngine::CZkMidiTrackPlayback;
using ZK::MusicEngine::CZkMidiTrackPlayerMgr;
using ZK::MusicEngine::ZkMidiTrackPlayRequest;
using ZK::SoundEngine::ZkMidiDispatchOrder;

// Holds channel 0's pedal down and plays one note whose note-off (tick 240, 12,000 samples) the
// pedal holds: the note sounds on until the tone's end (48,000 samples) or the pedal's release.
const char* kPedalTrack = R"({"midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [
    {"delta": 0, "status": 176, "data": [64, 127]},
    {"delta": 0, "status": 144, "data": [69, 100]},
    {"delta": 240, "status": 128, "data": [69, 0]}]}})";

// Controllers at its start, then nothing for a long while (a jump lands after them).
//   #0 ch 0 volume 90, #1 ch 0 expression 20, #2 ch 3 volume 30, #3 ch 0 volume 40,
//   #4 ch 3 reset all controllers, #5 ch 3 pan 64, #6 ch 0 expression 99, #7 far away.
const char* kControllerTrack = R"({"midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [
    {"delta": 0, "status": 176, "data": [7, 90]},
    {"delta": 0, "status": 176, "data": [11, 20]},
    {"delta": 0, "status": 179, "data": [7, 30]},
    {"delta": 10, "status": 176, "data": [7, 40]},
    {"delta": 0, "status": 179, "data": [121, 0]},
    {"delta": 0, "status": 179, "data": [10, 64]},
    {"delta": 10, "status": 176, "data": [11, 99]},
    {"delta": 100000, "status": 176, "data": [1, 1]}]}})";

// A looping pass of four events: modulation 10, modulation 20, breath 5, then after a long gap
// foot controller 0.
const char* kLoopTrack = R"({"midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [
    {"delta": 0, "status": 176, "data": [1, 10]},
    {"delta": 10, "status": 176, "data": [1, 20]},
    {"delta": 10, "status": 176, "data": [2, 5]},
    {"delta": 1000000, "status": 176, "data": [4, 0]}]}})";

constexpr uint32_t kFarAfterTheControllers = 5000000; // samples: past the start, before the far event
// The far event lies at 5,001,000 samples: a player started here reaches it 1,000 samples in, and
// one started at kLongBeforeTheFarEvent only after every frame a test renders (the manager's own
// resend, with that first event, does not come into a test that drives the resend by hand).
constexpr uint32_t kLongBeforeTheFarEvent = 4000000;

class MidiTrackResend : public MidiHeard
{
protected:
    static void SetUpTestSuite()
    {
        const std::vector<ZkMidiTest::Bytes> media =
            ZkMidiTest::WriteMidiMedia({kPedalTrack, kControllerTrack, kLoopTrack});
        ASSERT_EQ(media.size(), 3u);
        s_pedal = media[0];
        s_controllers = media[1];
        s_loop = media[2];
    }

    void TearDown() override
    {
        if (m_manager != nullptr)
        {
            ZK::SoundEngine::GlobalCallbacks::Unregister(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender);
            ZK::ZkDelete(CZkMidiTrackPlayerMgr::kPool, m_manager);
        }
        MidiHeard::TearDown();
    }

    // The engine started and a manager driven at the start of each frame's render.
    void StartManager()
    {
        ASSERT_NO_FATAL_FAILURE(StartMidi());
        m_manager = ZK::ZkNew<CZkMidiTrackPlayerMgr>(CZkMidiTrackPlayerMgr::kPool);
        ASSERT_NE(m_manager, nullptr);
        ASSERT_EQ(ZK::SoundEngine::GlobalCallbacks::Register(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender, this, 0),
                  ZK_Success);
        // A playing id of the instrument's event, shared by the players as one music play's.
        m_playingID = Post({Controller(1, 0, 0)});
        ASSERT_NE(m_playingID, ZK_INVALID_PLAYING_ID);
    }

    // A player of media on the instrument, for the emitter, under the shared playing id.
    CZkMidiTrackPlayback* Play(const ZkMidiTest::Bytes& media, uint32_t startOffset, bool loop = false)
    {
        ZkMidiTrackPlayRequest request;
        request.media = media.data();
        request.mediaSize = static_cast<uint32_t>(media.size());
        request.nodeID = kInstrument;
        request.gameObject = ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter);
        request.playingID = m_playingID;
        request.startOffset = startOffset;
        request.loop = loop;
        CZkMidiTrackPlayback* player = nullptr;
        EXPECT_EQ(CZkMidiTrackPlayback::Create(*m_manager, request, player), ZK_Success);
        return player;
    }

    // A dispatch entry of player (a reference taken, as the list holds one).
    static CZkMidiTrackPlayerMgr::DispatchEntry Entry(CZkMidiTrackPlayback& player, uint8_t type, uint8_t first,
                                                      uint8_t second, uint32_t offset, uint32_t order)
    {
        player.AddRef();
        ZkMIDIEvent event;
        event.type = type;
        event.channel = 0;
        event.data[0] = first;
        event.data[1] = second;
        return {&player, event, offset, order};
    }

    static void ReleaseAll(CZkMidiTrackPlayerMgr::DispatchList& list)
    {
        for (const auto& entry : list)
            entry.player->Release();
        list.Term();
    }

    // The controller's value on the channel's key; -1 when none is set.
    float ControllerValue(uint8_t controller, uint8_t channel) const
    {
        float value = 0.0f;
        return Parameter(uint32_t{controller} + 1, channel, kZkMidiAny, value) ? value : -1.0f;
    }

    static void OnFrame(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void* cookie)
    {
        auto* self = static_cast<MidiTrackResend*>(cookie);
        self->m_manager->AdvanceFrame(kFrames, 1.0f, kFrames);
    }

    static inline ZkMidiTest::Bytes s_pedal, s_controllers, s_loop;
    CZkMidiTrackPlayerMgr* m_manager = nullptr;
    ZkPlayingID m_playingID = 0;
};

TEST_F(MidiTrackResend, AJumpEndsTheEndingPlayersHeldNoteAndSendsTheSkippedControllers)
{
    ASSERT_NO_FATAL_FAILURE(StartManager());
    CZkMidiTrackPlayback* ending = Play(s_pedal, 0);
    ASSERT_NE(ending, nullptr);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(15));
    ending->Stop(0); // from the next frame on: ending, its note-off held by the pedal
    ASSERT_NO_FATAL_FAILURE(RenderFrames(5));
    ASSERT_TRUE(ending->Schedule().IsEnding());

    CZkMidiTrackPlayback* jumping = Play(s_controllers, kLongBeforeTheFarEvent);
    ASSERT_NE(jumping, nullptr);
    // The jumping player's first event, #6 (expression 99 on channel 0), and an entry of the
    // ending player after it.
    CZkMidiTrackPlayerMgr::DispatchList list;
    list.AddLast(Entry(*jumping, ZkMidiEventType_Controller, 11, 99, 300, 6 | ZkMidiDispatchOrder::kFirst));
    list.AddLast(Entry(*ending, ZkMidiEventType_Controller, 1, 5, 500, 3 | ZkMidiDispatchOrder::kEnding));
    const size_t trigger = captured.size() / channels;
    m_manager->ResendControllers(list, 0);
    ASSERT_EQ(list.Length(), 1u) << "the ending player's entry left the list";
    EXPECT_EQ(list[0].player, jumping);
    ReleaseAll(list);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(30));

    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].last + 1, trigger) << "the held note ends in the frame of the jump, its note-off due already";
    for (uint8_t channel = 0; channel < 16; ++channel)
        EXPECT_EQ(ControllerValue(64, channel), 0.0f) << "sustain off on channel " << int(channel);
    EXPECT_EQ(ControllerValue(7, 0), 40.0f) << "the later volume replaces the earlier";
    EXPECT_EQ(ControllerValue(11, 0), -1.0f) << "the trigger's own controller is left to the trigger";
    EXPECT_EQ(ControllerValue(7, 3), -1.0f) << "a reset forgets the volume before it";
    EXPECT_EQ(ControllerValue(10, 3), 64.0f);
    EXPECT_EQ(m_manager->PlayerCount(), 1u) << "the ending player is freed: its list reference was given back";
}

// The manager calls it by itself: a player that starts far into its track sends, with its first
// event, the controllers of the events it skipped.
TEST_F(MidiTrackResend, APlayerStartedIntoItsTrackSendsTheSkippedControllersWithItsFirstEvent)
{
    ASSERT_NO_FATAL_FAILURE(StartManager());
    ASSERT_NE(Play(s_controllers, kFarAfterTheControllers), nullptr);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3)); // its first event (#7, modulation 1 on channel 0) is due
    EXPECT_EQ(ControllerValue(1, 0), 1.0f) << "the first event itself";
    EXPECT_EQ(ControllerValue(7, 0), 40.0f) << "the later volume replaces the earlier";
    EXPECT_EQ(ControllerValue(11, 0), 99.0f);
    EXPECT_EQ(ControllerValue(7, 3), -1.0f) << "a reset forgets the volume before it";
    EXPECT_EQ(ControllerValue(10, 3), 64.0f);
}

struct LoopCase
{
    const char* name;
    uint32_t firstEvent;   // the trigger's event number
    uint8_t triggerController; // 0: the trigger is a note-on
    float modulation, breath, foot; // controllers 1, 2 and 4 after the jump; -1: not sent
};

class MidiTrackResendLoop : public MidiTrackResend, public testing::WithParamInterface<LoopCase>
{
};

TEST_P(MidiTrackResendLoop, TheSkippedControllersOfALoopingTrackAreTheLastOfTheirPass)
{
    const LoopCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartManager());
    CZkMidiTrackPlayback* jumping = Play(s_loop, kFarAfterTheControllers, true);
    ASSERT_NE(jumping, nullptr);
    CZkMidiTrackPlayerMgr::DispatchList list;
    if (c.triggerController != 0)
        list.AddLast(Entry(*jumping, ZkMidiEventType_Controller, c.triggerController, 77, 0,
                           c.firstEvent | ZkMidiDispatchOrder::kFirst));
    else
        list.AddLast(Entry(*jumping, ZkMidiEventType_NoteOn, 69, 100, 0, c.firstEvent | ZkMidiDispatchOrder::kFirst));
    m_manager->ResendControllers(list, 0);
    ReleaseAll(list);
    m_manager->ProcessNotes(kFrames); // controllers are dispatched at once, whatever their offset

    EXPECT_EQ(ControllerValue(1, 0), c.modulation);
    EXPECT_EQ(ControllerValue(2, 0), c.breath);
    EXPECT_EQ(ControllerValue(4, 0), c.foot);
}

INSTANTIATE_TEST_SUITE_P(
    Passes, MidiTrackResendLoop,
    testing::Values(LoopCase{"FirstEventOnly", 1, 0, 10.0f, -1.0f, -1.0f},
                    LoopCase{"ThreeEvents", 3, 0, 20.0f, 5.0f, -1.0f},
                    LoopCase{"IntoTheThirdPass", 9, 0, 10.0f, 5.0f, 0.0f},
                    LoopCase{"AMillionPassesOn", 4000002, 0, 20.0f, 5.0f, 0.0f},
                    LoopCase{"TriggerIsTheModulation", 3, 1, -1.0f, 5.0f, -1.0f}),
    [](const testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.name); });
} // namespace
