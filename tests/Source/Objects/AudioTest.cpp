// The Audio component against a recording double of the game's sound calls: its own game objects,
// a cue requested on every frame posted at least twice and then held back while it plays, a copy
// held back by the ids it copied, two objects apart, the stops and unregistrations of a destroyed
// component, and a refresh of more playing ids than the list holds.
#include "Objects/Audio.h"

#include "Engine/SoundGameObjects.h"
#include "Source/Engine/RecordingGameSound.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{
using kp::test::RecordingGameSound;
using kp::test::SoundCall;
using Kind = SoundCall::Kind;

constexpr ZkUniqueID kCue = 66789758;
constexpr ZkUniqueID kOtherCue = 1713356576;

class AudioTest : public ::testing::Test
{
protected:
    // As at start-up, with the default listener and emitter (id 1) registered.
    AudioTest()
    {
        listenerIds.assign(1, 1);
        emitterIds.assign(1, 1);
    }
    ~AudioTest() override
    {
        listenerIds.clear();
        emitterIds.clear();
    }

    // One frame of an object whose behaviour asks for `cue`: the refresh runs first (slot order).
    static void FrameAskingFor(Audio& audio, ZkUniqueID cue)
    {
        audio.Update(0.016f);
        audio.PlayEvent(cue);
    }

    RecordingGameSound m_sound;
};

TEST_F(AudioTest, EachComponentRegistersAListenerAndAnEmitterUnderOneNewId)
{
    Audio first;
    Audio second;
    EXPECT_EQ(first.listenerId, 2u) << "id 1 is the default listener and emitter";
    EXPECT_EQ(first.emitterId, 2u);
    EXPECT_EQ(second.emitterId, 3u);
    const std::vector<SoundCall> registered = m_sound.Calls(Kind::RegisterGameObj);
    ASSERT_EQ(registered.size(), 4u);
    EXPECT_EQ(registered[0].gameObject, 2u);
    EXPECT_EQ(registered[0].name, "Listener");
    EXPECT_EQ(registered[1].gameObject, 2u);
    EXPECT_EQ(registered[1].name, "Emitter");
    EXPECT_EQ(registered[2].name, "Listener");
    EXPECT_EQ(registered[3].name, "Emitter");
    EXPECT_EQ(listenerIds.size(), 3u);
    EXPECT_EQ(emitterIds.size(), 3u);
}

TEST_F(AudioTest, ACueAskedForOnEveryFrameIsPostedTwiceThenNotUntilItEnds)
{
    Audio audio;
    for (int frame = 0; frame < 20; ++frame)
    {
        FrameAskingFor(audio, kCue);
    }
    // The first refresh found nothing; the second only counted; from the third the list holds it.
    ASSERT_EQ(m_sound.Posted(audio.emitterId), (std::vector<ZkUniqueID>{kCue, kCue}));
    EXPECT_EQ(audio.playingCount, 1u);

    // Another cue is not held back by this one.
    FrameAskingFor(audio, kOtherCue);
    EXPECT_EQ(m_sound.PostCount(kOtherCue), 1u);

    // Once everything has ended, the cue is posted again.
    m_sound.EndAll();
    FrameAskingFor(audio, kCue);
    EXPECT_EQ(m_sound.PostCount(kCue), 3u);
}

TEST_F(AudioTest, ACopyIsHeldBackByThePlayingIdsItCopiedUntilTheyEnd)
{
    auto prototype = std::make_unique<Audio>();
    for (int frame = 0; frame < 3; ++frame)
    {
        FrameAskingFor(*prototype, kCue);
    }
    ASSERT_EQ(m_sound.PostCount(kCue), 2u);
    std::unique_ptr<Component> copied(prototype->Clone());
    auto* copy = dynamic_cast<Audio*>(copied.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->emitterId, prototype->emitterId) << "a game object of its own";
    EXPECT_EQ(copy->playingIds, prototype->playingIds);
    EXPECT_EQ(copy->playingCount, 0u);

    copy->PlayEvent(kCue);
    EXPECT_EQ(m_sound.PostCount(kCue), 2u) << "the prototype's playback blocks the copy";
    m_sound.EndAll();
    copy->PlayEvent(kCue);
    EXPECT_EQ(m_sound.Posted(copy->emitterId), std::vector<ZkUniqueID>{kCue});
}

