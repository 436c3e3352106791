// IZkIOHookDeferred: the low-level I/O hook of a deferred stream device. The device hands it batches
// of transfers; the hook performs them in its own way (on its own thread, in any order) and tells
// the device of each completion through the callbacks the device gives. The shapes here are fixed
// by the calls the device makes; nothing in the game ships a deferred hook.
//
// Threading: BatchRead, BatchWrite come from the device's I/O thread; BatchCancel from any thread
// that cancels a stream's transfers, while that thread holds the stream's lock. So BatchCancel must
// not wait for the hook's own thread; the callbacks may run on any thread, also synchronously inside
// BatchCancel, but never while the hook holds a lock that its BatchCancel takes.
// Ownership: the transfer records belong to the device; the hook may use hookData of a record until
// it completes it, and must complete every record it accepted exactly once (cancelled ones too).
#pragma once

#include <ZK/SoundEngine/Common/ZkLowLevelIOHooks.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

namespace ZK::MemoryMgr
{
struct ZkIOMemoryView;
}

namespace ZK::StreamMgr
{
class CZkStreamTask;
struct ZkStreamTransfer;
struct ZkDeferredTransferInfo;

// One transfer's completion (result 1, or the failure).
using ZkDeferredTransferCallback = void (*)(ZkDeferredTransferInfo* transfer, ZKRESULT result);
// The completion of several transfers at once: count infos, each with its result.
using ZkDeferredBatchCallback = void (*)(uint32_t count, ZkDeferredTransferInfo** transfers, ZKRESULT* results);

// Bits of ZkDeferredTransferInfo::deviceState.
// A cancellation was asked for (the hook is told once it holds the transfer).
constexpr uint8_t kDeferredCancelRequested = 1u << 0;
// Prepared and on its way to the hook: the batch call that hands it over has not returned yet.
constexpr uint8_t kDeferredInBatch = 1u << 1;

struct ZkDeferredTransferInfo
{
    // What the hook sees and fills.
    uint64_t filePosition;      // absolute position in the file (start block included)
    uint32_t bufferSize;        // bytes the buffer can hold
    uint32_t requestedSize;     // bytes to read or write
    void* buffer;
    ZkDeferredTransferCallback callback; // completes this transfer alone
    void* cookie;               // the device's own
    void* hookData;             // the hook's own, null when the device issues the transfer
    // Bytes the hook moved; a read that ends early (the end of the file) succeeds with fewer bytes,
    // and the hook clears the rest of the requested bytes. Written before the completion.
    uint32_t bytesTransferred;

    // The device's part (under its I/O lock).
    ZkStreamTransfer* waiters;        // records served by this transfer; the first one owns the I/O
    CZkStreamTask* owner;             // the stream whose record issued the transfer
    MemoryMgr::ZkIOMemoryView* view;  // the I/O memory being filled (automatic streams), or null
    ZkDeferredTransferInfo* nextFree;
    uint8_t deviceState;              // kDeferredCancelRequested, kDeferredInBatch
};

struct ZkBatchIOItem
{
    ZkFileDescriptor* fileDesc;
    ZkIOHeuristics heuristics;
    ZkDeferredTransferInfo* transferInfo;
};

struct ZkBatchCancelItem
{
    ZkFileDescriptor* fileDesc;
    ZkDeferredTransferInfo* transferInfo;
};

class IZkIOHookDeferred : public IZkLowLevelIOHook
{
public:
    // Accepts count transfers. results receives one result per item: 1 when the hook took the item
    // (it completes it later through callback or the item's own callback), anything else when it
    // refused it (the device then completes that item itself). Returns 1 when every item was taken.
    virtual ZKRESULT BatchRead(uint32_t count, const ZkBatchIOItem* items, ZkDeferredBatchCallback callback,
                               ZKRESULT* results) = 0;
    virtual ZKRESULT BatchWrite(uint32_t count, const ZkBatchIOItem* items, ZkDeferredBatchCallback callback,
                                ZKRESULT* results) = 0;
    // Asks the hook to end these transfers early; each is still completed through a callback.
    // cancelAll is true for the first call of a sweep over one stream; the device relies on nothing
    // the hook does with it.
    virtual void BatchCancel(uint32_t count, const ZkBatchCancelItem* items, bool& cancelAll) = 0;
};
} // namespace ZK::StreamMgr
