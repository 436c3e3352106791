// CZkAutomaticStream: reads ahead by itself into buffers of its device's I/O memory, at the pace of
// its heuristics (throughput, loop region, priority), and hands the buffers to the client in file
// order, looping from the loop end back to the loop start. A caching stream is the same object
// keeping the first bytes of a pinned file resident.
//
// Buffered bytes are kept incrementally: a record counts its bytes (only up to the loop end when the
// loop end falls inside it) when it is prepared, and they leave the count when the buffer is handed
// out or dropped. Only the bytes the hook moved become buffer data.
//
// Threading: the client face is used by one thread at a time; the device's I/O thread (and, on a
// deferred device, the hook's completion thread) is the other party. Everything is guarded by the
// stream's lock; list surgery on buffers also takes the device's I/O lock, after the stream's lock.
// Ownership: belongs to its device, which frees it once the client has destroyed it and no transfer
// is in flight. Buffers handed out stay valid until ReleaseBuffer (or Destroy).
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>

#include "StreamMgr/CZkStreamTask.h"

#include <cstdint>

namespace ZK::StreamMgr
{
constexpr uint32_t kMinCachingBytes = 2048; // smallest cache a caching stream keeps

class CZkAutomaticStream : public CZkStreamTask, public IZkAutomaticStream
{
public:
    CZkAutomaticStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc);
    ~CZkAutomaticStream() override;

    // After construction: 31 for a negative file size; 2 for a block size the device's granularity
    // refuses or buffer settings that do not fit (the stream is then marked to be destroyed); else 1.
    ZKRESULT Setup(uint32_t cacheId, const ZkAutomaticStreamHeuristics& heuristics,
                   const ZkAutomaticStreamBufferSettings* bufferSettings);

    // IZkAutomaticStream
    void Destroy() override;
    void GetInfo(ZkStreamInfo& info) override;
    ZkFileDescriptor* GetFileDescriptor() override { return FileDescriptor(); }
    void GetHeuristics(ZkAutomaticStreamHeuristics& heuristics) override;
    ZKRESULT SetHeuristics(const ZkAutomaticStreamHeuristics& heuristics) override;
    ZKRESULT SetMinimalBufferSize(uint32_t bytes) override;
    ZKRESULT SetMinTargetBufferSize(uint32_t bytes) override;
    ZKRESULT SetStreamName(const wchar_t* name) override { return SetName(name); }
    uint32_t GetBlockSize() override { return m_blockSize; }
    ZKRESULT QueryBufferingStatus(uint32_t& bufferedBytes) override;
    uint32_t GetNominalBuffering() override; // also the task operation
    ZKRESULT Start() override;
    ZKRESULT Stop() override;
    uint64_t GetPosition(bool* endOfFile) override;
    ZKRESULT SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset) override;
    ZKRESULT GetBuffer(void*& buffer, uint32_t& size, bool wait) override;
    ZKRESULT ReleaseBuffer() override;

    // CZkStreamTask
    void Kill() override;
    void OnFileOpened() override;
    ZkStreamTransfer* PrepareTransfer(bool cacheOnly) override;
    void CompleteTransfer(ZkStreamTransfer* record, ZKRESULT result) override;
    float EffectiveDeadline() override;
    void SetCachingBufferSize(uint32_t bytes) override;
    uint32_t GetBufferedBytes() override;
    void ResumeCaching() override;
    uint32_t StopCaching(uint32_t bytes) override;
    uint32_t ReleaseCachedBytes(uint32_t bytes) override;
    uint64_t GetNextReadPosition() override;
    void CancelPendingTransfers() override;
    void CancelTransfersNotAt(uint64_t position) override;
    void DropBuffersSmallerThan(uint32_t bytes) override;
    void SetLoopEnd(uint32_t loopEnd) override;

    // For tests and statistics: buffers in the list, handed out or not.
    uint32_t BufferCount();

private:
    // All under the stream's lock.
    uint32_t CountedBytes(const ZkStreamTransfer& record) const;
    uint64_t WrapAtLoopEnd(uint64_t position) const;
    uint64_t NextReadPositionLocked() const;
    uint32_t NominalBufferingLocked() const;
    void UpdateStatus();
    bool TakeNextBuffer(void*& buffer, uint32_t& size);
    void ApplyDoneTransfers();
    void StopLocked();
    // Drops the buffers not handed out from the index'th of the list on (their bytes leave the
    // buffered bytes); returns the bytes counted off.
    uint32_t DropBuffersFrom(uint32_t index);
    void DropUnhandedBuffers();
    // The file ended before its descriptor said (a short read): it ends there from now on.
    void EndFileAt(uint64_t end);
    uint32_t ClampLoopEnd(uint32_t loopStart, uint32_t loopEnd) const;
    // After a loop change: keeps the waiting buffers that follow on in loop order, drops the rest.
    void KeepBuffersInLoopOrder();
    ZKRESULT SetupBufferSizes(const ZkAutomaticStreamBufferSettings* bufferSettings);
    static bool DataStartsAt(const ZkStreamTransfer& record, uint64_t position)
    {
        return record.dataPosition == position;
    }

    ZkTransferList m_buffers;          // oldest first; the first m_handedOut are the client's
    uint64_t m_nextPosition = 0;       // where the next buffer handed out must start
    uint32_t m_cacheId = ZK_NoCacheID;
    float m_throughput = 1.0f;         // bytes per millisecond, at least 1
    uint32_t m_cacheSize = 0;          // caching streams: bytes to keep cached
    uint32_t m_minTargetBuffering = 0;
    uint32_t m_loopStart = 0;
    uint32_t m_loopEnd = 0;            // 0: no loop
    uint32_t m_transferSize = 0;
    uint32_t m_minBufferSize = 0;
    uint32_t m_bufferAlignment = 1;
    uint32_t m_bufferedBytes = 0;
    uint32_t m_handedOut = 0;
    uint8_t m_minBufferCount = 1;
    bool m_running = false;
    bool m_killed = false;
    bool m_startedOnce = false;
};
} // namespace ZK::StreamMgr
