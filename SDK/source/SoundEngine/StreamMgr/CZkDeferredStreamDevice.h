// CZkDeferredStreamDevice: the stream device that gathers up to its free transfer slots into
// batches for a deferred hook (IZkIOHookDeferred), which completes them later, on any thread,
// through the device's callbacks. With the stream cache on, streams that share a cache id share
// the transfer that is filling the data they both want: one hook transfer serves every waiter.
//
// A transfer is the hook's only once the batch call that hands it over has returned; until then
// (kDeferredInBatch) a cancellation is noted and passed on right after that call, so the hook is
// never asked to cancel a transfer it has not received.
//
// Threading: PerformIO runs on the I/O thread. Completions run on the hook's thread: under the I/O
// lock they give the transfer record back and detach its waiters, then, without the I/O lock, they
// complete each waiter under its stream's lock (the lock order stays stream, then I/O lock).
// Ownership: the transfer records (maxTransfersInFlight of them) and the batch arrays are allocated
// by Init (memory id 7) and freed after the thread stopped, when every transfer has completed.
#pragma once

#include "StreamMgr/CZkStreamDevice.h"
#include <ZK/SoundEngine/Common/IZkIOHookDeferred.h>

namespace ZK::StreamMgr
{
class CZkDeferredStreamDevice final : public CZkStreamDevice
{
public:
    explicit CZkDeferredStreamDevice(IZkLowLevelIOHook* hook);
    ~CZkDeferredStreamDevice() override;

    // 31 for maxTransfersInFlight 0 or a hook that is not a deferred hook; 2 when the transfer
    // records cannot be allocated; then as the base.
    ZKRESULT Init(const ZkDeviceSettings& settings, uint32_t deviceId) override;
    void Destroy() override;
    void PerformIO() override;

    bool AttachHookTransfer(ZkStreamTransfer& record, uint64_t filePosition, void* buffer, uint32_t bufferSize,
                            uint32_t requestedSize) override;
    bool JoinPendingTransfer(ZkStreamTransfer& record, MemoryMgr::ZkIOMemoryView* view) override;
    void CancelHookTransfers(CZkStreamTask& stream) override;
    bool OneTransferPerStream() const override { return false; }

    // Completes one transfer (any thread): the record goes back to the free list, then every record
    // that waited on it is completed with 1 or 2.
    void OnTransferComplete(ZkDeferredTransferInfo* transfer, ZKRESULT result);
    // Transfer records on the free list (for tests).
    uint32_t FreeTransferInfoCount();

private:
    static void TransferCallback(ZkDeferredTransferInfo* transfer, ZKRESULT result);
    static void BatchCallback(uint32_t count, ZkDeferredTransferInfo** transfers, ZKRESULT* results);
    // Hands a batch to the hook and completes at once the items the hook refused.
    void IssueBatch(bool write, uint32_t count);
    // The batch call that handed the item's transfer over has returned: the transfer is the hook's
    // now, and a cancellation asked for meanwhile is passed on.
    void EndHandOver(const ZkBatchIOItem& item);
    void FreeRecords();

    // How the record of the I/O thread's last PrepareTransfer was served.
    enum class PreparedKind
    {
        FromCache,
        OwnsTransfer,
        Joined
    };

    IZkIOHookDeferred* m_deferredHook;
    PreparedKind m_prepared = PreparedKind::FromCache; // I/O thread only
    ZkDeferredTransferInfo* m_preparedTransfer = nullptr;
    ZkDeferredTransferInfo* m_transfers = nullptr; // maxTransfersInFlight records
    ZkDeferredTransferInfo* m_freeTransfers = nullptr;
    uint32_t m_freeCount = 0;
    uint32_t m_transferCount = 0;
    // Batches of one PerformIO (I/O thread only): reads then writes, maxTransfersInFlight each.
    ZkBatchIOItem* m_batchItems = nullptr;
    ZKRESULT* m_batchResults = nullptr;
};
} // namespace ZK::StreamMgr
