// A standard stream: explicit reads and writes into the caller's buffer, one request at a time,
// optionally waiting until the request completes. Handed out by ZK::IZkStreamMgr.
//
// Threading: used by one client thread at a time; the device's I/O thread is the other party.
// Ownership: the stream belongs to its device. The client calls Destroy once and never uses the
// stream afterwards; the device frees it when no transfer is in flight.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

class IZkStandardStream
{
public:
    virtual void Destroy() = 0;
    virtual void GetInfo(ZkStreamInfo& info) = 0;
    virtual ZkFileDescriptor* GetFileDescriptor() = 0;
    virtual ZKRESULT SetStreamName(const wchar_t* name) = 0;
    virtual uint32_t GetBlockSize() = 0;
    virtual ZKRESULT Read(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                          uint32_t& outSize) = 0;
    virtual ZKRESULT Write(void* buffer, uint32_t size, bool wait, uint8_t priority, float deadlineMs,
                           uint32_t& outSize) = 0;
    virtual uint64_t GetPosition(bool* endOfFile) = 0;
    virtual ZKRESULT SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset) = 0;
    virtual void Cancel() = 0;
    virtual void* GetData(uint32_t& size) = 0;
    virtual ZkStreamStatus GetStatus() = 0;
    virtual ZkStreamStatus WaitForPendingOperation() = 0;

protected:
    // Streams are destroyed through Destroy, never deleted by their clients.
    virtual ~IZkStandardStream() = default;
};
