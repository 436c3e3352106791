// ZkIdHashSet: an open-addressing map from 30-bit keys to 32-bit values (the registry maps hashes of
// emitter addresses to their index in the active-emitter array). Slots {tag, value}: tag bit 31 =
// in use, bit 30 = deleted, bits 0-29 = the key. The capacity is a power of two; probing runs from
// the home slot (key AND capacity - 1) towards the end of the array and never wraps, so a key's
// entries are all found between its home slot and the first empty slot. Removal only marks a slot
// deleted. Insert grows the set (doubling) once 5/16 of the capacity is no longer free of live
// entries, or when the probe reaches the end of the array.
//
// Threading: none of its own; the owner's lock protects it.
// Ownership: owns its slot array, in the memory pool given at creation.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkIdHashSet
{
public:
    static constexpr uint32_t kInUse = 0x80000000u;
    static constexpr uint32_t kDeleted = 0x40000000u;
    static constexpr uint32_t kKeyMask = 0x3FFFFFFFu;

    struct Slot
    {
        uint32_t tag;
        int32_t value;
    };

    ZkIdHashSet() = default;
    ~ZkIdHashSet() { Destroy(); }
    ZkIdHashSet(const ZkIdHashSet&) = delete;
    ZkIdHashSet& operator=(const ZkIdHashSet&) = delete;

    // capacity rounded up to a power of two (0 allocates nothing). 1, or 52.
    ZKRESULT Create(uint32_t capacity, ZkMemoryId pool);
    // 1, or 52 when the set must grow and cannot.
    ZKRESULT Insert(uint32_t key, int32_t value);
    // Slot index of the first live entry with key (-1 when none); FindNext continues after slot.
    int32_t FindFirst(uint32_t key) const;
    int32_t FindNext(uint32_t key, int32_t slot) const;
    // Marks the live entry {key, value} deleted. False when there is none.
    bool Remove(uint32_t key, int32_t value);
    // Slot of the live entry holding value, -1 when none.
    int32_t FindByValue(int32_t value) const;
    void Destroy();

    uint32_t Capacity() const { return m_capacity; }
    uint32_t LiveCount() const { return m_live; }
    Slot& At(int32_t slot) { return m_slots[slot]; }
    const Slot& At(int32_t slot) const { return m_slots[slot]; }

private:
    ZKRESULT Grow();
    // First free (empty or deleted) slot from key's home slot in slots of capacity; -1 at the end.
    static int32_t FreeSlot(const Slot* slots, uint32_t capacity, uint32_t key);
    int32_t Scan(uint32_t key, uint32_t from) const;

    Slot* m_slots = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_live = 0;
    ZkMemoryId m_pool = ZkMemID_Default;
};
} // namespace ZK::SoundEngine
