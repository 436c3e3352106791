#include "StreamMgr/CZkBlockingStreamDevice.h"

#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrDevices.h"

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

CZkBlockingStreamDevice::CZkBlockingStreamDevice(IZkLowLevelIOHook* hook)
    : CZkStreamDevice(hook), m_blockingHook(dynamic_cast<IZkIOHookBlocking*>(hook))
{
}

bool CZkBlockingStreamDevice::AttachHookTransfer(ZkStreamTransfer& record, uint64_t filePosition, void* buffer,
                                                 uint32_t bufferSize, uint32_t requestedSize)
{
    m_transferInfo.filePosition = filePosition;
    m_transferInfo.bufferSize = bufferSize;
    m_transferInfo.requestedSize = requestedSize;
    m_transferInfo.buffer = buffer;
    m_transferInfo.bytesTransferred = 0;
    record.hookTransfer = &m_transferInfo;
    return true;
}

bool CZkBlockingStreamDevice::JoinPendingTransfer(ZkStreamTransfer& /*record*/, MemoryMgr::ZkIOMemoryView* /*view*/)
{
    // One transfer at a time, run to its end inside PerformIO: nothing to share.
    return false;
}

void CZkBlockingStreamDevice::CancelHookTransfers(CZkStreamTask& /*stream*/)
{
    // A blocking transfer cannot be interrupted; its completion drops the cancelled record.
}

ZKRESULT CZkBlockingStreamDevice::Transfer(CZkStreamTask& stream, ZkStreamTransfer& record, float deadlineMs)
{
    if (record.fromCache || !record.hookTransfer)
        return ZK_Success;
    ZKRESULT result = ZK_Fail;
    if (m_blockingHook)
    {
        const ZkIOHeuristics heuristics{deadlineMs, stream.Priority()};
        ZkFileDescriptor& fileDesc = *stream.FileDescriptor();
        result = stream.IsWriteRequest()
                     ? m_blockingHook->Write(fileDesc, heuristics, m_transferInfo.buffer, m_transferInfo)
                     : m_blockingHook->Read(fileDesc, heuristics, m_transferInfo.buffer, m_transferInfo);
    }
    uint32_t moved = m_transferInfo.bytesTransferred;
    if (moved > m_transferInfo.requestedSize)
        moved = m_transferInfo.requestedSize;
    if (result != ZK_Success)
        moved = 0;
    ZkScopedLock lock(IOLock());
    record.bytesMoved = moved;
    record.hookTransfer = nullptr;
    if (record.view)
    {
        record.view->nextOrOwner = nullptr; // filled
        // Bytes that did not arrive must never be found in the cache.
        if (result != ZK_Success || moved < m_transferInfo.requestedSize)
            ForgetCachedData(record.view);
    }
    return result;
}

void CZkBlockingStreamDevice::PerformIO()
{
    const ZkScheduledStream chosen = ScheduleNext();
    CZkStreamTask* stream = chosen.Stream();
    if (!stream)
        return;
    if (RunDeferredOpen(stream) != ZK_Success)
    {
        stream->CompleteTransfer(nullptr, ZK_Fail);
        return;
    }
    ZkStreamTransfer* record = stream->PrepareTransfer(false);
    if (!record)
    {
        stream->CompleteTransfer(nullptr, ZK_TransferNotStarted);
        return;
    }
    const ZKRESULT result = Transfer(*stream, *record, chosen.DeadlineMs());
    stream->CompleteTransfer(record, result);
}
} // namespace ZK::StreamMgr
