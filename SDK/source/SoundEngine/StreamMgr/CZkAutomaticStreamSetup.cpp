// Set-up and heuristics of an automatic stream: block size and buffer sizes, throughput, loop
// region, buffering targets, and the cache size of caching streams.
#include "StreamMgr/CZkAutomaticStream.h"

#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/ZkBufferAlignment.h"

#include <cmath>
#include <limits>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

namespace
{
constexpr uint64_t kMaxU32 = std::numeric_limits<uint32_t>::max();

uint64_t RoundUp(uint64_t value, uint64_t unit)
{
    return (value + unit - 1) / unit * unit;
}

// At least 1 byte per millisecond; a NaN counts as nothing given.
float EffectiveThroughput(float throughput)
{
    return throughput >= 1.0f ? throughput : 1.0f;
}
} // namespace

CZkAutomaticStream::CZkAutomaticStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc)
    : CZkStreamTask(device, fileDesc, true)
{
}

CZkAutomaticStream::~CZkAutomaticStream()
{
    while (ZkStreamTransfer* record = m_buffers.PopFront())
        FreeRecord(record);
}

uint32_t CZkAutomaticStream::ClampLoopEnd(uint32_t loopStart, uint32_t loopEnd) const
{
    // Once the size is known the loop cannot pass the end of the file (a deferred open reports 0
    // until the file is open).
    if (m_fileDesc->fileSize > 0 && loopEnd > static_cast<uint64_t>(m_fileDesc->fileSize))
        loopEnd = static_cast<uint32_t>(m_fileDesc->fileSize);
    // A loop that ends before it starts would never read anything: the stream plays on instead.
    if (loopEnd != 0 && loopStart >= loopEnd)
        loopEnd = 0;
    return loopEnd;
}

ZKRESULT CZkAutomaticStream::Setup(uint32_t cacheId, const ZkAutomaticStreamHeuristics& heuristics,
                                   const ZkAutomaticStreamBufferSettings* bufferSettings)
{
    if (m_fileDesc->fileSize < 0)
    {
        MarkToBeDestroyed();
        return ZK_InvalidParameter;
    }
    m_cacheId = cacheId;
    IZkLowLevelIOHook* hook = m_device->Hook();
    const uint32_t granularity = m_device->Granularity();
    const uint32_t blockSize = hook ? hook->GetBlockSize(*m_fileDesc) : 0;
    if (blockSize == 0 || blockSize > granularity || granularity % blockSize != 0)
    {
        MarkToBeDestroyed();
        return ZK_Fail;
    }
    ZkScopedLock lock(m_lock);
    m_blockSize = blockSize;
    m_bufferAlignment = blockSize;
    m_throughput = EffectiveThroughput(heuristics.throughput);
    m_loopStart = heuristics.loopStart / blockSize * blockSize;
    m_loopEnd = ClampLoopEnd(m_loopStart, heuristics.loopEnd);
    m_minBufferCount = heuristics.minBufferCount ? heuristics.minBufferCount : 1;
    SetPriority(heuristics.priority);
    m_nextPosition = 0;
    const ZKRESULT sized = SetupBufferSizes(bufferSettings);
    if (sized != ZK_Success)
    {
        m_toBeDestroyed = true;
        m_readyForIO = false;
    }
    return sized;
}

ZKRESULT CZkAutomaticStream::SetupBufferSizes(const ZkAutomaticStreamBufferSettings* bufferSettings)
{
    const uint32_t granularity = m_device->Granularity();
    if (!bufferSettings)
    {
        m_minBufferSize = m_blockSize;
        m_transferSize = granularity / m_blockSize * m_blockSize;
        return ZK_Success;
    }
    if (bufferSettings->blockSize != 0)
    {
        const uint64_t alignment = LeastCommonMultiple(m_blockSize, bufferSettings->blockSize);
        if (alignment > granularity)
            return ZK_Fail; // no transfer could hold one aligned buffer
        m_bufferAlignment = static_cast<uint32_t>(alignment);
    }
    const uint32_t alignment = m_bufferAlignment;
    m_minBufferSize = alignment;
    m_transferSize = granularity / alignment * alignment;
    if (bufferSettings->bufferSize != 0)
    {
        if (bufferSettings->bufferSize > granularity || bufferSettings->bufferSize % alignment != 0)
            return ZK_Fail;
        m_transferSize = m_minBufferSize = bufferSettings->bufferSize;
        return ZK_Success;
    }
    if (bufferSettings->minBufferSize > alignment)
    {
        const uint64_t minimum = RoundUp(bufferSettings->minBufferSize, alignment);
        if (minimum > m_transferSize)
            return ZK_Fail;
        m_minBufferSize = static_cast<uint32_t>(minimum);
    }
    return ZK_Success;
}

void CZkAutomaticStream::GetInfo(ZkStreamInfo& info)
{
    ZkScopedLock lock(m_lock);
    info.deviceId = m_device->DeviceId();
    info.name = m_name;
    info.size = m_fileDesc->fileSize;
    info.isOpen = m_fileOpen;
}

void CZkAutomaticStream::GetHeuristics(ZkAutomaticStreamHeuristics& heuristics)
{
    ZkScopedLock lock(m_lock);
    heuristics.throughput = m_throughput;
    heuristics.loopStart = m_loopStart;
    heuristics.loopEnd = m_loopEnd;
    heuristics.minBufferCount = m_minBufferCount;
    heuristics.priority = Priority();
}

