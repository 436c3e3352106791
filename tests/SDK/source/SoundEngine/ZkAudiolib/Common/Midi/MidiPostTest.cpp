// Posted MIDI through the engine, judged by what the managers hold and what the game parameters
// read: channel messages set the instrument's parameters for the note's key, the records of ever
// new playing ids do not pile up, bad input creates nothing, allocation failures drop events
// without harm, and the front end's answers (the playing id reused, the stop of an unknown event,
// the plug-in context's immediate forms).
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Midi/MidiHeardFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Plugins/CZkGlobalPluginContext.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace
{
using namespace ZkMidiHeardTest;
using ZK::SoundEngine::g_pMidiPostMgr;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkGameObjectID kUnregistered = 99;

TEST_F(MidiHeard, ChannelMessagesSetTheInstrumentsParametersForTheirKey)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    constexpr uint8_t kChannel = 2;
    ASSERT_NE(Post({Controller(7, 100, 10, kChannel), Event(ZkMidiEventType_PitchBend, kChannel, 0x00, 0x40, 20),
                    Event(ZkMidiEventType_PitchBend, 3, 0x7F, 0x7F, 20)}),
              ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    float value = 0.0f;
    EXPECT_TRUE(Parameter(8, kChannel, kZkMidiAny, value));
    EXPECT_EQ(value, 100.0f) << "controller n sets parameter n + 1";
    EXPECT_TRUE(Parameter(131, kChannel, kZkMidiAny, value));
    EXPECT_EQ(value, 64.0f) << "pitch bend 0x2000 is the centre";
    EXPECT_TRUE(Parameter(131, 3, kZkMidiAny, value));
    EXPECT_EQ(value, 127.9921875f);

    ASSERT_NE(Post({Event(ZkMidiEventType_PitchBend, kChannel, 0x00, 0x60, 0), Controller(121, 0, 30, kChannel)}),
              ZK_INVALID_PLAYING_ID);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    bool known = false;
    const float defaultPitchBend = ZK::SoundEngine::g_pRTPCMgr->GetDefaultValue(131, known);
    EXPECT_FALSE(Parameter(8, kChannel, kZkMidiAny, value)) << "controller 121 resets the controllers";
    EXPECT_FALSE(Parameter(131, kChannel, kZkMidiAny, value)) << "and the pitch bend";
    EXPECT_EQ(value, defaultPitchBend);
    EXPECT_TRUE(Parameter(131, 3, kZkMidiAny, value)) << "another channel keeps its values";
}

TEST_F(MidiHeard, RecordsOfPostsOnNewPlayingIDsGoWithTheirTargets)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    constexpr uint32_t kPosts = 10000;
    constexpr uint32_t kPostsPerFrame = 250;
    uint32_t mostRecords = 0;
    for (uint32_t i = 0; i < kPosts; ++i)
    {
        ASSERT_NE(Post({Controller(7, static_cast<uint8_t>(i % 128), 0)}), ZK_INVALID_PLAYING_ID) << i;
        if ((i + 1) % kPostsPerFrame == 0)
        {
            ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
            mostRecords = std::max(mostRecords, g_pMidiPostMgr->RecordCount());
            EXPECT_LE(g_pMidiPostMgr->RecordCount(), g_pMidiPostMgr->TargetCount()) << "after post " << i;
        }
    }
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(g_pMidiPostMgr->TargetCount(), 0u);
    EXPECT_EQ(g_pMidiPostMgr->RecordCount(), 0u);
    EXPECT_LE(mostRecords, kPostsPerFrame) << "no more records than the targets of one frame";
}

TEST_F(MidiHeard, BadPostsCreateNothing)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ZkMIDIPost post = NoteOn(69, 0);
    EXPECT_EQ(ZK::SoundEngine::PostMIDIOnEvent(Instrument(), kEmitter, &post, 0), ZK_INVALID_PLAYING_ID)
        << "count 0";
    EXPECT_EQ(ZK::SoundEngine::PostMIDIOnEvent(Instrument(), kEmitter, nullptr, 1), ZK_INVALID_PLAYING_ID)
        << "no posts";
    EXPECT_EQ(ZK::SoundEngine::PostMIDIOnEvent(12345, kEmitter, &post, 1), ZK_INVALID_PLAYING_ID)
        << "an event not loaded";

    struct Case
    {
        const char* what;
        ZkUniqueID node;
        ZkGameObjectID object;
        ZkPlayingID playingID;
    };
    const Case cases[] = {
        {"node 0", 0, kEmitter, 77},
        {"every object", kInstrument, ZK_ALL_GAME_OBJECTS, 77},
        {"an object not registered", kInstrument, kUnregistered, 77},
        {"playing id 0", kInstrument, kEmitter, 0},
        {"a node not loaded", 12345, kEmitter, 77},
    };
    for (const Case& c : cases)
    {
        g_pMidiPostMgr->PostMidiEvents(c.node, c.object, c.playingID, &post, 1, false);
        EXPECT_EQ(g_pMidiPostMgr->TargetCount(), 0u) << c.what;
    }
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_TRUE(Bursts(Left()).empty());
    EXPECT_EQ(g_pMidiPostMgr->RecordCount(), 0u);
}

