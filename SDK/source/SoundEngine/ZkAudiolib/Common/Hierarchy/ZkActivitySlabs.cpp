#include "ZkAudiolib/Common/Hierarchy/ZkActivitySlabs.h"

#include <atomic>
#include <new>

namespace ZK::SoundEngine::ZkActivitySlabs
{
namespace
{
union Slot
{
    Slot* nextFree;
    alignas(ZkActivityRecord) unsigned char storage[sizeof(ZkActivityRecord)];
};
static_assert(alignof(Slot) <= 16, "slabs are allocated without extra alignment");

struct Slab
{
    Slab* next;
    Slot* freeList;
    uint32_t freeCount;
    Slot slots[kRecordsPerSlab];

    bool Holds(const void* record) const
    {
        const auto* at = static_cast<const unsigned char*>(record);
        return at >= reinterpret_cast<const unsigned char*>(slots) &&
               at < reinterpret_cast<const unsigned char*>(slots + kRecordsPerSlab);
    }
};

std::atomic<Slab*> g_slabs{nullptr};

Slab* NewSlab()
{
    auto* slab = static_cast<Slab*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(Slab)));
    if (slab == nullptr)
        return nullptr;
    for (uint32_t index = 0; index < kRecordsPerSlab; ++index)
        slab->slots[index].nextFree = index + 1 < kRecordsPerSlab ? &slab->slots[index + 1] : nullptr;
    slab->freeList = slab->slots;
    slab->freeCount = kRecordsPerSlab;
    slab->next = g_slabs.load(std::memory_order_relaxed);
    g_slabs.store(slab, std::memory_order_release);
    return slab;
}

void Unlink(Slab* slab)
{
    Slab* head = g_slabs.load(std::memory_order_relaxed);
    if (head == slab)
    {
        g_slabs.store(slab->next, std::memory_order_release);
        return;
    }
    for (Slab* previous = head; previous != nullptr; previous = previous->next)
    {
        if (previous->next == slab)
        {
            previous->next = slab->next;
            return;
        }
    }
}
} // namespace

ZkActivityRecord* Take(uint16_t maxCount, bool olderFirst, bool virtualOnLimit, uint64_t limiterKey, bool globalLimit)
{
    Slab* slab = g_slabs.load(std::memory_order_acquire);
    while (slab != nullptr && slab->freeCount == 0)
        slab = slab->next;
    if (slab == nullptr && (slab = NewSlab()) == nullptr)
        return nullptr;
    Slot* slot = slab->freeList;
    slab->freeList = slot->nextFree;
    --slab->freeCount;
    return new (slot->storage) ZkActivityRecord(maxCount, olderFirst, virtualOnLimit, limiterKey, globalLimit);
}

void Give(ZkActivityRecord* record)
{
    if (record == nullptr)
        return;
    Slab* slab = g_slabs.load(std::memory_order_acquire);
    while (slab != nullptr && !slab->Holds(record))
        slab = slab->next;
    record->~ZkActivityRecord();
    if (slab == nullptr)
        return; // not a record of the pool: nothing to return it to
    Slot* slot = reinterpret_cast<Slot*>(record);
    slot->nextFree = slab->freeList;
    slab->freeList = slot;
    if (++slab->freeCount == kRecordsPerSlab)
    {
        Unlink(slab);
        ZK::MemoryMgr::Free(ZkMemID_Default, slab);
    }
}

uint32_t SlabCount()
{
    uint32_t count = 0;
    for (Slab* slab = g_slabs.load(std::memory_order_acquire); slab != nullptr; slab = slab->next)
        ++count;
    return count;
}

uint32_t RecordsInUse()
{
    uint32_t count = 0;
    for (Slab* slab = g_slabs.load(std::memory_order_acquire); slab != nullptr; slab = slab->next)
        count += kRecordsPerSlab - slab->freeCount;
    return count;
}
} // namespace ZK::SoundEngine::ZkActivitySlabs
