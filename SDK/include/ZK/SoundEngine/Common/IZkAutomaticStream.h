// An automatic stream: reads ahead by itself into buffers of its device's I/O memory, at the pace
// its heuristics give, and hands them to the client in file order. Handed out by ZK::IZkStreamMgr.
//
// Threading: used by one client thread at a time; the device's I/O thread is the other party.
// Ownership: the stream belongs to its device. The client calls Destroy once and never uses the
// stream afterwards; the device frees it when no transfer is in flight.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

class IZkAutomaticStream
{
public:
    virtual void Destroy() = 0;
    virtual void GetInfo(ZkStreamInfo& info) = 0;
    virtual ZkFileDescriptor* GetFileDescriptor() = 0;
    virtual void GetHeuristics(ZkAutomaticStreamHeuristics& heuristics) = 0;
    virtual ZKRESULT SetHeuristics(const ZkAutomaticStreamHeuristics& heuristics) = 0;
    virtual ZKRESULT SetMinimalBufferSize(uint32_t bytes) = 0;
    virtual ZKRESULT SetMinTargetBufferSize(uint32_t bytes) = 0;
    virtual ZKRESULT SetStreamName(const wchar_t* name) = 0;
    virtual uint32_t GetBlockSize() = 0;
    virtual ZKRESULT QueryBufferingStatus(uint32_t& bufferedBytes) = 0;
    virtual uint32_t GetNominalBuffering() = 0;
    virtual ZKRESULT Start() = 0;
    virtual ZKRESULT Stop() = 0;
    virtual uint64_t GetPosition(bool* endOfFile) = 0;
    virtual ZKRESULT SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset) = 0;
    virtual ZKRESULT GetBuffer(void*& buffer, uint32_t& size, bool wait) = 0;
    virtual ZKRESULT ReleaseBuffer() = 0;

protected:
    // Streams are destroyed through Destroy, never deleted by their clients.
    virtual ~IZkAutomaticStream() = default;
};
