// A view of device I/O memory: one buffer handed out by a CZkIOMemoryPool, with the file data it
// holds when the stream cache indexes it.
#pragma once

#include <cstdint>

namespace ZK::MemoryMgr
{
constexpr uint32_t kViewNotIndexed = 0xFFFFFFFFu; // file key of a view outside the cache index

struct ZkIOMemoryView
{
    uint64_t position;   // file position of the data in the view
    char* address;       // start of the view's memory in the region
    void* nextOrOwner;   // released: next in the released list; in use: the user of the last keying
    uint32_t dataSize;   // bytes of file data the view holds (the size requested)
    uint32_t blockSize;  // bytes taken from the region (0 for a copy, which owns no memory)
    uint32_t fileKey;    // kViewNotIndexed when not in the cache index
    uint16_t refCount;
};
} // namespace ZK::MemoryMgr
