// A run-time play's shared position-path player: held through an extra reference of the shared
// item array (a player the array does not hold is refused), kept past its last user while the play
// waits, and given back when the play runs, with the node it was looked up for.
#include "EventsFixture.h"

#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/SharedItemArrayScope.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

namespace
{
using namespace ZkEventsTest;

class DynamicPlayPath : public EventsTest
{
protected:
    void SetUp() override
    {
        EventsTest::SetUp();
        m_object = Register(7);
        m_players.Begin();
    }
    void TearDown() override
    {
        m_players.End();
        EventsTest::TearDown();
    }
    ZkPlaybackTest::SharedItemArrayScope m_players;
    CZkSharedItemArray& m_array = m_players.array;
    CZkRegisteredObj* m_object = nullptr;
};

TEST_F(DynamicPlayPath, ThePlayHoldsItsPlayerUntilItRuns)
{
    TestPlayableNode* node = AddPlayable(500);
    const uint32_t nodeRefs = node->RefCount();
    CZkDynamicPlayAction* play = CZkDynamicPlayAction::Create(500);
    ASSERT_NE(play, nullptr);
    CZkPositionPath stranger;
    EXPECT_FALSE(play->SetSharedPathPlayer(&stranger, 5, node)) << "not in the array";
    EXPECT_EQ(node->RefCount(), nodeRefs);

    CZkPositionPath* player = m_array.Create();
    float offset[3] = {};
    ASSERT_EQ(m_array.AddUser(player, offset), ZK_Success);
    ASSERT_TRUE(play->SetSharedPathPlayer(player, 5, node));
    EXPECT_EQ(play->SharedPathID(), 5u);
    EXPECT_EQ(node->RefCount(), nodeRefs + 1);
    ASSERT_EQ(m_array.RemoveUser(player, offset), ZK_Success);
    EXPECT_EQ(m_array.Count(), 1u) << "the play's reference keeps it past its last user";

    ASSERT_EQ(play->SetIntProperty(ZkProp_ActionDelay, kFrame + 1, 0, 0), ZK_Success);
    ASSERT_EQ(m_events.EnqueuePendingAction(ZK::ZkNew<PendingAction>(PendingAction::kPool, play, m_object), 0, false),
              ZK_Success);
    play->Release();
    ASSERT_EQ(node->launches.size(), 1u);
    EXPECT_EQ(m_array.Count(), 0u) << "given back when it ran";
    EXPECT_EQ(node->RefCount(), nodeRefs);
}
} // namespace
