#include "StreamMgr/CZkStandardStream.h"

#include "Platform/PlatformClock.h"
#include "StreamMgr/CZkStreamDevice.h"

#include <cmath>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

CZkStandardStream::CZkStandardStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc)
    : CZkStreamTask(device, fileDesc, false)
{
}

ZKRESULT CZkStandardStream::Setup()
{
    if (m_fileDesc->fileSize < 0)
    {
        MarkToBeDestroyed();
        return ZK_InvalidParameter;
    }
    IZkLowLevelIOHook* hook = m_device->Hook();
    const uint32_t blockSize = hook ? hook->GetBlockSize(*m_fileDesc) : 0;
    if (blockSize == 0 || m_device->Granularity() % blockSize != 0)
    {
        MarkToBeDestroyed();
        return ZK_Fail;
    }
    m_blockSize = blockSize;
    return ZK_Success;
}

void CZkStandardStream::GetInfo(ZkStreamInfo& info)
{
    ZkScopedLock lock(m_lock);
    info.deviceId = m_device->DeviceId();
    info.name = m_name;
    info.size = m_fileDesc->fileSize;
    info.isOpen = m_fileOpen;
}

ZKRESULT CZkStandardStream::Read(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                                 uint32_t& outSize)
{
    return Request(buffer, size, wait, priority, deadlineMs, outSize, false);
}

ZKRESULT CZkStandardStream::Write(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                                  uint32_t& outSize)
{
    return Request(buffer, size, wait, priority, deadlineMs, outSize, true);
}

ZKRESULT CZkStandardStream::Request(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                                    uint32_t& outSize, bool write)
{
    outSize = 0;
    // "Not below 0" also refuses a NaN deadline.
    if (!buffer || priority > kMaxStreamPriority || !(deadlineMs >= 0.0f))
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    // The fields of a request in flight are not touched: the device still moves its bytes.
    if (StatusLocked() == ZK_StreamStatusPending || m_status == ZK_StreamStatusError || !m_pending.Empty())
        return ZK_Fail;
    if (!write)
    {
        if (size % m_blockSize != 0)
            return ZK_Fail;
        if (m_fileOpen)
        {
            const uint64_t fileSize = static_cast<uint64_t>(m_fileDesc->fileSize);
            const uint64_t left = m_position < fileSize ? fileSize - m_position : 0;
            if (size > left)
                size = static_cast<uint32_t>(left);
        }
    }
    m_deadlineMs = deadlineMs;
    m_bytesIssued = 0;
    m_bytesTransferred = 0;
    m_allIssued = false;
    m_endedEarly = false;
    m_isWrite = write;
    SetPriority(priority);
    m_buffer = static_cast<char*>(buffer);
    m_requestedSize = size;

    if (size == 0)
    {
        m_status = ZK_StreamStatusCompleted;
        UpdateRegistration();
        return ZK_Success;
    }
    m_requestTime = Platform::PerformanceCounter();
    m_status = ZK_StreamStatusPending;
    UpdateRegistration();
    if (!wait)
    {
        outSize = size;
        return ZK_Success;
    }
    while (!RequestSettled())
    {
        if (!PrepareClientWait())
            return ZK_Fail;
        WaitForDevice();
    }
    outSize = m_requestedSize;
    return m_status == ZK_StreamStatusCompleted ? ZK_Success : ZK_Fail;
}

bool CZkStandardStream::RequestSettled() const
{
    return m_status != ZK_StreamStatusPending && m_pending.Empty() && m_cancelled.Empty();
}

ZkStreamStatus CZkStandardStream::StatusLocked() const
{
    // Chunks still with the hook keep the request pending for the client, whatever was applied.
    return m_pending.Empty() ? m_status : ZK_StreamStatusPending;
}

void CZkStandardStream::UpdateRegistration()
{
    if (m_toBeDestroyed)
    {
        m_readyForIO = false;
        SetNeedsIO(CanBeDestroyedLocked());
        return;
    }
    m_readyForIO = m_status == ZK_StreamStatusPending && !m_allIssued;
    SetNeedsIO(m_readyForIO);
}

