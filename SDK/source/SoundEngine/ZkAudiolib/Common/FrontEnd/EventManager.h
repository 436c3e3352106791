// EventManager: the engine's central object. It owns the message ring through which every
// state-changing call reaches the engine, and is the ring's dispatcher: each message read from the
// ring goes to the handler of its type (the managers of game parameters, game syncs and game
// objects, the output devices, and the parts that run events). It also keeps the audio frame
// counter, the engine-wide values set by messages (offline rendering, the random seed), the custom
// message handlers, the tick's state and the pending actions of posted events.
//
// Life cycle: construct, Init (the ring and the pending lists' node blocks), StartThread, posts and
// ticks, StopThread, Term (the ring discards what is still queued, releasing what each message
// holds; every pending action is dropped unexecuted), destroy.
// Threading: ReserveMessage and FinishMessage from any thread (lock-free writers). ProcessMessages,
// Dispatch and everything the handlers touch run on the reader's thread under the global engine
// lock: the engine tick, or a writer draining a full ring. The frame counter, the offline values and
// the tick's state belong to whoever ticks (the engine thread, or the game's thread without one).
// Ownership: the engine's singleton (memory pool 16), reached through g_pEventMgr; it owns the ring,
// the custom-handler table and the pending actions with their list nodes (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/FrontEnd/ZkPendingActionList.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEventAction;
class CZkEventObject;
class CZkGameObject;
class CZkHierarchyNode;
class CZkModulatorInstance;
class CZkPlayingInstance;
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
    // a ring too small, 2 when its buffer cannot be had); then the pending lists' node blocks (52).
    ZKRESULT Init(uint32_t ringCapacityBytes);
    // Discards the queued messages (releasing what they hold), drops every pending action without
    // running it, and frees the ring, the lists and the table.
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

    // --- The tick and the engine thread (EventManagerTick.cpp, EngineThread) ---
    // The engine's frame: under the global engine lock, the queued messages, the due pending
    // actions, the game objects' positions and as many rendered audio frames as the output takes,
    // with the global callbacks at 2 (start), 4 (before each frame's messages, when frames render),
    // 8 (game objects flushed), 16 and 32 (around each frame's render) and 64 (end). The engine
    // thread calls it with false; EndFrame on the caller with true (offline rendering ticks only
    // so, when the game renders).
    void Tick(bool synchronous);
    // How many audio frames this tick renders: what the output takes; in offline rendering with a
    // frame time, that time's frames with the fraction carried from tick to tick; with no device
    // consuming buffers, the frames the clock has run since the last render (one after a stall of
    // more than a second).
    uint32_t FramesToRender();
    // Closes the batch of messages posted so far (a frame marker when the ring holds any), then runs
    // the tick here when rendering offline, or without an engine thread when allowSyncRender;
    // otherwise wakes the engine thread when a marker was posted. 1.
    ZKRESULT EndFrame(bool allowSyncRender);
    // Seeds the engine's random generator from the clock and starts the engine thread (without one,
    // sets the calling thread up for the audio devices), then ends a first frame. The thread's start
    // result (1 without a thread).
    ZKRESULT StartThread();
    // Stops the engine thread, or tears the calling thread's audio set-up down; nothing when
    // StartThread did not run.
    void StopThread();
    // Stamps the last render time with now (a device started again or was replaced). 1.
    ZKRESULT ResetTimingReference();
    // The render step with the processor's flush-to-zero mode on (and denormals read as zero), the
    // previous mode restored after it. The tick passes the renderer's pass.
    using RenderStep = ZKRESULT (*)();
    static void RenderPassNoDenormals(RenderStep step);

    // --- Pending actions (EventManagerPending.cpp, EventManagerPendingWalkers.cpp) ---
    // Every action of a posted event becomes a PendingAction: one whose delay is under one audio
    // frame runs at once, a delayed one waits in the active list (sorted by due frame) and runs in
    // the tick of its frame. Pauses move pending actions to the paused list, which freezes their
    // remaining delay; stops and playing-id calls remove them. Each record holds a reference on
    // its playing id, so the end of a playing id waits for its delayed actions. Duck-recovery
    // actions (type 0x1820) are left alone by every pause, resume, stop and remove walker.

    // One pending action per action of the event, in list order, each with the play record (its
    // external sources gain a reference per record). An action that acts for the posting game
    // object is skipped when gameObject is null or no longer registered. 1; 2 for a null event.
    ZKRESULT EnqueueEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject, ZkGameObjectID gameObjectID,
                                 ZkPlayingID playingID, ZkPlayingID playingIDFilter, const ZkPlayRecord& play,
                                 uint32_t sampleOffset, bool force);
    // Takes the record (made in memory pool 0) and references on its playing id and action; the
    // delay is the action's own plus sampleOffset. Under one frame (and not forced) the action
    // runs at once; otherwise it waits in the active list. 1, the immediate execution's result,
    // or 52 when no list node can be had (the record is dropped unexecuted).
    ZKRESULT EnqueuePendingAction(PendingAction* pending, uint32_t sampleOffset, bool force);
    // Runs, in due order, every active pending action whose due frame has come. True when it ran
    // one.
    bool ExecuteDuePendingActions();

    // Walkers. A node filter matches an action whose target is the node, lies below it or is
    // routed through it (null: every action; an action without a loaded target matches only a
    // null filter); a game-object filter matches the record's object (null: any); a playing-id
    // filter the record's playing id (0: any). The AllExcept forms match every target but those
    // in the exception list.
    void StopPendingActions(const CZkHierarchyNode* node, const CZkGameObject* object, ZkPlayingID playingID);
    void StopPendingActionsAllExcept(const CZkGameObject* object, const ZK::ZkArray<ZkNodeKey>& exceptions,
                                     ZkPlayingID playingID);
    // Only the play actions (0x0403 and run-time plays).
    void StopPendingPlayActions(const CZkHierarchyNode* node, const CZkGameObject* object, ZkPlayingID playingID);
    void StopActivePendingActionsOfNode(const CZkHierarchyNode* node);
    void StopPausedPendingActionsOfNode(const CZkHierarchyNode* node);
    // Mode 2: the active records of the action whose object matches, and the paused ones likewise;
    // mode 3: every active record of the action, and the paused ones whose object matches. Other
    // modes do nothing. 1.
    ZKRESULT StopPendingActionsOfAction(const CZkEventAction* action, const CZkGameObject* object, uint32_t mode);
    // The run-time plays waiting in either list that hand the modulator instance on to the play
    // they launch (it ends and stops what it modulates).
    void StopPendingPlaysCarrying(const CZkModulatorInstance* instance);
    ZKRESULT RemovePendingActionsOfPlayingID(ZkPlayingID playingID);
    // The records of the action id (and of the playing id, when not 0); then the MIDI posts of the
    // playing id stop.
    void RemovePendingActionsOfKey(ZkUniqueID actionID, ZkPlayingID playingID);

    // Active matching records move to the paused list; paused ones count one pause more. Resume
    // actions (kind 0x03) are paused only with includeResumeKinds.
    void PausePendingActions(const CZkHierarchyNode* node, const CZkGameObject* object, bool includeResumeKinds,
                             ZkPlayingID playingID);
    void PausePendingActionsAllExcept(const CZkGameObject* object, const ZK::ZkArray<ZkNodeKey>& exceptions,
                                      bool includeResumeKinds, ZkPlayingID playingID);
    ZKRESULT PausePendingActionsOfPlayingID(ZkPlayingID playingID);
    void PausePendingActionsOfKey(ZkUniqueID actionID, ZkPlayingID playingID);
    void PausePendingActionsOfActionObj(const CZkEventAction* action);
    void PausePendingAction(PendingAction* pending);
    // Paused matching records with no pause left (or all of them with resumeAll) go back to the
    // active list with the delay they had left; the others count one pause less.
    void ResumePendingActions(const CZkHierarchyNode* node, const CZkGameObject* object, bool resumeAll,
                              ZkPlayingID playingID);
    void ResumePendingActionsAllExcept(const CZkGameObject* object, const ZK::ZkArray<ZkNodeKey>& exceptions,
                                       bool resumeAll, ZkPlayingID playingID);
    ZKRESULT ResumePendingActionsOfPlayingID(ZkPlayingID playingID);
    void ResumePendingActionsOfKey(ZkUniqueID actionID, ZkPlayingID playingID);
    void ResumePendingActionsOfActionObj(const CZkEventAction* action);
    // The run-time plays waiting in either list forget the playing instance that queued them (it
    // ends).
    void NotifyPendingDynamicPlays(const CZkPlayingInstance* instance);

    // Message 33: the action applied to the event's actions (and the nodes they target) for the
    // object (null: every object) and playing id (0: every one). Post-event actions are followed
    // into the events they post. 1.
    ZKRESULT ExecuteActionOnEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject,
                                         const ZkActionOnEventMessage& request);
    // Message 39: every play action's target node seeks for the object and playing id. 1.
    ZKRESULT SeekOnEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject,
                                const ZkSeekOnEventMessage& request);

    uint32_t ActivePendingCount() const { return m_activeActions.Length(); }
    uint32_t PausedPendingCount() const { return m_pausedActions.Length(); }
    // How deep immediate post-event actions are nested now; the post-event action refuses to go
    // deeper than kMaxNestedPosts (an event that posts itself ends there).
    static constexpr uint32_t kMaxNestedPosts = 32;
    uint32_t& NestedPostDepth() { return m_nestedPostDepth; }

    uint32_t frameCounter = 0; // audio frames rendered since the start
    // The frame counter for a reader on another thread than the one that ticks (the tick raises it
    // atomically).
    uint32_t FramesRendered() const
    {
        return std::atomic_ref<uint32_t>(const_cast<uint32_t&>(frameCounter)).load(std::memory_order_relaxed);
    }

