// Switch containers heard: how a change is scheduled against what is already on the switch's
// timeline (entries that follow the source, a change back, an exit past a queued entry, a playlist
// returned to, a change after the destination's end, the attempts' count). The fixture and its
// bank: MusicSwitchHeardFixture.h.
#include "SDK/source/SoundEngine/MusicEngine/Switch/MusicSwitchHeardFixture.h"

#include "MusicEngine/Contexts/ZkStingerRecord.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <algorithm>
#include <vector>

namespace
{
using namespace ZkMusicSwitchHeardTest;

// Entries that follow the source: the rule's entry at the source's segment position puts B's
// segment time at the exit point equal to A's there (A's next bar, 1 s); the entry at the cue with
// the id of the cue the source leaves at (never the entry cue) puts B's cue 400 ms after its entry
// cue, not one of its decoys, on A's custom cue. Both are known only at the exit point, so
// the destination is prepared again there.
TEST_F(MusicSwitchHeard, AnEntryThatFollowsTheSourceIsPreparedAgainForTheExitPoint)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        long exit;         // capture sample frame (A enters on the first)
        long enteredAt;    // B's segment time placed on it
    };
    const std::vector<Case> cases = {
        {"at the source's position", 910, kBar, kBar},
        {"at the cue named by the source's", 911, kCustomCue, 19200},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
        // B plays to its end, its post-exit included.
        ASSERT_NO_FATAL_FAILURE(
            RenderFrames(static_cast<uint32_t>((c.exit - c.enteredAt + kActive + kPost) / kFrames) + 4 - kChangeFrame));
        const std::vector<Piece> pieces = {{SegmentA(c.container), kOrigin, 0, c.exit},
                                           {SegmentB(c.container), c.exit - c.enteredAt, c.enteredAt, kActive + kPost}};
        EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}

// A change back to what plays, before the transition to B is reached: with the container's
// continue flag A plays on to its end as if nothing had changed (B taken back); without it, A is
// entered again on A's exit cue in B's place.
TEST_F(MusicSwitchHeard, AChangeBackBeforeTheExitTakesTheTransitionBack)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        std::vector<std::pair<long, long>> heardA; // A's pieces: origin, until (segment time)
    };
    const std::vector<Case> cases = {
        {"continue flag: A goes on", 900, {{kOrigin, kActive + kPost}}},
        {"no continue flag: A again", 912, {{kOrigin, kActive}, {kOrigin + kActive, kActive + kPost}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 11), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((2 * kActive + kPost) / kFrames) + 4 - 2 * kChangeFrame));
        std::vector<Piece> pieces;
        for (const auto& [origin, until] : c.heardA)
            pieces.push_back({SegmentA(c.container), origin, 0, until});
        EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}

// B waits for A's next bar; C, asked for in a later frame, leaves at A's exit cue, after B's entry:
// the exit lies past the item as B's entry cuts it, so B's entry is taken back, the exit searched
// again, and C enters on A's exit cue. B is never heard.
TEST_F(MusicSwitchHeard, AnExitPastAQueuedEntryTakesThatEntryBack)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(913));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateC), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((kActive + 30000) / kFrames) - 2 * kChangeFrame));
    EXPECT_LT(Judge({{SegmentA(913), kOrigin, 0, kActive}, {SegmentC(913), kActive, 0, kActive}}), kLevelTolerance)
        << "worst at " << lastWorst;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// The loop of four segments is left for B at the exit cue of the second, and returned to at B's
// exit cue: it resumes from the walk the switch stored for it, with the segment that was playing
// when it was left (not from its first), and goes on from there.
TEST_F(MusicSwitchHeard, ReturningToAPlaylistResumesItFromTheStoredWalk)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(914));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(6)); // in the second segment (4800 to 9600)
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(14));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, 11), ZK_Success);
    const long left = 2 * kShortActive;
    const long back = left + kActive;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((back + 3 * kShortActive) / kFrames) - 20));
    EXPECT_LT(Judge({{kPlaylistSegments, kOrigin, 0, kShortActive},
                     {kPlaylistSegments + 1, kShortActive, 0, kShortActive},
                     {SegmentB(914), left, 0, kActive},
                     {kPlaylistSegments + 1, back, 0, kShortActive},
                     {kPlaylistSegments + 2, back + kShortActive, 0, kShortActive},
                     {kPlaylistSegments + 3, back + 2 * kShortActive, 0, kShortActive}}),
              kLevelTolerance)
        << "worst at " << lastWorst << ", audible until " << lastLoud;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// A change once the destination has played to its end: A's chain still plays (its empty last item,
