#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include "StreamMgr/CZkFilePackage.h"
#include "StreamMgr/ZkFileNameHash.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <cwchar>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

ZKRESULT CZkFilePackageLowLevelIOBlocking::Init(const ZkDeviceSettings& deviceSettings)
{
    if (deviceSettings.schedulerKind != ZK_SchedulerBlocking)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    m_deferredOpen = false;
    if (!GetFileLocationResolver())
        SetFileLocationResolver(this);
    m_deviceId = CreateDevice(deviceSettings, this);
    return m_deviceId == ZK_InvalidDeviceID ? ZK_Fail : ZK_Success;
}

void CZkFilePackageLowLevelIOBlocking::Term()
{
    uint32_t deviceId;
    {
        ZkScopedLock lock(m_lock);
        UnloadAllFilePackages();
        if (m_observingLanguage)
        {
            RemoveLanguageChangeObserver(this);
            m_observingLanguage = false;
        }
        RemoveAllBasePaths();
        if (GetFileLocationResolver() == this)
            SetFileLocationResolver(nullptr);
        deviceId = m_deviceId;
        m_deviceId = ZK_InvalidDeviceID;
    }
    // Without the lock: the device's I/O thread may still close files through this object.
    if (deviceId != ZK_InvalidDeviceID)
        DestroyDevice(deviceId);
}

