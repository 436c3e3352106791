// The music engine's process-wide state: the settings factor, the speed-refresh request, the list
// of playing top-level music contexts, and the pending state changes (changes the music holds
// until a sync point), with their records.
//
// Pending records come from a free list; four are preallocated in one block by Start, so ordinary
// deferrals allocate nothing. When the free list is empty a record is allocated singly (pool 0);
// a record given back goes to the free list when it lies in the block and is freed otherwise.
//
// The state also keeps the list the sync-point search collects sync kinds into (see SyncKinds).
//
// Threading: engine thread only, inside the tick under the global engine lock (Start and Release
// run while the engine does not tick: in ZK::MusicEngine::Init and at the engine's termination).
// No lock of its own. Ownership: the state owns the record block and the singly allocated records;
// it does not own the contexts of its playing list.
#pragma once

#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
struct PendingStateChange
{
    static constexpr uint32_t kDone = 0x1;    // applied, superseded or cancelled: never apply again
    static constexpr uint32_t kWaiting = 0x2; // a music context holds it until its sync point

    PendingStateChange* next;
    ZkUniqueID stateGroup;
    ZkUniqueID state;
    uint32_t flags;
};

class MusicEngineState
{
public:
    static constexpr uint32_t kPreallocatedRecords = 4;

    static MusicEngineState& Get();

    // Stores the factor, clears the speed-refresh request and allocates the record block: 1, or 2
    // without memory (nothing changed).
    ZKRESULT Start(float lookAheadFactor);
    // True from Start until Release.
    bool IsRunning() const { return m_block != nullptr; }
    // Empties the playing list, gives back every pending record, frees the singly allocated ones
    // and the block; every field is zero again.
    void Release();

    // --- Playing top-level contexts (pushed at the head) ---
    CZkMusicTimelineContext* FirstPlaying() const { return m_playingHead; }
    void PushPlaying(CZkMusicTimelineContext* context);
    void RemovePlaying(CZkMusicTimelineContext* context);

    // --- Speed refresh ---
    void RequestSpeedRefresh(uint8_t value);
    // True (and the value) once per request; the request is cleared.
    bool TakeSpeedRefresh(uint8_t& value);

    // --- Pending state changes ---
    // A record from the free list, else allocated singly; null without memory.
    PendingStateChange* TakeRecord();
    // Pushes the record at the head of the pending list and counts it.
    void PushPending(PendingStateChange* record);
    // Takes the record out of the pending list (it must be there) and gives it back.
    void DropPending(PendingStateChange* record);
    // Marks done every pending record of the group.
    void MarkGroupDone(ZkUniqueID stateGroup);
    // Marks done every record of the record's group that was pushed before it (older requests).
    void MarkOlderOfGroupDone(const PendingStateChange& record);
    // Takes every record no context holds (waiting bit clear) out of the pending list and gives
    // it back.
    void Purge();
    uint32_t PendingCount() const { return m_pendingCount; }

    float LookAheadFactor() const { return m_lookAheadFactor; }

    // Where the sync-point search collects a segment's sync kinds for a group: room for every
    // kind is taken by Start, so a search allocates nothing unless a bank uses unknown kinds.
    ZK::ZkArray<uint32_t>& SyncKinds() { return m_syncKinds; }

private:
    // Back to the free list when the record lies in the block, freed otherwise.
    void GiveBack(PendingStateChange* record);
    // Unlinks the record that follows previous (null: the head).
    void Unlink(PendingStateChange* previous, PendingStateChange* record);

    float m_lookAheadFactor = 0.0f;
    bool m_speedRefreshRequested = false;
    uint8_t m_speedRefreshValue = 0;

    CZkMusicTimelineContext* m_playingHead = nullptr;
    CZkMusicTimelineContext* m_playingTail = nullptr;

    PendingStateChange* m_pendingHead = nullptr;
    PendingStateChange* m_pendingTail = nullptr;
    PendingStateChange* m_freeRecords = nullptr;
    PendingStateChange* m_block = nullptr;
    uint32_t m_preallocated = 0;
    uint32_t m_pendingCount = 0;

    ZK::ZkArray<uint32_t> m_syncKinds;
};
} // namespace ZK::MusicEngine