// whose exit lies behind it), so B enters at once, on the first sample of the frame of the change.
TEST_F(MusicSwitchHeard, AChangeAfterTheDestinationHasEndedEntersAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(900));
    const auto ended = static_cast<uint32_t>((kActive + kPost) / kFrames) + 2;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(ended));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((kActive + kPost) / kFrames) + 2));
    const long change = static_cast<long>(ended * kFrames);
    const std::vector<Piece> pieces = {{SegmentA(900), kOrigin, 0, kActive + kPost}, {SegmentB(900), change, 0, kActive + kPost}};
    EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
    for (int shift : {-1, 1})
        EXPECT_GT(Judge(pieces, shift), 1e-2) << "B entered " << shift << " sample off";
    ASSERT_NO_FATAL_FAILURE(StopAll());
}
// The rule leaves at the next custom cue, which only X, after 63 plays of a segment without one,
// has: the walk there takes 63 attempts. On the 64th, X's custom cue is found, but B' follows the
// source's position and, entered there (inside its streamed clip), needs 10 s of look-ahead: a
// search again would be a 65th attempt. The attempts are spent, so the fallback rule leaves X at
// its exit cue, where B' enters at its entry cue (prefetched: no look-ahead).
TEST_F(MusicSwitchHeard, SearchingAgainForAFollowingEntryCountsAmongTheSixtyFourAttempts)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(917));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    ZK::MusicEngine::ZkSwitchChainEntry* playlist = root->CurrentEntry();
    ASSERT_NE(playlist, nullptr);
    ASSERT_NE(playlist->next, nullptr) << "B' is scheduled";
    EXPECT_EQ(playlist->next->context->GetNode()->ID(), 9173u);
    const long xOrigin = static_cast<long>(playlist->context->timeOffset) + 63 * kShortActive;
    EXPECT_EQ(static_cast<long>(playlist->next->context->timeOffset), xOrigin + kActive) << "X's exit cue";
    EXPECT_EQ(playlist->next->context->chainStartOffset, 0) << "B' at its entry cue";
    ASSERT_NO_FATAL_FAILURE(StopAll());
}
// The container asks the music engine to hold its group's changes to the next beat. The state
// manager tells the group's listeners of a change before it asks the hook, so the switch hears the
// change when it is posted, and only the state's other users wait for a beat. Posted at 46080, the
// change is held on A's beat at 48000, and B is scheduled at once, on the rule's next bar from
// 46080: the bar line at 48000 (not the one at 96000 after the beat's frame).
//
// A stops at 48000, where B takes over: A's item does not reach the point it holds the change at,
// and its chain, cleared at the stop, gives the change back to the music engine, which holds it
// again in the music that now plays, on B's next beat from the end of that frame (60000). It is
// neither applied at once nor lost: the state reads old through the frame after B's entry and new
// once B's beat at 60000 has passed.
TEST_F(MusicSwitchHeard, AChangeTheHookHoldsReachesTheSwitchWhenPostedAndIsHeldAgainWhenTheSourceStops)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(919));
    constexpr uint32_t kPostFrame = 45;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kPostFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    const auto state = [] {
        ZkUniqueID current = 0;
        EXPECT_EQ(ZK::SoundEngine::Query::GetState(kGroup, current), ZK_Success);
        return current;
    };
    EXPECT_EQ(state(), 11u) << "held";
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    ASSERT_NE(root->CurrentEntry(), nullptr);
    ASSERT_NE(root->CurrentEntry()->next, nullptr) << "B is scheduled";
    const long exit = ModelExitPoint(kNextBar, kOrigin, kPostFrame * kFrames);
    ASSERT_EQ(exit, kBar);
    EXPECT_EQ(static_cast<long>(root->CurrentEntry()->next->context->timeOffset), exit);
    EXPECT_NE(root->CurrentEntry()->context->Head()->syncActions, nullptr) << "A's item holds the change";

    const auto framesUntil = [](long sample) { return static_cast<uint32_t>(sample / kFrames) + 1; };
    ASSERT_NO_FATAL_FAILURE(RenderFrames(framesUntil(exit) + 1 - (kPostFrame + 1)));
    EXPECT_EQ(state(), 11u) << "still held after B's entry";
    const long laterBeat = exit + kBar / 4;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(framesUntil(laterBeat) + 1 - (framesUntil(exit) + 1)));
    EXPECT_EQ(state(), kStateB) << "applied after B's beat";

    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((exit + 30000) / kFrames) - (framesUntil(laterBeat) + 1)));
    const std::vector<Piece> pieces = {{SegmentA(919), kOrigin, 0, exit}, {SegmentB(919), exit, 0, kActive}};
    EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}
