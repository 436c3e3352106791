// ZkPackedPropList: a node's property list (values of 4 bytes) or randomised-range list ({min, max}
// pairs of 8 bytes), kept in one block in the shape the bank gives it, padded for alignment:
//
//   uint8 count n, n uint8 ids, zero padding up to (n / 4) * 4 + 4 bytes, then the n values.
//
// Look-up is a linear scan of the ids (lists are short). A list with no entry holds no block. A set
// of an absent id grows the list by one id and one value (a new block, the old one copied and
// freed); a failed allocation leaves the list as it was.
//
// Threading: none of its own; the owning node's thread (audio thread or bank loading under the
// global engine lock).
// Ownership: the list owns its block (pool Pool).
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <cstring>

namespace ZK::SoundEngine
{
template <uint32_t ValueBytes, ZkMemoryId Pool>
class ZkPackedPropList
{
public:
    static constexpr uint32_t kValueBytes = ValueBytes;
    static constexpr uint32_t kMaxCount = 255;

    ZkPackedPropList() = default;
    ~ZkPackedPropList() { Free(); }
    ZkPackedPropList(const ZkPackedPropList&) = delete;
    ZkPackedPropList& operator=(const ZkPackedPropList&) = delete;

    static constexpr uint32_t HeaderBytes(uint32_t count) { return (count / 4) * 4 + 4; }
    static constexpr uint32_t BlockBytes(uint32_t count) { return HeaderBytes(count) + count * ValueBytes; }
    // Bytes the list takes in a bank body.
    static constexpr uint32_t BankBytes(uint32_t count) { return 1 + count + count * ValueBytes; }

    uint32_t Count() const { return m_block != nullptr ? m_block[0] : 0; }
    uint8_t IdAt(uint32_t index) const { return m_block[1 + index]; }
    const uint8_t* Block() const { return m_block; }

    // The value bytes of id (ValueBytes of them), or null when absent.
    const uint8_t* Find(uint8_t id) const
    {
        const uint32_t count = Count();
        for (uint32_t index = 0; index < count; ++index)
        {
            if (m_block[1 + index] == id)
                return m_block + HeaderBytes(count) + index * ValueBytes;
        }
        return nullptr;
    }
    uint8_t* Find(uint8_t id) { return const_cast<uint8_t*>(static_cast<const ZkPackedPropList*>(this)->Find(id)); }

    // Stores the value bytes of id, adding the id when absent. 1; 2 when the block cannot grow.
    ZKRESULT Set(uint8_t id, const void* value)
    {
        if (uint8_t* present = Find(id))
        {
            std::memcpy(present, value, ValueBytes);
            return ZK_Success;
        }
        const uint32_t count = Count();
        if (count == kMaxCount)
            return ZK_Fail;
        auto* grown = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(Pool, BlockBytes(count + 1)));
        if (grown == nullptr)
            return ZK_Fail;
        std::memset(grown, 0, HeaderBytes(count + 1));
        grown[0] = static_cast<uint8_t>(count + 1);
        if (count != 0)
        {
            std::memcpy(grown + 1, m_block + 1, count);
            std::memcpy(grown + HeaderBytes(count + 1), m_block + HeaderBytes(count), count * ValueBytes);
        }
        grown[1 + count] = id;
        std::memcpy(grown + HeaderBytes(count + 1) + count * ValueBytes, value, ValueBytes);
        Free();
        m_block = grown;
        return ZK_Success;
    }

    // Checks that a list in bank form (count, ids, values) lies within the cursor and steps over it.
    static bool SkipInBank(ZK::ZkByteCursor& cursor)
    {
        uint8_t count = 0;
        return cursor.Read(count) && cursor.Skip(BankBytes(count) - 1);
    }

    // Replaces the list by the bank-form list at the cursor (moved past it). 1; 7 when the list runs
    // past the cursor's bytes (nothing changed); 2 when its block cannot be allocated (the old list
    // kept). A count of 0 frees the list.
    ZKRESULT ReadFromBank(ZK::ZkByteCursor& cursor)
    {
        ZK::ZkByteCursor check = cursor;
        uint8_t count = 0;
        if (!check.Read(count))
            return ZK_InvalidFile;
        const uint8_t* ids = check.Take(count);
        const uint8_t* values = check.Take(size_t{count} * ValueBytes);
        if (ids == nullptr || values == nullptr)
            return ZK_InvalidFile;
        uint8_t* block = nullptr;
        if (count != 0)
        {
            block = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(Pool, BlockBytes(count)));
            if (block == nullptr)
                return ZK_Fail;
            std::memset(block, 0, HeaderBytes(count));
            block[0] = count;
            std::memcpy(block + 1, ids, count);
            std::memcpy(block + HeaderBytes(count), values, size_t{count} * ValueBytes);
        }
        Free();
        m_block = block;
        cursor = check;
        return ZK_Success;
    }

    void Free()
    {
        if (m_block != nullptr)
            ZK::MemoryMgr::Free(Pool, m_block);
        m_block = nullptr;
    }

private:
    uint8_t* m_block = nullptr;
};
} // namespace ZK::SoundEngine
