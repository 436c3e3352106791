// CZkStreamMgr: the one stream manager (ZK::IZkStreamMgr). Opens ask the installed file-location
// resolver for a ZkFileDescriptor and hand it to the device the resolver chose, which makes the
// stream; files the engine pins are kept in the stream cache through caching streams.
//
// Threading: no lock; opens and pinning run on one thread at a time (see IZkStreamMgr.h). What an
// open touches inside a device is taken under that device's stream-list lock.
// Ownership: created by ZK::StreamMgr::Create (memory id 7), freed by Destroy; owns the pinned-file
// records (memory id 0) and, through them, their caching streams.
#pragma once

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

#include "StreamMgr/ZkGrowableArray.h"
#include "StreamMgr/ZkPinnedFile.h"

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkStreamDevice;
class CZkStreamTask;

class CZkStreamMgr final : public IZkStreamMgr
{
public:
    CZkStreamMgr();
    ~CZkStreamMgr() override;

    void Destroy() override;
    void* GetStreamMgrProfile() override { return nullptr; }

    ZKRESULT CreateStandardStreamByID(uint32_t fileId, ZkFileOpenFlags* flags, uint32_t openMode,
                                      IZkStandardStream*& outStream, bool syncOpen) override;
    ZKRESULT CreateStandardStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags, uint32_t openMode,
                                        IZkStandardStream*& outStream, bool syncOpen) override;
    ZKRESULT CreateAutomaticStreamOnMemory(void* memory, uint64_t size, const ZkAutomaticStreamHeuristics& heuristics,
                                           IZkAutomaticStream*& outStream) override;
    ZKRESULT CreateAutomaticStreamByID(uint32_t fileId, ZkFileOpenFlags* flags,
                                       const ZkAutomaticStreamHeuristics& heuristics,
                                       const ZkAutomaticStreamBufferSettings* bufferSettings,
                                       IZkAutomaticStream*& outStream, bool syncOpen) override;
    ZKRESULT CreateAutomaticStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags,
                                         const ZkAutomaticStreamHeuristics& heuristics,
                                         const ZkAutomaticStreamBufferSettings* bufferSettings,
                                         IZkAutomaticStream*& outStream, bool syncOpen) override;

    ZKRESULT PinFileInCache(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority) override;
    ZKRESULT UnpinFileInCache(uint32_t fileId, int8_t priority) override;
    ZKRESULT UpdateCachingPriority(uint32_t fileId, int8_t newPriority, int8_t oldPriority) override;
    ZKRESULT GetBufferStatusForPinnedFile(uint32_t fileId, float& percentBuffered, bool& cacheFull) override;
    ZKRESULT SetMemoryStreamAddress(IZkAutomaticStream* memoryStream, void* memory) override;
    ZKRESULT CreateCachingStream(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority,
                                 IZkAutomaticStream*& outStream) override;

    // For tests and the engine's statistics: the number of pinned files.
    uint32_t PinnedFileCount() const { return m_pinnedFiles.Count(); }

private:
    // A file named by id, or by name when the name is not null.
    struct FileTarget
    {
        uint32_t fileId;
        const wchar_t* fileName;
    };
    // A file the resolver described, and the device that serves it.
    struct ResolvedFile
    {
        ZkFileDescriptor* fileDesc;
        CZkStreamDevice* device;
        bool openedNow;
    };

    // Asks the resolver for the file and finds its device. On failure nothing is left: no descriptor,
    // no open file. 66 passes through, other failures are 2.
    static ZKRESULT ResolveFile(const FileTarget& target, uint32_t openMode, ZkFileOpenFlags* flags,
                                bool syncOpen, ResolvedFile& out);
    // A device made no stream: closes the file when it was opened and frees the descriptor.
    static void AbandonFile(ResolvedFile& file);
    // Gives the file to the new stream, with a deferred-open record when it is not open yet. 2 when
    // that record cannot be allocated (the stream is then handed to its device for destruction).
    static ZKRESULT AttachFile(CZkStreamTask* stream, const ResolvedFile& file, const FileTarget& target,
                               const ZkFileOpenFlags* flags, uint32_t openMode);
    ZKRESULT OpenStandard(const FileTarget& target, ZkFileOpenFlags* flags, uint32_t openMode,
                          IZkStandardStream*& outStream, bool syncOpen);
    ZKRESULT OpenAutomatic(const FileTarget& target, ZkFileOpenFlags* flags, const ZkAutomaticStreamHeuristics& heuristics,
                           const ZkAutomaticStreamBufferSettings* bufferSettings, IZkAutomaticStream*& outStream,
                           bool syncOpen);

    int32_t FindPinnedFile(uint32_t fileId) const; // index, or -1
    static void ApplyHighestPriority(ZkPinnedFile& pinned);
    void ReleasePinnedFiles();

    ZkGrowableArray<ZkPinnedFileEntry> m_pinnedFiles;
};
} // namespace ZK::StreamMgr
