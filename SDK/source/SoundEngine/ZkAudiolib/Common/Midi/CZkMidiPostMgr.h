// CZkMidiPostMgr: the engine's MIDI post manager. MIDI events that the game posts on playing ids
// are queued per target (CZkMidiPostTarget: a node played for one game object under one playing
// id), moved once per audio frame into one time-ordered dispatch list, and dispatched as notes and
// game-parameter values (CZkMidiDispatcher). The manager advances in a global callback at location
// 16 (the start of each frame's render), which Create registers and Destroy removes.
//
// A posted target lives from the first post of its (node, playing id, game object) until its queue
// has run dry and nothing else holds it (no note of it sounds or waits), or until it is stopped;
// it holds a pending reference on its playing id meanwhile, so the end-of-event callback comes
// after its last note.
//
// Threading: the audio thread (the engine tick, under the global engine lock): the message handlers
// of PostMIDIOnEvent, StopMIDIOnEvent and the playing-id actions, and the frame callback. Create
// and Destroy run in the engine's Init and Term. No lock of its own.
// Ownership: one manager (memory pool 0), reached through g_pMidiPostMgr while it exists; it owns
// its targets (the list's reference) and its dispatch list.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Midi/CZkMidiDispatcher.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMidiTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMidiPostTarget;

class CZkMidiPostMgr final : public CZkMidiDispatcher
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    // An absolute offset further ahead than this (in seconds of the engine's rate) is taken as one
    // already past: it plays at the start of the next frame.
    static constexpr uint32_t kLongestWaitSeconds = 3600;
    // Actions on a playing id.
    static constexpr uint32_t kActionStop = 0;
    static constexpr uint32_t kActionPause = 1;
    static constexpr uint32_t kActionResume = 2;

    // Made and destroyed only through Create and Destroy.
    CZkMidiPostMgr() = default;
    ~CZkMidiPostMgr() override;
    CZkMidiPostMgr(const CZkMidiPostMgr&) = delete;
    CZkMidiPostMgr& operator=(const CZkMidiPostMgr&) = delete;

    // The manager, made on first use with its frame callback registered at location 16; null when
    // it cannot be allocated or registered (nothing is left behind then).
    static CZkMidiPostMgr* Create();
    // Unregisters the frame callback, stops and frees every target, the notes and the manager.
    static void Destroy();

    // Queues count posts for the node on the game object under the playing id. Nothing happens for
    // node 0, object all ones, an object that is not registered, a playing id of 0 without a target
    // already (0 matches any playing id), a node that is not loaded, or when memory runs out.
    // Offsets count from the next frame's start, or with absolute from the engine's start.
    void PostMidiEvents(ZkUniqueID nodeID, ZkGameObjectID gameObject, ZkPlayingID playingID, const ZkMIDIPost* posts,
                        uint32_t count, bool absolute);
    // The targets of a node (0: any), game object (all ones: any) and playing id (0: any) stop: their
    // notes end at once and they are freed. 1.
    ZKRESULT StopMidiOnEvent(ZkUniqueID nodeID, ZkGameObjectID gameObject, ZkPlayingID playingID);
    // An action on the targets of a playing id (0: all): 0 stop, 1 pause, 2 resume; other actions
    // do nothing. 1.
    ZKRESULT ExecuteActionOnPlayingID(uint32_t action, ZkPlayingID playingID);

    // The sample time of the frame being rendered: frames per buffer x (frame counter + 1).
    uint64_t FrameSampleTime() const { return m_frameSampleTime; }
    uint32_t TargetCount() const;

    // One frame of frames samples: the due events of every target that is not paused, in time
    // order, dispatched; finished targets freed. The frame callback runs it.
    void AdvanceFrame(uint32_t frames);

protected:
    bool HasOtherTargetFor(const ZkMidiChannelState& record, const CZkMidiTarget& except) const override;

private:
    // An entry of the frame's dispatch list (its order word: ZkMidiDispatchOrder).
    struct DispatchEntry
    {
        CZkMidiPostTarget* target; // a reference held
        ZkMIDIEvent event;
        uint32_t offset;
        uint32_t order;
    };
    static void OnFrame(ZK::IZkGlobalPluginContext* context, ZK::ZkGlobalCallbackLocation location, void* cookie);
    CZkMidiPostTarget* FindTarget(ZkUniqueID nodeID, ZkPlayingID playingID, const CZkRegisteredObj* object) const;
    void AddToDispatch(CZkMidiPostTarget& target, const ZkMIDIEvent& event, uint32_t offset, uint32_t order);
    // Its notes end, it leaves the list, it is marked stopped, its record may go, the list's
    // reference is given back.
    void EndTarget(CZkMidiPostTarget* target, CZkMidiPostTarget* before);
    template <typename Match>
    void EndTargets(Match match);

    CZkMidiPostTarget* m_targets = nullptr; // newest first
    ZK::ZkArray<DispatchEntry> m_dispatch;  // kept from frame to frame: a steady frame allocates nothing
    uint64_t m_frameSampleTime = 0;
};

// Null until the engine's initialisation creates the MIDI post manager.
extern CZkMidiPostMgr* g_pMidiPostMgr;
} // namespace ZK::SoundEngine