private:
    struct CustomHandler
    {
        uint32_t customID;
        ZkCustomMessageHandler handler;
    };

    // Drops the playing-id reference and the action reference of a record taken out of the lists
    // (or never listed), and frees it.
    static void DiscardPendingAction(PendingAction* pending);
    // Discards a chain of extracted records.
    static void DiscardChain(PendingAction* chain);
    // Puts a record into the active list, due frames from now (from its pause when resumed).
    bool InsertActive(PendingAction* pending, uint32_t dueFrame);
    template <typename Match>
    void StopMatching(Match match);
    template <typename Match>
    void PauseMatching(Match match);
    template <typename Match>
    void ResumeMatching(Match match, bool resumeAll);
    void TermPendingActions();
    // Message 33 on one event's actions; depth counts the post-event actions followed so far.
    void ActOnEventActions(const CZkEventObject& event, CZkRegisteredObj* object,
                           const ZkActionOnEventMessage& request, uint32_t depth);

    // What the tick keeps from one tick to the next.
    struct TickState
    {
        enum class Driver : uint8_t
        {
            None,       // StartThread has not run
            OwnThread,  // the engine thread ticks
            Caller,     // the game's thread ticks (RenderAudio)
        };
        int64_t lastRenderTime = 0; // counter stamp of the last tick that rendered, or of a device reset
        int64_t tickStartTime = 0;  // counter stamp of the current tick's start
        uint32_t idleTicks = 0;     // consecutive ticks without frames to render
        float frameFraction = 0.0f; // frames carried between ticks
        bool dirty = false;         // messages or actions ran since game objects were last flushed
        Driver driver = Driver::None;
    };

    // One frame's steps after its messages and actions: the per-frame steps of every manager, the
    // render pass, the buffer pool's flush and the playing instances' deferred commands.
    void RenderFrame();
    // The idle-tick rule: after a device time-out without frames, the devices waiting for a new
    // start are started again.
    void CountIdleTick();

    CZkMessageRing m_ring;
    ZK::ZkArray<CustomHandler> m_customHandlers;
    float m_offlineFrameTimeSeconds = 0.0f;
    ZkPendingActionList m_activeActions;
    ZkPendingActionList m_pausedActions;
    uint32_t m_nestedPostDepth = 0;
    TickState m_tick;
};

// Null until the engine's initialisation creates the event manager.
extern EventManager* g_pEventMgr;
} // namespace ZK::SoundEngine
