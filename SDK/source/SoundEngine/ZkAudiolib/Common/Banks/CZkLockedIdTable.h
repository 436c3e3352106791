// CZkLockedIdTable: the bank manager's table of loaded banks, keyed by (bank id, memory address).
// The address is that of the caller's block for a bank read in place from memory and 0 otherwise,
// so one bank id can be present twice. Entries are the caller's records, which begin with a
// ZkLockedIdEntry (key and chain link); the table never allocates or frees an entry.
//
// Bucket of a key: (bank id + low 32 bits of the address) modulo the bucket count. The table is the
// engine's chained hash table over that sum: it starts with 11 buckets (Init) and grows through the
// 27 primes when it holds more than 0.9 entries per bucket; a growth that finds no memory keeps the
// old array.
//
// Threading: one process-wide recursive lock guards every table. Find, InsertUnique, Remove and Grow
// take it themselves; the bank manager holds it around compound operations of its own (finding a
// bank and changing its counts, collecting every bank). Init and Term run without it, while no
// other thread reaches the table.
// Ownership: the table owns its bucket array (memory pool 0), not the entries.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkLockedIdKey
{
    ZkBankID id = 0;
    uint64_t address = 0;

    bool operator==(const ZkLockedIdKey&) const = default;
};

// The head of every entry.
struct ZkLockedIdEntry
{
    ZkLockedIdKey key;
    ZkLockedIdEntry* pNextItem = nullptr;
    uint32_t bucketKey = 0; // id + low 32 bits of the address: what chooses the bucket
};

class CZkLockedIdTable
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kInitialBucketCount = 11;

    CZkLockedIdTable() = default;
    ~CZkLockedIdTable() { Term(); }
    CZkLockedIdTable(const CZkLockedIdTable&) = delete;
    CZkLockedIdTable& operator=(const CZkLockedIdTable&) = delete;

    // The one lock of every bank table, taken by the table operations and by the bank manager.
    static ZK::Platform::ZkCriticalSection& Lock();

    // Exactly 11 empty buckets (entries still counted are forgotten). False when the bucket array
    // cannot be allocated.
    bool Init();
    // Grows the bucket array when the table has no buckets or is loaded above 0.9. True when the
    // table has buckets afterwards.
    bool Grow();
    ZkLockedIdEntry* Find(const ZkLockedIdKey& key);
    // Links the entry under the key (written into the entry) unless the key is already present.
    // True when the entry was linked; false when the key was present (the entry stays unlinked and
    // the table unchanged) or when the table has no buckets and could not get any.
    bool InsertUnique(const ZkLockedIdKey& key, ZkLockedIdEntry* entry);
    // Unlinks the first entry with the key; the entry itself is left to its owner.
    void Remove(const ZkLockedIdKey& key);
    // Frees the bucket array; entries are not touched.
    void Term();

    static uint32_t BucketKeyOf(const ZkLockedIdKey& key) { return key.id + static_cast<uint32_t>(key.address); }

    // For the bank manager's own walks, under Lock().
    uint32_t BucketCount() const { return m_table.BucketCount(); }
    uint32_t Length() const { return m_table.Length(); }
    ZkLockedIdEntry* Bucket(uint32_t index) const { return m_table.Bucket(index); }
    bool Unlink(ZkLockedIdEntry* entry) { return m_table.Unlink(entry); }

private:
    ZK::CZkHashTable<ZkLockedIdEntry, &ZkLockedIdEntry::pNextItem, &ZkLockedIdEntry::bucketKey> m_table;
};
} // namespace ZK::SoundEngine