bool CZkFilePackageLowLevelIOBlocking::FindInPackages(PackageKey key, uint64_t id, const ZkFileOpenFlags& flags,
                                                      ZkFileDescriptor& fileDesc)
{
    ZkScopedLock lock(m_lock);
    for (CZkFilePackage* package = m_packages; package != nullptr; package = package->pNextItem)
    {
        ZkPackedFile file;
        const bool found = key == PackageKey::FileId ? package->lut.FindFile(static_cast<uint32_t>(id), flags, file)
                                                     : package->lut.FindExternalFile(id, flags, file);
        if (!found)
            continue;
        package->DescribeFile(file, fileDesc);
        fileDesc.deviceId = m_deviceId;
        OnFileFoundInPackage(*package, fileDesc);
        ++package->referenceCount;
        fileDesc.filePackage = package;
        return true;
    }
    return false;
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::OpenByID(uint32_t fileId, uint32_t openMode, ZkFileOpenFlags* flags,
                                                    bool& syncOpen, ZkFileDescriptor& fileDesc)
{
    if (!flags)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    bool found = false;
    if (openMode == ZK_OpenModeRead && flags->idSpace == ZK_FileIdSpace32)
    {
        found = FindInPackages(PackageKey::FileId, fileId, *flags, fileDesc);
    }
    else if (flags->idSpace == ZK_FileIdSpaceExternal)
    {
        wchar_t name[kExternalIdNameChars];
        std::swprintf(name, kExternalIdNameChars, L"%u.oxm", fileId);
        found = FindInPackages(PackageKey::ExternalId, ExternalFileIdOfName(name), *flags, fileDesc);
    }
    if (found)
    {
        syncOpen = true;
        return ZK_Success;
    }
    return CZkDefaultIOHookBlocking::OpenByID(fileId, openMode, flags, syncOpen, fileDesc);
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::OpenByName(const wchar_t* fileName, uint32_t openMode,
                                                      ZkFileOpenFlags* flags, bool& syncOpen,
                                                      ZkFileDescriptor& fileDesc)
{
    if (!fileName)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    bool found = false;
    if (openMode == ZK_OpenModeRead && flags)
    {
        if (flags->idSpace == ZK_FileIdSpaceExternal)
        {
            found = FindInPackages(PackageKey::ExternalId, ExternalFileIdOfName(fileName), *flags, fileDesc);
        }
        else if (flags->idSpace == ZK_FileIdSpace32 && flags->fileType == ZK_FileTypeSoundBank)
        {
            // A bank's id is the id of its name without the extension: "Init.bnk" is "Init".
            const wchar_t* dot = std::wcsrchr(fileName, L'.');
            const size_t length = dot ? static_cast<size_t>(dot - fileName) : std::wcslen(fileName);
            found = FindInPackages(PackageKey::FileId, FileIdOfName(fileName, length), *flags, fileDesc);
        }
    }
    if (found)
    {
        syncOpen = true;
        return ZK_Success;
    }
    return CZkDefaultIOHookBlocking::OpenByName(fileName, openMode, flags, syncOpen, fileDesc);
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::Close(ZkFileDescriptor& fileDesc)
{
    CZkFilePackage* released = nullptr;
    {
        ZkScopedLock lock(m_lock);
        if (fileDesc.filePackage == nullptr)
            return CloseFile(fileDesc);
        // The package's own stream owns the file handle: only the reference goes.
        auto* package = static_cast<CZkFilePackage*>(fileDesc.filePackage);
        fileDesc.filePackage = nullptr;
        if (DropReference(package))
            released = package;
    }
    if (released != nullptr)
        released->Destroy();
    return ZK_Success;
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::LoadFilePackage(const wchar_t* fileName, uint32_t& outPackageId)
{
    if (fileName == nullptr)
        return ZK_InvalidParameter;
    CZkDiskPackage* package = nullptr;
    const ZKRESULT loaded = CZkDiskPackage::Load(fileName, package);
    if (loaded != ZK_Success)
        return loaded;

    ZkScopedLock lock(m_lock);
    if (!m_observingLanguage)
    {
        if (AddLanguageChangeObserver(&OnLanguageChanged, this) != ZK_Success)
        {
            package->Destroy();
            return ZK_Fail;
        }
        m_observingLanguage = true;
    }
    ZKRESULT result = ZK_Success;
    const wchar_t* language = GetCurrentLanguage();
    if (package->lut.HasLanguageMap() && language != nullptr && language[0] != L'\0')
    {
        const uint16_t languageId = package->lut.LanguageIdOf(language);
        if (languageId != 0 || package->lut.LanguageCount() < 2)
            package->lut.SetCurrentLanguageId(languageId);
        else
            result = ZK_LanguageNotFound;
    }
    LinkPackage(package);
    outPackageId = package->packageId;
    return result;
}

void CZkFilePackageLowLevelIOBlocking::LinkPackage(CZkDiskPackage* package)
{
    ZkScopedLock lock(m_lock);
    package->pNextItem = m_packages;
    m_packages = package;
    ++m_packageCount;
}

bool CZkFilePackageLowLevelIOBlocking::UnlinkPackage(CZkFilePackage* previous, CZkFilePackage* package)
{
    if (previous != nullptr)
        previous->pNextItem = package->pNextItem;
    else
        m_packages = package->pNextItem;
    package->pNextItem = nullptr;
    --m_packageCount;
    return DropReference(package);
}

bool CZkFilePackageLowLevelIOBlocking::DropReference(CZkFilePackage* package)
{
    return --package->referenceCount == 0;
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::UnloadFilePackage(uint32_t packageId)
{
    CZkFilePackage* released = nullptr;
    {
        ZkScopedLock lock(m_lock);
        CZkFilePackage* previous = nullptr;
        CZkFilePackage* package = m_packages;
        while (package != nullptr && package->packageId != packageId)
        {
            previous = package;
            package = package->pNextItem;
        }
        if (package == nullptr)
            return ZK_Fail;
        if (UnlinkPackage(previous, package))
            released = package;
    }
    if (released != nullptr)
        released->Destroy();
    return ZK_Success;
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::UnloadAllFilePackages()
{
    // Packages no file holds any more are chained through their free links and destroyed once the
    // lock is left.
    CZkFilePackage* released = nullptr;
    {
        ZkScopedLock lock(m_lock);
        while (CZkFilePackage* package = m_packages)
        {
            if (UnlinkPackage(nullptr, package))
            {
                package->pNextItem = released;
                released = package;
            }
        }
    }
    while (released != nullptr)
    {
        CZkFilePackage* next = released->pNextItem;
        released->Destroy();
        released = next;
    }
    return ZK_Success;
}

uint32_t CZkFilePackageLowLevelIOBlocking::PackageCount()
{
    ZkScopedLock lock(m_lock);
    return m_packageCount;
}

void CZkFilePackageLowLevelIOBlocking::OnLanguageChanged(const wchar_t* languageName, void* cookie)
{
    auto* self = static_cast<CZkFilePackageLowLevelIOBlocking*>(cookie);
    ZkScopedLock lock(self->m_lock);
    for (CZkFilePackage* package = self->m_packages; package != nullptr; package = package->pNextItem)
        package->lut.SetCurrentLanguageId(package->lut.LanguageIdOf(languageName));
}
} // namespace ZK::StreamMgr
