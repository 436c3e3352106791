// Posting an event of 4 actions and executing its pending actions, per event, with 1,000 other
// pending actions queued (due far later): the records are made, referenced and listed in due
// order, then taken off the list and executed when their frame comes (here at once: the post
// forces them into the list), their references given back and the records freed.
//   ours        the event manager's pending actions (pooled records, list nodes from a 32-node
//               block and one at a time beyond it, sorted insertion)
//   multimap    the same records (from the global allocator) in a std::multimap keyed by due frame,
//               which keeps equal frames in insertion order as ours does
// Both execute the same actions: stops aimed at a node that is not loaded (one object-index look-up
// under the node table's lock each).
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkActionFactory.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kActionsPerEvent = 4;
constexpr uint32_t kQueuedActions = 1000;
constexpr ZkUniqueID kEventID = 100;
constexpr ZkUniqueID kQueuedEventID = 101;
constexpr uint16_t kStopOnTarget = 0x0102;
constexpr int32_t kFarDelaySamples = 1000 * 1024;

// The object index with an event of four stops and the 1,000 stops kept waiting.
struct Events
{
    Events()
    {
        EnsureMemoryMgr();
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        g_pObjectIndex->InitTables();
        event = MakeEvent(kEventID, kActionsPerEvent, 0);
        queued = MakeEvent(kQueuedEventID, 1, kFarDelaySamples);
    }
    ~Events()
    {
        event->Release();
        queued->Release();
        for (CZkEventAction* action : actions)
            action->Release();
        g_pObjectIndex->FreeTables();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
        g_pObjectIndex = nullptr;
    }

    CZkEventObject* MakeEvent(ZkUniqueID id, uint32_t count, int32_t delaySamples)
    {
        std::vector<uint8_t> body(5);
        std::memcpy(body.data(), &id, 4);
        body[4] = static_cast<uint8_t>(count);
        for (uint32_t index = 0; index < count; ++index)
        {
            const ZkUniqueID actionID = id * 10 + index;
            CZkEventAction* action = CZkActionFactory::Create(kStopOnTarget, actionID);
            action->SetTarget(0xDEAD0000 + index, false);
            action->SetIntProperty(ZkProp_ActionDelay, delaySamples, 0, 0);
            actions.push_back(action);
            body.resize(body.size() + 4);
            std::memcpy(body.data() + body.size() - 4, &actionID, 4);
        }
        CZkEventObject* made = CZkEventObject::Create(id);
        made->ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
        made->AddToIndex();
        return made;
    }

    CZkEventObject* event = nullptr;
    CZkEventObject* queued = nullptr;
    std::vector<CZkEventAction*> actions;
};

void Ours(benchmark::State& state)
{
    Events events;
    EventManager manager;
    manager.Init(CZkMessageRing::kMinimumCapacityBytes);
    for (uint32_t index = 0; index < kQueuedActions; ++index)
        manager.EnqueueEventActions(events.queued, nullptr, ZK_ALL_GAME_OBJECTS, 1, 0, ZkPlayRecord{}, 0, false);
    PeerBench::MeasurePerUnit(state, "event", 1.0, [&] {
        manager.EnqueueEventActions(events.event, nullptr, ZK_ALL_GAME_OBJECTS, 2, 0, ZkPlayRecord{}, 0, true);
        manager.ExecuteDuePendingActions();
    });
    if (manager.ActivePendingCount() != kQueuedActions)
        state.SkipWithError("the queued actions did not stay");
    manager.Term();
}

// The peer: the same records, scheduled in a std::multimap.
class MultimapScheduler
{
public:
    ~MultimapScheduler()
    {
        for (auto& [due, pending] : m_queue)
            Drop(pending);
    }
    void Post(CZkEventObject& event, uint32_t dueFrame)
    {
        for (CZkEventAction* action = event.FirstAction(); action != nullptr; action = action->pNextAction)
        {
            auto* pending = new PendingAction(action, nullptr);
            pending->playingID = 2;
            action->AddRef();
            m_queue.emplace(dueFrame, pending);
        }
    }
    void ExecuteDue(uint32_t frame)
    {
        while (!m_queue.empty() && m_queue.begin()->first <= frame)
        {
            PendingAction* pending = m_queue.begin()->second;
            m_queue.erase(m_queue.begin());
            pending->action->Execute(*pending);
            Drop(pending);
        }
    }
    size_t Size() const { return m_queue.size(); }

private:
    static void Drop(PendingAction* pending)
    {
        pending->action->Release();
        delete pending;
    }

    std::multimap<uint32_t, PendingAction*> m_queue;
};

void Multimap(benchmark::State& state)
{
    Events events;
    {
        MultimapScheduler scheduler;
        for (uint32_t index = 0; index < kQueuedActions; ++index)
            scheduler.Post(*events.queued, 1000);
        PeerBench::MeasurePerUnit(state, "event", 1.0, [&] {
            scheduler.Post(*events.event, 0);
            scheduler.ExecuteDue(0);
        });
        if (scheduler.Size() != kQueuedActions)
            state.SkipWithError("the queued actions did not stay");
    }
}

const bool s_registered = [] {
    PeerBench::PeerRuns("PendingActions/post_and_execute_4", "ours", Ours);
    PeerBench::PeerRuns("PendingActions/post_and_execute_4", "multimap", Multimap);
    return true;
}();
} // namespace
