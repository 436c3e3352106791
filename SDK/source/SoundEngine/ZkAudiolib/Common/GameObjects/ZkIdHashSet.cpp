#include "ZkAudiolib/Common/GameObjects/ZkIdHashSet.h"

#include <bit>
#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
ZkIdHashSet::Slot* AllocateSlots(ZkMemoryId pool, uint32_t capacity)
{
    auto* slots = static_cast<ZkIdHashSet::Slot*>(ZK::MemoryMgr::Malloc(pool, sizeof(ZkIdHashSet::Slot) * size_t{capacity}));
    if (slots != nullptr)
        std::memset(slots, 0, sizeof(ZkIdHashSet::Slot) * size_t{capacity});
    return slots;
}
} // namespace

ZKRESULT ZkIdHashSet::Create(uint32_t capacity, ZkMemoryId pool)
{
    Destroy();
    m_pool = pool;
    if (capacity == 0)
        return ZK_Success;
    if (capacity > 0x80000000u)
        return ZK_InsufficientMemory;
    const uint32_t rounded = std::bit_ceil(capacity);
    m_slots = AllocateSlots(pool, rounded);
    if (m_slots == nullptr)
        return ZK_InsufficientMemory;
    m_capacity = rounded;
    return ZK_Success;
}

int32_t ZkIdHashSet::FreeSlot(const Slot* slots, uint32_t capacity, uint32_t key)
{
    for (uint32_t slot = key & (capacity - 1); slot < capacity; ++slot)
    {
        if ((slots[slot].tag & kInUse) == 0 || (slots[slot].tag & kDeleted) != 0)
            return static_cast<int32_t>(slot);
    }
    return -1;
}

ZKRESULT ZkIdHashSet::Grow()
{
    uint32_t capacity = m_capacity == 0 ? 1 : m_capacity * 2;
    for (;;)
    {
        if (capacity == 0)
            return ZK_InsufficientMemory; // beyond 2^31 slots
        Slot* grown = AllocateSlots(m_pool, capacity);
        if (grown == nullptr)
            return ZK_InsufficientMemory;
        bool fits = true;
        for (uint32_t slot = 0; slot < m_capacity && fits; ++slot)
        {
            const Slot& entry = m_slots[slot];
            if ((entry.tag & kInUse) == 0 || (entry.tag & kDeleted) != 0)
                continue;
            const int32_t target = FreeSlot(grown, capacity, entry.tag & kKeyMask);
            if (target < 0)
                fits = false;
            else
                grown[target] = entry;
        }
        if (fits)
        {
            if (m_slots != nullptr)
                ZK::MemoryMgr::Free(m_pool, m_slots);
            m_slots = grown;
            m_capacity = capacity;
            return ZK_Success;
        }
        // A re-insertion ran off the end: double again.
        ZK::MemoryMgr::Free(m_pool, grown);
        capacity *= 2;
    }
}

ZKRESULT ZkIdHashSet::Insert(uint32_t key, int32_t value)
{
    key &= kKeyMask;
    if (m_capacity * 5 / 16 >= m_capacity - m_live && Grow() != ZK_Success)
        return ZK_InsufficientMemory;
    for (;;)
    {
        const int32_t slot = FreeSlot(m_slots, m_capacity, key);
        if (slot >= 0)
        {
            m_slots[slot] = {key | kInUse, value};
            ++m_live;
            return ZK_Success;
        }
        if (Grow() != ZK_Success)
            return ZK_InsufficientMemory;
    }
}

int32_t ZkIdHashSet::Scan(uint32_t key, uint32_t from) const
{
    for (uint32_t slot = from; slot < m_capacity; ++slot)
    {
        const uint32_t tag = m_slots[slot].tag;
        if ((tag & kInUse) == 0)
            return -1;
        if ((tag & kDeleted) == 0 && (tag & kKeyMask) == key)
            return static_cast<int32_t>(slot);
    }
    return -1;
}

int32_t ZkIdHashSet::FindFirst(uint32_t key) const
{
    if (m_capacity == 0)
        return -1;
    key &= kKeyMask;
    return Scan(key, key & (m_capacity - 1));
}

int32_t ZkIdHashSet::FindNext(uint32_t key, int32_t slot) const
{
    if (m_capacity == 0 || slot < 0)
        return -1;
    return Scan(key & kKeyMask, static_cast<uint32_t>(slot) + 1);
}

bool ZkIdHashSet::Remove(uint32_t key, int32_t value)
{
    for (int32_t slot = FindFirst(key); slot >= 0; slot = FindNext(key, slot))
    {
        if (m_slots[slot].value == value)
        {
            m_slots[slot].tag |= kDeleted;
            --m_live;
            return true;
        }
    }
    return false;
}

int32_t ZkIdHashSet::FindByValue(int32_t value) const
{
    for (uint32_t slot = 0; slot < m_capacity && m_live != 0; ++slot)
    {
        const uint32_t tag = m_slots[slot].tag;
        if ((tag & kInUse) != 0 && (tag & kDeleted) == 0 && m_slots[slot].value == value)
            return static_cast<int32_t>(slot);
    }
    return -1;
}

void ZkIdHashSet::Destroy()
{
    if (m_slots != nullptr)
        ZK::MemoryMgr::Free(m_pool, m_slots);
    m_slots = nullptr;
    m_capacity = 0;
    m_live = 0;
}
} // namespace ZK::SoundEngine
