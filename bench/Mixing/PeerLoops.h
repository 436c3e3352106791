// Plain loops the kernels are compared with, compiled twice by the build: once with vectorisation
// switched off (PeerLoopsScalar.cpp) and once at -O3 -march=native (PeerLoopsNative.cpp), so the
// table shows what the compiler alone makes of the same loop.
#pragma once

#include <cstdint>

namespace PeerScalar
{
void MixChannel(const float* in, float* out, float gain, float step, uint32_t frames);
void InterleaveStereo(const float* left, const float* right, float* out, float gain, uint32_t frames);
void BiquadDirectFormOne(const float* in, float* out, uint32_t frames, const float* coefficients, float* state);
void BiquadTransposedDirectFormTwo(const float* in, float* out, uint32_t frames, const float* coefficients, float* state);
} // namespace PeerScalar

namespace PeerNative
{
void MixChannel(const float* in, float* out, float gain, float step, uint32_t frames);
void InterleaveStereo(const float* left, const float* right, float* out, float gain, uint32_t frames);
void BiquadDirectFormOne(const float* in, float* out, uint32_t frames, const float* coefficients, float* state);
void BiquadTransposedDirectFormTwo(const float* in, float* out, uint32_t frames, const float* coefficients, float* state);
} // namespace PeerNative
