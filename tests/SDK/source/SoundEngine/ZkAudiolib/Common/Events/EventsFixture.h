// Shared by the tests of events, actions and pending actions: the hierarchy fixture (object index,
// game-parameter, registry, state and switch managers, banks written by tools/bank_writer.py) plus
// an event manager, its frames driven by the test; and the tests' doubles: a playable node that
// records the launches it gets, and an action that records when it runs.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/BusFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

#include <Plugins/Effects/Common/ZkDspAudioFormat.h>

#include <string>
#include <vector>

namespace ZkEventsTest
{
using namespace ZK::SoundEngine;
using ZkHierarchyTest::Bytes;

// A node that plays: records each launch it is asked to play (its initial delay runs as a real
// node's does, before the play).
class TestPlayableNode final : public CZkPlayableNode
{
public:
    explicit TestPlayableNode(ZkUniqueID id) : CZkPlayableNode(id) {}

    static TestPlayableNode* CreateIndexed(ZkUniqueID id)
    {
        auto* node = ZK::ZkNew<TestPlayableNode>(kPool, id);
        if (node != nullptr && node->AddToIndex() != ZK_Success)
        {
            ZK::ZkDelete(kPool, node);
            return nullptr;
        }
        return node;
    }

    ZkNodeCategory Category() const override { return ZkNodeCategory_Sound; }
    ZKRESULT ExecuteAction(const ZkActionParams& params) override
    {
        if (!IsExcepted(params))
            actions.push_back(params);
        return ZK_Success;
    }
    using CZkHierarchyNode::ExecuteAction;
    ZKRESULT Play(PlayLaunchParams& params) override
    {
        launches.push_back(params);
        handedOn.emplace_back(params.modulatorInstances.items,
                              params.modulatorInstances.items + params.modulatorInstances.Length());
        return playResult;
    }

    std::vector<PlayLaunchParams> launches; // copies: their external sources are not owned
    // The modulator instances each launch handed on (the launch's own copies go with it).
    std::vector<std::vector<ZK::SoundEngine::CZkModulatorInstance*>> handedOn;
    std::vector<ZkActionParams> actions;
    ZKRESULT playResult = ZK_Success;
};

// The order in which recording actions ran: their ids, and the frame and sample offset of each.
struct ZkRunRecord
{
    ZkUniqueID actionID;
    uint32_t frame;
    uint32_t sampleOffset;
    ZkPlayingID playingID;
};

// An action whose run is recorded; its type is the test's (0x0403 by default, a play that plays
// nothing).
class RecordingAction final : public CZkEventAction
{
public:
    RecordingAction(uint16_t type, ZkUniqueID id, std::vector<ZkRunRecord>& log) : CZkEventAction(type, id), m_log(log)
    {
    }

    // An action of the type in the action table, holding the creator's reference.
    static RecordingAction* Create(uint16_t type, ZkUniqueID id, std::vector<ZkRunRecord>& log)
    {
        auto* action = ZK::ZkNew<RecordingAction>(kPool, type, id, log);
        if (action != nullptr && id != 0)
            action->AddToIndex();
        return action;
    }

    ZKRESULT Execute(PendingAction& pending) override
    {
        m_log.push_back({ID(), g_pEventMgr->frameCounter, pending.sampleOffset, pending.playingID});
        return ZK_Success;
    }

private:
    std::vector<ZkRunRecord>& m_log;
};

class EventsTest : public ZkHierarchyTest::BusTest
{
protected:
    static constexpr uint32_t kFrame = ZkDspAudioFormat::kDefaultFramesPerBuffer;

    void SetUp() override
    {
        BusTest::SetUp();
        ASSERT_EQ(m_events.Init(CZkMessageRing::kMinimumCapacityBytes), ZK_Success);
        g_pEventMgr = &m_events;
        ZK::ZkLcg64::Engine().Seed(0);
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_events.Term(); // the pending actions give their references back while the index exists
        for (CZkIndexedObject* object : m_owned)
            object->Release();
        m_owned.clear();
        BusTest::TearDown();
    }

    // The object of the table without a reference (null when absent).
    template <typename T>
    static T* Find(ZkIndexKind kind, ZkUniqueID id)
    {
        return static_cast<T*>(g_pObjectIndex->Table(kind).Table().Find(id));
    }
    static CZkEventAction* FindAction(ZkUniqueID id) { return Find<CZkEventAction>(ZkIndexKind::Actions, id); }
    static CZkEventObject* FindEvent(ZkUniqueID id) { return Find<CZkEventObject>(ZkIndexKind::Events, id); }

    // A playable node of the tests; the fixture releases it at the end.
    TestPlayableNode* AddPlayable(ZkUniqueID id)
    {
        TestPlayableNode* node = TestPlayableNode::CreateIndexed(id);
        EXPECT_NE(node, nullptr);
        if (node != nullptr)
            m_owned.push_back(node);
        return node;
    }
    RecordingAction* AddRecording(ZkUniqueID id, uint16_t type = 0x0403)
    {
        RecordingAction* action = RecordingAction::Create(type, id, m_runs);
        EXPECT_NE(action, nullptr);
        if (action != nullptr)
            m_owned.push_back(action);
        return action;
    }
    // An event of the listed actions (read from a body as a bank gives it); the fixture releases it.
    CZkEventObject* AddEvent(ZkUniqueID id, const std::vector<ZkUniqueID>& actions)
    {
        Bytes body(4);
        std::memcpy(body.data(), &id, 4);
        uint8_t count[5];
        body.insert(body.end(), count, count + ZK::WriteVarUint(static_cast<uint32_t>(actions.size()), count));
        for (ZkUniqueID action : actions)
        {
            const size_t at = body.size();
            body.resize(at + 4);
            std::memcpy(body.data() + at, &action, 4);
        }
        CZkEventObject* event = CZkEventObject::Create(id);
        EXPECT_NE(event, nullptr);
        if (event == nullptr)
            return nullptr;
        EXPECT_EQ(event->ReadFromBank(body.data(), static_cast<uint32_t>(body.size())), ZK_Success);
        EXPECT_EQ(event->AddToIndex(), ZK_Success);
        m_owned.push_back(event);
        return event;
    }

    // What message 1 does with a posted event: its actions become pending actions at this frame.
    void Post(ZkUniqueID eventID, CZkRegisteredObj* object, ZkPlayingID playingID = 1, ZkPlayingID filter = 0)
    {
        CZkIndexedObject* event = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, eventID);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(m_events.EnqueueEventActions(event, object, object != nullptr ? object->ID() : ZK_ALL_GAME_OBJECTS,
                                               playingID, filter, ZkPlayRecord{}, 0, false),
                  ZK_Success);
        event->Release();
    }
    // The next engine tick: its frame, then the pending actions due by it.
    bool Tick()
    {
        ++m_events.frameCounter;
        return m_events.ExecuteDuePendingActions();
    }
    void Ticks(uint32_t count)
    {
        for (uint32_t index = 0; index < count; ++index)
            Tick();
    }
    std::vector<ZkUniqueID> RunIDs() const
    {
        std::vector<ZkUniqueID> ids;
        for (const ZkRunRecord& run : m_runs)
            ids.push_back(run.actionID);
        return ids;
    }

    EventManager m_events;
    std::vector<ZkRunRecord> m_runs;
    std::vector<CZkIndexedObject*> m_owned;
};
} // namespace ZkEventsTest