// A stinger triggered for A's next bar (48000) and a change of another group held there too: the
// change to B, posted at 12288, leaves A on the next beat (24000), before both. The transition
// takes them off A and hands them back: the stinger, not yet started, is placed again after the
// item playing now, on B's first bar line (its entry cue on B's, its pre-entry before it); the
// held change is held again in the new music, on that bar line: neither at once nor where A had it.
TEST_F(MusicSwitchHeard, WhatATransitionTakesOffTheSourceIsPlacedAgainInTheMusicAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(920));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::PostTrigger(kStingerTrigger, kEmitter), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::SetState(kOtherGroup, 5), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    const auto state = [] {
        ZkUniqueID current = 0;
        EXPECT_EQ(ZK::SoundEngine::Query::GetState(kOtherGroup, current), ZK_Success);
        return current;
    };
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    ASSERT_NE(root->playRecord, nullptr);
    ASSERT_NE(root->playRecord->FirstStinger(), nullptr);
    EXPECT_EQ(root->playRecord->FirstStinger()->syncPoint, kBar) << "A's next bar";
    EXPECT_EQ(state(), 11u) << "held";

    const long now = (kChangeFrame + 2) * kFrames;
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    const long exit = (now + kBar / 4 - 1) / (kBar / 4) * (kBar / 4);
    ASSERT_EQ(exit, kBar / 2);
    ASSERT_NE(root->CurrentEntry()->next, nullptr);
    EXPECT_EQ(static_cast<long>(root->CurrentEntry()->next->context->timeOffset), exit);
    ASSERT_NE(root->playRecord->FirstStinger(), nullptr);
    EXPECT_EQ(root->playRecord->FirstStinger()->syncPoint, exit) << "placed again on B's first bar line";
    // The frame that holds B's first bar line runs the change; the next tick applies it.
    const auto barFrame = static_cast<uint32_t>(exit / kFrames);
    uint32_t rendered = kChangeFrame + 3;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(barFrame - rendered));
    EXPECT_EQ(state(), 11u) << "held again, not applied at once";
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    EXPECT_EQ(state(), 5u) << "applied on B's first bar line";
    rendered = barFrame + 2;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((exit + 30000) / kFrames) - rendered));
    const std::vector<Piece> pieces = {{SegmentA(920), kOrigin, 0, exit},
                                       {SegmentB(920), exit, 0, kActive},
                                       {kStinger, exit, -kShortActive, kShortActive}};
    EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}
// Nesting: the outer switch moves from the inner switch 922 (playing its A) to the inner switch
// 923 at A's exit cue. A change of the inner switches' group while that transition is in flight
// waits in both (their pending bit): 923, created when the outer change was scheduled, still plays
// its A when the outer transition is reached, and only then schedules its own change, from its A
// to its B at that A's exit cue. 922, left there, does nothing more; its A is heard to the exit's
// sample (dropping a stopping context's entry once cut the frame that held the exit at its start).
TEST_F(MusicSwitchHeard, AnInnerChangeWaitsForTheOuterTransitionAndIsScheduledWhenItIsReached)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(921));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kInnerGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkMusicSwitchContext* outer = Root();
    ASSERT_NE(outer, nullptr);
    ZK::MusicEngine::ZkSwitchChainEntry* first = outer->CurrentEntry();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->next, nullptr) << "the outer transition is in flight";
    auto* left = static_cast<CZkMusicSwitchContext*>(first->context);
    auto* entered = static_cast<CZkMusicSwitchContext*>(first->next->context);
    ASSERT_EQ(left->GetNode()->ID(), 922u);
    ASSERT_EQ(entered->GetNode()->ID(), 923u);
    EXPECT_EQ(static_cast<long>(entered->timeOffset), kActive);
    for (CZkMusicSwitchContext* inner : {left, entered})
    {
        EXPECT_NE(inner->SwitchFlags() & CZkMusicSwitchContext::kFlagChangePending, 0) << inner->GetNode()->ID() << " waits";
        ASSERT_NE(inner->FirstEntry(), nullptr);
        EXPECT_EQ(inner->FirstEntry()->next, nullptr) << inner->GetNode()->ID() << ": nothing scheduled";
    }

    const auto reached = static_cast<uint32_t>(kActive / kFrames) + 1;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(reached - (2 * kChangeFrame + 1)));
    ASSERT_EQ(outer->CurrentEntry()->context, entered) << "the outer transition is reached";
    EXPECT_EQ(entered->SwitchFlags() & CZkMusicSwitchContext::kFlagChangePending, 0);
    ASSERT_NE(entered->FirstEntry(), nullptr);
    ASSERT_NE(entered->FirstEntry()->next, nullptr) << "923's change is scheduled";
    EXPECT_EQ(entered->FirstEntry()->next->context->GetNode()->ID(), static_cast<ZkUniqueID>(SegmentB(923)));
    EXPECT_EQ(static_cast<long>(entered->FirstEntry()->next->context->timeOffset), kActive) << "on 923's timeline";

    const long innerExit = 2 * kActive;
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((innerExit + 30000) / kFrames) - reached));
    const std::vector<Piece> pieces = {{SegmentA(922), kOrigin, 0, kActive},
                                       {SegmentA(923), kActive, 0, kActive},
                                       {SegmentB(923), innerExit, 0, kActive}};
    EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
    ASSERT_NO_FATAL_FAILURE(StopAll());
}
} // namespace
