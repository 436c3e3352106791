#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

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

bool CZkFilePackageLowLevelIOBlocking::FindInPackages(uint32_t /*fileId*/, const wchar_t* /*fileName*/,
                                                      uint32_t /*openMode*/, const ZkFileOpenFlags* /*flags*/,
                                                      ZkFileDescriptor& /*fileDesc*/)
{
    // No package can be loaded yet, so none holds the file.
    return false;
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::OpenByID(uint32_t fileId, uint32_t openMode, ZkFileOpenFlags* flags,
                                                    bool& syncOpen, ZkFileDescriptor& fileDesc)
{
    if (!flags)
        return ZK_InvalidParameter;
    ZkScopedLock lock(m_lock);
    if (FindInPackages(fileId, nullptr, openMode, flags, fileDesc))
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
    if (FindInPackages(0, fileName, openMode, flags, fileDesc))
    {
        syncOpen = true;
        return ZK_Success;
    }
    return CZkDefaultIOHookBlocking::OpenByName(fileName, openMode, flags, syncOpen, fileDesc);
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::LoadFilePackage(const wchar_t* /*fileName*/, uint32_t& outPackageId)
{
    outPackageId = 0;
    return ZK_NotImplemented;
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::UnloadFilePackage(uint32_t /*packageId*/)
{
    ZkScopedLock lock(m_lock);
    return ZK_Fail; // no package is loaded, so none has that id
}

ZKRESULT CZkFilePackageLowLevelIOBlocking::UnloadAllFilePackages()
{
    ZkScopedLock lock(m_lock);
    m_packageCount = 0;
    return ZK_Success;
}
} // namespace ZK::StreamMgr
