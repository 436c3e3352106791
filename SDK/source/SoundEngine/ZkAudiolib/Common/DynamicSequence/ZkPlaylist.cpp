// The playlist of a dynamic sequence and its items, as the game edits them (under the sequence's
// lock) and the sequence pops them.
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstring>
#include <new>

namespace ZK::SoundEngine::DynamicSequence
{
namespace
{
constexpr ZkMemoryId kPool = ZkMemID_Default;
constexpr uint32_t kFirstCapacity = 4;
} // namespace

ZkPlaylistItem& ZkPlaylistItem::Assign(const ZkPlaylistItem& source)
{
    if (this == &source)
        return *this;
    ClearExternalSources();
    audioNodeID = source.audioNodeID;
    delayMs = source.delayMs;
    customInfo = source.customInfo;
    externalSources = source.externalSources;
    if (externalSources != nullptr)
        externalSources->AddRef();
    return *this;
}

ZKRESULT ZkPlaylistItem::SetExternalSources(uint32_t count, const ZkExternalSourceInfo* sources)
{
    ClearExternalSources();
    if (count == 0 || sources == nullptr)
        return ZK_Success;
    externalSources = ZkExternalSourceArray::Create(sources, count);
    return externalSources != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

void ZkPlaylistItem::ClearExternalSources()
{
    if (externalSources != nullptr)
        externalSources->Release();
    externalSources = nullptr;
}

bool Playlist::Reserve(uint32_t capacity)
{
    if (capacity <= m_capacity)
        return true;
    auto* items = static_cast<ZkPlaylistItem*>(ZK::MemoryMgr::Malloc(kPool, sizeof(ZkPlaylistItem) * capacity));
    if (items == nullptr)
        return false;
    if (m_count != 0)
        std::memcpy(static_cast<void*>(items), m_items, sizeof(ZkPlaylistItem) * m_count);
    if (m_items != nullptr)
        ZK::MemoryMgr::Free(kPool, m_items);
    m_items = items;
    m_capacity = capacity;
    return true;
}

ZKRESULT Playlist::Insert(uint32_t index, const ZkPlaylistItem& item)
{
    if (index > m_count)
        return ZK_InvalidParameter;
    if (m_count == m_capacity && !Reserve(m_capacity == 0 ? kFirstCapacity : m_capacity + m_capacity / 2))
        return ZK_InsufficientMemory;
    std::memmove(static_cast<void*>(m_items + index + 1), m_items + index, sizeof(ZkPlaylistItem) * (m_count - index));
    new (m_items + index) ZkPlaylistItem{};
    m_items[index].Assign(item);
    ++m_count;
    return ZK_Success;
}

ZKRESULT Playlist::Enqueue(ZkUniqueID audioNodeID, uint32_t delayMs, void* customInfo, uint32_t externalSourceCount,
                           const ZkExternalSourceInfo* externalSources)
{
    ZkPlaylistItem item;
    item.audioNodeID = audioNodeID;
    item.delayMs = delayMs;
    item.customInfo = customInfo;
    if (item.SetExternalSources(externalSourceCount, externalSources) != ZK_Success)
        return ZK_InsufficientMemory;
    const ZKRESULT result = Insert(m_count, item);
    item.ClearExternalSources();
    return result;
}

ZKRESULT Playlist::Erase(uint32_t index)
{
    if (index >= m_count)
        return ZK_InvalidParameter;
    m_items[index].ClearExternalSources();
    std::memmove(static_cast<void*>(m_items + index), m_items + index + 1,
                 sizeof(ZkPlaylistItem) * (m_count - index - 1));
    --m_count;
    return ZK_Success;
}

void Playlist::RemoveAll()
{
    for (uint32_t index = 0; index < m_count; ++index)
        m_items[index].ClearExternalSources();
    m_count = 0;
}

void Playlist::Term()
{
    RemoveAll();
    if (m_items != nullptr)
        ZK::MemoryMgr::Free(kPool, m_items);
    m_items = nullptr;
    m_capacity = 0;
}
} // namespace ZK::SoundEngine::DynamicSequence
