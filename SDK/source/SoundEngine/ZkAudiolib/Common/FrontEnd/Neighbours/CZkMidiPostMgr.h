// CZkMidiPostMgr (declaration only): the MIDI posts on playing ids. The stop and playing-id action
// messages tell it the action too, when it exists; removing the pending actions of an action stops
// the MIDI posts of the playing id.
//
// Threading: engine thread, under the global engine lock. Ownership: the engine's singleton.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMidiPostMgr
{
public:
    // Not built yet: 4, nothing changes.
    ZKRESULT ExecuteActionOnPlayingID(uint32_t, ZkPlayingID) { return ZK_NotImplemented; }
    // The MIDI posts of a node (0: any), game object (all ones: any) and playing id stop. Not built
    // yet: 4, nothing stops.
    ZKRESULT StopMidiOnEvent(ZkUniqueID, ZkGameObjectID, ZkPlayingID) { return ZK_NotImplemented; }
};

// Null until the engine's initialisation creates the MIDI post manager.
inline CZkMidiPostMgr* g_pMidiPostMgr = nullptr;
} // namespace ZK::SoundEngine
