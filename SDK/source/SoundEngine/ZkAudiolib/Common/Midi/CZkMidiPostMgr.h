// CZkMidiPostMgr: the engine's MIDI post manager. MIDI events posted on playing ids (and read from
// music tracks) are queued per target (a node played for one game object under one playing id),
// moved once per audio frame into a time-ordered dispatch list, and dispatched as notes and game-
// parameter values. The manager advances in a global callback at location 16 (the start of each
// frame's render), which Create registers and Destroy removes.
//
// Posting MIDI, its targets and its notes are not built yet: the manager exists from the engine's
// initialisation to its termination and keeps its frame clock, but holds no target, so a frame
// dispatches nothing; the calls that act on targets answer 4.
//
// Threading: the audio thread (the engine tick, under the global engine lock); Create and Destroy
// run in the engine's Init and Term. No lock of its own.
// Ownership: one manager (memory pool 0), reached through g_pMidiPostMgr while it exists.
#pragma once

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMidiPostMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // Made and destroyed only through Create and Destroy.
    CZkMidiPostMgr() = default;
    ~CZkMidiPostMgr() = default;
    CZkMidiPostMgr(const CZkMidiPostMgr&) = delete;
    CZkMidiPostMgr& operator=(const CZkMidiPostMgr&) = delete;

    // The manager, made on first use with its frame callback registered at location 16; null when
    // it cannot be allocated or registered (nothing is left behind then).
    static CZkMidiPostMgr* Create();
    // Unregisters the frame callback and frees the manager with everything it holds.
    static void Destroy();

    // An action on the MIDI posts of a playing id (0: all): 0 stop, 1 pause, 2 resume. Not built
    // yet: 4.
    ZKRESULT ExecuteActionOnPlayingID(uint32_t action, ZkPlayingID playingID);
    // The MIDI posts of a node (0: any), game object (all ones: any) and playing id (0: any) stop.
    // Not built yet: 4.
    ZKRESULT StopMidiOnEvent(ZkUniqueID nodeID, ZkGameObjectID gameObject, ZkPlayingID playingID);

    // The sample time of the frame being rendered: frames per buffer x (frame counter + 1).
    uint64_t FrameSampleTime() const { return m_frameSampleTime; }

private:
    // Once per audio frame (location 16): the frame's sample time; then each target's events of the
    // frame would be dispatched.
    static void OnFrame(ZK::IZkGlobalPluginContext* context, ZK::ZkGlobalCallbackLocation location, void* cookie);

    uint64_t m_frameSampleTime = 0;
};

// Null until the engine's initialisation creates the MIDI post manager.
extern CZkMidiPostMgr* g_pMidiPostMgr;
} // namespace ZK::SoundEngine