uint64_t CZkStandardStream::GetPosition(bool* endOfFile)
{
    ZkScopedLock lock(m_lock);
    if (endOfFile)
        *endOfFile = m_atEndOfFile;
    return m_position;
}

ZKRESULT CZkStandardStream::SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset)
{
    if (realOffset)
        *realOffset = 0;
    ZkScopedLock lock(m_lock);
    if (StatusLocked() == ZK_StreamStatusPending)
        return ZK_Fail;
    int64_t origin;
    switch (moveMethod)
    {
    case ZK_MoveBegin: origin = 0; break;
    case ZK_MoveCurrent: origin = static_cast<int64_t>(m_position); break;
    case ZK_MoveEnd: origin = m_fileDesc->fileSize; break;
    default: return ZK_InvalidParameter;
    }
    int64_t target;
    if (__builtin_add_overflow(origin, offset, &target) || target < 0)
        return ZK_InvalidParameter;
    const int64_t rounded = target / m_blockSize * m_blockSize;
    m_position = static_cast<uint64_t>(rounded);
    if (realOffset)
        *realOffset = rounded - origin;
    m_atEndOfFile = rounded >= m_fileDesc->fileSize;
    return ZK_Success;
}

void CZkStandardStream::CancelAndWait()
{
    m_status = ZK_StreamStatusCancelled;
    m_allIssued = true;
    while (ZkStreamTransfer* record = m_pending.PopFront())
    {
        if (record->State() == kTransferDone)
        {
            RetireRecord(record); // its bytes belong to a request that no longer exists
            continue;
        }
        record->SetState(kTransferCancelled);
        m_cancelled.PushBack(record);
    }
    UpdateRegistration();
    if (!m_cancelled.Empty())
        m_device->CancelHookTransfers(*this);
    // The chunks write into the client's buffer until the hook gives them back.
    while (!m_cancelled.Empty())
    {
        if (!PrepareClientWait())
            break;
        WaitForDevice();
    }
}

void CZkStandardStream::Cancel()
{
    ZkScopedLock lock(m_lock);
    CancelAndWait();
    UpdateRegistration();
}

void CZkStandardStream::Destroy()
{
    ZkScopedLock lock(m_lock);
    m_toBeDestroyed = true;
    m_readyForIO = false;
    // The I/O thread must not free the stream while this thread still waits in it.
    m_clientInside = true;
    CancelAndWait();
    m_clientInside = false;
    UpdateRegistration();
}

void* CZkStandardStream::GetData(uint32_t& size)
{
    ZkScopedLock lock(m_lock);
    size = m_bytesTransferred;
    return m_buffer;
}

ZkStreamStatus CZkStandardStream::GetStatus()
{
    ZkScopedLock lock(m_lock);
    return StatusLocked();
}

ZkStreamStatus CZkStandardStream::WaitForPendingOperation()
{
    ZkScopedLock lock(m_lock);
    while (StatusLocked() == ZK_StreamStatusPending)
    {
        if (!PrepareClientWait())
            break;
        WaitForDevice();
    }
    return StatusLocked();
}

void CZkStandardStream::Kill()
{
    ZkScopedLock lock(m_lock);
    m_status = ZK_StreamStatusError;
    m_allIssued = true;
    UpdateRegistration();
    WakeClient();
}

float CZkStandardStream::EffectiveDeadline()
{
    ZkScopedLock lock(m_lock);
    const uint32_t granularity = m_device->Granularity();
    const uint32_t remaining = m_requestedSize > m_bytesTransferred ? m_requestedSize - m_bytesTransferred : 0;
    const uint32_t chunks = remaining == 0 ? 1 : (remaining + granularity - 1) / granularity;
    const double countsPerMs = static_cast<double>(Platform::PerformanceFrequency()) / 1000.0;
    const double waitedMs = static_cast<double>(m_device->PassTime() - m_requestTime) / countsPerMs;
    const double deadline = static_cast<double>(m_deadlineMs) / chunks - waitedMs;
    return deadline > 0.0 ? static_cast<float>(deadline) : 0.0f;
}
} // namespace ZK::StreamMgr
