// The sample work of the voice's modulation stage, on one planar channel of `frames` samples:
//   signal: x[k] *= scale x m[k] + offset (an audio-rate modulator's own buffer m);
//   ramp:   x[k] *= start + k x step (a control-rate modulator; step 0 is a constant gain).
// Each gain is computed from k, not accumulated, so a ramp over 1024 frames ends where it should.
//
// The scalar forms are the reference; the AVX2 forms (eight samples per vector) agree with them to
// float rounding and may only be called when ZK::ZkRuntimeEnvironmentMgr::CanUseAvx2Kernels() is
// true. Select() gives the forms this processor runs.
//
// Threading: stateless; render path: no allocation, no locks.
#pragma once

#include <cstdint>

namespace ZkModulationKernels
{
using SignalFn = void (*)(float* samples, uint32_t frames, const float* modulation, float scale, float offset);
using RampFn = void (*)(float* samples, uint32_t frames, float start, float step);

void ApplySignalScalar(float* samples, uint32_t frames, const float* modulation, float scale, float offset);
void ApplyRampScalar(float* samples, uint32_t frames, float start, float step);
void ApplySignalAvx2(float* samples, uint32_t frames, const float* modulation, float scale, float offset);
void ApplyRampAvx2(float* samples, uint32_t frames, float start, float step);

struct Forms
{
    SignalFn signal;
    RampFn ramp;
};
// The AVX2 forms when the processor and the platform settings allow them, else the scalar ones.
Forms Select();
} // namespace ZkModulationKernels
