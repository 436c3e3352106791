// CZkSegmentInfoTable: where each playing music segment stands, for the playing ids that asked for
// it. The engine thread adds an entry when such a play starts, writes it every frame and removes it
// when the play ends; the game reads it (ZK::MusicEngine::GetPlayingSegmentInfo) from its own
// thread, with the position optionally moved on by the wall-clock time since the last write.
//
// Threading: every operation takes the table's own critical section, so the game thread and the
// engine thread may call at any time; the extrapolation is done inside it.
// Ownership: the table owns its entry array (memory pool 0); Release frees it. The process-wide
// table (ProcessTable) is a static object: empty at start, its array freed by the music engine's
// termination callback, before the memory manager ends.
#pragma once

#include "Platform/PlatformLock.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkSegmentInfoTable
{
public:
    // The clock the entries are stamped with, and its ticks per second.
    using Clock = int64_t (*)();

    CZkSegmentInfoTable();
    CZkSegmentInfoTable(Clock clock, int64_t ticksPerSecond);
    CZkSegmentInfoTable(const CZkSegmentInfoTable&) = delete;
    CZkSegmentInfoTable& operator=(const CZkSegmentInfoTable&) = delete;

    static CZkSegmentInfoTable& ProcessTable();

    // Stamps and extrapolates with another clock from now on (a test drives the process table's
    // clock by hand this way); the entries' stamps are kept.
    void UseClock(Clock clock, int64_t ticksPerSecond);

    // The playing id's entry (found or appended), zeroed and stamped now: 1; 52 when the array
    // cannot grow (nothing changed).
    ZKRESULT Add(ZkPlayingID playingID);
    // Copies the record into the playing id's entry and stamps it now; nothing without an entry.
    void Write(ZkPlayingID playingID, const ZkSegmentInfo& info);
    // Removes the playing id's entry; later entries move down by one.
    void Remove(ZkPlayingID playingID);
    // 1 and the entry's record (see ZK::MusicEngine::GetPlayingSegmentInfo for extrapolate); 2
    // without an entry, info untouched.
    ZKRESULT Read(ZkPlayingID playingID, ZkSegmentInfo& info, bool extrapolate);
    // Frees the entry array: count and capacity 0.
    void Release();

    uint32_t Count();

private:
    struct Entry
    {
        ZkPlayingID playingID;
        ZkSegmentInfo info;
        int64_t stamp; // the clock when the entry was last written
    };
    // Index of the playing id's entry, or Count when it has none. Under the lock.
    uint32_t Find(ZkPlayingID playingID) const;

    Platform::ZkCriticalSection m_lock;
    ZK::ZkArray<Entry, ZkMemID_Default> m_entries;
    Clock m_clock;
    float m_ticksPerMs;
};
} // namespace ZK::MusicEngine
