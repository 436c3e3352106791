#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT ZkVoiceMarkers::Init()
{
    Term();
    return Reserve(kInitialCapacity);
}

void ZkVoiceMarkers::Term()
{
    RemoveFront(m_count);
    if (m_markers != nullptr)
        ZK::MemoryMgr::Free(kPool, m_markers);
    m_markers = nullptr;
    m_capacity = 0;
}

ZKRESULT ZkVoiceMarkers::Reserve(uint32_t more)
{
    if (m_capacity - m_count >= more)
        return ZK_Success;
    const uint32_t capacity = m_count + more + (m_markers != nullptr ? kGrowth : 0);
    void* grown = ZK::MemoryMgr::Realloc(kPool, m_markers, sizeof(ZkPipelineMarker) * size_t{capacity});
    if (grown == nullptr)
        return ZK_InsufficientMemory;
    m_markers = static_cast<ZkPipelineMarker*>(grown);
    m_capacity = capacity;
    return ZK_Success;
}

void ZkVoiceMarkers::Append(const ZkPipelineMarker& marker)
{
    if (m_count < m_capacity)
        m_markers[m_count++] = marker;
}

void ZkVoiceMarkers::FreeLabel(ZkPipelineMarker& marker)
{
    if (marker.ownsLabel != 0 && marker.label != nullptr)
        ZK::MemoryMgr::Free(kPool, const_cast<char*>(marker.label));
    marker.label = nullptr;
    marker.ownsLabel = 0;
}

void ZkVoiceMarkers::RemoveFront(uint32_t count)
{
    count = std::min(count, m_count);
    for (uint32_t i = 0; i < count; ++i)
        FreeLabel(m_markers[i]);
    if (count != 0 && count < m_count)
        std::memmove(m_markers, m_markers + count, sizeof(ZkPipelineMarker) * (m_count - count));
    m_count -= count;
}

ZKRESULT ZkVoiceMarkers::OwnLabels()
{
    for (uint32_t i = 0; i < m_count; ++i)
    {
        ZkPipelineMarker& marker = m_markers[i];
        if (marker.ownsLabel != 0 || marker.label == nullptr)
            continue;
        const size_t size = std::strlen(marker.label) + 1;
        auto* copy = static_cast<char*>(ZK::MemoryMgr::Malloc(kPool, size));
        if (copy == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(copy, marker.label, size);
        marker.label = copy;
        marker.ownsLabel = 1;
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
