// The client face of an automatic stream: buffers handed out in order, positions, start and stop,
// buffering status; and the status rule that tells the device whether the stream needs I/O.
#include "StreamMgr/CZkAutomaticStream.h"

#include "StreamMgr/CZkStreamDevice.h"

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

uint32_t CZkAutomaticStream::CountedBytes(const ZkStreamTransfer& record) const
{
    // Data past the loop end is never played: it does not count as buffered.
    const uint64_t end = record.dataPosition + record.size;
    if (m_loopEnd != 0 && record.dataPosition < m_loopEnd && m_loopEnd < end)
        return static_cast<uint32_t>(m_loopEnd - record.dataPosition);
    return record.size;
}

uint64_t CZkAutomaticStream::WrapAtLoopEnd(uint64_t position) const
{
    return m_loopEnd != 0 && position >= m_loopEnd ? m_loopStart : position;
}

uint64_t CZkAutomaticStream::NextReadPositionLocked() const
{
    if (m_pending.tail)
        return m_pending.tail->dataPosition + m_pending.tail->size;
    if (m_buffers.count > m_handedOut)
        return m_buffers.tail->dataPosition + m_buffers.tail->size;
    return m_nextPosition;
}

uint64_t CZkAutomaticStream::GetNextReadPosition()
{
    ZkScopedLock lock(m_lock);
    return NextReadPositionLocked();
}

void CZkAutomaticStream::UpdateStatus()
{
    const uint64_t next = WrapAtLoopEnd(NextReadPositionLocked());
    bool canRead = !m_fileOpen || next < static_cast<uint64_t>(m_fileDesc->fileSize);
    if (m_isCaching && next >= m_cacheSize)
        canRead = false; // the cache holds what it should
    if (canRead)
    {
        m_atEndOfFile = false;
        m_readyForIO = m_running && !m_toBeDestroyed && !m_killed;
    }
    else
    {
        m_atEndOfFile = true;
        m_readyForIO = false;
    }
    const bool needsIO = (m_readyForIO && m_bufferedBytes < NominalBufferingLocked()) ||
                         (m_toBeDestroyed && CanBeDestroyedLocked());
    SetNeedsIO(needsIO);
}

void CZkAutomaticStream::Destroy()
{
    ZkScopedLock lock(m_lock);
    m_toBeDestroyed = true;
    m_readyForIO = false;
    CancelPendingTransfers();
    m_handedOut = 0;
    while (ZkStreamTransfer* record = m_buffers.PopFront())
        FreeRecord(record);
    m_bufferedBytes = 0;
    UpdateStatus();
}

bool CZkAutomaticStream::TakeNextBuffer(void*& buffer, uint32_t& size)
{
    if (m_buffers.count <= m_handedOut)
        return false;
    ZkStreamTransfer* record = m_buffers.head;
    for (uint32_t index = 0; index < m_handedOut; ++index)
        record = record->next;
    if (!DataStartsAt(*record, m_nextPosition))
    {
        // Out of order (the loop changed under buffers already read): start again from here.
        SetLoopEnd(0);
        DropUnhandedBuffers();
        return false;
    }
    ++m_handedOut;
    m_nextPosition = WrapAtLoopEnd(record->dataPosition + record->size);
    m_bufferedBytes -= record->countedBytes;
    size = record->size;
    buffer = record->view->address + record->dataOffset;
    UpdateStatus();
    return true;
}

ZKRESULT CZkAutomaticStream::GetBuffer(void*& buffer, uint32_t& size, bool wait)
{
    buffer = nullptr;
    size = 0;
    ZkScopedLock lock(m_lock);
    bool got = TakeNextBuffer(buffer, size);
    if (!got && !m_killed && m_fileOpen && m_device->ReadFromCacheNow(this))
        got = TakeNextBuffer(buffer, size);
    while (!got && wait && !m_killed && (m_registeredForIO || m_bufferedBytes > 0))
    {
        if (!PrepareClientWait())
            break;
        WaitForDevice();
        got = TakeNextBuffer(buffer, size);
    }
    if (m_killed)
        return ZK_Fail;
    if (m_atEndOfFile && m_nextPosition >= static_cast<uint64_t>(m_fileDesc->fileSize))
        return ZK_NoMoreData;
    return got ? ZK_DataReady : ZK_NoDataReady;
}

ZKRESULT CZkAutomaticStream::ReleaseBuffer()
{
    ZkScopedLock lock(m_lock);
    if (m_handedOut == 0)
        return ZK_Fail;
    FreeRecord(m_buffers.PopFront());
    --m_handedOut;
    UpdateStatus();
    return ZK_Success;
}

