// CZkFilePackageLowLevelIOBlocking: the game's low-level I/O object, resolver and blocking hook of
// its single stream device. A file is looked for in the loaded file packages first, newest first,
// then as a loose file under the base paths. A file found in a package is read through the
// package's own file handle at the entry's position (start block × block size); its descriptor
// holds a reference on the package, which Close drops.
//
// Packages: LoadFilePackage opens the package file, reads and checks its header and links it at the
// head of the list; UnloadFilePackage unlinks it. An unlinked package whose files are still open
// stays, invisible to look-ups, until the last of them closes; then its file closes and its memory
// goes. Every package follows the stream manager's current language (an observer registered when
// the first package loads).
//
// Threading: as CZkDefaultIOHookBlocking: the package list, the references and the look-ups are
// guarded by the object's lock (recursive); a package's header is read without it and a package is
// destroyed after it is released. Init and Term run on the thread that sets the stream manager up
// and tears it down. Ownership: the object belongs to its creator; Init creates the stream device
// it serves and Term destroys it; the object owns the packages in its list.
#pragma once

#include "StreamMgr/CZkDefaultIOHookBlocking.h"

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkFilePackage;
class CZkDiskPackage;

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
    // A file in a package drops its reference on the package (1); a loose file is closed.
    ZKRESULT Close(ZkFileDescriptor& fileDesc) override;

    // 1 loaded; 22 loaded, but the current language is not in the package's language map of two or
    // more entries (language id 0); the open's result, or 2 for anything that is not a package or
    // out of memory, with nothing loaded. outPackageId: the id of the file name as given.
    ZKRESULT LoadFilePackage(const wchar_t* fileName, uint32_t& outPackageId);
    // Unlinks the newest package with that id: 1; 2 when none is loaded with that id.
    ZKRESULT UnloadFilePackage(uint32_t packageId);
    // Unlinks every package: 1.
    ZKRESULT UnloadAllFilePackages();
    uint32_t PackageCount();

protected:
    // Runs after every file found in a package, with the descriptor filled. Does nothing here.
    virtual void OnFileFoundInPackage(CZkFilePackage& /*package*/, ZkFileDescriptor& /*fileDesc*/) {}

private:
    enum class PackageKey
    {
        FileId,     // 32-bit id: banks first for a bank open, then streamed files
        ExternalId, // 64-bit id of an external file
    };
    // The newest package holding the file, which fills the descriptor and gains a reference.
    bool FindInPackages(PackageKey key, uint64_t id, const ZkFileOpenFlags& flags, ZkFileDescriptor& fileDesc);
    // Links a loaded package at the head of the list and counts it.
    void LinkPackage(CZkDiskPackage* package);
    // Unlinks the package after previous (null: the head) and drops the list's reference; true when
    // that was the last reference, and the caller destroys the package once it left the lock.
    bool UnlinkPackage(CZkFilePackage* previous, CZkFilePackage* package);
    static bool DropReference(CZkFilePackage* package);
    static void OnLanguageChanged(const wchar_t* languageName, void* cookie);

    CZkFilePackage* m_packages = nullptr; // newest first
    uint32_t m_packageCount = 0;
    bool m_observingLanguage = false; // set once the language-change observer is registered
};
} // namespace ZK::StreamMgr
