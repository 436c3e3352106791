// The engine's implementation of ZK::IZkPluginMemAlloc: every call goes to ZK::MemoryMgr with the
// allocator's pool id. Malloc and Realloc are aligned allocations of 16 bytes, so plug-ins always
// get memory fit for SSE loads and stores.
//
// Two instances live for the whole run: ForParameters (pool 2, plug-in parameter objects; the global
// plug-in context hands it out) and ForInstances (pool 6, plug-in instances: effects, mixers,
// sources, sinks, and the voices' filter memory).
//
// Threading: as the memory manager (any thread between its Init and Term).
// Ownership: blocks are freed through the allocator that gave them.
#pragma once

#include <ZK/SoundEngine/Common/IZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

class CZkPluginMemAlloc final : public ZK::IZkPluginMemAlloc
{
public:
    static constexpr uint32_t kDefaultAlignmentBytes = 16;

    explicit CZkPluginMemAlloc(ZkMemoryId poolId) : m_poolId(poolId) {}

    static CZkPluginMemAlloc& ForParameters();
    static CZkPluginMemAlloc& ForInstances();

    void* Malloc(size_t size, const char* file, uint32_t line) override;
    void Free(void* block) override;
    void* Malign(size_t size, uint32_t alignment, const char* file, uint32_t line) override;
    void* Realloc(void* block, size_t size, const char* file, uint32_t line) override;
    void* ReallocAligned(void* block, size_t size, uint32_t alignment, const char* file, uint32_t line) override;

    ZkMemoryId GetPoolId() const { return m_poolId; }

private:
    ZkMemoryId m_poolId;
};
