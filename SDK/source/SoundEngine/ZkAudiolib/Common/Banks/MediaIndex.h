// MediaIndex: where the bytes of each media id can be found. An entry lists the copies of its media
// inside loaded banks (a "DIDX" entry pointing into a bank's media block) and the copies the game set
// with SetMedia, newest first, and holds at most one prepared copy of its own (loaded for a
// preparation). Sources take an entry's media when they start and give it back when they stop; the
// entry counts every holder (bank registrations, SetMedia calls, preparations, current users) and
// is freed with its prepared copy when the last one lets go.
//
// The table is the engine's chained hash table by media id (CZkHashTable: new entries at the head of
// their bucket, growth through the 27 primes when above 0.9 entries per bucket, an old bucket array
// kept when a larger one cannot be had). The copy lists are growable arrays (capacity + capacity +
// capacity / 2, 1 when empty).
//
// Threading: none of its own. Every operation runs under the bank manager's media lock.
// Ownership: the index owns its entries, their copy arrays and their prepared copies (each freed
// with the memory id it was allocated with). Bank copies belong to their banks, game copies to the
// game.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;

// A memory id that names no allocation: the copy is not the index's to free.
constexpr ZkMemoryId kNoMediaMemoryID = static_cast<ZkMemoryId>(-1);

// One place a media's bytes can be read from.
struct ZkMediaCopy
{
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ZkMemoryId memoryID = kNoMediaMemoryID;
    LoadedBank* bank = nullptr; // the bank whose media block holds the copy; null for a game copy
};

// What a media look-up hands out: the bytes, and the memory id of a prepared copy (kNoMediaMemoryID
// for a copy in a bank or set by the game). Null data when the media is not available.
struct ZkMediaBlock
{
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    ZkMemoryId memoryID = kNoMediaMemoryID;
};

struct MediaIndexEntry
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    MediaIndexEntry* pNextItem = nullptr;
    ZkUniqueID mediaID = 0;
    uint8_t* preparedData = nullptr;
    uint32_t preparedSize = 0;
    ZkMemoryId preparedMemoryID = kNoMediaMemoryID;
    ZK::ZkArray<ZkMediaCopy, kPool> copies;
    uint32_t refCount = 1;

    // Puts a copy in front of the others. False (nothing changed) when the array cannot grow.
    bool AddCopy(const ZkMediaCopy& copy) { return copies.Insert(0, copy) != nullptr; }
    // Removes the first copy that matches, moving the last copy into its place. False when none
    // matches.
    template <typename Match>
    bool RemoveCopy(Match match)
    {
        for (uint32_t index = 0; index < copies.Length(); ++index)
        {
            if (match(copies[index]))
            {
                copies.EraseSwap(index);
                return true;
            }
        }
        return false;
    }
};

class MediaIndex
{
public:
    MediaIndex() = default;
    ~MediaIndex() { Term(); }
    MediaIndex(const MediaIndex&) = delete;
    MediaIndex& operator=(const MediaIndex&) = delete;

    MediaIndexEntry* Find(ZkUniqueID mediaID) const { return m_table.Find(mediaID); }
    // The entry of the media with one reference added, or a new entry (reference count 1). Grows the
    // table first when it needs to. Null when no entry could be made: noBuckets tells a table that
    // has no buckets at all from a lack of memory for the entry.
    MediaIndexEntry* FindOrCreate(ZkUniqueID mediaID, bool& created, bool& noBuckets);
    // Drops one reference; the last frees the prepared copy and the entry.
    void Release(MediaIndexEntry* entry);
    // Frees every entry with its prepared copy and copies array, and the buckets.
    void Term();

    uint32_t Length() const { return m_table.Length(); }
    uint32_t BucketCount() const { return m_table.BucketCount(); }

private:
    void Destroy(MediaIndexEntry* entry);

    ZK::CZkHashTable<MediaIndexEntry, &MediaIndexEntry::pNextItem, &MediaIndexEntry::mediaID> m_table;
};
} // namespace ZK::SoundEngine
