// CZkBlockingStreamDevice: the stream device that performs one transfer at a time on its I/O thread
// through a blocking hook (IZkIOHookBlocking), the kind the game creates. Each call of PerformIO
// picks one stream, opens its file when the open was deferred, prepares one transfer, runs the
// hook's Read or Write, and completes the transfer. Data found in the stream cache needs no hook
// call. Only the bytes the hook reports as moved become stream data.
//
// Threading and ownership: as CZkStreamDevice. The device's single ZkTransferInfo is used by the
// I/O thread alone. A hook that is not a blocking hook (or none) makes every transfer fail.
#pragma once

#include "StreamMgr/CZkStreamDevice.h"

namespace ZK::StreamMgr
{
class CZkBlockingStreamDevice final : public CZkStreamDevice
{
public:
    explicit CZkBlockingStreamDevice(IZkLowLevelIOHook* hook);

    void PerformIO() override;

    bool AttachHookTransfer(ZkStreamTransfer& record, uint64_t filePosition, void* buffer, uint32_t bufferSize,
                            uint32_t requestedSize) override;
    bool JoinPendingTransfer(ZkStreamTransfer& record, MemoryMgr::ZkIOMemoryView* view) override;
    void CancelHookTransfers(CZkStreamTask& stream) override;
    bool OneTransferPerStream() const override { return true; }

private:
    // Runs the hook on the prepared record; the result of the transfer.
    ZKRESULT Transfer(CZkStreamTask& stream, ZkStreamTransfer& record, float deadlineMs);

    IZkIOHookBlocking* m_blockingHook;
    ZkTransferInfo m_transferInfo{};
};
} // namespace ZK::StreamMgr
