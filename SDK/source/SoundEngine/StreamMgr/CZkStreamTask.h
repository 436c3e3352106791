// CZkStreamTask: the part every stream shares, the face its device schedules. A stream object has
// two faces in one object: this task face, driven by the device and its I/O thread, and the client
// face (IZkStandardStream or IZkAutomaticStream) implemented by the concrete stream classes.
//
// Threading: flags, priority and request time are read and written under the stream's lock; the
// device takes its stream-list lock first, then a stream's lock, then its own I/O lock.
// Ownership: the stream belongs to its device, which unlinks, destroys and frees it (memory id 7)
// on its I/O thread once the client has destroyed it and CanBeDestroyed holds. Once the file is
// attached the stream owns its ZkFileDescriptor: its destruction closes the file (through the
// device's hook) when it is open and frees the descriptor, the deferred-open record and the name.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"

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
    virtual bool CanBeDestroyed() = 0; // no transfer in flight or pending
    virtual void Kill() = 0;
    // After a deferred open succeeded: marks the file open. Automatic streams extend it (their loop
    // end is limited to the real file size).
    virtual void OnFileOpened();
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

protected:
    CZkStreamDevice* m_device;
    ZkFileDescriptor* m_fileDesc;
    CZkStreamTask* m_next = nullptr; // guarded by the device's stream-list lock
    ZkDeferredOpen* m_deferredOpen = nullptr;
    Platform::ZkCriticalSection m_lock;
    Platform::ZkEvent m_waitEvent; // created the first time a client waits
    int64_t m_requestTime = 0;      // performance-counter counts of the last request or transfer
    wchar_t* m_name = nullptr;
    uint32_t m_blockSize = 0;
    std::atomic<uint8_t> m_priority{0};
    bool m_clientWaiting = false;
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
