#include "MemoryMgr/DefaultPageHooks.h"

#include "Platform/PlatformVirtualMemory.h"

namespace ZK::MemoryMgr
{
void* DefaultPageAlloc(size_t size, void** /*outCookie*/)
{
    return Platform::ReserveAndCommit(size);
}

void DefaultPageFree(void* address, size_t size, void* /*cookie*/, size_t releaseSize)
{
    if (releaseSize != 0)
        Platform::ReleaseAddressRange(address, releaseSize);
    else
        Platform::DecommitPages(address, size);
}
} // namespace ZK::MemoryMgr
