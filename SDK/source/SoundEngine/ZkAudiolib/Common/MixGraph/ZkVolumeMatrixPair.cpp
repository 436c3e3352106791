#include "ZkAudiolib/Common/MixGraph/ZkVolumeMatrixPair.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT ZkVolumeMatrixPair::Allocate(uint32_t inputCount, uint32_t outputCount)
{
    Free();
    const size_t floats = static_cast<size_t>(inputCount) * RowFloats(outputCount);
    if (floats == 0)
        return ZK_Success;
    auto* block = static_cast<float*>(ZK::MemoryMgr::Malign(kPool, 2 * floats * sizeof(float), kAlignment));
    if (block == nullptr)
        return ZK_InsufficientMemory;
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
