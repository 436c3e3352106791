// CZkParamTargetRegistry: finds every keyed parameter target registered under a node, so that all
// targets can be refreshed when a node's subscriptions change. A chained hash of bucket entries,
// one per node (bucket = low 32 bits of the node's address modulo the bucket count), each holding
// the chain of that node's targets. Entries are compared by the node's full address.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the registry owns its entries and bucket array (memory pool 0), freed when the last
// entry goes and at Term; the targets belong to their owners.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkKeyedParamTarget;

class CZkParamTargetRegistry
{
public:
    static CZkParamTargetRegistry& Instance();

    CZkParamTargetRegistry() = default;
    ~CZkParamTargetRegistry() { Term(); }
    CZkParamTargetRegistry(const CZkParamTargetRegistry&) = delete;
    CZkParamTargetRegistry& operator=(const CZkParamTargetRegistry&) = delete;

    // Pushes the target at the head of the node's chain; false when memory runs out.
    bool Add(const void* node, CZkKeyedParamTarget* target);
    // Takes the target out of the node's chain (the entry and table go when emptied).
    void Remove(const void* node, CZkKeyedParamTarget* target);
    // Unregisters every target of the node's chain (all bits, flag 1).
    void UnregisterAll(const void* node);
    // Refreshes every registered target.
    void RefreshAll();
    uint32_t TargetCount(const void* node) const;
    uint32_t EntryCount() const { return m_table.Length(); }
    void Term();

private:
    struct Entry
    {
        Entry* pNextItem = nullptr;
        uint32_t key = 0;
        const void* node = nullptr;
        CZkKeyedParamTarget* head = nullptr;
    };
    Entry* Find(const void* node) const;
    void FreeEntry(Entry* entry);

    ZK::CZkHashTable<Entry, &Entry::pNextItem, &Entry::key> m_table;
};
} // namespace ZK::SoundEngine
