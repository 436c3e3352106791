// The resampler's kernels: three kinds (copy when the step is exactly 1.0, fixed step, gliding
// step) for six input forms (16-bit interleaved mono / stereo / N channels, float planar mono /
// stereo / N channels). Every kernel takes (input block, output block, frames wanted, resampler),
// moves the resampler's offsets, phase and history, and returns 45 (output block full) or 43
// (input used up first).
//
// Forms: the scalar reference (one output frame at a time; the documentation and test oracle of
// every cell), the SSE forms (four output frames at a time; 16 frames per step for the 16-bit mono
// and stereo copies, four for the N-channel copy) and the AVX2 forms (eight frames; 32 per step for
// the 16-bit mono and stereo copies) of the cells that have one. The vector forms run whole groups
// of output frames where every lane's frames lie within the block and leave the frames before
// frame 0 and near the block's end to the reference arithmetic (ResamplerVectorKernels.h).
//
// Threading: a kernel changes only the resampler and buffers it is given; audio thread, no
// allocation, no locks.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

#include <cstdint>

class CZkResampler;

namespace ZkResamplerKernels
{
using KernelFn = ZKRESULT (*)(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* resampler);

constexpr uint32_t kRows = 3;    // 0 copy, 1 fixed step, 2 gliding step
constexpr uint32_t kColumns = 6; // 0-2 16-bit mono/stereo/N, 3-5 float mono/stereo/N
constexpr uint32_t kCells = kRows * kColumns;
constexpr uint8_t kUnsupportedColumn = 255;

struct KernelTable
{
    KernelFn cells[kCells];
};

// Scalar reference of every cell (index 6 x row + column).
extern const KernelTable kScalarTable;
// The baseline table (SSE forms) and the table with the AVX2 cells replaced.
KernelTable MakeSseTable();
KernelTable MakeAvx2Table();
} // namespace ZkResamplerKernels
