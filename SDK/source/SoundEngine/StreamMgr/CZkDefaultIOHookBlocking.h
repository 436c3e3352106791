// CZkDefaultIOHookBlocking: a file-location resolver and blocking I/O hook over loose files. Files
// are found by id ("%u.bnk" for banks, "%u.oxm" for streamed media) or by name under the base paths
// (CZkMultipleFileLocation), language-specific reads in the current language's folder, and are
// read and written with positional system calls.
//
// Threading: every operation except Read, Write and GetDeviceFlag holds the object's lock (a
// recursive critical section) for its whole run. Read and Write run on the device's I/O thread.
// Ownership: the files it opens belong to the streams' descriptors until Close.
#pragma once

#include <ZK/SoundEngine/Common/ZkLowLevelIOHooks.h>

#include "Platform/PlatformLock.h"
#include "StreamMgr/CZkMultipleFileLocation.h"

#include <cstdint>

namespace ZK::StreamMgr
{
constexpr size_t kFileIdNameChars = 15;         // "%u.bnk" / "%u.oxm" names made from ids
constexpr size_t kExternalIdNameChars = 20;     // "%u.oxm" of an external file's package look-up

class CZkDefaultIOHookBlocking : public IZkFileLocationResolver,
                                 public IZkIOHookBlocking,
                                 public CZkMultipleFileLocation
{
public:
    CZkDefaultIOHookBlocking() = default;
    ~CZkDefaultIOHookBlocking() override = default;

    // IZkFileLocationResolver: loose files only. 1; 2 when nothing opens (a missing file included);
    // 31 for null flags (OpenByID needs them) or a null name.
    ZKRESULT OpenByID(uint32_t fileId, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                      ZkFileDescriptor& fileDesc) override;
    ZKRESULT OpenByName(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                        ZkFileDescriptor& fileDesc) override;

    // IZkLowLevelIOHook (Close also serves the resolver).
    ZKRESULT Close(ZkFileDescriptor& fileDesc) override;
    uint32_t GetBlockSize(ZkFileDescriptor& fileDesc) override;
    bool GetDeviceFlag() override { return m_deferredOpen; }

    // IZkIOHookBlocking
    ZKRESULT Read(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& heuristics, void* buffer,
                  ZkTransferInfo& transferInfo) override;
    ZKRESULT Write(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& heuristics, void* buffer,
                   ZkTransferInfo& transferInfo) override;

    // When set, opens the caller does not need at once are only described (fileSize 0) and opened
    // later by the device's I/O thread.
    void SetDeferredOpen(bool deferred) { m_deferredOpen = deferred; }
    uint32_t DeviceId() const { return m_deviceId; }
    // The device that serves every file this object resolves (set by the owner's set-up).
    void SetDeviceId(uint32_t deviceId) { m_deviceId = deviceId; }
    ZKRESULT AddBasePath(const wchar_t* path);
    void RemoveAllBasePaths();

protected:
    // Steps shared by both opens once no package has the file: describe it for a deferred open, or
    // open the loose file. fileName is the loose name to use.
    ZKRESULT OpenLooseOrDefer(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                              ZkFileDescriptor& fileDesc);

    Platform::ZkCriticalSection m_lock;
    uint32_t m_deviceId = ZK_InvalidDeviceID;
    bool m_deferredOpen = false;
};
} // namespace ZK::StreamMgr
