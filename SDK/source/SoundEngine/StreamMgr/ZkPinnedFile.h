// ZkPinnedFile: one file kept in the stream cache on behalf of the engine, with its caching stream
// and the priorities of the pins that hold it (several parts of the engine may pin one file).
//
// Threading: used only by the stream manager's pinning operations (one thread at a time).
// Ownership: allocated by the manager (memory id 0); owns its caching stream (destroyed through the
// stream's Destroy when the last pin goes) and its priority list (memory id 0, once it holds more
// than the one priority the record has room for).
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>

#include <cstdint>

namespace ZK::StreamMgr
{
struct ZkPinnedFile
{
    IZkAutomaticStream* cachingStream;
    int32_t pinCount;
    int8_t inlinePriority;   // the list while its capacity is 1
    int8_t* heapPriorities;  // the list from its second priority on
    uint32_t priorityCount;
    uint32_t priorityCapacity;

    int8_t* Priorities() { return heapPriorities ? heapPriorities : &inlinePriority; }
    // False, with nothing changed, when the list cannot grow.
    bool AppendPriority(int8_t priority);
    // Removes the first pin of that priority (the last priority takes its place); false when none.
    bool RemoveFirstPriority(int8_t priority);
    // The first pin of the old priority takes the new one; false when none has it.
    bool ReplaceFirstPriority(int8_t oldPriority, int8_t newPriority);
    // The largest priority, counted from 0.
    int8_t HighestPriority();
    void FreePriorities();
};

struct ZkPinnedFileEntry
{
    uint32_t fileId;
    ZkPinnedFile* pinnedFile;
};
} // namespace ZK::StreamMgr
