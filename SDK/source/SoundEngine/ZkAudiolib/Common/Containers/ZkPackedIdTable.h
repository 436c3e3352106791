// ZkPackedIdTable: a small table of entries keyed by 16-bit property ids, kept in one block so that a
// look-up touches one cache line or two: a uint16 count n, the n ids, padding to the entries'
// alignment, then the n entries (entry i belongs to id i). Property bundles of state objects
// (entries: float values) and the value tables of state-group links (entries: value and running
// transition) use it. Appending copies both parts into a block one entry larger.
//
// Threading: none of its own; the owner's lock (or thread) protects it.
// Ownership: the table owns its block (memory pool 0); an empty table holds no block.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ZK
{
template <typename Entry>
class ZkPackedIdTable
{
    static_assert(std::is_trivially_copyable_v<Entry>, "entries are copied as bytes");

public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kMaxEntries = 0xFFFF;

    ZkPackedIdTable() = default;
    ~ZkPackedIdTable() { Term(); }
    ZkPackedIdTable(const ZkPackedIdTable&) = delete;
    ZkPackedIdTable& operator=(const ZkPackedIdTable&) = delete;

    uint32_t Length() const
    {
        uint16_t count = 0;
        if (m_block != nullptr)
            std::memcpy(&count, m_block, sizeof(count));
        return count;
    }
    uint16_t IdAt(uint32_t index) const { return Ids()[index]; }
    Entry& EntryAt(uint32_t index) { return Entries(Length())[index]; }
    const Entry& EntryAt(uint32_t index) const { return Entries(Length())[index]; }

    // The entry of id, or null.
    Entry* Find(uint16_t id) { return const_cast<Entry*>(static_cast<const ZkPackedIdTable*>(this)->Find(id)); }
    const Entry* Find(uint16_t id) const
    {
        const uint32_t count = Length();
        if (count == 0)
            return nullptr;
        const uint16_t* ids = Ids();
        for (uint32_t index = 0; index < count; ++index)
        {
            if (ids[index] == id)
                return &Entries(count)[index];
        }
        return nullptr;
    }

    // Appends {id, entry}; null (the table unchanged) when out of memory or full.
    Entry* Append(uint16_t id, const Entry& entry)
    {
        const uint32_t count = Length();
        if (count >= kMaxEntries)
            return nullptr;
        auto* grown = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, BlockBytes(count + 1)));
        if (grown == nullptr)
            return nullptr;
        const auto newCount = static_cast<uint16_t>(count + 1);
        std::memcpy(grown, &newCount, sizeof(newCount));
        if (count != 0)
        {
            std::memcpy(grown + sizeof(uint16_t), Ids(), sizeof(uint16_t) * count);
            std::memcpy(grown + EntriesOffset(count + 1), Entries(count), sizeof(Entry) * count);
        }
        std::memcpy(grown + sizeof(uint16_t) * (1 + count), &id, sizeof(id));
        std::memcpy(grown + EntriesOffset(count + 1) + sizeof(Entry) * count, &entry, sizeof(Entry));
        Free();
        m_block = grown;
        return &Entries(count + 1)[count];
    }

    // Replaces the table by count ids and entries as bytes (little-endian ids, entries as stored),
    // reusing the block; count 0 frees it. 1; 52 out of memory (the table unchanged); 31 above
    // kMaxEntries.
    ZKRESULT Assign(uint32_t count, const void* idBytes, const void* entryBytes)
    {
        if (count > kMaxEntries)
            return ZK_InvalidParameter;
        if (count == 0)
        {
            Term();
            return ZK_Success;
        }
        void* grown = ZK::MemoryMgr::Realloc(kPool, m_block, BlockBytes(count));
        if (grown == nullptr)
            return ZK_InsufficientMemory;
        m_block = static_cast<uint8_t*>(grown);
        const auto stored = static_cast<uint16_t>(count);
        std::memcpy(m_block, &stored, sizeof(stored));
        std::memcpy(m_block + sizeof(uint16_t), idBytes, sizeof(uint16_t) * count);
        std::memcpy(m_block + EntriesOffset(count), entryBytes, sizeof(Entry) * count);
        return ZK_Success;
    }

    void Term() { Free(); }

private:
    static size_t EntriesOffset(uint32_t count)
    {
        const size_t header = sizeof(uint16_t) * (1 + size_t{count});
        return (header + alignof(Entry) - 1) / alignof(Entry) * alignof(Entry);
    }
    static size_t BlockBytes(uint32_t count) { return EntriesOffset(count) + sizeof(Entry) * size_t{count}; }
    const uint16_t* Ids() const { return reinterpret_cast<const uint16_t*>(m_block + sizeof(uint16_t)); }
    Entry* Entries(uint32_t count) const { return reinterpret_cast<Entry*>(m_block + EntriesOffset(count)); }
    void Free()
    {
        if (m_block != nullptr)
            ZK::MemoryMgr::Free(kPool, m_block);
        m_block = nullptr;
    }

    uint8_t* m_block = nullptr;
};
} // namespace ZK
