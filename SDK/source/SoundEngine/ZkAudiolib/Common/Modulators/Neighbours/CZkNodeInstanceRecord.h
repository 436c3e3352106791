// CZkNodeInstanceRecord (declaration only): the node-instance record of a play that started a
// modulator instance (a container's play context). It is counted by the instances that keep it,
// and stops the playback it owns that a modulator instance modulates: its playing instances whose
// modulator links hold the instance, and its queued run-time plays that carry the instance.
// No such record is made yet, so no instance ever holds one: every operation answers 4.
//
// Threading: audio thread, under the global engine lock. Ownership: counted by its holders.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkModulatorInstance;

class CZkNodeInstanceRecord
{
public:
    ZKRESULT AddRef() { return ZK_NotImplemented; }
    ZKRESULT Release() { return ZK_NotImplemented; }
    // Stops the record's playing instances and queued run-time plays that the instance modulates.
    ZKRESULT StopModulatedPlayback(CZkModulatorInstance*) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