ZKRESULT CZkAutomaticStream::QueryBufferingStatus(uint32_t& bufferedBytes)
{
    ZkScopedLock lock(m_lock);
    if (m_killed)
        return ZK_Fail;
    if (!m_fileOpen)
        return ZK_NoDataReady;
    const auto waitingBytes = [this] {
        uint32_t bytes = 0;
        uint32_t index = 0;
        for (ZkStreamTransfer* record = m_buffers.head; record; record = record->next, ++index)
        {
            if (index >= m_handedOut)
                bytes += record->size;
        }
        return bytes;
    };
    bufferedBytes = waitingBytes();
    ZKRESULT result = bufferedBytes > 0 ? ZK_DataReady : ZK_NoDataReady;
    if (!m_registeredForIO && m_bufferedBytes <= bufferedBytes)
        return ZK_NoMoreData; // nothing more will be buffered for now
    if (m_device->ReadFromCacheNow(this))
    {
        bufferedBytes = waitingBytes();
        result = bufferedBytes > 0 ? ZK_DataReady : ZK_NoDataReady;
    }
    else if (m_device->AutomaticStreamsPaused())
        result = ZK_NoMoreData;
    return result;
}

ZKRESULT CZkAutomaticStream::Start()
{
    {
        ZkScopedLock lock(m_lock);
        if (m_killed)
            return ZK_Fail;
        if (!m_running)
        {
            m_running = true;
            m_startedOnce = true;
            m_requestTime = m_device->PassTime();
            UpdateStatus();
        }
    }
    m_device->ResumeAutomaticStreams();
    return ZK_Success;
}

ZKRESULT CZkAutomaticStream::Stop()
{
    ZkScopedLock lock(m_lock);
    StopLocked();
    return ZK_Success;
}

void CZkAutomaticStream::StopLocked()
{
    m_running = false;
    m_readyForIO = false;
    DropUnhandedBuffers();
}

uint64_t CZkAutomaticStream::GetPosition(bool* endOfFile)
{
    ZkScopedLock lock(m_lock);
    const uint64_t position = m_handedOut > 0 ? m_buffers.head->dataPosition : m_nextPosition;
    if (endOfFile)
        *endOfFile = position >= static_cast<uint64_t>(m_fileDesc->fileSize);
    return position;
}

ZKRESULT CZkAutomaticStream::SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset)
{
    if (realOffset)
        *realOffset = 0;
    int64_t origin;
    switch (moveMethod)
    {
    case ZK_MoveBegin: origin = 0; break;
    case ZK_MoveCurrent: origin = static_cast<int64_t>(GetPosition(nullptr)); break;
    case ZK_MoveEnd: origin = GetFileDescriptor()->fileSize; break;
    default: return ZK_InvalidParameter;
    }
    int64_t target;
    if (__builtin_add_overflow(origin, offset, &target) || target < 0)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    const int64_t rounded = target / m_blockSize * m_blockSize;
    if (realOffset)
        *realOffset = rounded - origin;
    m_nextPosition = static_cast<uint64_t>(rounded);
    if (m_buffers.count > m_handedOut)
    {
        ZkStreamTransfer* first = m_buffers.head;
        for (uint32_t index = 0; index < m_handedOut; ++index)
            first = first->next;
        if (!DataStartsAt(*first, m_nextPosition))
            DropUnhandedBuffers();
    }
    else
        CancelTransfersNotAt(m_nextPosition);
    UpdateStatus();
    return ZK_Success;
}

void CZkAutomaticStream::Kill()
{
    ZkScopedLock lock(m_lock);
    m_killed = true;
    StopLocked();
    WakeClient();
}

float CZkAutomaticStream::EffectiveDeadline()
{
    ZkScopedLock lock(m_lock);
    return static_cast<float>(m_bufferedBytes) / m_throughput;
}

uint32_t CZkAutomaticStream::GetBufferedBytes()
{
    ZkScopedLock lock(m_lock);
    return m_bufferedBytes;
}

void CZkAutomaticStream::ResumeCaching()
{
    bool startedOnce;
    {
        ZkScopedLock lock(m_lock);
        startedOnce = m_startedOnce;
    }
    if (startedOnce)
        Start();
}

uint32_t CZkAutomaticStream::StopCaching(uint32_t bytes)
{
    ZkScopedLock lock(m_lock);
    const uint32_t released = ReleaseCachedBytes(bytes);
    m_running = false;
    m_readyForIO = false;
    UpdateStatus();
    return released;
}

uint32_t CZkAutomaticStream::BufferCount()
{
    ZkScopedLock lock(m_lock);
    return m_buffers.count;
}
} // namespace ZK::StreamMgr
