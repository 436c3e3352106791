// ZK::IZkStreamMgr: the stream manager's interface, reached by the sound engine (bank reader,
// pinned-event prefetch, streamed sources, file packages) through ZK::IZkStreamMgr::m_pStreamMgr.
// It turns open requests into streams on the device the resolver chooses and keeps files pinned in
// the stream cache.
//
// Threading: the pinning operations and the opens share the manager's unguarded state and must be
// called from one thread at a time (opens from the engine thread, the bank thread and the
// file-package loader, never at once). Ownership: the manager is created by ZK::StreamMgr::Create
// and destroyed by Destroy; streams it hands out belong to their devices (see the stream headers).
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>
#include <ZK/SoundEngine/Common/IZkStandardStream.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

namespace ZK
{
class IZkStreamMgr
{
public:
    // The one manager; null before ZK::StreamMgr::Create and after Destroy.
    static IZkStreamMgr* m_pStreamMgr;

    // Clears the resolver, destroys every device, frees the manager.
    virtual void Destroy() = 0;
    // This system has no profiling interface: always null.
    virtual void* GetStreamMgrProfile() = 0;

    virtual ZKRESULT CreateStandardStreamByID(uint32_t fileId, ZkFileOpenFlags* flags, uint32_t openMode,
                                              IZkStandardStream*& outStream, bool syncOpen) = 0;
    virtual ZKRESULT CreateStandardStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags,
                                                uint32_t openMode, IZkStandardStream*& outStream,
                                                bool syncOpen) = 0;
    virtual ZKRESULT CreateAutomaticStreamOnMemory(void* memory, uint64_t size,
                                                   const ZkAutomaticStreamHeuristics& heuristics,
                                                   IZkAutomaticStream*& outStream) = 0;
    virtual ZKRESULT CreateAutomaticStreamByID(uint32_t fileId, ZkFileOpenFlags* flags,
                                               const ZkAutomaticStreamHeuristics& heuristics,
                                               const ZkAutomaticStreamBufferSettings* bufferSettings,
                                               IZkAutomaticStream*& outStream, bool syncOpen) = 0;
    virtual ZKRESULT CreateAutomaticStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags,
                                                 const ZkAutomaticStreamHeuristics& heuristics,
                                                 const ZkAutomaticStreamBufferSettings* bufferSettings,
                                                 IZkAutomaticStream*& outStream, bool syncOpen) = 0;

    virtual ZKRESULT PinFileInCache(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority) = 0;
    // 1 when the last pin went and the file left the cache; 2 when others still pin it (or no pin).
    virtual ZKRESULT UnpinFileInCache(uint32_t fileId, int8_t priority) = 0;
    virtual ZKRESULT UpdateCachingPriority(uint32_t fileId, int8_t newPriority, int8_t oldPriority) = 0;
    virtual ZKRESULT GetBufferStatusForPinnedFile(uint32_t fileId, float& percentBuffered, bool& cacheFull) = 0;
    virtual ZKRESULT SetMemoryStreamAddress(IZkAutomaticStream* memoryStream, void* memory) = 0;
    virtual ZKRESULT CreateCachingStream(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority,
                                         IZkAutomaticStream*& outStream) = 0;

protected:
    virtual ~IZkStreamMgr() = default;
};
} // namespace ZK
