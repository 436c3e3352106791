// CZkMusicPlayRecord (declaration only): the playback state of one top-level music play: its playing
// id, its speed evaluation, its sequencing and its MIDI-track players. The music engine advances it
// once per frame, asks it for the next sync point of a state group and hands it state changes to
// hold until then. Not built yet: every operation answers 4 or does nothing.
//
// Threading: engine thread, under the global engine lock. Ownership: its context's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;
}

namespace ZK::MusicEngine
{
struct PendingStateChange;

// Where a change of a state group may take effect next: samples from now, and what the scheduling
// of that point needs.
struct SyncPointAnswer
{
    bool found = false;
    int64_t samplesFromNow = 0;
    uint32_t steps = 0;
    int64_t scheduleTime = 0;
};

class CZkMusicPlayRecord
{
public:
    ZkPlayingID playingID = 0;
    bool speedEvaluated = false; // cleared to make the next Advance evaluate the speed again
    uint8_t refreshValue = 0;    // non-zero: the context refreshes before the speed is evaluated

    // One frame of the engine's samples: speed, sequencing, MIDI. Not built yet: nothing.
    void Advance(uint32_t /*frames*/) {}
    ZKRESULT GetNextSyncPoint(ZkUniqueID /*stateGroup*/, SyncPointAnswer& /*answer*/) { return ZK_NotImplemented; }
    ZKRESULT QueueStateChange(PendingStateChange* /*record*/, uint32_t /*steps*/, int64_t /*scheduleTime*/)
    {
        return ZK_NotImplemented;
    }
    // The MIDI-track players whose media lie in the bank take it from another bank, or stop.
    ZKRESULT OnBankUnload(SoundEngine::LoadedBank* /*bank*/) { return ZK_NotImplemented; }
};
} // namespace ZK::MusicEngine
