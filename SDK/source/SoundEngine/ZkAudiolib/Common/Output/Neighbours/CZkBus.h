// CZkBus (declaration only): a bus of the sound hierarchy. Its device id is the audio-device share
// set its mix goes to (its own, or the nearest parent's); the output devices re-point buses when a
// device moves to another share set, and find the device a root bus feeds. The engine messages
// send an action to the playing instances of a playing id through it (32, 57) and mute or unmute
// the background music (52).
//
// Threading: engine thread, under the global engine lock. Ownership: the object index's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkBus
{
public:
    // Every bus whose share set is oldID takes newID. Not built yet: 4, nothing changed.
    static ZKRESULT ResolveDeviceIDs(uint32_t, uint32_t) { return ZK_NotImplemented; }
    // The share set of this bus or of its nearest parent that names one, kept in this bus. Not
    // built yet: none (0).
    uint32_t ResolveOutputShareSet() { return 0; }
    // The action code (0 stop, 1 pause, 2 resume, 3 target notification, 5 break) for every playing
    // instance of the playing id. Not built yet: 4, nothing changes.
    static ZKRESULT ExecuteActionOnPlayingID(uint32_t, ZkPlayingID, ZkTimeMs, uint32_t) { return ZK_NotImplemented; }
    // The buses that duck for background music. Not built yet: 4.
    static ZKRESULT MuteBackgroundMusic() { return ZK_NotImplemented; }
    static ZKRESULT UnmuteBackgroundMusic() { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
