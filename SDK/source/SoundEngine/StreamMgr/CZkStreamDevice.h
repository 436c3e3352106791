// CZkStreamDevice: what both kinds of stream device share. A device serves every stream whose file
// the resolver assigned to it: it owns the streams (a list of ordinary streams and a list of caching
// streams, both newest first), the device's I/O memory, and an I/O thread (its base) that asks it
// for one transfer at a time. The scheduler here picks the stream to serve next by deadline and
// priority; the two transfer models (blocking and deferred) derive from this class.
//
// Threading: streams are linked by the opening thread and unlinked, destroyed and freed by the I/O
// thread, both under the stream-list lock. Lock order: stream-list lock, then a stream's lock, then
// the I/O lock (CZkIOThread::IOLock, which also guards the I/O memory).
// Ownership: created by the stream manager (memory id 7), freed by Destroy. The hook is the
// caller's. Streams belong to the device from creation until the I/O thread frees them.
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>
#include <ZK/SoundEngine/Common/IZkStandardStream.h>
#include <ZK/SoundEngine/Common/ZkLowLevelIOHooks.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include "MemoryMgr/CZkIOMemoryPool.h"
#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"
#include "StreamMgr/CZkIOThread.h"
#include "StreamMgr/ZkStreamTransfer.h"

#include <atomic>
#include <cstdint>

namespace ZK::StreamMgr
{
class CZkStreamTask;

// The stream a scheduling pass chose, with its effective deadline in milliseconds. The stream stays
// in service while this handle lives: no other thread frees it, even when its client destroys it
// and an opening thread short of memory releases the destroyed streams meanwhile (a later pass
// frees it then). Move-only; empty when the pass chose nothing.
class ZkScheduledStream
{
public:
    ZkScheduledStream() = default;
    // Under the stream-list lock, so that no thread frees the stream between the choice and this.
    ZkScheduledStream(CZkStreamTask* stream, float deadlineMs);
    ~ZkScheduledStream() { EndService(); }
    ZkScheduledStream(ZkScheduledStream&& other) noexcept;
    ZkScheduledStream& operator=(ZkScheduledStream&& other) noexcept;
    ZkScheduledStream(const ZkScheduledStream&) = delete;
    ZkScheduledStream& operator=(const ZkScheduledStream&) = delete;

    CZkStreamTask* Stream() const { return m_stream; }
    float DeadlineMs() const { return m_deadlineMs; }

private:
    void EndService();

    CZkStreamTask* m_stream = nullptr;
    float m_deadlineMs = 0.0f;
};

class CZkStreamDevice : public CZkIOThread
{
public:
    explicit CZkStreamDevice(IZkLowLevelIOHook* hook);
    ~CZkStreamDevice() override;

    // 31 for a zero granularity, a negative (or not finite) targetBufferMs with I/O memory, or, for
    // settings with the deferred scheduler bit, maxTransfersInFlight outside 1..1024; the I/O memory's
    // own failures; else the I/O thread's start result.
    virtual ZKRESULT Init(const ZkDeviceSettings& settings, uint32_t deviceId);
    // Stops the thread (waiting until every stream was destroyed by its owner and freed), tears down
    // the I/O memory, then destroys and frees the device.
    virtual void Destroy();

    // The kind-specific creation, then the new stream joins the head of the stream list. Null when
    // the stream could not be made.
    CZkStreamTask* CreateStandardStream(ZkFileDescriptor* fileDesc, uint32_t openMode, IZkStandardStream*& outStream);
    CZkStreamTask* CreateAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                         const ZkAutomaticStreamHeuristics& heuristics,
                                         const ZkAutomaticStreamBufferSettings* bufferSettings,
                                         IZkAutomaticStream*& outStream);
    // An automatic stream that keeps the first cachedBytes of the file resident for a pinned file,
    // on the caching list; its cache id is the file id.
    CZkStreamTask* CreateCachingStream(ZkFileDescriptor* fileDesc, uint32_t fileId, uint32_t cachedBytes,
                                       uint8_t priority, IZkAutomaticStream*& outStream);

    // CZkIOThread
    bool ClearStreamsOnStop() override;
    void OnThreadStart() override;

    // Drops the cached data of the I/O memory.
    void FlushCache();
    // Stores a pinned file's highest priority in its caching stream (when it differs and is at most
    // 100) and lets every caching stream re-evaluate whether it should run.
    void SetCachingStreamPriority(CZkStreamTask* stream, uint8_t priority);
    // Frees the streams marked to be destroyed that may go now; on the requesting device also kills
    // the ready stream of lowest priority below the given one (caching streams first). True when a
    // stream was killed.
    bool ReleaseMemoryForStream(bool requesting, uint8_t priority);

    // The stream to serve next (none when nothing needs I/O), kept in service until the handle
    // goes. Takes the stream-list lock.
    ZkScheduledStream ScheduleNext();

    // A transfer record (memory id 7) with its state clear; null when memory runs out.
    virtual ZkStreamTransfer* NewTransferRecord();
    // Gives the record's view back to the I/O memory and frees the record.
    void FreeTransferRecord(ZkStreamTransfer* record);
    // Serves the automatic stream's next transfer from the stream cache alone, at once (from the
    // client's thread, under the stream's lock). True when the stream got a buffer.
    virtual bool ReadFromCacheNow(CZkStreamTask* stream);

