#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT ZkMarkerTable::Init(uint32_t count)
{
    Term();
    if (count == 0)
        return ZK_Success;
    auto* markers = static_cast<ZkMarker*>(ZK::MemoryMgr::Malloc(kPool, sizeof(ZkMarker) * size_t{count}));
    if (markers == nullptr)
        return ZK_InsufficientMemory;
    std::memset(markers, 0, sizeof(ZkMarker) * size_t{count});
    m_markers = markers;
    m_count = count;
    return ZK_Success;
}

ZKRESULT ZkMarkerTable::SetLabel(uint32_t index, const char* text, uint32_t size)
{
    if (index >= m_count)
        return ZK_InvalidParameter;
    auto* copy = static_cast<char*>(ZK::MemoryMgr::Malloc(kPool, size_t{size} + 1));
    if (copy == nullptr)
        return ZK_InsufficientMemory;
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    if (m_markers[index].label != nullptr)
        ZK::MemoryMgr::Free(kPool, m_markers[index].label);
    m_markers[index].label = copy;
    return ZK_Success;
}

void ZkMarkerTable::Term()
{
    for (uint32_t index = 0; index < m_count; ++index)
    {
        if (m_markers[index].label != nullptr)
            ZK::MemoryMgr::Free(kPool, m_markers[index].label);
    }
    if (m_markers != nullptr)
        ZK::MemoryMgr::Free(kPool, m_markers);
    m_markers = nullptr;
    m_count = 0;
}

uint32_t ZkMarkerTable::IndexOf(uint32_t id) const
{
    for (uint32_t index = 0; index < m_count; ++index)
    {
        if (m_markers[index].id == id)
            return index;
    }
    return m_count;
}
} // namespace ZK::SoundEngine
