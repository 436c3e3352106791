// ZkExternalSourceArray: the external sources of one posted event, copied off the caller's array so
// that they outlive the call. One block (memory pool 0) holds a reference count, the count and the
// records; every file name the caller gave is duplicated (pool 0) and the copy points to its
// duplicate. The post, each pending action of the event and each playing record hold a reference;
// the last release frees the names and the block.
//
// Threading: AddRef and Release from any thread (atomic count); the records are read-only once
// made. Ownership: shared by its references.
#pragma once

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
class ZkExternalSourceArray
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // A copy of count records holding one reference; null when count is 0, records is null or memory
    // runs out (nothing is left allocated then).
    static ZkExternalSourceArray* Create(const ZkExternalSourceInfo* records, uint32_t count);

    void AddRef() { m_refCount.fetch_add(1, std::memory_order_relaxed); }
    // The last release frees every name and the block.
    void Release();

    uint32_t Count() const { return m_count; }
    const ZkExternalSourceInfo& Record(uint32_t index) const { return Records()[index]; }
    int32_t RefCount() const { return m_refCount.load(std::memory_order_relaxed); }

private:
    ZkExternalSourceArray() = default;
    ZkExternalSourceInfo* Records() const
    {
        return reinterpret_cast<ZkExternalSourceInfo*>(const_cast<ZkExternalSourceArray*>(this) + 1);
    }
    // Frees the names of the first count records and the block.
    void Free(uint32_t namedRecords);

    std::atomic<int32_t> m_refCount{1};
    uint32_t m_count = 0;
};
static_assert(sizeof(ZkExternalSourceArray) == 8, "a reference count and a count, then the records");
} // namespace ZK::SoundEngine
