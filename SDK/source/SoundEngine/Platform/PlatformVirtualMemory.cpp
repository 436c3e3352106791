// Virtual memory over mmap: a reserved page is mapped without access (PROT_NONE, no swap
// reservation), committing makes it read-write, decommitting drops its contents (MADV_DONTNEED,
// so it reads as zero when committed again) and takes the access away.
#include "Platform/PlatformVirtualMemory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace ZK::Platform
{
namespace
{
struct PageRange
{
    void* start;
    size_t size;
};

// The whole pages that hold [address, address + size), as the system's page calls expect.
PageRange CoveringPages(void* address, size_t size)
{
    const uintptr_t pageMask = PageSize() - 1;
    const uintptr_t first = reinterpret_cast<uintptr_t>(address) & ~pageMask;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(address) + size + pageMask) & ~pageMask;
    return {reinterpret_cast<void*>(first), end - first};
}

size_t RoundUpToPages(size_t size)
{
    const size_t pageMask = PageSize() - 1;
    return (size + pageMask) & ~pageMask;
}

void* MapPages(size_t size, int protection)
{
    if (size == 0 || size > SIZE_MAX - PageSize())
    {
        return nullptr;
    }
    void* address =
        mmap(nullptr, RoundUpToPages(size), protection, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}
} // namespace

size_t PageSize()
{
    static const size_t pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return pageSize;
}

size_t AllocationGranularity()
{
    return PageSize();
}

void* ReserveAddressRange(size_t size)
{
    return MapPages(size, PROT_NONE);
}

void* ReserveAndCommit(size_t size)
{
    return MapPages(size, PROT_READ | PROT_WRITE);
}

bool CommitPages(void* address, size_t size)
{
    if (address == nullptr || size == 0)
    {
        return false;
    }
    const PageRange pages = CoveringPages(address, size);
    return mprotect(pages.start, pages.size, PROT_READ | PROT_WRITE) == 0;
}

bool DecommitPages(void* address, size_t size)
{
    if (address == nullptr || size == 0)
    {
        return false;
    }
    const PageRange pages = CoveringPages(address, size);
    return madvise(pages.start, pages.size, MADV_DONTNEED) == 0 &&
           mprotect(pages.start, pages.size, PROT_NONE) == 0;
}

bool ReleaseAddressRange(void* address, size_t size)
{
    if (address == nullptr || size == 0)
    {
        return false;
    }
    const PageRange pages = CoveringPages(address, size);
    return munmap(pages.start, pages.size) == 0;
}
} // namespace ZK::Platform
