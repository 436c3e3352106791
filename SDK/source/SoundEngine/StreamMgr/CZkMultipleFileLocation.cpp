#include "StreamMgr/CZkMultipleFileLocation.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include "Platform/PlatformFile.h"
#include "StreamMgr/StreamMgrAlloc.h"

#include <cstddef>
#include <cwchar>

namespace ZK::StreamMgr
{
using Platform::FileOpenMode;
using Platform::FileStatus;
using Platform::ZkFile;

ZKRESULT CZkMultipleFileLocation::AddBasePath(const wchar_t* path)
{
    if (!path)
        return ZK_InvalidParameter;
    const size_t length = std::wcslen(path);
    // Room for the separator here, and for a language folder and its separator in every path.
    if (length + std::wcslen(GetCurrentLanguage()) + 2 >= kMaxPathChars)
        return ZK_InvalidParameter;
    const size_t bytes = offsetof(BasePath, path) + (length + 2) * sizeof(wchar_t);
    auto* node = static_cast<BasePath*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, bytes));
    if (!node)
        return ZK_InsufficientMemory;
    std::wmemcpy(node->path, path, length);
    node->path[length] = kPathSeparator;
    node->path[length + 1] = L'\0';
    node->next = m_basePaths;
    m_basePaths = node;
    return ZK_Success;
}

void CZkMultipleFileLocation::RemoveAllBasePaths()
{
    while (m_basePaths)
    {
        BasePath* next = m_basePaths->next;
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, m_basePaths);
        m_basePaths = next;
    }
}

uint32_t CZkMultipleFileLocation::BasePathCount() const
{
    uint32_t count = 0;
    for (const BasePath* node = m_basePaths; node; node = node->next)
        ++count;
    return count;
}

ZKRESULT CZkMultipleFileLocation::BuildPath(const wchar_t* name, const ZkFileOpenFlags* flags, uint32_t openMode,
                                            const wchar_t* basePath, wchar_t* path)
{
    if (!name)
        return ZK_InvalidParameter;
    const size_t nameLength = std::wcslen(name);
    if (nameLength >= kMaxPathChars)
        return ZK_InvalidParameter;

    // A base path that does not fit whole fails: cut short, it would name another folder.
    size_t length = std::wcslen(basePath);
    if (length >= kMaxPathChars)
        return ZK_Fail;
    std::wmemcpy(path, basePath, length);
    path[length] = L'\0';

    // Only reads look in the language folder: a written file lands beside the others.
    const wchar_t* language = GetCurrentLanguage();
    const size_t languageLength = std::wcslen(language);
    const bool inLanguageFolder = openMode == ZK_OpenModeRead && flags && flags->isLanguageSpecific && languageLength > 0;
    if (inLanguageFolder)
    {
        if (nameLength + languageLength + 1 >= kMaxPathChars)
            return ZK_Fail;
    }
    const size_t languagePart = inLanguageFolder ? languageLength + 1 : 0;
    if (length + languagePart + nameLength >= kMaxPathChars)
        return ZK_Fail;
    if (inLanguageFolder)
    {
        std::wmemcpy(path + length, language, languageLength);
        length += languageLength;
        path[length++] = kPathSeparator;
    }
    std::wmemcpy(path + length, name, nameLength);
    path[length + nameLength] = L'\0';
    return ZK_Success;
}

ZKRESULT CZkMultipleFileLocation::OpenLoose(const wchar_t* name, uint32_t openMode, const ZkFileOpenFlags* flags,
                                            ZkFileDescriptor& fileDesc)
{
    wchar_t path[kMaxPathChars];
    if (!m_basePaths)
    {
        if (BuildPath(name, flags, openMode, L"", path) == ZK_Success &&
            OpenFile(path, openMode, fileDesc) == ZK_Success)
            return ZK_Success;
        return ZK_Fail;
    }
    for (const BasePath* node = m_basePaths; node; node = node->next)
    {
        if (BuildPath(name, flags, openMode, node->path, path) != ZK_Success)
            continue;
        if (OpenFile(path, openMode, fileDesc) == ZK_Success)
            return ZK_Success;
    }
    return ZK_Fail;
}

ZKRESULT CZkMultipleFileLocation::OpenFile(const wchar_t* path, uint32_t openMode, ZkFileDescriptor& fileDesc)
{
    FileOpenMode mode;
    switch (openMode)
    {
    case ZK_OpenModeRead: mode = FileOpenMode::Read; break;
    case ZK_OpenModeWrite: mode = FileOpenMode::WriteOpenOrCreate; break;
    case ZK_OpenModeWriteOverwrite: mode = FileOpenMode::Write; break;
    case ZK_OpenModeReadWrite: mode = FileOpenMode::ReadWriteCreate; break;
    default:
        fileDesc.fileHandle = nullptr;
        return ZK_InvalidParameter;
    }

    ZkFile* file = ZkNewObject<ZkFile>(ZkMemID_StreamMgr);
    if (!file)
        return ZK_Fail;
    const FileStatus status = file->Open(path, mode);
    uint64_t size = 0;
    if (status != FileStatus::Ok || file->Size(size) != FileStatus::Ok)
    {
        ZkDeleteObject(ZkMemID_StreamMgr, file); // closes it when it did open
        return status == FileStatus::NotFound ? ZK_FileNotFound : ZK_Fail;
    }
    fileDesc.fileHandle = file;
    fileDesc.fileSize = static_cast<int64_t>(size);
    return ZK_Success;
}

ZKRESULT CZkMultipleFileLocation::CloseFile(ZkFileDescriptor& fileDesc)
{
    auto* file = static_cast<ZkFile*>(fileDesc.fileHandle);
    if (!file)
        return ZK_Fail;
    file->Flush();
    const FileStatus status = file->Close();
    ZkDeleteObject(ZkMemID_StreamMgr, file);
    fileDesc.fileHandle = nullptr;
    return status == FileStatus::Ok ? ZK_Success : ZK_Fail;
}
} // namespace ZK::StreamMgr
