// A state change of a group the playing music asks for is held to the music's next sync point for
// that group: the state reads old until the frame that holds the point has run and new from the
// next tick. What asks (the segment or a music ancestor), the kind of point, and the cases that
// apply the change at once (no music, a group no music asks for, a point inside the frame about to
// render, paused music, an ancestor asking for at once).
#include "HeldStateChangeFixture.h"

namespace ZkHeldStateTest
{
namespace
{
constexpr int kAtOnce = -1;

TEST_F(HeldStateChangeTest, AChangeWaitsForTheMusicsNextSyncPointOfItsGroup)
{
    struct Case
    {
        const char* label;
        ZkUniqueID segment; // 0: no music
        ZkUniqueID group;
        int framesBefore;   // frames the play renders before the change is posted
        bool paused;
        int64_t heldUntil;  // the play's clock time of the point, or kAtOnce
    };
    const Case cases[] = {
        {"the next bar", kAtNextBar, kGroup, 10, false, kBar},
        {"the next beat", kAtNextBeat, kGroup, 30, false, 2 * kBeat},
        {"the next bar asked by the segment's playlist", kBarFromParent, kGroup, 10, false, kBar},
        {"no bar before the exit: at the exit cue", kAtNextBarShort, kGroup, 294, false, kShortExit},
        {"the bar inside the frame about to render", kAtNextBar, kGroup, 93, false, kAtOnce},
        {"the bar one frame later is held", kAtNextBar, kGroup, 92, false, kBar},
        {"a group no music asks for", kAtNextBar, kFreeGroup, 10, false, kAtOnce},
        {"a playlist asking for at once over its segment's bar", kAtOnceFromParent, kGroup, 10, false, kAtOnce},
        {"paused music", kAtNextBar, kGroup, 10, true, kAtOnce},
        {"no music", 0, kGroup, 10, false, kAtOnce},
    };
    ZkUniqueID newState = 800;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        ++newState;
        CZkMusicSegmentSequenceContext* root = c.segment != 0 ? Play(c.segment) : nullptr;
        Render(c.framesBefore);
        if (c.paused)
            root->Pause();
        const uint64_t clock = root != nullptr ? root->playRecord->clock : 0;
        const ZkUniqueID oldState = State(c.group);
        ASSERT_EQ(ZK::SoundEngine::SetState(c.group, newState), ZK_Success);
        if (c.heldUntil == kAtOnce)
        {
            EXPECT_EQ(RendersUntil(newState, 1, c.group), 1);
            EXPECT_EQ(Pending(), 0u);
        }
        else
        {
            const int renders = RendersToApply(clock, c.heldUntil);
            Render(1);
            EXPECT_EQ(Pending(), 1u) << "held by the music";
            EXPECT_EQ(RendersUntil(newState, renders - 2, c.group), 0) << "old until the frame of the point has run";
            EXPECT_EQ(State(c.group), oldState);
            EXPECT_EQ(RendersUntil(newState, 1, c.group), 1) << "new from the tick after it";
            EXPECT_EQ(Pending(), 0u) << "the record is back";
        }
        if (root != nullptr)
            Drop(root);
        Render(2);
    }
}

TEST_F(HeldStateChangeTest, TheLaterOfTwoRequestsAppliedFirstOvertakesTheEarlierOne)
{
    // The first request waits for the bar of a play; the second for the beat of a play started
    // after it, which comes first: the bar must not bring the first request back.
    Play(kAtNextBar);
    Render(10);
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 801), ZK_Success);
    Render(1);
    CZkMusicSegmentSequenceContext* second = Play(kAtNextBeat);
    Render(5);
    const uint64_t clock = second->playRecord->clock;
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 802), ZK_Success);
    EXPECT_EQ(RendersUntil(802, RendersToApply(clock, kBeat)), RendersToApply(clock, kBeat));
    EXPECT_EQ(Pending(), 1u) << "the first request still waits, done";
    Render(static_cast<int>(kBar / kFrame)); // past the first play's bar
    EXPECT_EQ(State(), 802u) << "the earlier request was never applied";
    EXPECT_EQ(Pending(), 0u);
}

TEST_F(HeldStateChangeTest, AChangeWhosePlayStopsMovesToAnotherPlayOrTakesEffectAtOnce)
{
    struct Case
    {
        const char* label;
        bool anotherPlay;
    };
    ZkUniqueID newState = 810;
    for (const Case& c : {Case{"another play's bar", true}, Case{"alone: at once", false}})
    {
        SCOPED_TRACE(c.label);
        ++newState;
        CZkMusicSegmentSequenceContext* first = Play(kAtNextBar);
        Render(40);
        CZkMusicSegmentSequenceContext* second = c.anotherPlay ? Play(kAtNextBar) : nullptr;
        Render(10);
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, newState), ZK_Success);
        Render(1);
        ASSERT_EQ(Pending(), 1u) << "held by the first play, whose bar comes first";
        Drop(first);
        if (second == nullptr)
        {
            EXPECT_EQ(RendersUntil(newState, 1), 1);
        }
        else
        {
            const uint64_t clock = second->playRecord->clock;
            EXPECT_EQ(Pending(), 1u) << "held by the second play";
            EXPECT_EQ(RendersUntil(newState, RendersToApply(clock, kBar)), RendersToApply(clock, kBar));
            Drop(second);
        }
        EXPECT_EQ(Pending(), 0u);
        Render(2);
    }
}

TEST_F(HeldStateChangeTest, AnItemThatEndsEarlyAppliesTheChangesItHoldsAtOnce)
{
    struct Case
    {
        const char* label;
        void (*end)(CZkMusicSegmentSequenceContext& root);
    };
    const Case cases[] = {
        {"the play paused", [](CZkMusicSegmentSequenceContext& root) { root.Pause(); }},
        {"the chain faded out from now",
         [](CZkMusicSegmentSequenceContext& root) { root.FadeOutUntil(root.playRecord->clock); }},
    };
    ZkUniqueID newState = 820;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        ++newState;
        CZkMusicSegmentSequenceContext* root = PlayHolding(newState);
        ASSERT_EQ(Pending(), 1u);
        c.end(*root);
        EXPECT_EQ(RendersUntil(newState, 1), 1);
        EXPECT_EQ(Pending(), 0u);
        Drop(root);
        Render(2);
    }
}
} // namespace
} // namespace ZkHeldStateTest
