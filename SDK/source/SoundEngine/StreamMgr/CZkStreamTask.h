// CZkStreamTask: the part every stream shares, the face its device schedules. A stream object has
// two faces in one object: this task face, driven by the device and its I/O thread, and the client
// face (IZkStandardStream or IZkAutomaticStream) implemented by the concrete stream classes.
//
// Threading: flags, priority, request time and the transfer lists are read and written under the
// stream's lock; the device takes its stream-list lock first, then a stream's lock, then its own I/O
// lock. A client that waits prepares the wait event under the lock, releases the lock while it
// waits, and retakes it; the device sets the event after completing, cancelling or killing.
// Ownership: the stream belongs to its device, which unlinks, destroys and frees it (memory id 7)
// on its I/O thread once the client has destroyed it and CanBeDestroyed holds. Once the file is
// attached the stream owns its ZkFileDescriptor: its destruction closes the file (through the
// device's hook) when it is open and frees the descriptor, the deferred-open record and the name.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"
#include "StreamMgr/ZkStreamTransfer.h"

#include <atomic>
#include <cstdint>

namespace ZK::StreamMgr
{
class CZkStreamDevice;
struct ZkDeferredOpen;

constexpr uint8_t kMaxStreamPriority = 100;

class CZkStreamTask
{
public:
    CZkStreamTask(CZkStreamDevice* device, ZkFileDescriptor* fileDesc, bool isAutomatic);
    virtual ~CZkStreamTask();
    CZkStreamTask(const CZkStreamTask&) = delete;
    CZkStreamTask& operator=(const CZkStreamTask&) = delete;

    // Task operations every stream implements.
    // No transfer in flight or pending, no cancelled transfer outstanding, no client inside a wait
    // that must come back to the stream.
    virtual bool CanBeDestroyed();
    virtual void Kill() = 0;
    // After a deferred open succeeded: marks the file open. Automatic streams extend it (their loop
    // end is limited to the real file size).
    virtual void OnFileOpened();
    // The next transfer of the stream, or null when it has none to make now. cacheOnly: only data
    // already in the device's stream cache may serve it (no hook transfer). Every record returned
    // counts one transfer in flight on the device until the stream applies or drops it.
    virtual ZkStreamTransfer* PrepareTransfer(bool cacheOnly) = 0;
    // The device's report on a record (null with ZK_TransferNotStarted when none could be prepared,
    // or null with ZK_Fail when the stream's deferred open failed).
    virtual void CompleteTransfer(ZkStreamTransfer* record, ZKRESULT result) = 0;
    virtual float EffectiveDeadline() = 0; // milliseconds until the stream starves (0 = starving)

    // Operations of automatic streams; a standard stream answers them with nothing or 0.
    virtual void SetCachingBufferSize(uint32_t /*bytes*/) {}
    virtual uint32_t GetNominalBuffering() { return 0; }
    virtual uint32_t GetBufferedBytes() { return 0; }
    virtual void ResumeCaching() {}
    virtual uint32_t StopCaching(uint32_t /*bytes*/) { return 0; } // bytes released
    virtual uint32_t ReleaseCachedBytes(uint32_t /*bytes*/) { return 0; }
    virtual uint64_t GetNextReadPosition() { return 0; }
    virtual void CancelPendingTransfers() {}
    virtual void CancelTransfersNotAt(uint64_t /*position*/) {}
    virtual void DropBuffersSmallerThan(uint32_t /*bytes*/) {}
    virtual void SetLoopEnd(uint32_t /*loopEnd*/) {}

    // True while the pending request of a standard stream writes.
    bool IsWriteRequest();

    // Hands the descriptor to the stream (it owns it from now on) and records whether the resolver
    // opened the file at once.
    void AttachFile(bool fileOpen);
    // Keeps the record of a deferred open (owned from now on).
    void SetDeferredOpen(ZkDeferredOpen* record);
    // Takes the deferred-open record back (the caller frees it); null when there is none.
    ZkDeferredOpen* TakeDeferredOpen();
    // Marks the stream to be destroyed and not ready (under its lock).
    void MarkToBeDestroyed();
    ZKRESULT SetName(const wchar_t* name); // 52 when the copy cannot be allocated
    const wchar_t* Name() const { return m_name; }

