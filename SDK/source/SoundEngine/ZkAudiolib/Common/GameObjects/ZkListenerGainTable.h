// ZkListenerGainTable: gains per listener (and per aux bus) of one game object's routing: the dry
// level towards each listener (aux bus 0), or the send level to each aux bus for each listener.
// Entries are sorted by listener id, then aux bus id (both unsigned); a listener of -1 stands for
// every listener of the emitter. The table also keeps the ids of the listeners it names (except
// -1), so that a routing's listener set is the union of its tables' id lists.
//
// Every change either completes or leaves the table as it was (no partial entry).
// Threading: audio thread, or the game thread under the global engine lock.
// Ownership: owns its entries and id list (memory pool 4); one entry lives inside the object.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// One send as playing instances and the aux-send query collect them.
struct ZkSendRecord
{
    ZkGameObjectID listenerID;
    ZkUniqueID auxBusID;
    float gain;
    uint32_t reserved; // 1
    float v;
    uint32_t w;
};

class ZkListenerGainTable
{
public:
    struct Entry
    {
        ZkGameObjectID listenerID;
        ZkUniqueID auxBusID; // 0 in a dry table
        float gain;
    };

    // The entry's gain; 1.0 when absent.
    float GetGain(ZkGameObjectID listenerID, ZkUniqueID auxBusID) const;
    Entry* Find(ZkGameObjectID listenerID, ZkUniqueID auxBusID);
    // Inserts {listener, aux, gain} in order (the listener joins the id list); null when out of
    // memory (the table unchanged) or when the entry exists.
    Entry* Insert(ZkGameObjectID listenerID, ZkUniqueID auxBusID, float gain);
    // Removes the entry; its listener leaves the id list when no other entry names it. True when
    // an entry was removed.
    bool Remove(ZkGameObjectID listenerID, ZkUniqueID auxBusID);
    // Empties entries and id list (storage kept).
    void RemoveAll();
    // Makes this table a copy of other. False when out of memory (the table unchanged).
    bool CopyFrom(const ZkListenerGainTable& other);
    // Replaces the sends by the records (non-zero aux bus, control value above 0). True when the
    // table changed beyond gains of existing entries.
    bool SetSends(const ZkAuxSendValue* records, uint32_t count);
    // Appends a record for every entry whose gain x factor exceeds threshold (an entry of listener
    // -1: one per id of listeners); a record that cannot be appended is skipped.
    void CollectSends(ZK::ZkArray<ZkSendRecord>& output, float factor, float v, uint32_t w,
                      const ZkListenerSet& listeners, float threshold) const;

    uint32_t Length() const { return m_entries.Length(); }
    const Entry& operator[](uint32_t index) const { return m_entries[index]; }
    Entry& operator[](uint32_t index) { return m_entries[index]; }
    const ZkListenerSet& Ids() const { return m_ids; }
    void Term();

private:
    uint32_t LowerBound(ZkGameObjectID listenerID, ZkUniqueID auxBusID) const;
    bool NamesListener(ZkGameObjectID listenerID) const;

    ZK::ZkInlineArray<Entry, 1, ZkMemID_GameObjects> m_entries;
    ZkListenerSet m_ids;
};
} // namespace ZK::SoundEngine
