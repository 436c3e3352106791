// Posted MIDI heard end to end: note-ons start the key-tracked instrument on their own sample,
// pitched by (note - 69) x 100 cents (numpy measures the frequency), note-offs stop it on theirs;
// sustain holds a note-off; a note-off pairs with the first unfinished note-on of its note; a
// playing id's pause and resume pause the notes' voices; StopMIDIOnEvent stops them; engine
// commands play and stop at an offset, seek the tone, and command 6 is refused; absolute offsets in the past or
// more than an hour ahead play at the start of the next frame.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardFixture.h"

namespace
{
using namespace ZkMidiHeardTest;

struct HeardNote
{
    uint8_t note;
    size_t on;
    size_t off;
};

TEST_F(MidiHeard, EachNoteStartsOnItsSampleAtItsPitchAndStopsOnItsNoteOffSample)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    const std::vector<HeardNote> notes = {
        {69, 100, 700},     // on and off in one frame
        {81, 3000, 9000},   // an octave up
        {57, 12000, 20000}, // an octave down
        {76, 24100, 30017}, // a fifth up, off in the middle of a frame
    };
    std::vector<ZkMIDIPost> posts;
    for (const HeardNote& n : notes)
    {
        posts.push_back(NoteOn(n.note, n.on));
        posts.push_back(NoteOff(n.note, n.off));
    }
    ASSERT_NE(Post(posts), ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(32));

    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), notes.size());
    std::vector<Burst> inner;
    for (size_t i = 0; i < notes.size(); ++i)
    {
        // The tone's first sample is 0: the first one heard is the next.
        EXPECT_LE(bursts[i].first - notes[i].on, 1u) << "note " << i << " starts at " << bursts[i].first;
        EXPECT_GE(bursts[i].first, notes[i].on) << "note " << i;
        EXPECT_EQ(bursts[i].last + 1, notes[i].off) << "note " << i << ": silence from its note-off's sample";
        inner.push_back({bursts[i].first + 32, bursts[i].last - 32});
    }
    const std::vector<double> hz = Frequencies(inner);
    for (size_t i = 0; i < notes.size(); ++i)
        EXPECT_NEAR(hz[i], NoteHz(notes[i].note), NoteHz(notes[i].note) * 0.005) << "note " << int(notes[i].note);
}

TEST_F(MidiHeard, SustainHoldsANoteOffUntilController64DropsBelow64)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ASSERT_NE(Post({Controller(64, 127, 0), NoteOn(69, 200), NoteOff(69, 2000), Controller(64, 100, 4000),
                    Controller(64, 63, 6000)}),
              ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(10));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_GE(bursts[0].last, 6000u - 1) << "held through the note-off and a value still at 64 or more";
    // The held note-off is let go in the frame after the controller's (its first sample).
    EXPECT_LT(bursts[0].last, 6000u + 2 * kFrames);
}

TEST_F(MidiHeard, ANoteOffPairsWithTheFirstUnfinishedNoteOnOfItsNote)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    // The first note-off ends the first voice; the second voice sounds alone until the second.
    ASSERT_NE(Post({NoteOn(69, 100), NoteOn(69, 2000), NoteOff(69, 4000), NoteOff(69, 8000)}), ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(10));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].last + 1, 8000u);
    const float single = Peak(200, 1900);
    EXPECT_NEAR(Peak(4100, 7900), single, single * 0.02f) << "one voice left after the first note-off";
}

TEST_F(MidiHeard, AVoiceThatIsHandedItsNoteOffPlaysToTheEndOfItsTone)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ASSERT_NE(Post({NoteOn(69, 100), NoteOff(69, 1000)}, 0, false, Handed()), ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(50));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_NEAR(static_cast<double>(bursts[0].last), 100.0 + kToneFrames, 2.0);
}

TEST_F(MidiHeard, PauseAndResumeOfThePlayingIDPauseTheNotesVoices)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    const ZkPlayingID playing = Post({NoteOn(69, 0), NoteOff(69, 40000)});
    ASSERT_NE(playing, ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    ZK::SoundEngine::ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, playing);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(6));
    const size_t pausedFrom = captured.size() / channels;
    ZK::SoundEngine::ExecuteActionOnPlayingID(ZkActionOnEventType_Resume, playing);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    EXPECT_GT(Peak(0, 4 * kFrames - 1), 0.1f);
    EXPECT_EQ(Peak(5 * kFrames, pausedFrom - 1), 0.0f) << "silent while paused";
    EXPECT_GT(Peak(pausedFrom + kFrames, pausedFrom + 4 * kFrames - 1), 0.1f) << "sounds again after the resume";
}

