// Module loading over dlopen/dlsym. dlopen reports every failure as one text, so the cause is
// found by looking at the file itself: absent, not an ELF library for this machine, or (being a
// library) failing for another reason such as a missing dependency.
#include "Platform/PlatformModule.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZK::Platform
{
namespace
{
#if defined(__x86_64__)
constexpr uint16_t kHostElfMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr uint16_t kHostElfMachine = EM_AARCH64;
#else
#error "Name this machine's ELF machine number"
#endif

// True when the file starts with the header of a 64-bit shared object for this machine.
bool IsLoadableElf(const char* path)
{
    int descriptor;
    do
    {
        descriptor = open(path, O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
    {
        return false;
    }
    Elf64_Ehdr header{};
    ssize_t got;
    do
    {
        got = pread(descriptor, &header, sizeof(header), 0);
    } while (got < 0 && errno == EINTR);
    close(descriptor);
    return got == static_cast<ssize_t>(sizeof(header)) && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB &&
           header.e_type == ET_DYN && header.e_machine == kHostElfMachine;
}

// dlopen reports memory it could not get in its message only: a segment it could not map, or the
// text of ENOMEM.
bool ReportsOutOfMemory(const char* message)
{
    return message != nullptr && (std::strstr(message, "failed to map segment") != nullptr ||
                                  std::strstr(message, std::strerror(ENOMEM)) != nullptr);
}

ModuleStatus ClassifyLoadFailure(const char* path, const char* message)
{
    if (ReportsOutOfMemory(message))
    {
        return ModuleStatus::OutOfMemory;
    }
    if (std::strchr(path, '/') == nullptr)
    {
        return ModuleStatus::NotFound; // searched for by name and not found on the library path
    }
    struct stat information
    {
    };
    if (stat(path, &information) != 0)
    {
        return errno == ENOENT || errno == ENOTDIR ? ModuleStatus::NotFound : ModuleStatus::Failed;
    }
    if (!S_ISREG(information.st_mode))
    {
        return ModuleStatus::BadFormat;
    }
    if (access(path, R_OK) != 0)
    {
        return ModuleStatus::Failed; // unreadable: its format cannot be told
    }
    return IsLoadableElf(path) ? ModuleStatus::Failed : ModuleStatus::BadFormat;
}
} // namespace

ModuleStatus LoadModule(const char* path, ZkModule& module)
{
    module.nativeHandle = nullptr;
    if (path == nullptr || path[0] == '\0')
    {
        return ModuleStatus::NotFound;
    }
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        return ClassifyLoadFailure(path, dlerror());
    }
    module.nativeHandle = handle;
    return ModuleStatus::Ok;
}

ModuleStatus FindModuleSymbol(const ZkModule& module, const char* symbol, void*& address)
{
    address = nullptr;
    if (!module.IsLoaded() || symbol == nullptr)
    {
        return ModuleStatus::Failed;
    }
    dlerror(); // clear an earlier error of this thread
    void* found = dlsym(module.nativeHandle, symbol);
    // A symbol whose value is null is of no use to a caller either.
    if (dlerror() != nullptr || found == nullptr)
    {
        return ModuleStatus::MissingSymbol;
    }
    address = found;
    return ModuleStatus::Ok;
}

void UnloadModule(ZkModule& module)
{
    if (module.IsLoaded())
    {
        dlclose(module.nativeHandle);
        module.nativeHandle = nullptr;
    }
}
} // namespace ZK::Platform
