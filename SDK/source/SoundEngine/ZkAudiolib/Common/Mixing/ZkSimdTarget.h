// Marks a function compiled for AVX2 with fused multiply-add. Only these functions use the wider
// instructions; the rest of their file (and every inline function of a shared header) is compiled
// for the baseline, so a linker that keeps one copy of an inline function can never hand an
// AVX-only copy to code running on a processor without AVX. Call such functions only when
// ZK::ZkRuntimeEnvironmentMgr::CanUseAvx2Kernels() is true.
#pragma once

#define ZK_TARGET_AVX2 __attribute__((target("avx2,fma")))
