#include "StreamMgr/CZkDefaultIOHookBlocking.h"

#include "Platform/PlatformFile.h"

#include <cstring>
#include <cwchar>

namespace ZK::StreamMgr
{
using Platform::FileStatus;
using Platform::ZkFile;
using Platform::ZkScopedLock;

ZKRESULT CZkDefaultIOHookBlocking::AddBasePath(const wchar_t* path)
{
    ZkScopedLock lock(m_lock);
    return CZkMultipleFileLocation::AddBasePath(path);
}

void CZkDefaultIOHookBlocking::RemoveAllBasePaths()
{
    ZkScopedLock lock(m_lock);
    CZkMultipleFileLocation::RemoveAllBasePaths();
}

ZKRESULT CZkDefaultIOHookBlocking::OpenLooseOrDefer(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags,
                                                    bool& syncOpen, ZkFileDescriptor& fileDesc)
{
    if (!syncOpen && m_deferredOpen)
    {
        fileDesc.fileSize = 0;
        fileDesc.startBlock = 0;
        fileDesc.deviceId = m_deviceId;
        fileDesc.blockSizeParam = 0;
        fileDesc.hookData = 0;
        return ZK_Success;
    }
    syncOpen = true;
    const ZKRESULT result = OpenLoose(fileName, openMode, flags, fileDesc);
    if (result != ZK_Success)
        return result;
    fileDesc.startBlock = 0;
    fileDesc.blockSizeParam = 0;
    fileDesc.hookData = 0;
    fileDesc.deviceId = m_deviceId;
    return ZK_Success;
}

ZKRESULT CZkDefaultIOHookBlocking::OpenByID(uint32_t fileId, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                                            ZkFileDescriptor& fileDesc)
{
    if (!flags)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    if (syncOpen || !m_deferredOpen)
    {
        syncOpen = true;
        if (flags->idSpace > ZK_FileIdSpaceExternal)
            return ZK_Fail; // such files are known by name only
    }
    wchar_t name[kFileIdNameChars];
    std::swprintf(name, kFileIdNameChars, flags->fileType == ZK_FileTypeSoundBank ? L"%u.bnk" : L"%u.oxm", fileId);
    return OpenLooseOrDefer(name, openMode, flags, syncOpen, fileDesc);
}

ZKRESULT CZkDefaultIOHookBlocking::OpenByName(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags,
                                              bool& syncOpen, ZkFileDescriptor& fileDesc)
{
    if (!fileName)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    return OpenLooseOrDefer(fileName, openMode, flags, syncOpen, fileDesc);
}

ZKRESULT CZkDefaultIOHookBlocking::Close(ZkFileDescriptor& fileDesc)
{
    ZkScopedLock lock(m_lock);
    return CloseFile(fileDesc);
}

uint32_t CZkDefaultIOHookBlocking::GetBlockSize(ZkFileDescriptor& fileDesc)
{
    ZkScopedLock lock(m_lock);
    return fileDesc.filePackage ? fileDesc.blockSizeParam : 1u;
}

ZKRESULT CZkDefaultIOHookBlocking::Read(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& /*heuristics*/, void* buffer,
                                        ZkTransferInfo& transferInfo)
{
    transferInfo.bytesTransferred = 0;
    const auto* file = static_cast<const ZkFile*>(fileDesc.fileHandle);
    if (!buffer || (transferInfo.bufferSize != 0 && transferInfo.requestedSize > transferInfo.bufferSize))
        return ZK_Fail;
    if (!file)
    {
        std::memset(buffer, 0, transferInfo.requestedSize);
        return ZK_Fail;
    }
    size_t moved = 0;
    const FileStatus status = file->ReadAt(transferInfo.filePosition, buffer, transferInfo.requestedSize, moved);
    transferInfo.bytesTransferred = static_cast<uint32_t>(moved);
    // Bytes the read did not fill must never pass for file data: a read that ends at the end of the
    // file succeeds with fewer bytes, and a failed one hands out nothing.
    if (status != FileStatus::Ok)
        moved = 0;
    if (moved < transferInfo.requestedSize)
        std::memset(static_cast<char*>(buffer) + moved, 0, transferInfo.requestedSize - moved);
    return status == FileStatus::Ok ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkDefaultIOHookBlocking::Write(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& /*heuristics*/,
                                         void* buffer, ZkTransferInfo& transferInfo)
{
    transferInfo.bytesTransferred = 0;
    auto* file = static_cast<ZkFile*>(fileDesc.fileHandle);
    if (!file || !buffer)
        return ZK_Fail;
    size_t moved = 0;
    // A write that cannot place every byte (a full disk) fails: the data would be lost otherwise.
    const FileStatus status = file->WriteAt(transferInfo.filePosition, buffer, transferInfo.requestedSize, moved);
    transferInfo.bytesTransferred = static_cast<uint32_t>(moved);
    return status == FileStatus::Ok && moved == transferInfo.requestedSize ? ZK_Success : ZK_Fail;
}
} // namespace ZK::StreamMgr
