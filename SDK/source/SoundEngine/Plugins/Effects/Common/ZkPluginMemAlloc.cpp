// The engine's plug-in allocators (see ZkPluginMemAlloc.h).
#include "ZkPluginMemAlloc.h"

CZkPluginMemAlloc& CZkPluginMemAlloc::ForParameters()
{
    static CZkPluginMemAlloc allocator(ZkMemID_BankObjects);
    return allocator;
}

CZkPluginMemAlloc& CZkPluginMemAlloc::ForInstances()
{
    static CZkPluginMemAlloc allocator(ZkMemID_ProcessingPlugins);
    return allocator;
}

void* CZkPluginMemAlloc::Malloc(size_t size, const char*, uint32_t)
{
    return ZK::MemoryMgr::Malign(m_poolId, size, kDefaultAlignmentBytes);
}

void CZkPluginMemAlloc::Free(void* block)
{
    ZK::MemoryMgr::Free(m_poolId, block);
}

void* CZkPluginMemAlloc::Malign(size_t size, uint32_t alignment, const char*, uint32_t)
{
    return ZK::MemoryMgr::Malign(m_poolId, size, alignment);
}

void* CZkPluginMemAlloc::Realloc(void* block, size_t size, const char*, uint32_t)
{
    return ZK::MemoryMgr::ReallocAligned(m_poolId, block, size, kDefaultAlignmentBytes);
}

void* CZkPluginMemAlloc::ReallocAligned(void* block, size_t size, uint32_t alignment, const char*, uint32_t)
{
    return ZK::MemoryMgr::ReallocAligned(m_poolId, block, size, alignment);
}