TEST_F(MidiHeard, StopMIDIOnEventStopsTheNotes)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    const ZkPlayingID playing = Post({NoteOn(69, 0), NoteOn(76, 0), NoteOff(69, 40000), NoteOff(76, 40000)});
    ASSERT_NE(playing, ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    EXPECT_EQ(ZK::SoundEngine::StopMIDIOnEvent(Instrument(), kEmitter, playing), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    EXPECT_GT(Peak(0, 4 * kFrames - 1), 0.1f);
    EXPECT_EQ(Peak(5 * kFrames, 8 * kFrames - 1), 0.0f);
    EXPECT_EQ(ZK::SoundEngine::g_pMidiPostMgr->TargetCount(), 0u);
    EXPECT_EQ(ZK::SoundEngine::g_pMidiPostMgr->RecordCount(), 0u);
}

TEST_F(MidiHeard, CommandsPlayAndStopOnTheirSamplesAndCommand6IsRefused)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ASSERT_NE(Post({Command(6, 0), Command(ZkMidiCommand_Play, 300), Command(ZkMidiCommand_Stop, 5000)}),
              ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(8));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 1u) << "command 6 plays nothing";
    EXPECT_LE(bursts[0].first - 300u, 1u);
    EXPECT_EQ(bursts[0].last + 1, 5000u);
    const std::vector<double> hz = Frequencies({{bursts[0].first + 32, bursts[0].last - 32}});
    EXPECT_NEAR(hz[0], kRootHz, kRootHz * 0.005) << "a play command carries no note";
}

// A seek command moves the playing tone's read position: the one-second tone then ends that much
// earlier. The voice takes the seek at the start of the frame that holds the command's offset.
TEST_F(MidiHeard, SeekCommandsMoveThePlayingTonesPositionInMillisecondsOrSamples)
{
    struct Case
    {
        const char* what;
        uint16_t command;
        uint32_t argument;
        uint32_t seekTo; // samples into the tone
    };
    const Case cases[] = {
        {"seek in samples", ZkMidiCommand_SeekSamples, 40000, 40000},
        {"seek in milliseconds", ZkMidiCommand_SeekMs, 500, 24000},
    };
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    for (const Case& c : cases)
    {
        captured.clear();
        ASSERT_NE(Post({Command(ZkMidiCommand_Play, 300), Command(c.command, 2 * kFrames + 100, c.argument)}),
                  ZK_INVALID_PLAYING_ID)
            << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kToneFrames / kFrames + 4));
        const std::vector<Burst> bursts = Bursts(Left());
        ASSERT_EQ(bursts.size(), 1u) << c.what;
        EXPECT_LE(bursts[0].first - 300u, 1u) << c.what;
        const size_t seekFrame = 2 * kFrames;
        const size_t expectedEnd = seekFrame + (kToneFrames - c.seekTo);
        EXPECT_NEAR(static_cast<double>(bursts[0].last + 1), static_cast<double>(expectedEnd), 1.0)
            << c.what << ": the tone ends the seek's distance early";
    }
}

TEST_F(MidiHeard, AbsoluteOffsetsInThePastOrAnHourAheadPlayAtTheNextFrame)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const uint64_t hourAhead = uint64_t{kRate} * 3600 * 2;
    for (const uint64_t offset : {uint64_t{0}, hourAhead})
    {
        captured.clear();
        const ZkPlayingID playing = Post({NoteOn(69, offset)}, 0, true);
        ASSERT_NE(playing, ZK_INVALID_PLAYING_ID);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
        const std::vector<Burst> bursts = Bursts(Left());
        ASSERT_FALSE(bursts.empty()) << offset;
        EXPECT_LE(bursts[0].first, 1u) << offset;
        ZK::SoundEngine::StopMIDIOnEvent(Instrument(), kEmitter, playing);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    }
}
} // namespace
