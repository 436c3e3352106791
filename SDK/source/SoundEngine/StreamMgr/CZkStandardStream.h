// CZkStandardStream: explicit reads and writes into the client's buffer, one request at a time.
// A request is cut into chunks of at most the device's granularity; the device prepares one chunk
// at a time (blocking device) or several at once (deferred device), and the stream applies their
// completions in file order. Only bytes the hook reports as moved count: a read that ends early
// finishes the request with the bytes it got.
//
// Threading: the client face is used by one thread at a time; the device's I/O thread (and, on a
// deferred device, the hook's completion thread) is the other party. Everything is guarded by the
// stream's lock. A client that waits (Read/Write with wait, Cancel, Destroy, WaitForPendingOperation)
// never holds the lock while blocked.
// Ownership: belongs to its device, which frees it once the client has destroyed it and no transfer
// is in flight; the client's buffer must stay valid until its request completed or was cancelled.
#pragma once

#include <ZK/SoundEngine/Common/IZkStandardStream.h>

#include "StreamMgr/CZkStreamTask.h"

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkStandardStream : public CZkStreamTask, public IZkStandardStream
{
public:
    CZkStandardStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc);
    ~CZkStandardStream() override = default;

    // After construction: 31 for a negative file size, 2 for a block size of 0 or one that does not
    // divide the device's granularity (the stream is then marked to be destroyed); else 1.
    ZKRESULT Setup();

    // IZkStandardStream
    void Destroy() override;
    void GetInfo(ZkStreamInfo& info) override;
    ZkFileDescriptor* GetFileDescriptor() override { return FileDescriptor(); }
    ZKRESULT SetStreamName(const wchar_t* name) override { return SetName(name); }
    uint32_t GetBlockSize() override { return m_blockSize; }
    ZKRESULT Read(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                  uint32_t& outSize) override;
    ZKRESULT Write(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                   uint32_t& outSize) override;
    uint64_t GetPosition(bool* endOfFile) override;
    ZKRESULT SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset) override;
    void Cancel() override;
    void* GetData(uint32_t& size) override;
    ZkStreamStatus GetStatus() override;
    ZkStreamStatus WaitForPendingOperation() override;

    // CZkStreamTask
    void Kill() override;
    float EffectiveDeadline() override;
    ZkStreamTransfer* PrepareTransfer(bool cacheOnly) override;
    void CompleteTransfer(ZkStreamTransfer* record, ZKRESULT result) override;

private:
    ZKRESULT Request(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs, uint32_t& outSize,
                     bool write);
    ZkStreamStatus StatusLocked() const;
    // Ready and registered while a request has chunks to issue; a stream to be destroyed is
    // registered once it may be freed, so that the I/O thread frees it.
    void UpdateRegistration();
    // Status 3; pending chunks are handed to the hook for cancellation; waits until every cancelled
    // chunk came back.
    void CancelAndWait();
    void ApplyDoneChunks();
    void FinishRequest();
    // The client's request has nothing in flight and is no longer pending.
    bool RequestSettled() const;

    uint64_t m_position = 0;
    char* m_buffer = nullptr;
    uint32_t m_requestedSize = 0;     // cut to the end of the file (and to the bytes got after a short read)
    uint32_t m_bytesIssued = 0;       // bytes of the request handed to transfers
    uint32_t m_bytesTransferred = 0;  // bytes of the request completed, in order
    float m_deadlineMs = 0.0f;
    ZkStreamStatus m_status = ZK_StreamStatusIdle;
    bool m_allIssued = false;         // no further chunk to issue for this request
    bool m_endedEarly = false;        // a chunk moved fewer bytes than asked: the file ended there
};
} // namespace ZK::StreamMgr
