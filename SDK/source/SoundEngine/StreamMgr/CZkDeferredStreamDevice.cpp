#include "StreamMgr/CZkDeferredStreamDevice.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrAlloc.h"
#include "StreamMgr/StreamMgrDevices.h"

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

CZkDeferredStreamDevice::CZkDeferredStreamDevice(IZkLowLevelIOHook* hook)
    : CZkStreamDevice(hook), m_deferredHook(dynamic_cast<IZkIOHookDeferred*>(hook))
{
}

CZkDeferredStreamDevice::~CZkDeferredStreamDevice()
{
    Stop();
    FreeRecords();
}

ZKRESULT CZkDeferredStreamDevice::Init(const ZkDeviceSettings& settings, uint32_t deviceId)
{
    if (settings.maxTransfersInFlight == 0 || !m_deferredHook)
        return ZK_InvalidParameter;
    if (settings.maxTransfersInFlight > ZK_MaxDeferredTransfersInFlight)
        return ZK_InvalidParameter;
    // The records exist before the thread that uses them starts.
    const uint32_t count = settings.maxTransfersInFlight;
    m_transfers = static_cast<ZkDeferredTransferInfo*>(
        ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, sizeof(ZkDeferredTransferInfo) * count));
    m_batchItems = static_cast<ZkBatchIOItem*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, sizeof(ZkBatchIOItem) * count * 2));
    m_batchResults = static_cast<ZKRESULT*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, sizeof(ZKRESULT) * count));
    if (!m_transfers || !m_batchItems || !m_batchResults)
    {
        FreeRecords();
        return ZK_Fail;
    }
    m_transferCount = count;
    m_freeTransfers = nullptr;
    for (uint32_t index = count; index-- > 0;)
    {
        m_transfers[index] = ZkDeferredTransferInfo{};
        m_transfers[index].nextFree = m_freeTransfers;
        m_freeTransfers = &m_transfers[index];
    }
    m_freeCount = count;
    return CZkStreamDevice::Init(settings, deviceId);
}

void CZkDeferredStreamDevice::FreeRecords()
{
    for (void* block : {static_cast<void*>(m_transfers), static_cast<void*>(m_batchItems),
                        static_cast<void*>(m_batchResults)})
    {
        if (block)
            ZK::MemoryMgr::Free(ZkMemID_StreamMgr, block);
    }
    m_transfers = nullptr;
    m_batchItems = nullptr;
    m_batchResults = nullptr;
    m_freeTransfers = nullptr;
    m_freeCount = m_transferCount = 0;
}

void CZkDeferredStreamDevice::Destroy()
{
    // Once the thread ended every stream is gone, so every transfer has completed.
    Stop();
    FreeRecords();
    CZkStreamDevice::Destroy();
}

uint32_t CZkDeferredStreamDevice::FreeTransferInfoCount()
{
    ZkScopedLock lock(IOLock());
    return m_freeCount;
}

bool CZkDeferredStreamDevice::AttachHookTransfer(ZkStreamTransfer& record, uint64_t filePosition, void* buffer,
                                                 uint32_t bufferSize, uint32_t requestedSize)
{
    ZkScopedLock lock(IOLock());
    ZkDeferredTransferInfo* transfer = m_freeTransfers;
    if (!transfer)
        return false;
    m_freeTransfers = transfer->nextFree;
    --m_freeCount;
    *transfer = ZkDeferredTransferInfo{};
    transfer->filePosition = filePosition;
    transfer->bufferSize = bufferSize;
    transfer->requestedSize = requestedSize;
    transfer->buffer = buffer;
    transfer->callback = &TransferCallback;
    transfer->cookie = this;
    transfer->waiters = &record;
    transfer->owner = record.owner;
    // On its way to the hook until the batch call that hands it over has returned.
    transfer->deviceState = kDeferredInBatch;
    record.hookTransfer = transfer;
    record.nextWaiter = nullptr;
    m_prepared = PreparedKind::OwnsTransfer;
    m_preparedTransfer = transfer;
    return true;
}

bool CZkDeferredStreamDevice::JoinPendingTransfer(ZkStreamTransfer& record, MemoryMgr::ZkIOMemoryView* view)
{
    ZkScopedLock lock(IOLock());
    auto* transfer = static_cast<ZkDeferredTransferInfo*>(view->nextOrOwner);
    ZkStreamTransfer* last = transfer->waiters;
    if (!last)
        return false;
    while (last->nextWaiter)
        last = last->nextWaiter;
    last->nextWaiter = &record;
    record.nextWaiter = nullptr;
    record.hookTransfer = transfer;
    m_prepared = PreparedKind::Joined;
    return true;
}

