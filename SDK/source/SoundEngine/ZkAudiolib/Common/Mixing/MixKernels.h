// The inner loops of the mixer in three forms: a plain scalar reference (the documentation of what
// the loops compute, and the oracle of the tests), an SSE form (4 lanes, 8 frames per step) and an
// AVX2 form (8 lanes with fused multiply-add, 32 frames per step then 8). ZkKernelTables holds the
// form chosen for this processor; ZkMixer's exported functions call through it.
//
// Contract of every form: the output is added to, never overwritten. A gain ramp (gain, step) gives
// frame k the gain gain + k x step. When both |gain| and |step| are below kMinAudibleGain the output
// is not touched at all. Frame counts are multiples of 8 in the engine; other counts are handled
// by a scalar tail so that every form accepts any count.
//
// Threading: the kernels keep no state; any thread may run them on buffers it owns.
// Audio thread: no allocation, no locks.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

#include <cstdint>

namespace ZkMixKernels
{
// 2^-23: the smallest gain or gain step that counts as non-zero (compared on absolute values).
constexpr float kMinAudibleGain = 1.1920929e-7f;

using MixChannelFn = void (*)(const float* in, float* out, float gain, float step, uint32_t frames);
using MixNinNFn = void (*)(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base,
                           const float* previousMatrix, const float* nextMatrix, float oneOverFrames,
                           uint16_t frames);
using MixOneInNFn = void (*)(const float* in, ZkAudioBuffer* out, ZkChannelConfig config,
                             const ZkRamp& base, const float* previousVolumes,
                             const float* nextVolumes, float oneOverFrames, uint16_t frames);

// One form of the three mixer kernels.
struct MixerForm
{
    const char* name;
    MixChannelFn mixChannel;
    MixNinNFn mixNinN;
    MixOneInNFn mixOneInN;
};

// Row stride of a volume matrix: the output channel count rounded up to a multiple of 4.
constexpr uint32_t MatrixRowStride(uint32_t outputChannels)
{
    return (outputChannels + 3u) & ~3u;
}

void MixChannelScalar(const float* in, float* out, float gain, float step, uint32_t frames);
void MixNinNScalar(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base, const float* previousMatrix,
                   const float* nextMatrix, float oneOverFrames, uint16_t frames);
void MixOneInNScalar(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                     const float* previousVolumes, const float* nextVolumes, float oneOverFrames, uint16_t frames);

void MixChannelSse(const float* in, float* out, float gain, float step, uint32_t frames);
void MixNinNSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base, const float* previousMatrix,
                const float* nextMatrix, float oneOverFrames, uint16_t frames);
void MixOneInNSse(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                  const float* previousVolumes, const float* nextVolumes, float oneOverFrames, uint16_t frames);

// Only callable when ZkRuntimeEnvironmentMgr::CanUseAvx2Kernels() is true.
void MixChannelAvx2(const float* in, float* out, float gain, float step, uint32_t frames);
void MixNinNAvx2(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base, const float* previousMatrix,
                 const float* nextMatrix, float oneOverFrames, uint16_t frames);
void MixOneInNAvx2(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                   const float* previousVolumes, const float* nextVolumes, float oneOverFrames, uint16_t frames);

inline constexpr MixerForm kScalarMixer{"scalar", MixChannelScalar, MixNinNScalar, MixOneInNScalar};
inline constexpr MixerForm kSseMixer{"sse", MixChannelSse, MixNinNSse, MixOneInNSse};
inline constexpr MixerForm kAvx2Mixer{"avx2", MixChannelAvx2, MixNinNAvx2, MixOneInNAvx2};
} // namespace ZkMixKernels
