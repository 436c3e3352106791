#include "ZkAudiolib/Common/Positioning/ZkVolumeMatrixPair.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT ZkVolumeMatrixPair::Allocate(uint32_t inputCount, uint32_t outputCount)
{
    const size_t floats = static_cast<size_t>(inputCount) * RowFloats(outputCount);
    // A block of the same size is kept (a change from 6 to 7 outputs keeps the rows of 8 floats);
    // it is cleared all the same, as a new one would be.
    float* block = nullptr;
    if (current != nullptr && floats == MatrixFloats())
    {
        block = current < previous ? current : previous;
    }
    else
    {
        Free();
        if (floats == 0)
            return ZK_Success;
        block = static_cast<float*>(ZK::MemoryMgr::Malign(kPool, 2 * floats * sizeof(float), kAlignment));
        if (block == nullptr)
            return ZK_InsufficientMemory;
    }
    std::memset(block, 0, 2 * floats * sizeof(float));
    current = block;
    previous = block + floats;
    inputs = inputCount;
    outputs = outputCount;
    return ZK_Success;
}

void ZkVolumeMatrixPair::Free()
{
    if (current != nullptr)
        ZK::MemoryMgr::Free(kPool, current < previous ? current : previous);
    current = nullptr;
    previous = nullptr;
    inputs = 0;
    outputs = 0;
}

void ZkVolumeMatrixPair::CopyCurrentToPrevious()
{
    if (current != nullptr)
        std::memcpy(previous, current, static_cast<size_t>(MatrixFloats()) * sizeof(float));
}
} // namespace ZK::SoundEngine
