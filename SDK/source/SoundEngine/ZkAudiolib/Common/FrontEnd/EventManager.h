// EventManager: the engine's central object. It owns the message ring through which every
// state-changing call reaches the engine, and is the ring's dispatcher: each message read from the
// ring goes to the handler of its type (the managers of game parameters, game syncs and game
// objects, the output devices, and the parts that run events). It also keeps the audio frame
// counter, the engine-wide values set by messages (offline rendering, the random seed), the custom
// message handlers and, once built, the pending actions and the engine thread.
//
// Life cycle: construct, Init (the ring), posts and ticks, Term (the ring discards what is still
// queued, releasing what each message holds), destroy.
// Threading: ReserveMessage and FinishMessage from any thread (lock-free writers). ProcessMessages,
// Dispatch and everything the handlers touch run on the reader's thread under the global engine
// lock: the engine tick, or a writer draining a full ring. The frame counter and the offline values
// are the engine thread's.
// Ownership: the engine's singleton (memory pool 16), reached through g_pEventMgr; it owns the ring
// and the custom-handler table (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRegisteredObj;

// A handler of custom messages (type 56): the payload that follows the custom id.
using ZkCustomMessageHandler = void (*)(uint32_t customID, const uint8_t* payload, uint32_t payloadBytes);

class EventManager final : public IZkMessageDispatcher
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;

    EventManager() = default;
    ~EventManager() { Term(); }
    EventManager(const EventManager&) = delete;
    EventManager& operator=(const EventManager&) = delete;

    // The ring of ringCapacityBytes with this manager as its dispatcher: the ring's results (31 for
    // a ring too small, 2 when its buffer cannot be had).
    ZKRESULT Init(uint32_t ringCapacityBytes);
    // Discards the queued messages (releasing what they hold) and frees the ring and the table.
    void Term();

    // --- Posting (any thread) ---
    uint8_t* ReserveMessage(uint16_t type, uint32_t size) { return m_ring.ReserveMessage(type, size); }
    void FinishMessage() { m_ring.FinishMessage(); }
    CZkMessageRing& Ring() { return m_ring; }

    // --- Reading (under the global engine lock) ---
    // Applies every counted frame batch of the ring. True when it read.
    bool ProcessMessages(bool& deviceChanged) { return m_ring.ProcessMessages(false, deviceChanged); }
    void Dispatch(const uint8_t* message, bool& deviceChanged) override;
    void Discard(const uint8_t* message) override;

    // --- Custom messages (type 56) ---
    // 1; 52 when the table cannot grow. A second handler for an id is never reached.
    ZKRESULT AddCustomHandler(uint32_t customID, ZkCustomMessageHandler handler);

    // --- Values set by messages ---
    // The frame time of offline rendering (message 59, selector 0), seconds.
    float OfflineFrameTimeSeconds() const { return m_offlineFrameTimeSeconds; }
    void SetOfflineFrameTimeSeconds(float seconds) { m_offlineFrameTimeSeconds = seconds; }
    // Message 56: the handler of the custom id gets the payload; an unknown id is skipped.
    void DispatchCustom(const uint8_t* message) const;

    // --- The tick and the engine thread (not built yet) ---
    // Closes the batch of messages posted so far (a frame marker when the ring holds any) and wakes
    // the engine thread. The engine's tick on the calling thread (offline rendering, or no engine
    // thread with allowSyncRender) is not built yet. 1.
    ZKRESULT EndFrame(bool allowSyncRender);
    // Runs the engine's tick on the calling thread, for a caller that waits for the engine without
    // an engine thread to run it. Not built yet: only the queued messages are applied (under the
    // global engine lock).
    void RunTickOnCaller();
    // Each: 4, nothing done.
    ZKRESULT Tick();
    ZKRESULT StartThread();
    ZKRESULT StopThread();
    // Stamps the last render time with now (device started again or replaced).
    ZKRESULT ResetTimingReference();

    // --- Pending actions (not built yet) ---
    // Each: 4, nothing scheduled, paused, resumed or removed; no reference is taken.
    ZKRESULT EnqueueEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject, ZkGameObjectID gameObjectID,
                                 ZkPlayingID playingID, ZkPlayingID playingIDFilter,
                                 ZkExternalSourceArray* externalSources, uint32_t sampleOffset, uint32_t force);
    ZKRESULT ExecuteDuePendingActions();
    ZKRESULT RemovePendingActionsOfPlayingID(ZkPlayingID playingID);
    ZKRESULT PausePendingActionsOfPlayingID(ZkPlayingID playingID);
    ZKRESULT ResumePendingActionsOfPlayingID(ZkPlayingID playingID);
    // Message 33: the action applied to the event's actions (and the nodes they target) for the
    // object (null: every object) and playing id (0: every one).
    ZKRESULT ExecuteActionOnEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject,
                                         const ZkActionOnEventMessage& request);
    // Message 39: every play action's target node seeks for the object and playing id.
    ZKRESULT SeekOnEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject,
                                const ZkSeekOnEventMessage& request);

    uint32_t frameCounter = 0; // audio frames rendered since the start

private:
    struct CustomHandler
    {
        uint32_t customID;
        ZkCustomMessageHandler handler;
    };

    CZkMessageRing m_ring;
    ZK::ZkArray<CustomHandler> m_customHandlers;
    float m_offlineFrameTimeSeconds = 0.0f;
};

// Null until the engine's initialisation creates the event manager.
extern EventManager* g_pEventMgr;
} // namespace ZK::SoundEngine
