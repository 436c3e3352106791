// Opening streams: the resolver describes the file, the device it names makes the stream.
#include "StreamMgr/CZkStreamMgr.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrDevices.h"
#include "StreamMgr/ZkDeferredOpen.h"

namespace ZK::StreamMgr
{
namespace
{
void FreeDescriptor(ZkFileDescriptor* fileDesc)
{
    ZK::MemoryMgr::Free(ZkMemID_StreamMgr, fileDesc);
}

bool ValidAutomaticHeuristics(const ZkAutomaticStreamHeuristics& heuristics)
{
    // "Not below 0" also refuses a NaN throughput.
    return heuristics.throughput >= 0.0f && heuristics.priority <= kMaxStreamPriority;
}
} // namespace

ZKRESULT CZkStreamMgr::ResolveFile(const FileTarget& target, uint32_t openMode, ZkFileOpenFlags* flags,
                                   bool syncOpen, ResolvedFile& out)
{
    out = ResolvedFile{};
    IZkFileLocationResolver* resolver = GetFileLocationResolver();
    if (!resolver)
        return ZK_Fail;
    auto* fileDesc = static_cast<ZkFileDescriptor*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, sizeof(ZkFileDescriptor)));
    if (!fileDesc)
        return ZK_Fail;
    *fileDesc = ZkFileDescriptor{};

    bool openedNow = syncOpen;
    const ZKRESULT result = target.fileName
                                ? resolver->OpenByName(target.fileName, openMode, flags, openedNow, *fileDesc)
                                : resolver->OpenByID(target.fileId, openMode, flags, openedNow, *fileDesc);
    if (result != ZK_Success)
    {
        FreeDescriptor(fileDesc);
        return result == ZK_FileNotFound ? ZK_FileNotFound : ZK_Fail;
    }

    CZkStreamDevice* device = GetDevice(fileDesc->deviceId);
    const bool emptyForReading = openedNow && openMode == ZK_OpenModeRead && fileDesc->fileSize < 1;
    if (emptyForReading || !device)
    {
        // The resolver opened the file but no stream will own it: it closes what it opened (there is
        // no device hook to do it when the resolver named a device that does not exist).
        if (openedNow)
            resolver->Close(*fileDesc);
        FreeDescriptor(fileDesc);
        return ZK_Fail;
    }
    out = {fileDesc, device, openedNow};
    return ZK_Success;
}

void CZkStreamMgr::AbandonFile(ResolvedFile& file)
{
    if (file.openedNow && file.device->Hook())
        file.device->Hook()->Close(*file.fileDesc);
    FreeDescriptor(file.fileDesc);
    file.fileDesc = nullptr;
}

ZKRESULT CZkStreamMgr::AttachFile(CZkStreamTask* stream, const ResolvedFile& file, const FileTarget& target,
                                  const ZkFileOpenFlags* flags, uint32_t openMode)
{
    stream->AttachFile(file.openedNow);
    if (file.openedNow)
        return ZK_Success;
    ZkDeferredOpen* record = CreateDeferredOpen(target.fileId, target.fileName, flags, openMode);
    if (!record)
    {
        stream->MarkToBeDestroyed();
        stream->Kill();
        return ZK_Fail;
    }
    stream->SetDeferredOpen(record);
    return ZK_Success;
}

ZKRESULT CZkStreamMgr::OpenStandard(const FileTarget& target, ZkFileOpenFlags* flags, uint32_t openMode,
                                    IZkStandardStream*& outStream, bool syncOpen)
{
    outStream = nullptr;
    if (flags)
        flags->isAutomaticStream = false;
    ResolvedFile file;
    const ZKRESULT resolved = ResolveFile(target, openMode, flags, syncOpen, file);
    if (resolved != ZK_Success)
        return resolved;

    IZkStandardStream* stream = nullptr;
    CZkStreamTask* task = file.device->CreateStandardStream(file.fileDesc, openMode, stream);
    if (!task)
    {
        AbandonFile(file);
        return ZK_Fail;
    }
    if (AttachFile(task, file, target, flags, openMode) != ZK_Success)
        return ZK_Fail;
    outStream = stream;
    return ZK_Success;
}

