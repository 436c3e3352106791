// The transfers of an automatic stream: preparing the next read (from the stream cache when a
// cached view holds it), applying completions in file order, cancelling, and dropping buffers.
#include "StreamMgr/CZkAutomaticStream.h"

#include "StreamMgr/CZkStreamDevice.h"

namespace ZK::StreamMgr
{
using MemoryMgr::ZkIOMemoryView;
using Platform::ZkScopedLock;

ZkStreamTransfer* CZkAutomaticStream::PrepareTransfer(bool cacheOnly)
{
    ZkScopedLock lock(m_lock);
    if (m_toBeDestroyed || !m_readyForIO || m_killed)
        return nullptr;
    // One transfer per stream at a time where the device does not share them.
    if (!m_pending.Empty() && m_device->OneTransferPerStream())
        return nullptr;
    const uint64_t position = WrapAtLoopEnd(NextReadPositionLocked());
    const uint64_t fileSize = static_cast<uint64_t>(m_fileDesc->fileSize);
    if (position >= fileSize)
        return nullptr;
    uint64_t size = m_transferSize;
    if (size > fileSize - position)
        size = fileSize - position;
    if (m_isCaching)
    {
        if (position >= m_cacheSize)
            return nullptr;
        if (size > m_cacheSize - position)
            size = m_cacheSize - position;
    }
    if (size == 0)
        return nullptr;
    auto bytes = static_cast<uint32_t>(size);

    ZkStreamTransfer* record = nullptr;
    {
        ZkScopedLock ioLock(m_device->IOLock());
        MemoryMgr::CZkIOMemoryPool& memory = m_device->IOMemory();
        ZkIOMemoryView* view = nullptr;
        uint32_t offset = 0;
        if (memory.UsesStreamCache() && m_cacheId != ZK_NoCacheID)
        {
            uint32_t available = bytes;
            const uint32_t minimum = m_minBufferSize < bytes ? m_minBufferSize : bytes;
            offset = memory.FindCachedData(m_cacheId, position, minimum, m_bufferAlignment,
                                           position + bytes >= fileSize, available, view);
            if (view)
                bytes = available;
        }
        if (cacheOnly && (!view || CZkStreamDevice::IsBeingFilled(view)))
        {
            if (view)
                m_device->ReleaseIOView(view);
            return nullptr;
        }
        record = m_device->NewTransferRecord();
        if (!record)
        {
            if (view)
                m_device->ReleaseIOView(view);
            return nullptr;
        }
        record->owner = this;
        if (view && CZkStreamDevice::IsBeingFilled(view) && !m_device->JoinPendingTransfer(*record, view))
        {
            m_device->ReleaseIOView(view);
            view = nullptr;
            bytes = static_cast<uint32_t>(size);
        }
        else if (view && !CZkStreamDevice::IsBeingFilled(view))
        {
            record->fromCache = true;
            record->bytesMoved = bytes;
        }
        if (!view)
        {
            offset = 0;
            view = m_device->TakeIOView(bytes, m_bufferAlignment);
            if (!view)
            {
                m_device->FreeTransferRecord(record);
                return nullptr; // the device pauses automatic streams until memory comes back
            }
            if (!m_device->AttachHookTransfer(*record, FilePosition(position), view->address, bytes, bytes))
            {
                m_device->ReleaseIOView(view);
                m_device->FreeTransferRecord(record);
                return nullptr;
            }
            // Keyed while it fills: its owner field marks it as being filled (cleared at completion).
            memory.KeyView(view, record->hookTransfer, m_cacheId != ZK_NoCacheID ? m_cacheId : MemoryMgr::kViewNotIndexed,
                           position, bytes);
        }
        record->view = view;
        record->dataOffset = offset;
        m_device->BeginTransfer();
    }
    record->dataPosition = position;
    record->size = bytes;
    record->countedBytes = CountedBytes(*record);
    m_bufferedBytes += record->countedBytes;
    m_pending.PushBack(record);
    m_requestTime = m_device->PassTime();
    UpdateStatus();
    return record;
}

void CZkAutomaticStream::CompleteTransfer(ZkStreamTransfer* record, ZKRESULT result)
{
    ZkScopedLock lock(m_lock);
    if (!record)
    {
        // ZK_TransferNotStarted: the stream waits for memory or a record. Anything else (its file
        // could not be opened) ends it.
        if (result != ZK_TransferNotStarted)
        {
            m_killed = true;
            StopLocked();
        }
    }
    else if (m_cancelled.Remove(record))
        RetireRecord(record);
    else if (m_pending.Contains(record))
    {
        if (result == ZK_Success)
        {
            record->SetState(kTransferDone);
            ApplyDoneTransfers();
        }
        else
        {
            m_pending.Remove(record);
            m_bufferedBytes -= record->countedBytes;
            RetireRecord(record);
            if (result == ZK_Fail)
            {
                m_killed = true;
                StopLocked();
            }
        }
    }
    UpdateStatus();
    WakeClient();
}

void CZkAutomaticStream::ApplyDoneTransfers()
{
    while (m_pending.head && m_pending.head->State() == kTransferDone)
    {
        ZkStreamTransfer* record = m_pending.PopFront();
        m_bufferedBytes -= record->countedBytes;
        if (record->bytesMoved < record->size)
        {
            // A short read: the bytes the hook did not move are not data.
            record->size = record->bytesMoved;
            EndFileAt(record->dataPosition + record->size);
        }
        record->countedBytes = CountedBytes(*record);
        if (m_toBeDestroyed || m_killed || record->size == 0)
        {
            RetireRecord(record);
            continue;
        }
        m_bufferedBytes += record->countedBytes;
        m_buffers.PushBack(record);
        m_device->EndTransfer();
    }
}

void CZkAutomaticStream::EndFileAt(uint64_t end)
{
    if (end >= static_cast<uint64_t>(m_fileDesc->fileSize))
        return;
    m_fileDesc->fileSize = static_cast<int64_t>(end);
    const uint32_t loopEnd = ClampLoopEnd(m_loopStart, m_loopEnd);
    if (loopEnd != m_loopEnd)
        SetLoopEnd(loopEnd);
}

void CZkAutomaticStream::CancelPendingTransfers()
{
    ZkScopedLock lock(m_lock);
    bool cancelledAny = false;
    while (ZkStreamTransfer* record = m_pending.PopFront())
    {
        m_bufferedBytes -= record->countedBytes;
        if (record->State() == kTransferDone)
        {
            RetireRecord(record); // arrived, but its data is no longer wanted
            continue;
        }
        record->SetState(kTransferCancelled);
        m_cancelled.PushBack(record);
        cancelledAny = true;
    }
    if (cancelledAny)
        m_device->CancelHookTransfers(*this);
}

void CZkAutomaticStream::CancelTransfersNotAt(uint64_t position)
{
    ZkScopedLock lock(m_lock);
    if (m_pending.head && !DataStartsAt(*m_pending.head, position))
        CancelPendingTransfers();
}

uint32_t CZkAutomaticStream::DropBuffersFrom(uint32_t index)
{
    if (index < m_handedOut)
        index = m_handedOut;
    uint32_t dropped = 0;
    ZkStreamTransfer* record = m_buffers.head;
    for (uint32_t position = 0; record && position < index; ++position)
        record = record->next;
    while (record)
    {
        ZkStreamTransfer* next = record->next;
        m_buffers.Remove(record);
        m_bufferedBytes -= record->countedBytes;
        dropped += record->countedBytes;
        FreeRecord(record);
        record = next;
    }
    return dropped;
}

void CZkAutomaticStream::DropUnhandedBuffers()
{
    CancelPendingTransfers();
    DropBuffersFrom(m_handedOut);
    UpdateStatus();
}

void CZkAutomaticStream::DropBuffersSmallerThan(uint32_t bytes)
{
    ZkScopedLock lock(m_lock);
    uint32_t index = 0;
    bool dropped = false;
    for (ZkStreamTransfer* record = m_buffers.head; record; record = record->next, ++index)
    {
        if (index >= m_handedOut && record->size < bytes)
        {
            DropBuffersFrom(index);
            dropped = true;
            break;
        }
    }
    if (dropped || (m_pending.head && m_pending.head->size < bytes))
        CancelPendingTransfers();
}

uint32_t CZkAutomaticStream::ReleaseCachedBytes(uint32_t bytes)
{
    ZkScopedLock lock(m_lock);
    uint32_t released = 0;
    for (ZkStreamTransfer* record = m_pending.head; record; record = record->next)
        released += record->countedBytes;
    CancelPendingTransfers();
    // Newest first: the start of the file is what a pinned file keeps longest.
    while (released < bytes && m_buffers.count > m_handedOut)
    {
        ZkStreamTransfer* newest = m_buffers.tail;
        m_buffers.Remove(newest);
        m_bufferedBytes -= newest->countedBytes;
        released += newest->countedBytes;
        FreeRecord(newest);
    }
    return released;
}
} // namespace ZK::StreamMgr
