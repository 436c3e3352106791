// Dynamic sequences: a playback the game feeds item by item. Open gives the sequence's playing id;
// the game fills its playlist between LockPlaylist and UnlockPlaylist while it plays, and Play,
// Pause, Resume, Stop, Break, Seek and Close travel to the engine as messages. Each item names an
// audio node, a delay before it starts, a custom-info pointer handed back in the item callbacks
// (callback type 0x2 of the playing id) and optionally external sources.
//
// A sample-accurate sequence (type 0) starts each item on the sample after the one before ends, on
// the same voice, when both have the same channel layout (another layout starts after the one
// before, on a frame boundary); its items are exempt from playback limits. Any other type starts
// the next item once the one before is gone.
//
// Threading: any thread. LockPlaylist enters the sequence's own lock, which the engine thread takes
// to pop the next item: edit quickly, and unlock from the thread that locked. Ownership: the
// playlist and its items belong to the sequence; an item's custom info stays the game's.
#pragma once

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkExternalSourceArray;
}

namespace ZK::SoundEngine::DynamicSequence
{
enum DynamicSequenceType : uint32_t
{
    DynamicSequenceType_SampleAccurate = 0, // the next item joins the voice of the one before
    DynamicSequenceType_NormalTransition = 1,
};

// One item of a playlist (24 bytes).
struct ZkPlaylistItem
{
    ZkUniqueID audioNodeID = 0; // 0: an empty item, reported and skipped
    uint32_t delayMs = 0;       // before the item starts
    void* customInfo = nullptr;
    ZkExternalSourceArray* externalSources = nullptr; // a reference held; null for none

    // This item becomes a copy of source: its external-source reference is given back, source's
    // sources gain one. Returns this item.
    ZkPlaylistItem& Assign(const ZkPlaylistItem& source);
    // The item's external sources become a copy of count records (none for 0). 1; 52 out of
    // memory (the item then has none).
    ZKRESULT SetExternalSources(uint32_t count, const ZkExternalSourceInfo* sources);
    // Gives back the external-source reference.
    void ClearExternalSources();
};
static_assert(sizeof(ZkPlaylistItem) == 24, "playlist items are 24 bytes");

// The items of a sequence in order (memory pool 0; grows by half its capacity).
class Playlist
{
public:
    Playlist() = default;
    ~Playlist() { RemoveAll(); Term(); }
    Playlist(const Playlist&) = delete;
    Playlist& operator=(const Playlist&) = delete;

    // Appends an item. 1; 52 out of memory (the playlist is unchanged).
    ZKRESULT Enqueue(ZkUniqueID audioNodeID, uint32_t delayMs = 0, void* customInfo = nullptr,
                     uint32_t externalSourceCount = 0, const ZkExternalSourceInfo* externalSources = nullptr);
    // Inserts a copy of item at index (at most Length()). 1; 31 past the end; 52 out of memory.
    ZKRESULT Insert(uint32_t index, const ZkPlaylistItem& item);
    // Removes the item at index (its external sources are given back); the following ones move
    // down. 1; 31 past the end.
    ZKRESULT Erase(uint32_t index);
    void RemoveAll();
    // Frees the storage (the playlist must be empty).
    void Term();

    uint32_t Length() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    ZkPlaylistItem& operator[](uint32_t index) { return m_items[index]; }
    const ZkPlaylistItem& operator[](uint32_t index) const { return m_items[index]; }

private:
    bool Reserve(uint32_t capacity);

    ZkPlaylistItem* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};

// A new sequence on the game object (it must be registered when the engine reads the message, or
// the sequence does nothing), with the playing id's callback, cookie and flags. Its playing id;
// 0 when the engine is not running or memory runs out.
ZkPlayingID Open(ZkGameObjectID gameObject, uint32_t flags = 0, ZkCallbackFunc callback = nullptr,
                 void* cookie = nullptr, DynamicSequenceType type = DynamicSequenceType_SampleAccurate);

// Each: 1 when posted; 2 when the id is no open sequence (or was closed).
ZKRESULT Play(ZkPlayingID sequence, ZkTimeMs transitionMs = 0,
              ZkCurveInterpolation curve = ZkCurveInterpolation_Linear);
ZKRESULT Pause(ZkPlayingID sequence, ZkTimeMs transitionMs = 0,
               ZkCurveInterpolation curve = ZkCurveInterpolation_Linear);
ZKRESULT Resume(ZkPlayingID sequence, ZkTimeMs transitionMs = 0,
                ZkCurveInterpolation curve = ZkCurveInterpolation_Linear);
ZKRESULT Stop(ZkPlayingID sequence, ZkTimeMs transitionMs = 0,
              ZkCurveInterpolation curve = ZkCurveInterpolation_Linear);
// The playing item plays out; nothing follows it.
ZKRESULT Break(ZkPlayingID sequence);
// Closed at once for every later call; the end-of-event callback follows once nothing of the
// sequence plays any more.
ZKRESULT Close(ZkPlayingID sequence);
// Seeks the playing item to a time, or to a fraction of its duration (95 when the fraction is not
// finite).
ZKRESULT Seek(ZkPlayingID sequence, ZkTimeMs positionMs, bool snapToNearestMarker = false);
ZKRESULT Seek(ZkPlayingID sequence, float fraction, bool snapToNearestMarker = false);

// The playlist with the sequence's lock entered (a closed sequence too); null when the id is no
// sequence. Every successful lock needs its UnlockPlaylist.
Playlist* LockPlaylist(ZkPlayingID sequence);
// Leaves the lock; a sequence that waits for an item starts the playlist's next one. 1; 2 when the
// id is no sequence or the calling thread does not hold its playlist (nothing changes then).
ZKRESULT UnlockPlaylist(ZkPlayingID sequence);

// In frames of the engine's frame counter: when the sequence was paused (0 when it is not) and the
// paused time gathered since the last call, which starts again from 0. 1; 2 when no sequence.
ZKRESULT GetPauseTimes(ZkPlayingID sequence, uint32_t& pauseStart, uint32_t& pausedFrames);
// The item taken last from the playlist: its audio node (0 when none) and custom info. 1; 2.
ZKRESULT GetPlayingItem(ZkPlayingID sequence, ZkUniqueID& audioNodeID, void*& customInfo);
} // namespace ZK::SoundEngine::DynamicSequence