void CZkDeferredStreamDevice::PerformIO()
{
    uint32_t freeSlots;
    {
        ZkScopedLock lock(IOLock());
        const uint32_t maximum = MaxTransfersInFlight();
        const uint32_t inFlight = TransfersInFlight();
        freeSlots = inFlight < maximum ? maximum - inFlight : 0;
    }
    uint32_t reads = 0;
    uint32_t writes = 0;
    while (reads + writes < freeSlots)
    {
        const ZkScheduledStream chosen = ScheduleNext();
        CZkStreamTask* stream = chosen.Stream();
        if (!stream)
            break;
        if (RunDeferredOpen(stream) != ZK_Success)
        {
            stream->CompleteTransfer(nullptr, ZK_Fail);
            continue;
        }
        // Which way the record was served is noted by AttachHookTransfer and JoinPendingTransfer
        // (called on this thread only): a joined record may complete, and be freed, on the hook's
        // thread at any time, so it is not looked at again here.
        m_prepared = PreparedKind::FromCache;
        m_preparedTransfer = nullptr;
        ZkStreamTransfer* record = stream->PrepareTransfer(false);
        if (!record)
        {
            stream->CompleteTransfer(nullptr, ZK_TransferNotStarted);
            break;
        }
        if (m_prepared == PreparedKind::FromCache)
        {
            stream->CompleteTransfer(record, ZK_Success);
            continue;
        }
        if (m_prepared == PreparedKind::Joined)
            continue;
        // The record owns a transfer the hook has not seen: it stays alive until the hook completes it.
        const bool write = stream->IsWriteRequest();
        ZkScopedLock lock(IOLock());
        ZkDeferredTransferInfo* transfer = m_preparedTransfer;
        transfer->view = record->view;
        ZkBatchIOItem& item = write ? m_batchItems[m_transferCount + writes++] : m_batchItems[reads++];
        item.fileDesc = stream->FileDescriptor();
        item.heuristics = ZkIOHeuristics{chosen.DeadlineMs(), stream->Priority()};
        item.transferInfo = transfer;
    }
    if (reads > 0)
        IssueBatch(false, reads);
    if (writes > 0)
        IssueBatch(true, writes);
}

void CZkDeferredStreamDevice::IssueBatch(bool write, uint32_t count)
{
    ZkBatchIOItem* items = write ? m_batchItems + m_transferCount : m_batchItems;
    for (uint32_t index = 0; index < count; ++index)
        m_batchResults[index] = ZK_Success;
    const ZKRESULT result = write ? m_deferredHook->BatchWrite(count, items, &BatchCallback, m_batchResults)
                                  : m_deferredHook->BatchRead(count, items, &BatchCallback, m_batchResults);
    if (result != ZK_Success)
    {
        // The hook did not take these: they complete now, with the hook's reason.
        for (uint32_t index = 0; index < count; ++index)
        {
            if (m_batchResults[index] != ZK_Success)
            {
                ZkDeferredTransferInfo* transfer = items[index].transferInfo;
                ZKRESULT itemResult = m_batchResults[index];
                BatchCallback(1, &transfer, &itemResult);
            }
        }
    }
    for (uint32_t index = 0; index < count; ++index)
        EndHandOver(items[index]);
}

void CZkDeferredStreamDevice::EndHandOver(const ZkBatchIOItem& item)
{
    ZkDeferredTransferInfo* transfer = item.transferInfo;
    CZkStreamTask* owner = nullptr;
    {
        ZkScopedLock lock(IOLock());
        // Completed already (refused, or done by the hook): the record was given back, its state
        // cleared. Otherwise the hook holds it now, and a cancellation asked for on the way is due.
        if (!(transfer->deviceState & kDeferredInBatch))
            return;
        if (!(transfer->deviceState & kDeferredCancelRequested))
        {
            transfer->deviceState &= ~kDeferredInBatch;
            return;
        }
        // The transfer is not complete, so its stream cannot be freed yet; in service, it stays
        // alive after this lock is released, whatever completes meanwhile.
        owner = transfer->owner;
        owner->SetInService(true);
    }
    {
        // The stream's lock first, as every cancellation: a hook may complete the transfer inside
        // BatchCancel, and the completion takes the stream's lock.
        ZkScopedLock streamLock(owner->Lock());
        ZkScopedLock lock(IOLock());
        if (transfer->deviceState & kDeferredInBatch)
        {
            transfer->deviceState &= ~kDeferredInBatch;
            const ZkBatchCancelItem cancel{item.fileDesc, transfer};
            bool cancelAll = true;
            m_deferredHook->BatchCancel(1, &cancel, cancelAll);
        }
    }
    owner->SetInService(false);
}

