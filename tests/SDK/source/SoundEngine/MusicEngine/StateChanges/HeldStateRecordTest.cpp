// The records of held state changes: four come from the block the music engine keeps, a fifth is
// allocated by itself and freed (not kept) once its change is through; a record that cannot be
// had lets the change take effect at once. A cut that takes the changes off the timeline hands
// them back, and they wait again for the music that is left, or take effect at once.
#include "HeldStateChangeFixture.h"

#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"

namespace ZkHeldStateTest
{
namespace
{
namespace Fault = ZK::MemoryMgr::FaultInjection;
using ZkMemoryTest::CountingAllocator;

TEST_F(HeldStateChangeTest, AFifthHeldChangeHasARecordOfItsOwnThatIsFreedOnceThrough)
{
    Play(kAtNextBar);
    Render(10);
    const int64_t before = CountingAllocator::LiveBlocks();
    std::vector<int64_t> growth;
    for (ZkUniqueID state = 831; state <= 835; ++state)
    {
        const int64_t blocks = CountingAllocator::LiveBlocks();
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, state), ZK_Success);
        Render(1);
        growth.push_back(CountingAllocator::LiveBlocks() - blocks);
    }
    EXPECT_EQ(Pending(), 5u);
    EXPECT_EQ(growth, (std::vector<int64_t>{1, 1, 1, 1, 2})) << "a sync action each; the fifth takes a record too";
    Render(static_cast<int>(kBar / kFrame)); // past the bar
    EXPECT_EQ(State(), 835u) << "the newest request wins";
    EXPECT_EQ(Pending(), 0u);
    EXPECT_EQ(CountingAllocator::LiveBlocks(), before) << "the fifth record was freed, the block's four kept";
}

TEST_F(HeldStateChangeTest, AChangeWithoutARecordOrItsSyncActionTakesEffectAtOnce)
{
    struct Case
    {
        const char* label;
        int heldBefore; // changes already holding the block's records
        uint32_t failingAllocation;
    };
    // With four held, the fifth record is the first allocation and its sync action the second;
    // with none held, the sync action is the first.
    const Case cases[] = {
        {"no record for the fifth", 4, 1},
        {"no sync action for the fifth", 4, 2},
        {"no sync action for the first", 0, 1},
    };
    ZkUniqueID state = 840;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        CZkMusicSegmentSequenceContext* root = Play(kAtNextBar);
        Render(10);
        for (int held = 0; held < c.heldBefore; ++held)
        {
            ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, ++state), ZK_Success);
            Render(1);
        }
        ASSERT_EQ(Pending(), static_cast<uint32_t>(c.heldBefore));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, ++state), ZK_Success);
        {
            Fault::ScopedAllocationFailure refused(ZkMemID_Default, c.failingAllocation);
            Render(1);
        }
        EXPECT_EQ(State(), state) << "applied with the tick that handled it";
        Render(static_cast<int>(kBar / kFrame)); // past the bar
        EXPECT_EQ(State(), state) << "no older request comes back at the bar";
        EXPECT_EQ(Pending(), 0u);
        Drop(root);
        Render(2);
    }
}

TEST_F(HeldStateChangeTest, ChangesACutTakesOffTheTimelineWaitAgainOrTakeEffectAtOnce)
{
    struct Case
    {
        const char* label;
        bool pauseAfterCut;
    };
    const Case cases[] = {
        {"the music left still asks: its bar", false},
        {"nothing left to wait for: at once", true},
    };
    ZkUniqueID newState = 850;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        ++newState;
        CZkMusicSegmentSequenceContext* root = PlayHolding(newState);
        ASSERT_EQ(Pending(), 1u);

        // The cut at the play's now takes every later action off the item it lies in.
        ZkMusicCursor cursor;
        cursor.Init(*root, false);
        ZkMusicSyncAction* taken = nullptr;
        cursor.MoveActionsAfter(taken, root->playRecord->clock - root->timeOffset);
        ASSERT_NE(taken, nullptr);
        ASSERT_EQ(taken->kind, ZkMusicSyncAction::kStateChange);
        ASSERT_EQ(root->Head()->syncActions, nullptr);
        if (c.pauseAfterCut)
            root->Pause();
        root->playRecord->Reevaluate(taken);

        if (c.pauseAfterCut)
        {
            EXPECT_EQ(RendersUntil(newState, 1), 1);
            EXPECT_EQ(Pending(), 0u);
        }
        else
        {
            EXPECT_NE(root->Head()->syncActions, nullptr) << "held again";
            EXPECT_EQ(Pending(), 1u);
            const int renders = RendersToApply(root->playRecord->clock, kBar);
            EXPECT_EQ(RendersUntil(newState, renders), renders);
        }
        Drop(root);
        Render(2);
    }
}
} // namespace
} // namespace ZkHeldStateTest
