// Files by wide-character name (converted to UTF-8 at the system boundary; '/' separates folders,
// names are case-sensitive). Reads and writes are positional and report the bytes they moved: a
// read at or near the end of a file is short, never an error.
//
// Thread safety: a ZkFile may be read and written at positions from several threads at once;
// Open and Close belong to its owner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ZK::Platform
{
enum class FileOpenMode
{
    Read,              // existing file, read only
    Write,             // create or truncate, write only
    ReadWrite,         // existing file, read and write
    ReadWriteCreate,   // open or create, read and write
    WriteOpenOrCreate, // open or create, write only, existing contents kept
};

enum class FileStatus
{
    Ok,
    NotFound,     // no such file or folder on the path
    AccessDenied, // no permission, or the name is a folder
    Failed,       // any other failure
};

class ZkFile
{
public:
    ZkFile() = default;
    ~ZkFile();
    ZkFile(const ZkFile&) = delete;
    ZkFile& operator=(const ZkFile&) = delete;
    ZkFile(ZkFile&& other) noexcept;
    ZkFile& operator=(ZkFile&& other) noexcept;

    // Opens a regular file (a folder answers AccessDenied). A file already open here is closed first.
    FileStatus Open(const wchar_t* name, FileOpenMode mode);
    FileStatus OpenUtf8(const char* name, FileOpenMode mode);
    bool IsOpen() const { return m_descriptor >= 0; }
    // Closes the file (the descriptor is given up even when the system reports a failure).
    FileStatus Close();

    // Reads up to size bytes at position; bytesRead tells how many were read (0 at end of file).
    FileStatus ReadAt(uint64_t position, void* buffer, size_t size, size_t& bytesRead) const;
    FileStatus WriteAt(uint64_t position, const void* buffer, size_t size, size_t& bytesWritten);
    FileStatus Size(uint64_t& size) const;
    FileStatus Flush();

private:
    int m_descriptor = -1;
};

struct FileAttributes
{
    bool exists = false;
    bool isDirectory = false;
};

FileAttributes GetFileAttributes(const wchar_t* name);
} // namespace ZK::Platform