    Platform::ZkCriticalSection& Lock() { return m_lock; }
    CZkStreamDevice* Device() const { return m_device; }
    ZkFileDescriptor* FileDescriptor() const { return m_fileDesc; }
    CZkStreamTask* Next() const { return m_next; }
    void SetNext(CZkStreamTask* next) { m_next = next; }

    // Read under the stream's lock.
    bool IsToBeDestroyed();
    bool IsReady();
    bool IsRegisteredForIO();
    bool IsFileOpen();
    bool IsCaching();
    bool IsAutomatic() const { return m_isAutomatic; }
    int64_t RequestTime();
    uint8_t Priority() const { return m_priority.load(std::memory_order_relaxed); }
    void SetPriority(uint8_t priority) { m_priority.store(priority, std::memory_order_relaxed); }
    void SetCaching(bool caching);

    // Set while the I/O thread serves the stream it chose (ZkScheduledStream) or passes on a
    // cancellation for it: a stream in service is never freed, whatever its client did meanwhile.
    // Set under the stream-list lock, or while a transfer of the stream is outstanding (the stream
    // cannot be freed then anyway); read by the reclaiming passes under the stream-list lock.
    void SetInService(bool inService) { m_inService.store(inService, std::memory_order_release); }
    bool IsInService() const { return m_inService.load(std::memory_order_acquire); }

    // Records whose transfer the hook was asked to cancel and has not completed yet (under the lock).
    ZkTransferList& CancelledTransfers() { return m_cancelled; }

protected:
    bool CanBeDestroyedLocked() const;
    // Registers with the device's I/O thread as needing I/O, or unregisters (under the lock).
    void SetNeedsIO(bool needsIO);
    // Prepares the wait event for a client that is about to wait (under the lock).
    bool PrepareClientWait();
    // Releases the lock (held once by the caller), waits for the event, retakes the lock.
    void WaitForDevice();
    // Sets the wait event when a client waits (under the lock).
    void WakeClient();
    // Where the stream's byte `streamOffset` lies for the hook: after the descriptor's start block,
    // counted in the block size the stream kept at set-up (the hook is not asked again).
    uint64_t FilePosition(uint64_t streamOffset) const
    {
        return streamOffset + static_cast<uint64_t>(m_blockSize) * static_cast<uint64_t>(m_fileDesc->startBlock);
    }
    // Gives a record's view back and frees it (no transfer ends with it).
    void FreeRecord(ZkStreamTransfer* record);
    // Ends the record's transfer on the device and frees it.
    void RetireRecord(ZkStreamTransfer* record);

    CZkStreamDevice* m_device;
    ZkFileDescriptor* m_fileDesc;
    CZkStreamTask* m_next = nullptr; // guarded by the device's stream-list lock
    ZkDeferredOpen* m_deferredOpen = nullptr;
    Platform::ZkCriticalSection m_lock;
    Platform::ZkEvent m_waitEvent; // created the first time a client waits
    ZkTransferList m_pending;       // prepared transfers in file order (oldest first)
    ZkTransferList m_cancelled;     // cancelled transfers the device has not completed yet
    int64_t m_requestTime = 0;      // performance-counter counts of the last request or transfer
    wchar_t* m_name = nullptr;
    uint32_t m_blockSize = 0;
    std::atomic<uint8_t> m_priority{0};
    std::atomic<bool> m_inService{false};
    bool m_clientWaiting = false;
    bool m_clientInside = false;    // a destroying client waits for a transfer: the stream must stay
    const bool m_isAutomatic;
    bool m_isWrite = false;
    bool m_atEndOfFile = false;
    bool m_toBeDestroyed = false;
    bool m_fileOpen = false;
    bool m_ownsFileDesc = false;
    bool m_registeredForIO = false; // registered with the I/O thread as needing I/O
    bool m_isCaching = false;
    bool m_readyForIO = false;
};
} // namespace ZK::StreamMgr
