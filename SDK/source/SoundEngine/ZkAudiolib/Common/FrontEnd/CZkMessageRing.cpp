// The ring's life cycle and the position arithmetic shared by its writers and its reader.
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkMessageRing::Init(uint32_t capacityBytes, IZkMessageDispatcher* dispatcher)
{
    if (IsInitialized() || dispatcher == nullptr || capacityBytes < kMinimumCapacityBytes)
        return ZK_InvalidParameter;
    auto* buffer = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, capacityBytes));
    if (buffer == nullptr)
        return ZK_Fail;
    m_start = buffer;
    m_end = buffer + capacityBytes;
    m_capacity = capacityBytes;
    m_largestMessage = LargestMessageFor(capacityBytes);
    m_dispatcher = dispatcher;
    m_read.store(buffer, std::memory_order_relaxed);
    m_write.store(buffer, std::memory_order_relaxed);
    m_pendingFrames.store(0, std::memory_order_relaxed);
    m_writerCount.store(0, std::memory_order_relaxed);
    return ZK_Success;
}

void CZkMessageRing::Term()
{
    if (!IsInitialized())
        return;
    DiscardMessages();
    ZK::MemoryMgr::Free(kPool, m_start);
    m_start = nullptr;
    m_end = nullptr;
    m_capacity = 0;
    m_largestMessage = 0;
    m_dispatcher = nullptr;
    m_read.store(nullptr, std::memory_order_relaxed);
    m_write.store(nullptr, std::memory_order_relaxed);
    m_pendingFrames.store(0, std::memory_order_relaxed);
}

uint32_t CZkMessageRing::Distance(const uint8_t* from, const uint8_t* to) const
{
    return to >= from ? static_cast<uint32_t>(to - from) : static_cast<uint32_t>(to - from + m_capacity);
}

uint32_t CZkMessageRing::UsedBytes() const
{
    return Distance(m_read.load(std::memory_order_acquire), m_write.load(std::memory_order_acquire));
}

uint32_t CZkMessageRing::ReadOffset() const
{
    return static_cast<uint32_t>(m_read.load(std::memory_order_acquire) - m_start);
}

uint32_t CZkMessageRing::WriteOffset() const
{
    return static_cast<uint32_t>(m_write.load(std::memory_order_acquire) - m_start);
}
} // namespace ZK::SoundEngine