ZKRESULT CZkAutomaticStream::SetHeuristics(const ZkAutomaticStreamHeuristics& heuristics)
{
    if (heuristics.priority > kMaxStreamPriority)
        return ZK_InvalidParameter;
    SetPriority(heuristics.priority);
    const float throughput = EffectiveThroughput(heuristics.throughput);
    const uint8_t minBufferCount = heuristics.minBufferCount ? heuristics.minBufferCount : 1;
    ZkScopedLock lock(m_lock);
    const uint32_t loopStart = heuristics.loopStart / m_blockSize * m_blockSize;
    const uint32_t loopEnd = ClampLoopEnd(loopStart, heuristics.loopEnd);
    m_throughput = throughput;
    m_minBufferCount = minBufferCount;
    if (loopStart == m_loopStart && loopEnd == m_loopEnd)
    {
        UpdateStatus(); // the throughput sets the buffering target
        return ZK_Success;
    }
    m_loopStart = loopStart;
    SetLoopEnd(loopEnd);
    KeepBuffersInLoopOrder();
    UpdateStatus();
    return ZK_Success;
}

void CZkAutomaticStream::KeepBuffersInLoopOrder()
{
    uint64_t expected = m_nextPosition;
    uint32_t index = 0;
    ZkStreamTransfer* record = m_buffers.head;
    for (; record && index < m_handedOut; record = record->next, ++index)
        expected = WrapAtLoopEnd(record->dataPosition + record->size);
    for (; record; record = record->next, ++index)
    {
        if (!DataStartsAt(*record, expected))
        {
            DropBuffersFrom(index);
            break;
        }
        expected = WrapAtLoopEnd(record->dataPosition + record->size);
    }
    CancelTransfersNotAt(expected);
}

ZKRESULT CZkAutomaticStream::SetMinimalBufferSize(uint32_t bytes)
{
    ZkScopedLock lock(m_lock);
    const uint32_t previous = m_minBufferSize;
    m_minBufferSize = m_bufferAlignment;
    m_transferSize = m_device->Granularity() / m_bufferAlignment * m_bufferAlignment;
    if (bytes > m_bufferAlignment)
    {
        const uint64_t minimum = RoundUp(bytes, m_bufferAlignment);
        if (minimum > m_transferSize)
        {
            // No transfer of this device can ever give a buffer that large.
            m_killed = true;
            StopLocked();
            WakeClient();
            return ZK_Fail;
        }
        m_minBufferSize = static_cast<uint32_t>(minimum);
    }
    if (m_minBufferSize > previous)
    {
        DropBuffersSmallerThan(m_minBufferSize);
        UpdateStatus();
    }
    return ZK_Success;
}

ZKRESULT CZkAutomaticStream::SetMinTargetBufferSize(uint32_t bytes)
{
    ZkScopedLock lock(m_lock);
    m_minTargetBuffering = bytes;
    UpdateStatus();
    return ZK_Success;
}

uint32_t CZkAutomaticStream::GetNominalBuffering()
{
    ZkScopedLock lock(m_lock);
    return NominalBufferingLocked();
}

uint32_t CZkAutomaticStream::NominalBufferingLocked() const
{
    if (m_isCaching)
        return m_cacheSize;
    // The product may be far beyond 32 bits (or infinite): converting it unclamped is undefined.
    const double wanted = static_cast<double>(m_device->TargetBufferMs()) * static_cast<double>(m_throughput);
    const uint32_t target = wanted >= static_cast<double>(kMaxU32) ? static_cast<uint32_t>(kMaxU32)
                            : wanted > 0.0                      ? static_cast<uint32_t>(wanted)
                                                                : 0u;
    return target > m_minTargetBuffering ? target : m_minTargetBuffering;
}

void CZkAutomaticStream::SetCachingBufferSize(uint32_t bytes)
{
    ZkScopedLock lock(m_lock);
    const uint64_t rounded = RoundUp(bytes, m_bufferAlignment);
    const uint64_t cacheSize = rounded < kMinCachingBytes ? kMinCachingBytes : rounded;
    m_cacheSize = static_cast<uint32_t>(cacheSize > kMaxU32 ? kMaxU32 / m_bufferAlignment * m_bufferAlignment : cacheSize);
}

void CZkAutomaticStream::OnFileOpened()
{
    CZkStreamTask::OnFileOpened();
    ZkScopedLock lock(m_lock);
    const uint32_t loopEnd = ClampLoopEnd(m_loopStart, m_loopEnd);
    if (loopEnd != m_loopEnd)
    {
        SetLoopEnd(loopEnd);
        KeepBuffersInLoopOrder();
    }
    UpdateStatus();
}

void CZkAutomaticStream::SetLoopEnd(uint32_t loopEnd)
{
    ZkScopedLock lock(m_lock);
    m_loopEnd = loopEnd;
    // Recount what waits and what is in flight under the new loop end.
    uint32_t buffered = 0;
    uint32_t index = 0;
    for (ZkStreamTransfer* record = m_buffers.head; record; record = record->next, ++index)
    {
        record->countedBytes = CountedBytes(*record);
        if (index >= m_handedOut)
            buffered += record->countedBytes;
    }
    for (ZkStreamTransfer* record = m_pending.head; record; record = record->next)
    {
        record->countedBytes = CountedBytes(*record);
        buffered += record->countedBytes;
    }
    m_bufferedBytes = buffered;
}
} // namespace ZK::StreamMgr
