// CZkObjectValueList: per-game-object values keyed by a 32-bit key, each with a count: the switch
// containers keep their per-object playback memory here, keyed by their node id.
//
// Threading: audio thread, under the global engine lock.
// Ownership: a component of its game object (memory pool 4); owns its entry array (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkObjectValue
{
    uint32_t value;
    uint32_t count;
};

class CZkObjectValueList final : public CZkListedComponent<CZkObjectValueList>
{
public:
    struct Entry
    {
        uint32_t key;
        uint32_t value;
        uint32_t count;
    };

    Entry* Find(uint32_t key);
    // Appends {key, value, count}; null when the array cannot grow.
    Entry* Append(uint32_t key, ZkObjectValue value) { return m_entries.AddLast(Entry{key, value.value, value.count}); }
    // Removes the key's entry, keeping the order of the others.
    void Remove(uint32_t key);
    uint32_t Length() const { return m_entries.Length(); }

private:
    ZK::ZkArray<Entry> m_entries;
};
} // namespace ZK::SoundEngine
