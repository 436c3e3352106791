// CZkFilePackageLowLevelIOBlocking: the game's low-level I/O object, resolver and blocking hook of
// its single stream device. A file is looked for in the loaded file packages first (newest first),
// then as a loose file under the base paths.
//
// File packages are not built yet: no package can be loaded (LoadFilePackage answers 4), so every
// look-up in the package list finds nothing and every file is a loose file.
//
// Threading: as CZkDefaultIOHookBlocking; Init and Term run on the thread that sets the stream
// manager up and tears it down. Ownership: the object belongs to its creator; Init creates the
// stream device it serves and Term destroys it.
#pragma once

#include "StreamMgr/CZkDefaultIOHookBlocking.h"

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkFilePackageLowLevelIOBlocking : public CZkDefaultIOHookBlocking
{
public:
    CZkFilePackageLowLevelIOBlocking() = default;
    ~CZkFilePackageLowLevelIOBlocking() override = default;

    // Set-up after ZK::StreamMgr::Create: the settings must name the blocking scheduler (else 31);
    // clears the deferred-open flag, installs the object as resolver unless one is installed, and
    // creates the stream device over its hook (2 when that fails).
    ZKRESULT Init(const ZkDeviceSettings& deviceSettings);
    // Unloads every package, stops observing the language, frees the base paths, uninstalls the
    // resolver when it is this object, and destroys the device.
    void Term();

    ZKRESULT OpenByID(uint32_t fileId, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                      ZkFileDescriptor& fileDesc) override;
    ZKRESULT OpenByName(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                        ZkFileDescriptor& fileDesc) override;

    // Not built yet: answers 4 and loads nothing.
    ZKRESULT LoadFilePackage(const wchar_t* fileName, uint32_t& outPackageId);
    // 1 when a package with that id was unlinked, 2 when none is loaded with that id.
    ZKRESULT UnloadFilePackage(uint32_t packageId);
    ZKRESULT UnloadAllFilePackages();
    uint32_t PackageCount() const { return m_packageCount; }

private:
    // The loaded package that holds the file, filling the descriptor; false when none does.
    bool FindInPackages(uint32_t fileId, const wchar_t* fileName, uint32_t openMode, const ZkFileOpenFlags* flags,
                        ZkFileDescriptor& fileDesc);

    uint32_t m_packageCount = 0;
    bool m_observingLanguage = false; // set once the language-change observer is registered
};
} // namespace ZK::StreamMgr
