// CZkBus (declaration only): a bus of the sound hierarchy. Its device id is the audio-device share
// set its mix goes to (its own, or the nearest parent's); the output devices re-point buses when a
// device moves to another share set, and find the device a root bus feeds.
//
// Threading: engine thread, under the global engine lock. Ownership: the object index's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

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
};
} // namespace ZK::SoundEngine
