#include "StreamMgr/ZkPinnedFile.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "StreamMgr/ZkGrowableArray.h"

#include <cstring>

namespace ZK::StreamMgr
{
bool ZkPinnedFile::AppendPriority(int8_t priority)
{
    if (priorityCount == priorityCapacity)
    {
        const uint32_t capacity = ZkGrowableArray<int8_t>::NextCapacity(priorityCapacity);
        if (capacity > 1)
        {
            void* grown = heapPriorities ? ZK::MemoryMgr::ReallocAligned(ZkMemID_Default, heapPriorities, capacity, 1)
                                         : ZK::MemoryMgr::Malign(ZkMemID_Default, capacity, 1);
            if (!grown)
                return false;
            if (!heapPriorities && priorityCount > 0)
                std::memcpy(grown, &inlinePriority, priorityCount);
            heapPriorities = static_cast<int8_t*>(grown);
        }
        priorityCapacity = capacity;
    }
    Priorities()[priorityCount++] = priority;
    return true;
}

bool ZkPinnedFile::RemoveFirstPriority(int8_t priority)
{
    int8_t* priorities = Priorities();
    for (uint32_t index = 0; index < priorityCount; ++index)
    {
        if (priorities[index] == priority)
        {
            priorities[index] = priorities[priorityCount - 1];
            --priorityCount;
            return true;
        }
    }
    return false;
}

bool ZkPinnedFile::ReplaceFirstPriority(int8_t oldPriority, int8_t newPriority)
{
    int8_t* priorities = Priorities();
    for (uint32_t index = 0; index < priorityCount; ++index)
    {
        if (priorities[index] == oldPriority)
        {
            priorities[index] = newPriority;
            return true;
        }
    }
    return false;
}

int8_t ZkPinnedFile::HighestPriority()
{
    int8_t highest = 0;
    const int8_t* priorities = Priorities();
    for (uint32_t index = 0; index < priorityCount; ++index)
    {
        if (priorities[index] > highest)
            highest = priorities[index];
    }
    return highest;
}

void ZkPinnedFile::FreePriorities()
{
    if (heapPriorities)
        ZK::MemoryMgr::Free(ZkMemID_Default, heapPriorities);
    heapPriorities = nullptr;
    priorityCount = 0;
    priorityCapacity = 0;
}
} // namespace ZK::StreamMgr
