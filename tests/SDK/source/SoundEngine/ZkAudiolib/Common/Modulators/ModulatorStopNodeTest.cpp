// The end of a note-scope instance without an owner record stops, for each node that triggered
// it, the node's pending actions of the instance's game object and playing id, and the node itself
// for them; the pending actions of other objects and playing ids wait on.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Events/EventsFixture.h"

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

namespace
{
using namespace ZkEventsTest;

class ModulatorStopNode : public EventsTest
{
};

TEST_F(ModulatorStopNode, ANoteInstanceStopsItsTargetsForItsObjectAndPlayingID)
{
    CZkRegisteredObj* object = Register(7);
    CZkRegisteredObj* another = Register(8);
    TestPlayableNode* node = AddPlayable(500);
    TestPlayableNode* elsewhere = AddPlayable(501);
    Load(R"({"type": "time_modulator", "id": 1}, {"type": "time_modulator", "id": 2, "props": {"stop_playback": 0}})");
    // Pending actions on the node: of the object and playing id 3 (two), of playing id 4, of
    // another object; one on another node.
    struct Pending
    {
        ZkUniqueID action;
        ZkUniqueID target;
        CZkRegisteredObj* object;
        ZkPlayingID playingID;
    };
    const Pending pending[] = {{1, 500, object, 3}, {2, 500, object, 3}, {3, 500, object, 4}, {4, 500, another, 3},
                               {5, 501, object, 3}};
    for (ZkUniqueID stopPlayback : {2u, 1u})
    {
        for (const Pending& p : pending)
        {
            RecordingAction* action = AddRecording(p.action * 10 + stopPlayback, 0x0103);
            action->SetTarget(p.target, false);
            ASSERT_EQ(action->SetIntProperty(ZkProp_ActionDelay, 4 * kFrame, 0, 0), ZK_Success);
            AddEvent(p.action * 10 + stopPlayback + 1000, {p.action * 10 + stopPlayback});
            Post(p.action * 10 + stopPlayback + 1000, p.object, p.playingID);
        }
        ASSERT_EQ(m_events.ActivePendingCount(), 5u);

        auto* modulator = static_cast<CZkModulator*>(g_pObjectIndex->Table(ZkIndexKind::Modulators).Table().Find(stopPlayback));
        ZkModulatorTrigger trigger;
        trigger.gameObject = object;
        trigger.playingID = 3;
        trigger.triggerKind = 1;
        bool created = false;
        CZkModulatorInstance* instance = modulator->CreateInstance(nullptr, trigger, node, 1, created);
        ASSERT_NE(instance, nullptr);
        instance->AddRef();
        ASSERT_EQ(instance->Targets().Length(), 1u);
        EXPECT_EQ(node->RefCount(), 2u) << "the target list holds the node";
        node->actions.clear();
        instance->Term();
        EXPECT_EQ(node->RefCount(), 1u) << "let go";
        instance->Release();

        if (stopPlayback == 2)
        {
            EXPECT_EQ(m_events.ActivePendingCount(), 5u) << "without StopPlayback nothing stops";
            EXPECT_TRUE(node->actions.empty());
            m_events.StopPendingActions(nullptr, nullptr, 0);
            continue;
        }
        EXPECT_EQ(m_events.ActivePendingCount(), 3u) << "the two of the object and playing id went";
        ASSERT_EQ(node->actions.size(), 1u);
        EXPECT_EQ(node->actions[0].code, ZkActionCode_Stop);
        EXPECT_EQ(node->actions[0].gameObject, object);
        EXPECT_EQ(node->actions[0].playingID, 3u);
        EXPECT_TRUE(elsewhere->actions.empty());
    }
}
} // namespace
