#include "ZkAudiolib/Common/GameObjects/ZkListenerGainTable.h"

#include <algorithm>

namespace ZK::SoundEngine
{
uint32_t ZkListenerGainTable::LowerBound(ZkGameObjectID listenerID, ZkUniqueID auxBusID) const
{
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), Entry{listenerID, auxBusID, 0.0f},
                                     [](const Entry& a, const Entry& b) {
                                         return a.listenerID != b.listenerID ? a.listenerID < b.listenerID
                                                                             : a.auxBusID < b.auxBusID;
                                     });
    return static_cast<uint32_t>(at - m_entries.begin());
}

ZkListenerGainTable::Entry* ZkListenerGainTable::Find(ZkGameObjectID listenerID, ZkUniqueID auxBusID)
{
    const uint32_t index = LowerBound(listenerID, auxBusID);
    if (index < m_entries.Length() && m_entries[index].listenerID == listenerID && m_entries[index].auxBusID == auxBusID)
        return &m_entries[index];
    return nullptr;
}

float ZkListenerGainTable::GetGain(ZkGameObjectID listenerID, ZkUniqueID auxBusID) const
{
    const Entry* entry = const_cast<ZkListenerGainTable*>(this)->Find(listenerID, auxBusID);
    return entry != nullptr ? entry->gain : 1.0f;
}

bool ZkListenerGainTable::NamesListener(ZkGameObjectID listenerID) const
{
    const uint32_t index = LowerBound(listenerID, 0);
    return index < m_entries.Length() && m_entries[index].listenerID == listenerID;
}

ZkListenerGainTable::Entry* ZkListenerGainTable::Insert(ZkGameObjectID listenerID, ZkUniqueID auxBusID, float gain)
{
    const uint32_t index = LowerBound(listenerID, auxBusID);
    if (index < m_entries.Length() && m_entries[index].listenerID == listenerID && m_entries[index].auxBusID == auxBusID)
        return nullptr;
    const bool newId = listenerID != ZK_ALL_GAME_OBJECTS && !m_ids.Contains(listenerID);
    if (newId && m_ids.Add(listenerID) != ZK_Success)
        return nullptr;
    Entry* entry = m_entries.Insert(index, Entry{listenerID, auxBusID, gain});
    if (entry == nullptr && newId)
        m_ids.Remove(listenerID);
    return entry;
}

bool ZkListenerGainTable::Remove(ZkGameObjectID listenerID, ZkUniqueID auxBusID)
{
    const uint32_t index = LowerBound(listenerID, auxBusID);
    if (index >= m_entries.Length() || m_entries[index].listenerID != listenerID || m_entries[index].auxBusID != auxBusID)
        return false;
    m_entries.Erase(index);
    if (!NamesListener(listenerID))
        m_ids.Remove(listenerID);
    return true;
}

void ZkListenerGainTable::RemoveAll()
{
    m_entries.RemoveAll();
    m_ids.RemoveAll();
}

bool ZkListenerGainTable::CopyFrom(const ZkListenerGainTable& other)
{
    if (&other == this)
        return true;
    // Room first, so that a failure changes nothing.
    if (m_entries.Reserve(other.m_entries.Length()) != ZK_Success || m_ids.Reserve(other.m_ids.Length()) != ZK_Success)
        return false;
    m_ids.Assign(other.m_ids);
    m_entries.RemoveAll();
    for (const Entry& entry : other.m_entries)
        m_entries.AddLast(entry);
    return true;
}

bool ZkListenerGainTable::SetSends(const ZkAuxSendValue* records, uint32_t count)
{
    bool changed = false;
    if (count < m_entries.Length())
    {
        RemoveAll();
        changed = true;
    }
    for (int pass = 0; pass < 2; ++pass)
    {
        const uint32_t held = m_entries.Length();
        uint32_t matched = 0;
        for (uint32_t index = 0; index < count; ++index)
        {
            const ZkAuxSendValue& record = records[index];
            if (record.auxBusID == 0 || !(record.controlValue > 0.0f))
                continue;
            if (Entry* entry = Find(record.listenerID, record.auxBusID))
            {
                entry->gain = record.controlValue;
                ++matched;
            }
            else if (Insert(record.listenerID, record.auxBusID, record.controlValue) != nullptr)
            {
                changed = true;
            }
        }
        // Entries that no record named any more: start again from an empty table.
        if (matched >= held)
            break;
        RemoveAll();
        changed = true;
    }
    return changed;
}

void ZkListenerGainTable::CollectSends(ZK::ZkArray<ZkSendRecord>& output, float factor, float v, uint32_t w,
                                       const ZkListenerSet& listeners, float threshold) const
{
    for (const Entry& entry : m_entries)
    {
        const float gain = entry.gain * factor;
        if (!(gain > threshold))
            continue;
        if (entry.listenerID != ZK_ALL_GAME_OBJECTS)
        {
            output.AddLast(ZkSendRecord{entry.listenerID, entry.auxBusID, gain, 1, v, w});
            continue;
        }
        for (ZkGameObjectID listenerID : listeners)
            output.AddLast(ZkSendRecord{listenerID, entry.auxBusID, gain, 1, v, w});
    }
}

void ZkListenerGainTable::Term()
{
    m_entries.Term();
    m_ids.Term();
}
} // namespace ZK::SoundEngine