void CZkDeferredStreamDevice::TransferCallback(ZkDeferredTransferInfo* transfer, ZKRESULT result)
{
    static_cast<CZkDeferredStreamDevice*>(transfer->cookie)->OnTransferComplete(transfer, result);
}

void CZkDeferredStreamDevice::BatchCallback(uint32_t count, ZkDeferredTransferInfo** transfers, ZKRESULT* results)
{
    for (uint32_t index = 0; index < count; ++index)
        TransferCallback(transfers[index], results[index]);
}

void CZkDeferredStreamDevice::OnTransferComplete(ZkDeferredTransferInfo* transfer, ZKRESULT result)
{
    const ZKRESULT outcome = result == ZK_Success ? ZK_Success : ZK_Fail;
    ZkStreamTransfer* waiters;
    {
        ZkScopedLock lock(IOLock());
        waiters = transfer->waiters;
        uint32_t moved = outcome == ZK_Success ? transfer->bytesTransferred : 0;
        if (moved > transfer->requestedSize)
            moved = transfer->requestedSize;
        if (MemoryMgr::ZkIOMemoryView* view = transfer->view)
        {
            view->nextOrOwner = nullptr; // filled
            // Bytes that did not arrive must never be found in the cache.
            if (outcome != ZK_Success || moved < transfer->requestedSize)
                ForgetCachedData(view);
        }
        for (ZkStreamTransfer* waiter = waiters; waiter; waiter = waiter->nextWaiter)
        {
            waiter->hookTransfer = nullptr;
            if (waiter->view)
            {
                // Each waiter's data starts at its own offset in the view being filled.
                const uint32_t skipped = waiter->dataOffset;
                const uint32_t after = moved > skipped ? moved - skipped : 0;
                waiter->bytesMoved = after < waiter->size ? after : waiter->size;
            }
            else
                waiter->bytesMoved = moved;
        }
        *transfer = ZkDeferredTransferInfo{};
        transfer->nextFree = m_freeTransfers;
        m_freeTransfers = transfer;
        ++m_freeCount;
    }
    // The waiters' streams are completed without the I/O lock: each takes its own lock first.
    while (waiters)
    {
        ZkStreamTransfer* next = waiters->nextWaiter;
        waiters->nextWaiter = nullptr;
        waiters->owner->CompleteTransfer(waiters, outcome);
        waiters = next;
    }
}

void CZkDeferredStreamDevice::CancelHookTransfers(CZkStreamTask& stream)
{
    bool cancelAll = true;
    // The I/O lock is held around each BatchCancel so that the transfer cannot complete and be
    // reused meanwhile; a hook that completes it at once re-enters on this thread, which may change
    // the cancelled list, so the walk starts again after each call.
    ZkScopedLock lock(IOLock());
    for (;;)
    {
        ZkDeferredTransferInfo* target = nullptr;
        for (ZkStreamTransfer* record = stream.CancelledTransfers().head; record; record = record->next)
        {
            auto* transfer = static_cast<ZkDeferredTransferInfo*>(record->hookTransfer);
            if (transfer && transfer->owner == &stream && transfer->waiters == record && !record->nextWaiter &&
                !(transfer->deviceState & kDeferredCancelRequested))
            {
                target = transfer;
                break;
            }
        }
        if (!target)
            return;
        if (target->view)
            ForgetCachedData(target->view);
        target->deviceState |= kDeferredCancelRequested;
        // A transfer still on its way to the hook is cancelled once the hook holds it (EndHandOver):
        // a hook must never be asked about a transfer it has not received.
        if (target->deviceState & kDeferredInBatch)
            continue;
        const ZkBatchCancelItem item{stream.FileDescriptor(), target};
        m_deferredHook->BatchCancel(1, &item, cancelAll);
        cancelAll = false;
    }
}
} // namespace ZK::StreamMgr
