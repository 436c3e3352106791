// CZkMultipleFileLocation: the base paths under which loose files are looked for (the one added
// last is tried first), the path rule (base path, then the language folder for language-specific
// reads, then the name; at most 259 characters) and the opening of a loose file.
//
// Threading: no lock of its own; its owner (the low-level I/O object) guards every call.
// Ownership: owns the base-path nodes (memory id 7). A file it opens is handed over in the
// descriptor's fileHandle (a Platform::ZkFile, memory id 7) and closed by the hook's Close.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstddef>
#include <cstdint>

namespace ZK::StreamMgr
{
constexpr size_t kMaxPathChars = 260; // path buffer, terminator included: paths of 259 characters
constexpr wchar_t kPathSeparator = L'/';

class CZkMultipleFileLocation
{
public:
    CZkMultipleFileLocation() = default;
    ~CZkMultipleFileLocation() { RemoveAllBasePaths(); }
    CZkMultipleFileLocation(const CZkMultipleFileLocation&) = delete;
    CZkMultipleFileLocation& operator=(const CZkMultipleFileLocation&) = delete;

    // Pushes the path, with a separator appended, at the head of the list, when its length plus the
    // current language's plus 2 stays below 260. 31 for a null or too long path, 52 without memory.
    ZKRESULT AddBasePath(const wchar_t* path);
    void RemoveAllBasePaths();
    uint32_t BasePathCount() const;

    // Builds base + [language + separator] + name into path (kMaxPathChars). 31 for a null name or
    // one of 260 characters or more; 2 when the whole path (the base path included, which is never
    // cut short) would not fit in 259 characters.
    static ZKRESULT BuildPath(const wchar_t* name, const ZkFileOpenFlags* flags, uint32_t openMode,
                              const wchar_t* basePath, wchar_t* path);
    // Opens the file under each base path in turn (or relative to the working directory when there
    // is none): 1 for the first that opens, else 2.
    ZKRESULT OpenLoose(const wchar_t* name, uint32_t openMode, const ZkFileOpenFlags* flags,
                       ZkFileDescriptor& fileDesc);
    // Opens one path: 1 (fileHandle and fileSize set); 66 when the file or its folder does not exist;
    // 31 for an unknown open mode; 2 otherwise.
    static ZKRESULT OpenFile(const wchar_t* path, uint32_t openMode, ZkFileDescriptor& fileDesc);
    // Flushes and closes a file OpenFile opened and clears fileHandle: 1, or 2 when the close fails.
    static ZKRESULT CloseFile(ZkFileDescriptor& fileDesc);

private:
    struct BasePath
    {
        BasePath* next;
        wchar_t path[1]; // the rest of the node holds the path and its terminator
    };
    BasePath* m_basePaths = nullptr;
};
} // namespace ZK::StreamMgr
