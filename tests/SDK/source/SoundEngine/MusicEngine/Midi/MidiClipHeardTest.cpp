// A music segment's MIDI clip heard end to end: the segment's track context starts a MIDI-track
// player for the clip, which plays the instrument its track (or the segment) names. Each note's
// first sample lies within one tick after the time mido gives it, at the note's pitch; a play
// speed of 2 halves the gaps; the clip's end, the segment's end, a stop of the music and a gain
// of 0 on the track end the sounding note where they come; a track that names no instrument is
// silent; and every play ends, also when an allocation fails while it starts.
#include "SDK/source/SoundEngine/MusicEngine/Midi/MidiClipHeardFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkMidiTypes.h>

namespace
{
using namespace ZkMidiClipTest;

class MidiClipHeardTest : public MidiClipHeard
{
protected:
    static void SetUpTestSuite() { s_melody = MidoTimes({MidiMedia(kMelody, 120)})[0]; }

    // The sample where mido plays note i at speed.
    static double MidoSample(size_t i, double speed) { return s_melody.noteOns[i] * kRate / speed; }

    static inline MidoTrack s_melody;
};

struct TimingCase
{
    const char* event;
    double speed;
};

class MidiClipTiming : public MidiClipHeardTest, public testing::WithParamInterface<TimingCase>
{
};

TEST_P(MidiClipTiming, NotesStartWhereMidoPlaysThemAtTheirPitch)
{
    const TimingCase c = GetParam();
    ASSERT_EQ(s_melody.noteOns.size(), kMelody.size());
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play(c.event), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(150));
    const std::vector<float> timeline = Timeline();
    const std::vector<Burst> bursts = Bursts(timeline);
    ASSERT_EQ(bursts.size(), kMelody.size());
    const std::vector<double> hz = Frequencies(timeline, bursts);
    for (size_t i = 0; i < kMelody.size(); ++i)
    {
        // The tone's first sample is 0: the first one heard is the next.
        EXPECT_GE(static_cast<double>(bursts[i].first), MidoSample(i, c.speed)) << "note " << i;
        EXPECT_LE(static_cast<double>(bursts[i].first), MidoSample(i, c.speed) + kTickSamples / c.speed + 2.0)
            << "note " << i;
        EXPECT_NEAR(hz[i], NoteHz(kMelody[i].note), NoteHz(kMelody[i].note) * 0.005) << "note " << i;
    }
    EXPECT_EQ(ends, 1u) << "the play is over";
    EXPECT_TRUE(MusicIsOver());
}

INSTANTIATE_TEST_SUITE_P(Segments, MidiClipTiming,
                         testing::Values(TimingCase{"Play_Track", 1.0}, TimingCase{"Play_Parent", 1.0},
                                         TimingCase{"Play_Fast", 2.0}),
                         [](const testing::TestParamInfo<TimingCase>& info) { return std::string(info.param.event + 5); });

// The clip's end and the segment's end both fall at 1300 ms (sample 62400), inside the third note
// (samples 60000 to 77000): it is released at that very sample, and no later note starts.
class MidiClipEnd : public MidiClipHeardTest, public testing::WithParamInterface<const char*>
{
};

TEST_P(MidiClipEnd, ReleasesTheSoundingNoteAtItsSampleAndStartsNoMore)
{
    constexpr size_t kEndSample = 62400;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play(GetParam()), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(150));
    const std::vector<Burst> bursts = Bursts(Timeline());
    ASSERT_EQ(bursts.size(), 3u);
    EXPECT_GE(static_cast<double>(bursts[2].first), MidoSample(2, 1.0));
    EXPECT_EQ(bursts[2].last + 1, kEndSample) << "silence from the end's sample";
    EXPECT_EQ(ends, 1u);
    EXPECT_TRUE(MusicIsOver());
}

INSTANTIATE_TEST_SUITE_P(Ends, MidiClipEnd, testing::Values("Play_ClipEnd", "Play_SegmentEnd"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param + 5); });

TEST_F(MidiClipHeardTest, AStopOfTheMusicEndsTheSoundingNoteAndThePlay)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play("Play_Track"), 0u);
    // Inside the third note (samples 60000 to 77000).
    ASSERT_NO_FATAL_FAILURE(Render(62));
    ASSERT_NE(Post("Stop_Track"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(100));
    const std::vector<Burst> bursts = Bursts(Timeline());
    ASSERT_EQ(bursts.size(), 3u);
    EXPECT_GE(bursts[2].last + 1, 62u * kFrames);
    EXPECT_LE(bursts[2].last + 1, 63u * kFrames) << "the note ends in the frame of the stop";
    EXPECT_EQ(ends, 2u) << "the play and the stop's post";
    EXPECT_TRUE(MusicIsOver()) << "no player keeps the stopped music alive";
}

