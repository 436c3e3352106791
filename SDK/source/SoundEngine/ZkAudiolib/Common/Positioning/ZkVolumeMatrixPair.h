// ZkVolumeMatrixPair: the current and the previous volume matrix of one mix entry, in one block.
// Each matrix has a row per input channel and the output channel count rounded up to 4 floats per
// row; the mixing kernels ramp each gain from the previous matrix to the current one across the
// frame. The positioning step swaps the two before it writes the new current matrix.
//
// Threading: the thread computing the entry's positioning, then the one mixing it.
// Ownership: the block (memory pool 5, 16-byte aligned) belongs to the pair; Free gives it back.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkVolumeMatrixPair
{
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr uint32_t kAlignment = 16;

    float* current = nullptr;
    float* previous = nullptr;
    uint32_t inputs = 0;
    uint32_t outputs = 0;

    static uint32_t RowFloats(uint32_t outputs) { return (outputs + 3u) & ~3u; }
    uint32_t MatrixFloats() const { return inputs * RowFloats(outputs); }
    bool IsAllocated() const { return current != nullptr; }

    // A block for inputs x outputs (both matrices cleared, the previous one in the second half);
    // a block of the same size is kept, another one freed first. 1, or 52 with the pair left
    // empty.
    ZKRESULT Allocate(uint32_t inputCount, uint32_t outputCount);
    void Free();
    void Swap()
    {
        float* held = current;
        current = previous;
        previous = held;
    }
    // The previous matrix takes the current one (a new matrix starts without a ramp).
    void CopyCurrentToPrevious();
};
} // namespace ZK::SoundEngine
