// CZkMixerInputContext: the entry array (one entry per listener ray of the connection).
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <atomic>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
std::atomic<uint64_t> s_entrySerial{0};

// An entry's configuration word names channels to mix: a speaker, ambisonic or object
// configuration with a channel count, or objects.
bool NamesChannels(uint32_t word)
{
    const ZkChannelConfig config(word);
    return config.Type() == ZkChannelConfigType_Objects ||
           (config.Type() <= ZkChannelConfigType_Objects && config.NumChannels() != 0);
}

void DestroyEntry(ZkMixInputEntry& entry)
{
    entry.matrices.Free();
    entry.filter.Term();
    entry.hold.Release();
    if (entry.rays.items != nullptr)
        CZkPluginMemAlloc::ForInstances().Free(entry.rays.items);
    entry.rays = ZkEntryRayList{};
}
} // namespace

uint64_t NextMixEntrySerial()
{
    return (s_entrySerial.fetch_add(1, std::memory_order_relaxed) + 1) & ZkMixInputEntry::kSerialMask;
}

ZkMixInputEntry& CZkMixerInputContext::ResetState(ZkMixInputEntry& entry)
{
    entry = ZkMixInputEntry{};
    entry.hold.allocator = &CZkPluginMemAlloc::ForInstances();
    entry.filter.Init();
    return entry;
}

void CZkMixerInputContext::MoveEntry(ZkMixInputEntry& to, ZkMixInputEntry& from)
{
    ResetState(to);
    CZkSrcLpHpFilter filter;
    filter.Init();
    filter.MoveFrom(from.filter);
    to = from;
    to.filter.Init();
    to.filter.MoveFrom(filter);
    // from now owns nothing: its filter memory moved out, the rest is forgotten.
    from.matrices = ZkVolumeMatrixPair{};
    from.rays = ZkEntryRayList{};
    from.hold.data = nullptr;
    from.hold.secondData = nullptr;
    from.hold.secondOwned = 0;
    from.ownedObject = nullptr;
    from.buffer = nullptr;
}

bool CZkMixerInputContext::GrowEntries()
{
    const uint32_t capacity = m_capacity + (m_capacity != 0 ? m_capacity + m_capacity / 2 : 1);
    auto* block = static_cast<ZkMixInputEntry*>(ZK::MemoryMgr::Malloc(kEntryPool, sizeof(ZkMixInputEntry) * capacity));
    if (block == nullptr)
        return false;
    for (uint32_t i = 0; i < capacity; ++i)
    {
        new (&block[i]) ZkMixInputEntry();
        ResetState(block[i]);
    }
    for (uint32_t i = 0; i < m_count; ++i)
    {
        ZkMixInputEntry& old = Entry(i);
        MoveEntry(block[i], old);
        old.hold.Release();
    }
    if (m_block != nullptr)
        ZK::MemoryMgr::Free(kEntryPool, m_block);
    m_block = block;
    m_capacity = capacity;
    return true;
}

ZkMixInputEntry* CZkMixerInputContext::AddEntry(uint64_t key, uint32_t rayID)
{
    if (m_count == m_capacity && !GrowEntries())
        return nullptr;
    ZkMixInputEntry& entry = ResetState(Entry(m_count));
    ++m_count;
    entry.serial = NextMixEntrySerial();
    entry.key = key;
    entry.rayID = rayID;
    entry.destinationConfig = m_destination->GetChannelConfig();
    return &entry;
}

ZkMixInputEntry* CZkMixerInputContext::FindEntry(uint64_t key, uint32_t rayID)
{
    for (uint32_t i = 0; i < m_count; ++i)
        if (Entry(i).key == key && Entry(i).rayID == rayID)
            return &Entry(i);
    return nullptr;
}

void CZkMixerInputContext::RemoveEntry(uint32_t index)
{
    ZkMixInputEntry& entry = Entry(index);
    DestroyEntry(entry);
    const uint32_t last = m_count - 1;
    if (index != last)
        MoveEntry(entry, Entry(last));
    ResetState(Entry(last));
    --m_count;
}

void CZkMixerInputContext::PruneEntries(ZkChannelConfig config)
{
    for (uint32_t i = m_count; i-- > 0;)
    {
        ZkMixInputEntry& entry = Entry(i);
        if (NamesChannels(entry.configWord))
            continue;
        if (entry.keep == 0)
        {
            entry.configWord = config.word;
            entry.stale = 1;
            continue;
        }
        RemoveEntry(i);
    }
}

void CZkMixerInputContext::RefreshEntry(ZkMixInputEntry& entry, ZkChannelConfig config, const ZkRay* const* rays,
                                        uint32_t rayCount)
{
    entry.configWord = config.word;
    entry.previousGain = entry.nextGain = 1.0f;
    entry.previousFactor = entry.nextFactor = 1.0f;
    entry.stale = 1;
    ZkEntryRayList& list = entry.rays;
    if (rayCount > list.capacity)
    {
        // The list grows by what it lacks; when it cannot, the old list stays and nothing is copied.
        const uint32_t capacity = list.capacity + (rayCount - list.count);
        void* grown = CZkPluginMemAlloc::ForInstances().Realloc(list.items, sizeof(const ZkRay*) * capacity, __FILE__,
                                                               __LINE__);
        if (grown == nullptr)
            return;
        list.items = static_cast<const ZkRay**>(grown);
        list.capacity = capacity;
    }
    for (uint32_t i = 0; i < rayCount; ++i)
        list.items[i] = rays[i];
    list.count = rayCount;
}

void CZkMixerInputContext::RefreshFromInput(ZkChannelConfig config, bool perObjectMixing)
{
    const ZkMixInstanceView& view = m_input->View();
    if (connectionType == kConnectionObjectSend && config.Type() == ZkChannelConfigType_Objects && !perObjectMixing)
    {
        PruneEntries(config);
        return;
    }
    // The rays of this connection's listener, in the instance's order.
    constexpr uint32_t kMaxRays = 64;
    const ZkRay* rays[kMaxRays];
    uint32_t count = 0;
    const ZkGameObjectID listener = view.RayListener(listenerID);
    for (uint32_t i = 0; i < view.rayCount && count < kMaxRays; ++i)
        if (ZkMixInstanceView::Hears(view.rays[i].listenerID, listener))
            rays[count++] = &view.rays[i];
    if (view.tracksRays && count > 1)
    {
        for (uint32_t r = 0; r < count; ++r)
        {
            ZkMixInputEntry* entry = FindEntry(0, r);
            if (entry == nullptr)
                entry = AddEntry(0, r);
            if (entry != nullptr)
                RefreshEntry(*entry, config, rays + r, 1);
        }
    }
    else
    {
        ZkMixInputEntry* entry = FindEntry(0, 0);
        if (entry == nullptr)
            entry = AddEntry(0, 0);
        if (entry != nullptr)
            RefreshEntry(*entry, config, rays, count);
    }
    PruneEntries(config);
}
} // namespace ZK::SoundEngine
