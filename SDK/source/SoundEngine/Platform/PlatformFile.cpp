// Files over POSIX descriptors. Wide names are converted exactly to UTF-8: a name holding a
// character UTF-8 cannot carry fails instead of naming some other file.
#include "Platform/PlatformFile.h"

#include "Platform/PlatformText.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace ZK::Platform
{
namespace
{
constexpr mode_t kNewFilePermissions = 0666; // narrowed by the process umask

FileStatus StatusFromErrno(int error)
{
    switch (error)
    {
    case ENOENT:
    case ENOTDIR:
        return FileStatus::NotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
        return FileStatus::AccessDenied;
    default:
        return FileStatus::Failed;
    }
}

int OpenFlags(FileOpenMode mode)
{
    switch (mode)
    {
    case FileOpenMode::Read:
        return O_RDONLY;
    case FileOpenMode::Write:
        return O_WRONLY | O_CREAT | O_TRUNC;
    case FileOpenMode::ReadWrite:
        return O_RDWR;
    case FileOpenMode::ReadWriteCreate:
        return O_RDWR | O_CREAT;
    case FileOpenMode::WriteOpenOrCreate:
        return O_WRONLY | O_CREAT;
    }
    return -1;
}
} // namespace

ZkFile::~ZkFile()
{
    Close();
}

ZkFile::ZkFile(ZkFile&& other) noexcept : m_descriptor(std::exchange(other.m_descriptor, -1))
{
}

ZkFile& ZkFile::operator=(ZkFile&& other) noexcept
{
    if (this != &other)
    {
        Close();
        m_descriptor = std::exchange(other.m_descriptor, -1);
    }
    return *this;
}

FileStatus ZkFile::Open(const wchar_t* name, FileOpenMode mode)
{
    char utf8Name[PATH_MAX];
    if (!WideToUtf8Exact(name, utf8Name, sizeof(utf8Name)))
    {
        Close();
        return FileStatus::Failed;
    }
    return OpenUtf8(utf8Name, mode);
}

FileStatus ZkFile::OpenUtf8(const char* name, FileOpenMode mode)
{
    Close();
    const int flags = OpenFlags(mode);
    if (name == nullptr || flags < 0)
    {
        return FileStatus::Failed;
    }
    int descriptor;
    do
    {
        descriptor = open(name, flags | O_CLOEXEC, kNewFilePermissions);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
    {
        return StatusFromErrno(errno);
    }
    // A folder opens read-only on Linux but is not a file to read from.
    struct stat information
    {
    };
    if (fstat(descriptor, &information) != 0 || S_ISDIR(information.st_mode))
    {
        const int error = S_ISDIR(information.st_mode) ? EISDIR : errno;
        close(descriptor);
        return StatusFromErrno(error);
    }
    m_descriptor = descriptor;
    return FileStatus::Ok;
}

FileStatus ZkFile::Close()
{
    if (m_descriptor < 0)
    {
        return FileStatus::Ok;
    }
    // No retry on EINTR: Linux has released the descriptor whatever close reports.
    const int result = close(std::exchange(m_descriptor, -1));
    return result == 0 ? FileStatus::Ok : StatusFromErrno(errno);
}

FileStatus ZkFile::ReadAt(uint64_t position, void* buffer, size_t size, size_t& bytesRead) const
{
    bytesRead = 0;
    if (m_descriptor < 0 || (buffer == nullptr && size != 0) || position > static_cast<uint64_t>(INT64_MAX))
    {
        return FileStatus::Failed;
    }
    auto* next = static_cast<unsigned char*>(buffer);
    while (bytesRead < size)
    {
        const ssize_t moved =
            pread(m_descriptor, next + bytesRead, size - bytesRead, static_cast<off_t>(position + bytesRead));
        if (moved < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            return StatusFromErrno(errno);
        }
        if (moved == 0)
        {
            break; // end of file
        }
        bytesRead += static_cast<size_t>(moved);
    }
    return FileStatus::Ok;
}

FileStatus ZkFile::WriteAt(uint64_t position, const void* buffer, size_t size, size_t& bytesWritten)
{
    bytesWritten = 0;
    if (m_descriptor < 0 || (buffer == nullptr && size != 0) || position > static_cast<uint64_t>(INT64_MAX))
    {
        return FileStatus::Failed;
    }
    const auto* next = static_cast<const unsigned char*>(buffer);
    while (bytesWritten < size)
    {
        const ssize_t moved = pwrite(m_descriptor, next + bytesWritten, size - bytesWritten,
                                     static_cast<off_t>(position + bytesWritten));
        if (moved < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            return StatusFromErrno(errno);
        }
        if (moved == 0)
        {
            return FileStatus::Failed; // the device takes nothing more
        }
        bytesWritten += static_cast<size_t>(moved);
    }
    return FileStatus::Ok;
}

FileStatus ZkFile::Size(uint64_t& size) const
{
    size = 0;
    struct stat information
    {
    };
    if (m_descriptor < 0)
    {
        return FileStatus::Failed;
    }
    if (fstat(m_descriptor, &information) != 0)
    {
        return StatusFromErrno(errno);
    }
    size = static_cast<uint64_t>(information.st_size);
    return FileStatus::Ok;
}

FileStatus ZkFile::Flush()
{
    if (m_descriptor < 0)
    {
        return FileStatus::Failed;
    }
    return fsync(m_descriptor) == 0 ? FileStatus::Ok : StatusFromErrno(errno);
}

FileAttributes GetFileAttributes(const wchar_t* name)
{
    FileAttributes attributes;
    char utf8Name[PATH_MAX];
    struct stat information
    {
    };
    if (!WideToUtf8Exact(name, utf8Name, sizeof(utf8Name)) || stat(utf8Name, &information) != 0)
    {
        return attributes;
    }
    attributes.exists = true;
    attributes.isDirectory = S_ISDIR(information.st_mode);
    return attributes;
}
} // namespace ZK::Platform
