// A music play's MIDI track player whose bank is unloaded in the middle of the melody, heard
// through the real unload (message 26 and the music engine's bank-unload hook): when another
// loaded bank holds the same media the player moves to that copy and its notes go on where mido
// plays them, none lost or doubled, and the unloaded bank is freed at once; when none does, the
// player stops there (silence from the unload on), the bank is freed and the media index lets the
// media go.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiTrackNotes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardFixture.h"

#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

namespace
{
using namespace ZkMidiHeardTest;
using ZK::MusicEngine::CZkMidiTrackPlayback;
using ZK::MusicEngine::CZkMidiTrackPlayerMgr;
using ZK::MusicEngine::ZkMidiTrackPlayRequest;

constexpr ZkUniqueID kMelodyMedia = 650;
constexpr uint32_t kTickSamples = 50;

struct RelocateCase
{
    const char* name;
    bool otherBankHoldsMedia;
};

class MidiTrackRelocateHeard : public MidiHeard, public testing::WithParamInterface<RelocateCase>
{
protected:
    static void SetUpTestSuite() { s_midoOn = ZkMidiTest::MidoMelodyNoteOns(); }

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MidiHeard::SetUp());
        // A long segment with nothing of its own to play: its play owns the track players.
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("MidiPlay.bnk", R"({"name": "MidiPlay.bnk",
            "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
              {"type": "music_track", "id": 810, "bus": "Master Audio Bus", "clips": []},
              {"type": "music_segment", "id": 800, "bus": "Master Audio Bus", "children": [810], "duration_ms": 20000.0,
               "markers": [{"id": 1, "position_ms": 0.0}, {"id": 2, "position_ms": 19500.0}]},
              {"type": "action", "id": 801, "action": "play", "target": 800},
              {"type": "event", "id": "Play_MidiSegment", "actions": [801]}]}]})"));
        for (const char* name : {"MelodyFirst.bnk", "MelodySecond.bnk"})
            ASSERT_NO_FATAL_FAILURE(WriteBankFile(name, std::string(R"({"name": ")") + name +
                                                            R"(", "media": [{"id": 650, "midi": )" +
                                                            ZkMidiTest::MelodyMidi() +
                                                            R"(}], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}]})"));
    }
    void TearDown() override
    {
        ZK::MusicEngine::Term();
        MidiHeard::TearDown();
    }
    void BeforeBanksLoad() override { ASSERT_EQ(ZK::MusicEngine::Init(nullptr), ZK_Success); }

    static const ZK::SoundEngine::MediaIndexEntry* MelodyEntry()
    {
        return ZK::SoundEngine::g_pBankManager->Media().Find(kMelodyMedia);
    }

    size_t CapturedFrames() const { return channels == 0 ? 0 : captured.size() / channels; }

    // The track's media reference, as a music track holds one: it outlives the player, which the
    // play frees when the engine ends.
    ZK::SoundEngine::ZkMediaRef m_media;

    static inline std::vector<double> s_midoOn;
};

TEST_P(MidiTrackRelocateHeard, TheBankOfThePlayersMediaIsUnloadedInTheMiddleOfTheMelody)
{
    const RelocateCase& which = GetParam();
    ASSERT_EQ(s_midoOn.size(), ZkMidiTest::MelodyNotes().size());
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ZkBankID bank = 0;
    ASSERT_EQ(ZK::SoundEngine::LoadBank("MidiPlay.bnk", bank), ZK_Success);
    if (which.otherBankHoldsMedia)
    {
        ASSERT_EQ(ZK::SoundEngine::LoadBank("MelodyFirst.bnk", bank), ZK_Success);
    }
    // Loaded last, its copy is the one handed out (the newest of equal sizes).
    ASSERT_EQ(ZK::SoundEngine::LoadBank("MelodySecond.bnk", bank), ZK_Success);

    const ZkPlayingID playingID = ZK::SoundEngine::PostEvent("Play_MidiSegment", kEmitter);
    ASSERT_NE(playingID, ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    ZK::MusicEngine::CZkMusicTimelineContext* playing = ZK::MusicEngine::MusicEngineState::Get().FirstPlaying();
    ASSERT_NE(playing, nullptr);
    ASSERT_NE(playing->playRecord, nullptr);
    CZkMidiTrackPlayerMgr& players = playing->playRecord->TrackPlayers();

    m_media.Init();
    m_media.SetMedia(kMelodyMedia);
    ZkMidiTrackPlayRequest request;
    request.mediaRef = &m_media;
    request.nodeID = kInstrument;
    request.gameObject = ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter);
    request.playingID = playingID;
    CZkMidiTrackPlayback* player = nullptr;
    ASSERT_EQ(CZkMidiTrackPlayback::Create(players, request, player), ZK_Success);
    const uint8_t* firstCopy = player->Media();
    ASSERT_NE(player->MediaBank(), nullptr) << "a bank's copy";
    // The capture holds rendered frames only: the silent segment's frames before the first note are
    // not in it.
    const size_t start = CapturedFrames();

    // The third note sounds from tick 960 (48,000 samples in) to tick 1300.
    ASSERT_NO_FATAL_FAILURE(RenderFrames(50));
    const size_t unloadAt = CapturedFrames();
    // Without an engine thread the unload ticks the engine itself (a frame a tick) until the bank
    // is freed, that is until the last player that reads its copy lets it go: a player that kept
    // the copy would hold the unload for ever.
    ASSERT_EQ(ZK::SoundEngine::UnloadBank("MelodySecond.bnk", nullptr), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(60));

    const std::vector<Burst> bursts = Bursts(Left());
    if (which.otherBankHoldsMedia)
    {
        ASSERT_EQ(players.PlayerCount(), 1u);
        EXPECT_NE(player->Media(), firstCopy) << "the reader moved to the other copy";
        ASSERT_NE(MelodyEntry(), nullptr);
        EXPECT_EQ(MelodyEntry()->copies.Length(), 1u);
        EXPECT_EQ(MelodyEntry()->refCount, 2u) << "the remaining bank's and the player's, the old copy's given back";
        ASSERT_EQ(bursts.size(), s_midoOn.size()) << "no note lost or doubled";
        for (size_t i = 0; i < bursts.size(); ++i)
        {
            const double expected = static_cast<double>(start) + s_midoOn[i] * kRate;
            // The tone's first sample is 0: the first one heard is the next.
            EXPECT_GE(static_cast<double>(bursts[i].first), expected) << "note " << i;
            EXPECT_LE(static_cast<double>(bursts[i].first), expected + kTickSamples + 2.0) << "note " << i;
        }
    }
    else
    {
        EXPECT_EQ(players.PlayerCount(), 0u) << "the stopped player is freed";
        EXPECT_EQ(MelodyEntry(), nullptr) << "the media index lets the media go";
        ASSERT_EQ(bursts.size(), 3u) << "the fourth note never starts";
        EXPECT_GE(bursts.back().last, unloadAt) << "the third note sounds until the unload";
        // The stop of a voice takes its short fade in the frame after the one that stops it.
        EXPECT_LT(bursts.back().last, unloadAt + 2 * kFrames) << "silence from then on";
    }
}

INSTANTIATE_TEST_SUITE_P(Banks, MidiTrackRelocateHeard,
                         testing::Values(RelocateCase{"AnotherBankHoldsTheMedia", true},
                                         RelocateCase{"NoOtherCopy", false}),
                         [](const testing::TestParamInfo<RelocateCase>& info) { return std::string(info.param.name); });
} // namespace