TEST_F(AudioTest, TwoObjectsPlayTheSameCueIndependently)
{
    Audio left;
    Audio right;
    for (int frame = 0; frame < 5; ++frame)
    {
        FrameAskingFor(left, kCue);
        FrameAskingFor(right, kCue);
    }
    EXPECT_EQ(m_sound.Posted(left.emitterId).size(), 2u);
    EXPECT_EQ(m_sound.Posted(right.emitterId).size(), 2u);
}

TEST_F(AudioTest, ADestroyedComponentStopsWhatItPlayedAtOnceAndThenUnregisters)
{
    auto audio = std::make_unique<Audio>();
    const ZkGameObjectID id = audio->emitterId;
    for (ZkUniqueID cue : {ZkUniqueID{11}, ZkUniqueID{12}, ZkUniqueID{13}})
    {
        m_sound.PostEvent(cue, id);
    }
    audio->Update(0.0f); // counts 3
    audio->Update(0.0f); // lists 3
    ASSERT_EQ(audio->playingCount, 3u);
    m_sound.ForgetCalls();

    audio.reset();
    const std::vector<SoundCall> calls = m_sound.Requests();
    ASSERT_EQ(calls.size(), 5u);
    for (size_t index = 0; index < 3; ++index)
    {
        EXPECT_EQ(calls[index].kind, Kind::StopPlayingID);
        EXPECT_EQ(calls[index].playingId, index + 1);
        EXPECT_EQ(calls[index].transitionMs, 0);
        EXPECT_EQ(calls[index].curve, ZkCurveInterpolation_Linear);
    }
    EXPECT_EQ(calls[3].kind, Kind::UnregisterGameObj);
    EXPECT_EQ(calls[4].kind, Kind::UnregisterGameObj);
    EXPECT_EQ(calls[3].gameObject, id);
    EXPECT_EQ(calls[4].gameObject, id);
    EXPECT_TRUE(m_sound.playing.empty());
}

// The count-only refresh returns every playing id of the object, more than the list holds when a
// dying airship has posted its wreck sound for a while; the next refresh must not ask for more
// than the list can take (under AddressSanitizer a larger request writes past the list).
TEST_F(AudioTest, SixtyPlayingIdsOnOneObjectRefreshWithinTheList)
{
    auto audio = std::make_unique<Audio>();
    for (int post = 0; post < 60; ++post)
    {
        m_sound.PostEvent(4273342723u, audio->emitterId);
    }
    for (int frame = 0; frame < 3; ++frame)
    {
        audio->Update(0.016f);
    }
    EXPECT_EQ(audio->playingCount, Audio::kPlayingIdCapacity);
    const std::vector<SoundCall> refreshes = m_sound.Calls(Kind::GetPlayingIDs);
    ASSERT_EQ(refreshes.size(), 3u);
    EXPECT_EQ(refreshes[0].capacity, 0u);
    EXPECT_EQ(refreshes[0].written, 60u) << "counted";
    for (size_t frame = 1; frame < refreshes.size(); ++frame)
    {
        EXPECT_EQ(refreshes[frame].capacity, Audio::kPlayingIdCapacity);
        EXPECT_EQ(refreshes[frame].written, Audio::kPlayingIdCapacity);
    }
    EXPECT_EQ(audio->playingIds.front(), 1u);
    EXPECT_EQ(audio->playingIds.back(), 50u);
    // Destroyed, it stops the fifty it lists.
    m_sound.ForgetCalls();
    audio.reset();
    EXPECT_EQ(m_sound.Calls(Kind::StopPlayingID).size(), 50u);
}
} // namespace