TEST_F(MidiHeard, AllocationFailuresDropEventsAndLeaveNothingBehind)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    const auto postNotes = [&] {
        ZkMIDIPost posts[] = {NoteOn(69, 10), NoteOn(76, 20), NoteOff(69, 500), NoteOff(76, 900),
                              Controller(7, 90, 30)};
        const ZkPlayingID playing = ZK::SoundEngine::PostMIDIOnEvent(Instrument(), kEmitter, posts, 5);
        EXPECT_NO_FATAL_FAILURE(RenderFrames(2));
        return playing;
    };
    Fault::CountOnly(ZkMemID_Default);
    ASSERT_NE(postNotes(), ZK_INVALID_PLAYING_ID);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_GT(allocations, 0u);
    // A note whose note-off was dropped plays to the end of its tone (a second) and ends there.
    constexpr uint32_t kToneFramesAndMore = kToneFrames / kFrames + 3;
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        Fault::FailNth(ZkMemID_Default, nth);
        postNotes();
        Fault::Disarm();
        for (uint32_t frame = 0; frame < kToneFramesAndMore && g_pMidiPostMgr->TargetCount() != 0; ++frame)
            ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
        EXPECT_EQ(g_pMidiPostMgr->TargetCount(), 0u) << "failing allocation " << nth;
        EXPECT_EQ(g_pMidiPostMgr->RecordCount(), 0u) << "failing allocation " << nth;
        EXPECT_EQ(g_pMidiPostMgr->ReleasedCount(), 0u) << "failing allocation " << nth;
    }
    captured.clear();
    ASSERT_NE(postNotes(), ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(Bursts(Left()).size(), 1u) << "the engine still plays notes";
}

TEST_F(MidiHeard, APostReusesAPlayingIDTheEngineKnowsForItsObjectAndEvent)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    const ZkPlayingID first = Post({NoteOn(69, 0)});
    ASSERT_NE(first, ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(Post({NoteOff(69, 100)}, first), first);
    EXPECT_NE(Post({NoteOn(69, 0)}, first, false, Handed()), first) << "another event takes a new playing id";
    EXPECT_NE(Post({NoteOn(69, 0)}, 0x7777), 0x7777u) << "an unknown playing id is not taken";
    ZK::SoundEngine::StopMIDIOnEvent();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(g_pMidiPostMgr->TargetCount(), 0u) << "event 0 and playing id 0 stop everything";
    EXPECT_EQ(ZK::SoundEngine::StopMIDIOnEvent(12345, kEmitter), ZK_Fail) << "an event not loaded";
}

TEST_F(MidiHeard, ThePluginContextPostsAndStopsMidiAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartMidi());
    ZK::IZkGlobalPluginContext& context = ZK::SoundEngine::CZkGlobalPluginContext::Instance();
    ZkMIDIPost posts[] = {NoteOn(69, 100), NoteOff(69, 4000)};
    EXPECT_EQ(context.PostMIDIOnEventSync(Instrument(), kEmitter, posts, 0, false, 0, nullptr, nullptr, 0),
              ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(context.PostMIDIOnEventSync(Instrument(), kUnregistered, posts, 2, false, 0, nullptr, nullptr, 0),
              ZK_INVALID_PLAYING_ID);
    const ZkPlayingID playing =
        context.PostMIDIOnEventSync(Instrument(), kEmitter, posts, 2, false, 0, nullptr, nullptr, 0);
    ASSERT_NE(playing, ZK_INVALID_PLAYING_ID);
    EXPECT_EQ(g_pMidiPostMgr->TargetCount(), 1u) << "queued before the call returns";
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(context.StopMIDIOnEventSync(12345, kEmitter, 0), ZK_Fail);
    EXPECT_EQ(context.StopMIDIOnEventSync(Instrument(), kEmitter, playing), ZK_Success);
    EXPECT_EQ(g_pMidiPostMgr->TargetCount(), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    const std::vector<Burst> bursts = Bursts(Left());
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_LT(bursts[0].last, 4000u) << "stopped before its note-off";
}
} // namespace
