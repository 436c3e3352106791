// The transfers of a standard stream: chunks of at most the device's granularity, prepared in
// file order and applied in file order, whatever order the hook completes them in.
#include "StreamMgr/CZkStandardStream.h"

#include "StreamMgr/CZkStreamDevice.h"

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

ZkStreamTransfer* CZkStandardStream::PrepareTransfer(bool cacheOnly)
{
    ZkScopedLock lock(m_lock);
    if (cacheOnly || m_toBeDestroyed || !m_readyForIO || m_status != ZK_StreamStatusPending || m_allIssued)
        return nullptr;
    const uint32_t remaining = m_requestedSize - m_bytesIssued;
    const uint32_t bufferSize = remaining < m_device->Granularity() ? remaining : m_device->Granularity();
    const uint64_t offset = m_position + m_bytesIssued;
    uint32_t chunk = bufferSize;
    bool reachesEnd = false;
    if (!m_isWrite)
    {
        // The file may have been opened (deferred open) after the request was cut.
        const uint64_t fileSize = static_cast<uint64_t>(m_fileDesc->fileSize);
        const uint64_t left = offset < fileSize ? fileSize - offset : 0;
        if (chunk >= left)
        {
            chunk = static_cast<uint32_t>(left);
            reachesEnd = true;
        }
    }
    if (chunk == 0)
    {
        m_allIssued = true;
        if (m_pending.Empty())
            FinishRequest();
        UpdateRegistration();
        WakeClient();
        return nullptr;
    }

    ZkStreamTransfer* record = m_device->NewTransferRecord();
    if (!record)
        return nullptr;
    record->owner = this;
    record->dataOffset = m_bytesIssued;
    record->size = chunk;
    {
        ZkScopedLock ioLock(m_device->IOLock());
        if (!m_device->AttachHookTransfer(*record, FilePosition(offset), m_buffer + m_bytesIssued, bufferSize, chunk))
        {
            m_device->FreeTransferRecord(record);
            return nullptr;
        }
        m_device->BeginTransfer();
    }
    m_pending.PushBack(record);
    m_bytesIssued += chunk;
    if (m_bytesIssued >= m_requestedSize || reachesEnd)
    {
        m_allIssued = true;
        UpdateRegistration();
    }
    m_requestTime = m_device->PassTime();
    return record;
}

void CZkStandardStream::CompleteTransfer(ZkStreamTransfer* record, ZKRESULT result)
{
    ZkScopedLock lock(m_lock);
    if (!record)
    {
        // ZK_TransferNotStarted: the request stays pending and is tried again at a later pass.
        if (result != ZK_TransferNotStarted && m_status == ZK_StreamStatusPending)
        {
            m_status = ZK_StreamStatusError;
            m_allIssued = true;
        }
    }
    else if (m_cancelled.Remove(record))
        RetireRecord(record);
    else if (m_pending.Contains(record))
    {
        if (result == ZK_Success)
        {
            record->SetState(kTransferDone);
            ApplyDoneChunks();
        }
        else
        {
            m_pending.Remove(record);
            RetireRecord(record);
            if (m_status == ZK_StreamStatusPending)
                m_status = ZK_StreamStatusError;
            m_allIssued = true;
        }
    }
    UpdateRegistration();
    if (StatusLocked() != ZK_StreamStatusPending || RequestSettled())
        WakeClient();
}

void CZkStandardStream::ApplyDoneChunks()
{
    while (m_pending.head && m_pending.head->State() == kTransferDone)
    {
        ZkStreamTransfer* record = m_pending.PopFront();
        if (m_status == ZK_StreamStatusPending && !m_endedEarly)
        {
            // Only the bytes the hook moved count; a read that stopped early ends the file there.
            const uint32_t moved = record->bytesMoved < record->size ? record->bytesMoved : record->size;
            m_bytesTransferred += moved;
            if (m_isWrite)
            {
                const int64_t end = static_cast<int64_t>(m_position + record->dataOffset + moved);
                if (end > m_fileDesc->fileSize)
                    m_fileDesc->fileSize = end;
            }
            if (moved < record->size)
            {
                m_endedEarly = true;
                m_allIssued = true;
            }
        }
        RetireRecord(record);
    }
    if (m_status == ZK_StreamStatusPending && m_pending.Empty() &&
        (m_endedEarly || m_bytesTransferred >= m_requestedSize))
        FinishRequest();
}

void CZkStandardStream::FinishRequest()
{
    m_requestedSize = m_bytesTransferred;
    m_position += m_requestedSize;
    m_status = ZK_StreamStatusCompleted;
    if (!m_isWrite && (m_endedEarly || m_position >= static_cast<uint64_t>(m_fileDesc->fileSize)))
        m_atEndOfFile = true;
}
} // namespace ZK::StreamMgr
