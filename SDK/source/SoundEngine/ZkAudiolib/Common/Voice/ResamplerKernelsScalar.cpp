// Scalar reference of every cell of the resampler's kernel table.
#include "ResamplerKernelCore.h"
#include "ZkResamplerKernels.h"

namespace ZkResamplerKernels
{
const KernelTable kScalarTable = {{
    // row 0: copy
    CopyScalar<ShortInput<1>, false>,
    CopyScalar<ShortInput<2>, false>,
    CopyScalar<ShortInput<0>, true>,
    CopyScalar<FloatInput<0>, true>,
    CopyScalar<FloatInput<0>, true>,
    CopyScalar<FloatInput<0>, true>,
    // row 1: fixed step
    InterpolateScalar<ShortInput<1>, false, false>,
    InterpolateScalar<ShortInput<2>, false, false>,
    InterpolateScalar<ShortInput<0>, true, false>,
    InterpolateScalar<FloatInput<1>, false, false>,
    InterpolateScalar<FloatInput<2>, false, false>,
    InterpolateScalar<FloatInput<0>, false, false>,
    // row 2: gliding step
    InterpolateScalar<ShortInput<1>, false, true>,
    InterpolateScalar<ShortInput<2>, false, true>,
    InterpolateScalar<ShortInput<0>, true, true>,
    InterpolateScalar<FloatInput<1>, false, true>,
    InterpolateScalar<FloatInput<2>, false, true>,
    InterpolateScalar<FloatInput<0>, true, true>,
}};
} // namespace ZkResamplerKernels