TEST_F(MidiClipHeardTest, AGainOfZeroOnTheTrackSilencesItsNotesUntilItIsReset)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play("Play_Track"), 0u);
    // Inside the second note (samples 36000 to 47000).
    ASSERT_NO_FATAL_FAILURE(Render(36));
    ASSERT_NE(Post("Mute_Track"), 0u);
    // The third note (from 60000) comes while the gain is 0; the fourth (87000) after the reset.
    ASSERT_NO_FATAL_FAILURE(Render(34));
    ASSERT_NE(Post("Unmute_Track"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(80));
    const std::vector<Burst> bursts = Bursts(Timeline());
    ASSERT_EQ(bursts.size(), 4u);
    EXPECT_EQ(bursts[1].last + 1, 36u * kFrames) << "released at the start of the frame of the change";
    EXPECT_GE(static_cast<double>(bursts[2].first), MidoSample(3, 1.0)) << "the fourth note is heard again";
    EXPECT_LE(static_cast<double>(bursts[2].first), MidoSample(3, 1.0) + kTickSamples + 2.0);
    EXPECT_TRUE(MusicIsOver());
}

TEST_F(MidiClipHeardTest, APlayerThatStartsOnATrackOfGainZeroIsSilentUntilTheGainIsReset)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Post("Mute_Track"), 0u);
    ASSERT_NE(Play("Play_Track"), 0u);
    // The reset comes between the third note (from 60000) and the fourth (87000).
    ASSERT_NO_FATAL_FAILURE(Render(80));
    ASSERT_NE(Post("Unmute_Track"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(70));
    const std::vector<Burst> bursts = Bursts(Timeline());
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_GE(static_cast<double>(bursts[0].first), MidoSample(3, 1.0));
    EXPECT_LE(static_cast<double>(bursts[0].first), MidoSample(3, 1.0) + kTickSamples + 2.0);
}

// A pause of the music pauses the sounding note and the track: after the resume the note goes on
// and the notes after it keep their gaps, later by the time the music was paused.
TEST_F(MidiClipHeardTest, APauseOfTheMusicHoldsTheNoteAndTheTrackUntilTheResume)
{
    constexpr uint32_t kPauseFrame = 62;  // inside the third note (samples 60000 to 77000)
    constexpr uint32_t kResumeFrame = 92;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play("Play_Track"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(kPauseFrame));
    ASSERT_NE(Post("Pause_Track"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(kResumeFrame - kPauseFrame));
    ASSERT_NE(Post("Resume_Track"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(120));
    const std::vector<float> timeline = Timeline();
    const std::vector<Burst> bursts = Bursts(timeline);
    ASSERT_EQ(bursts.size(), 6u) << "the third note in two parts";
    // Silent while paused (the pause takes effect within two frames).
    EXPECT_LE(bursts[2].last + 1, size_t{kPauseFrame + 2} * kFrames);
    EXPECT_GE(bursts[3].first, size_t{kResumeFrame} * kFrames);
    EXPECT_LE(bursts[3].first, size_t{kResumeFrame + 2} * kFrames);
    // The fourth and fifth notes come as late as the pause lasted, a tick apart from their gap.
    const double paused = static_cast<double>(bursts[3].first) - static_cast<double>(bursts[2].last + 1);
    for (size_t note : {3u, 4u})
    {
        const double heard = static_cast<double>(bursts[note + 1].first);
        EXPECT_NEAR(heard - paused, MidoSample(note, 1.0), kTickSamples + 2.0) << "note " << note;
    }
}

TEST_F(MidiClipHeardTest, ATrackThatNamesNoInstrumentIsSilentAndItsPlayEnds)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play("Play_NoTarget"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(150));
    EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float sample) { return sample == 0.0f; }));
    EXPECT_EQ(ends, 1u);
    EXPECT_TRUE(MusicIsOver());
}

// A track may name a bus as its MIDI target: the bus takes the controllers (game parameter 8 of
// the bus's key is volume's value) and plays no note.
TEST_F(MidiClipHeardTest, ABusAsTheTargetTakesTheControllersAndPlaysNoNote)
{
    using namespace ZK::SoundEngine;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NE(Play("Play_BusTarget"), 0u);
    ASSERT_NO_FATAL_FAILURE(Render(60));
    EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float sample) { return sample == 0.0f; }));
    ZkRTPCKey key;
    key.gameObject = g_pRegistryMgr->GetObj(kEmitter);
    key.midiTargetID = GetIDFromString("Music");
    key.midiChannel = 0;
    key.midiNote = kZkMidiAny;
    float volume = -1.0f;
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(8, key, volume)) << "the bus took the volume controller";
    EXPECT_EQ(volume, 100.0f);
}

// Out of memory at any allocation of the post and of the frame that starts the play, its MIDI
// clip's player and the player's first note: the play ends once and leaves nothing behind.
TEST_F(MidiClipHeardTest, OutOfMemoryWhileStartingAPlayerEndsThePlayOnce)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    bool posted = false;
    auto startFrame = [&] {
        ends = 0;
        posted = Play("Play_Short") != 0;
        Render(1);
    };
    Fault::CountOnly(ZkMemID_Default);
    startFrame();
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_TRUE(posted);
    ASSERT_NO_FATAL_FAILURE(Render(20));
    ASSERT_EQ(ends, 1u) << "without a failure";
    ASSERT_FALSE(Bursts(Timeline()).empty()) << "the note is heard without a failure";
    ASSERT_GT(allocations, 5u);
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        Fault::FailNth(ZkMemID_Default, n);
        startFrame();
        Fault::Disarm();
        ASSERT_NO_FATAL_FAILURE(Render(20));
        EXPECT_EQ(ends, posted ? 1u : 0u) << "allocation " << n;
        EXPECT_TRUE(MusicIsOver()) << "allocation " << n;
    }
}
} // namespace

