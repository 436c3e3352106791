// LoadedBank: the record of one bank present in the engine, loaded or prepared. It is the bank
// table's entry (keyed by bank id and, for a bank read in place from memory, the caller's block),
// and it owns what the bank brought: the media block and index, and one reference on every
// hierarchy object the bank created or found (the item list).
//
// Life cycle: created by the bank parser, linked into the bank table by the bank manager, taken out
// of the table when it is unloaded, and freed by Release when its last load reference goes (the
// engine thread's, or that of the last source reading its media) and no preparation holds it.
// ReleaseItemList and Destroy are the steps its releases are made of.
// Threading: the parse fills it on one thread; afterwards the counts change atomically and the
// rest under the bank-table lock; the unload callback is called with no lock held. Ownership: the record, its item array, its entry array (when
// owned) are memory pool 0; the media block is kBankDataMemID. Objects are held by reference.
#pragma once

#include "ZkAudiolib/Common/Banks/BankFormat.h"
#include "ZkAudiolib/Common/Banks/CZkLockedIdTable.h"
#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

struct LoadedBank : ZkLockedIdEntry
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint8_t kFlagLoaded = 1;        // by a load request
    static constexpr uint8_t kFlagEntriesOwned = 2;  // the entry array is the record's copy
    static constexpr uint8_t kFlagMediaPrepared = 4;

    uint8_t* dataBlock = nullptr;            // the "DATA" copy, or null (memory view, preparation)
    const uint8_t* entries = nullptr;        // the "DIDX" entries (owned copy or in place, unaligned)
    uint32_t dataSize = 0;
    uint8_t unloading = 0;
    uint32_t registeredMedia = 0;
    uint32_t entryCount = 0;
    ZkBankCallbackFunc unloadCallback = nullptr;
    void* unloadCookie = nullptr;
    CZkIndexedObject** items = nullptr;
    uint32_t itemCount = 0;
    uint32_t itemCapacity = 0;
    std::atomic<int32_t> loadCount{0};
    std::atomic<int32_t> preparationCount{0};
    uint8_t flags = 0;
    uint32_t alignment = kDefaultMediaAlignment;
    int32_t structureCount = 0;
    // The bank manager's list of records unloaded while preparations hold them.
    LoadedBank* detachedPrev = nullptr;
    LoadedBank* detachedNext = nullptr;
    bool detached = false;

    ZkBankID BankID() const { return key.id; }
    const void* MemoryAddress() const { return reinterpret_cast<const void*>(static_cast<uintptr_t>(key.address)); }
    bool IsLoaded() const { return (flags & kFlagLoaded) != 0; }
    // Entry index of the media index (below entryCount).
    ZkMediaEntry Entry(uint32_t index) const
    {
        ZkMediaEntry entry;
        std::memcpy(&entry, entries + size_t{index} * sizeof(ZkMediaEntry), sizeof(entry));
        return entry;
    }

    // A new record (memory pool 0), or null when out of memory.
    static LoadedBank* Create(ZkBankID bankID, const void* memoryAddress);
    // Room for extra more items. 1, or 2 when the array cannot grow (nothing changed).
    ZKRESULT GrowItemList(uint32_t extra);
    // Appends an object whose reference now belongs to the record. With the list full the
    // reference is released instead: the record only ever holds what it can release again.
    void AddItem(CZkIndexedObject* object);
    // Releases the objects in list order and frees the list.
    void ReleaseItemList();
    // Frees the media block, the owned entry array, the item array and the record itself. The item
    // list must have been released.
    void Destroy();

    // Drops one load reference, under the bank-table lock. The last one removes the bank's copies
    // from the media index and frees its media block; then, unless quiet, the unload callback is
    // called once with 1 (through the bank manager's cookie list), and the record is freed when no
    // preparation holds it. The item list must have been released.
    static void Release(LoadedBank* bank, bool quiet);
    // Drops one preparation (all of them with force), under the bank-table lock. The last one gives
    // back the references of the media it prepared; when no load holds the record either, it leaves
    // the bank table and is freed with its objects. True when the record was freed.
    static bool ReleasePreparation(LoadedBank* bank, bool force);
};
} // namespace ZK::SoundEngine
