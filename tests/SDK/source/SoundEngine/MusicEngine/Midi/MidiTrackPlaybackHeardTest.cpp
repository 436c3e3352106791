// A MIDI track player heard: the track's notes, sent to a key-tracked instrument (a sampled 440 Hz
// tone, root note 69), start where Debian's python3-mido plays the same events from a standard MIDI
// file (never early, within one tick of 50 samples); at a speed of 2 the gaps halve; a stop at an
// offset releases the sounding note there and starts none after, and the manager frees the player;
// a muted player goes silent.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiMediaFixture.h"
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiTrackNotes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardFixture.h"

#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

#include <sstream>

namespace
{
using namespace ZkMidiHeardTest;
using ZK::MusicEngine::CZkMidiTrackPlayback;
using ZK::MusicEngine::CZkMidiTrackPlayerMgr;
using ZK::MusicEngine::ZkMidiTrackPlayRequest;
using ZK::MusicEngine::ZkMidiTrackSchedule;

const std::vector<ZkMidiTest::TrackNote>& kNotes = ZkMidiTest::MelodyNotes();

class MidiTrackHeard : public MidiHeard
{
protected:
    static void SetUpTestSuite()
    {
        s_media = ZkMidiTest::WriteMidiMedia({R"({"midi": )" + ZkMidiTest::MelodyMidi() + "}"})[0];
        s_midoOn = ZkMidiTest::MidoMelodyNoteOns();
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

    // The engine started, a manager driven at the start of each frame's render at speed, and a
    // player of the track on the instrument.
    CZkMidiTrackPlayback* StartPlayer(float speed)
    {
        StartMidi();
        m_speed = speed;
        m_manager = ZK::ZkNew<CZkMidiTrackPlayerMgr>(CZkMidiTrackPlayerMgr::kPool);
        EXPECT_NE(m_manager, nullptr);
        EXPECT_EQ(ZK::SoundEngine::GlobalCallbacks::Register(&OnFrame, ZK::ZkGlobalCallbackLocation_BeginRender, this, 0),
                  ZK_Success);
        ZkMidiTrackPlayRequest request;
        request.media = s_media.data();
        request.mediaSize = static_cast<uint32_t>(s_media.size());
        request.nodeID = kInstrument;
        request.gameObject = ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter);
        // A playing id of the instrument's event, as a music play has one of its own.
        request.playingID = Post({Controller(1, 0, 0)});
        EXPECT_NE(request.playingID, ZK_INVALID_PLAYING_ID);
        CZkMidiTrackPlayback* player = nullptr;
        EXPECT_EQ(CZkMidiTrackPlayback::Create(*m_manager, request, player), ZK_Success);
        return player;
    }

    static void OnFrame(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void* cookie)
    {
        auto* self = static_cast<MidiTrackHeard*>(cookie);
        const auto advance = static_cast<uint32_t>(std::lround(kFrames * self->m_speed));
        self->m_manager->AdvanceFrame(advance, self->m_speed, kFrames);
    }

    static inline ZkMidiTest::Bytes s_media;
    static inline std::vector<double> s_midoOn;
    CZkMidiTrackPlayerMgr* m_manager = nullptr;
    float m_speed = 1.0f;
};

class MidiTrackHeardAtSpeed : public MidiTrackHeard, public testing::WithParamInterface<float>
{
};

TEST_P(MidiTrackHeardAtSpeed, NotesStartWhereMidoPlaysThemAndTheSpeedDividesTheGaps)
{
    ASSERT_EQ(s_midoOn.size(), kNotes.size());
    const float speed = GetParam();
    ASSERT_NE(StartPlayer(speed), nullptr);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(100));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), kNotes.size());
    const double tick = 50.0 / speed;
    for (size_t i = 0; i < kNotes.size(); ++i)
    {
        const double expected = s_midoOn[i] * kRate / speed;
        // The tone's first sample is 0: the first one heard is the next.
        EXPECT_GE(static_cast<double>(bursts[i].first), expected) << "note " << i;
        EXPECT_LE(static_cast<double>(bursts[i].first), expected + tick + 2.0) << "note " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, MidiTrackHeardAtSpeed, testing::Values(1.0f, 2.0f));

TEST_F(MidiTrackHeard, AStopAtAnOffsetReleasesTheSoundingNoteThereAndStartsNoMore)
{
    CZkMidiTrackPlayback* player = StartPlayer(1.0f);
    ASSERT_NE(player, nullptr);
    // The second note sounds from 24000 to 35000; the stop comes at 30000 (frame 29, offset 304).
    ASSERT_NO_FATAL_FAILURE(RenderFrames(29));
    player->Stop(30000 - 29 * kFrames);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(70));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(bursts[1].last + 1, 30000u) << "silence from the stop's sample";
    EXPECT_EQ(m_manager->PlayerCount(), 0u);
}

TEST_F(MidiTrackHeard, AMutedPlayerGoesSilentAndAStopAtOnceEndsItNow)
{
    CZkMidiTrackPlayback* player = StartPlayer(1.0f);
    ASSERT_NE(player, nullptr);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(25)); // into the second note
    player->ApplyVolumeProduct(0.0f);
    EXPECT_TRUE(player->IsMuted());
    ASSERT_NO_FATAL_FAILURE(RenderFrames(40));
    std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(bursts[1].last + 1, 25u * kFrames) << "released at the start of the next frame";
    player->ApplyVolumeProduct(1.0f);
    EXPECT_FALSE(player->IsMuted());
    player->Stop(ZkMidiTrackSchedule::kStopNow);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(m_manager->PlayerCount(), 0u);
}
} // namespace

namespace
{
TEST_F(MidiTrackHeard, StoppingThePlayersOfAMediaLeavesThePlayersOfOtherMediaPlaying)
{
    CZkMidiTrackPlayback* first = StartPlayer(1.0f);
    ASSERT_NE(first, nullptr);
    // The same track from a copy of its own, as another bank would hold it.
    const ZkMidiTest::Bytes copy = s_media;
    ZkMidiTrackPlayRequest request;
    request.media = copy.data();
    request.mediaSize = static_cast<uint32_t>(copy.size());
    request.nodeID = kInstrument;
    request.gameObject = ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter);
    request.playingID = Post({Controller(1, 0, 0)});
    CZkMidiTrackPlayback* second = nullptr;
    ASSERT_EQ(CZkMidiTrackPlayback::Create(*m_manager, request, second), ZK_Success);
    ASSERT_EQ(m_manager->PlayerCount(), 2u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    m_manager->StopPlayersOfMedia(s_media.data());
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(m_manager->PlayerCount(), 1u);
    EXPECT_FALSE(second->IsStopped());
    second->Stop(ZkMidiTrackSchedule::kStopNow);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    EXPECT_EQ(m_manager->PlayerCount(), 0u);
}
} // namespace