ZKRESULT CZkStreamMgr::OpenAutomatic(const FileTarget& target, ZkFileOpenFlags* flags,
                                     const ZkAutomaticStreamHeuristics& heuristics,
                                     const ZkAutomaticStreamBufferSettings* bufferSettings,
                                     IZkAutomaticStream*& outStream, bool syncOpen)
{
    outStream = nullptr;
    if (!ValidAutomaticHeuristics(heuristics))
        return ZK_InvalidParameter;
    uint32_t cacheId = ZK_NoCacheID;
    if (flags)
    {
        flags->isAutomaticStream = true;
        cacheId = flags->cacheId;
    }
    ResolvedFile file;
    const ZKRESULT resolved = ResolveFile(target, ZK_OpenModeRead, flags, syncOpen, file);
    if (resolved != ZK_Success)
        return resolved;

    IZkAutomaticStream* stream = nullptr;
    CZkStreamTask* task = file.device->CreateAutomaticStream(file.fileDesc, cacheId, heuristics, bufferSettings, stream);
    if (!task)
    {
        AbandonFile(file);
        return ZK_Fail;
    }
    if (AttachFile(task, file, target, flags, ZK_OpenModeRead) != ZK_Success)
        return ZK_Fail;
    outStream = stream;
    return ZK_Success;
}

ZKRESULT CZkStreamMgr::CreateStandardStreamByID(uint32_t fileId, ZkFileOpenFlags* flags, uint32_t openMode,
                                                IZkStandardStream*& outStream, bool syncOpen)
{
    return OpenStandard({fileId, nullptr}, flags, openMode, outStream, syncOpen);
}

ZKRESULT CZkStreamMgr::CreateStandardStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags, uint32_t openMode,
                                                  IZkStandardStream*& outStream, bool syncOpen)
{
    outStream = nullptr;
    if (!fileName)
        return ZK_InvalidParameter;
    return OpenStandard({0, fileName}, flags, openMode, outStream, syncOpen);
}

ZKRESULT CZkStreamMgr::CreateAutomaticStreamByID(uint32_t fileId, ZkFileOpenFlags* flags,
                                                 const ZkAutomaticStreamHeuristics& heuristics,
                                                 const ZkAutomaticStreamBufferSettings* bufferSettings,
                                                 IZkAutomaticStream*& outStream, bool syncOpen)
{
    return OpenAutomatic({fileId, nullptr}, flags, heuristics, bufferSettings, outStream, syncOpen);
}

ZKRESULT CZkStreamMgr::CreateAutomaticStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags,
                                                   const ZkAutomaticStreamHeuristics& heuristics,
                                                   const ZkAutomaticStreamBufferSettings* bufferSettings,
                                                   IZkAutomaticStream*& outStream, bool syncOpen)
{
    outStream = nullptr;
    if (!fileName)
        return ZK_InvalidParameter;
    return OpenAutomatic({0, fileName}, flags, heuristics, bufferSettings, outStream, syncOpen);
}

ZKRESULT CZkStreamMgr::CreateCachingStream(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority,
                                           IZkAutomaticStream*& outStream)
{
    outStream = nullptr;
    if (!flags)
        return ZK_InvalidParameter;
    flags->isAutomaticStream = true;
    const FileTarget target{fileId, nullptr};
    ResolvedFile file;
    const ZKRESULT resolved = ResolveFile(target, ZK_OpenModeRead, flags, false, file);
    if (resolved != ZK_Success)
        return resolved;
    if (flags->cachedBytes == 0)
    {
        AbandonFile(file);
        return ZK_Fail;
    }

    IZkAutomaticStream* stream = nullptr;
    CZkStreamTask* task = file.device->CreateCachingStream(file.fileDesc, fileId, flags->cachedBytes,
                                                           static_cast<uint8_t>(priority), stream);
    if (!task)
    {
        AbandonFile(file);
        return ZK_Fail;
    }
    if (AttachFile(task, file, target, flags, ZK_OpenModeRead) != ZK_Success)
        return ZK_Fail;
    outStream = stream;
    return ZK_Success;
}
} // namespace ZK::StreamMgr