    // What the streams' transfer preparation asks of the device's transfer model (under the I/O
    // lock). Gives the record a hook transfer of its own over (file position, buffer, sizes); false
    // when none is free. Calls nothing of the hook: the hook's own lock must never be taken under
    // the I/O lock (the hook's owner may hold its lock while it creates the device).
    virtual bool AttachHookTransfer(ZkStreamTransfer& record, uint64_t filePosition, void* buffer, uint32_t bufferSize,
                                    uint32_t requestedSize) = 0;
    // The record joins the hook transfer that is still filling the view; false when this device
    // does not share transfers (the caller then does not use the view).
    virtual bool JoinPendingTransfer(ZkStreamTransfer& record, MemoryMgr::ZkIOMemoryView* view) = 0;
    // True when a stream may have only one transfer at a time (the blocking model).
    virtual bool OneTransferPerStream() const = 0;
    // Asks the hook to cancel the transfers of the stream's cancelled records (under the stream's
    // lock, without the I/O lock).
    virtual void CancelHookTransfers(CZkStreamTask& stream) = 0;
    // True when the view is still being filled by a hook transfer (under the I/O lock).
    static bool IsBeingFilled(const MemoryMgr::ZkIOMemoryView* view) { return view->nextOrOwner != nullptr; }

    // I/O memory for transfers (under the I/O lock). Taking a view that is not there pauses the
    // automatic streams until memory comes back; giving one back lifts the pause.
    MemoryMgr::ZkIOMemoryView* TakeIOView(uint32_t dataSize, uint32_t roundingUnit);
    void ReleaseIOView(MemoryMgr::ZkIOMemoryView* view);
    // The view's data must not serve later reads (a failed or short transfer).
    void ForgetCachedData(MemoryMgr::ZkIOMemoryView* view);

    IZkLowLevelIOHook* Hook() const { return m_hook; }
    uint32_t DeviceId() const { return m_deviceId; }
    uint32_t Granularity() const { return m_granularity; }
    float TargetBufferMs() const { return m_targetBufferMs; }
    uint32_t PinnedBytesLimit() const { return m_pinnedBytesLimit; }
    uint32_t PinnedBytesInUse();
    int64_t PassTime() const { return m_passTime.load(std::memory_order_relaxed); }
    MemoryMgr::CZkIOMemoryPool& IOMemory() { return m_ioMemory; } // under IOLock()
    Platform::ZkCriticalSection& StreamListLock() { return m_streamListLock; }

protected:
    // Builds and sets up the stream classes both kinds share; when the object cannot be allocated,
    // streams of lower priority are released (every device frees what its clients destroyed, this
    // one kills its weakest ready stream) and the allocation is tried once more. Null on failure.
    CZkStreamTask* MakeStandardStream(ZkFileDescriptor* fileDesc, IZkStandardStream*& outStream);
    CZkStreamTask* MakeAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                       const ZkAutomaticStreamHeuristics& heuristics,
                                       const ZkAutomaticStreamBufferSettings* bufferSettings,
                                       IZkAutomaticStream*& outStream);

    // Stream creation: builds and sets up the stream; null when it cannot be made. The base links
    // what it returns. Both device kinds use the shared stream classes; a test device may build
    // others.
    virtual CZkStreamTask* NewStandardStream(ZkFileDescriptor* fileDesc, uint32_t /*openMode*/,
                                             IZkStandardStream*& outStream)
    {
        return MakeStandardStream(fileDesc, outStream);
    }
    virtual CZkStreamTask* NewAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                              const ZkAutomaticStreamHeuristics& heuristics,
                                              const ZkAutomaticStreamBufferSettings* bufferSettings,
                                              IZkAutomaticStream*& outStream)
    {
        return MakeAutomaticStream(fileDesc, cacheId, heuristics, bufferSettings, outStream);
    }

private:
    struct Choice
    {
        CZkStreamTask* stream = nullptr;
        float deadlineMs = 0.0f;
    };
    Choice ChooseAmongStreams(bool standardOnly);
    Choice ChooseCachingStream();
    // Unlinks, destroys and frees the stream when it is marked to be destroyed, may go now and is
    // not in service on the I/O thread; true when it went (previous is the stream before it in the
    // list, or null at the head).
    bool ReclaimIfDestroyed(CZkStreamTask*& head, CZkStreamTask* previous, CZkStreamTask* stream);
    void ResumeAllCaching();
    static CZkStreamTask* LowestPriorityReady(CZkStreamTask* head, uint8_t below);

    IZkLowLevelIOHook* m_hook;
    // Performance counter at the current scheduling pass: written under the stream-list lock, read
    // by streams under their own lock (which must not take the list lock).
    std::atomic<int64_t> m_passTime{0};
    CZkStreamTask* m_streams = nullptr;
    CZkStreamTask* m_cachingStreams = nullptr;
    Platform::ZkCriticalSection m_streamListLock;
    MemoryMgr::CZkIOMemoryPool m_ioMemory;
    Platform::ZkEvent m_memoryAvailable; // set by the I/O memory whenever memory comes back
    uint32_t m_granularity = 0;
    float m_targetBufferMs = 0.0f;
    uint32_t m_deviceId = ZK_InvalidDeviceID;
    uint32_t m_pinnedBytesLimit = ZK_NoPinnedBytesLimit;
    uint32_t m_pinnedBytesInUse = 0;
};
} // namespace ZK::StreamMgr
