// ZkMixer: the exported mixing services of the engine. The mixing functions add one buffer into
// another through gain ramps (one channel into one, one into N, N into N through volume matrices,
// optionally through a voice's filter pair); the gain functions apply a ramp and can interleave the
// planar pipeline layout into the outside channel order, in float or 16-bit samples.
//
// Ramps: MixChannel gives frame k the gain gain + k x gainStep; the matrix functions derive each
// channel's (gain, step) from the previous and next matrices, the base ramp and oneOverFrames;
// ApplyGain and ApplyGainAndInterleave spread their ramp over the input's maximum frames.
// Frame counts are multiples of 8 (the engine's frames per buffer).
//
// Threading: stateless apart from the filter pair passed in; any rendering thread, on buffers it
// owns. The kernels were chosen for this processor when the renderer started (ZkKernelTables).
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

class CZkSrcLpHpFilter;

namespace ZkMixer
{
void MixChannel(float* in, float* out, float gain, float gainStep, unsigned int frames);
void MixOneInNChannels(float* in, ZkAudioBuffer* out, ZkChannelConfig config, ZkRamp& base,
                       const float* previousVolumes, const float* nextVolumes, float oneOverFrames,
                       unsigned short frames);
void MixNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp& base, const float* previousMatrix,
                     const float* nextMatrix, float oneOverFrames, unsigned short frames);
void MixFilterNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp& base, const float* previousMatrix,
                           const float* nextMatrix, float oneOverFrames, unsigned short frames,
                           CZkSrcLpHpFilter* filter);
void MixBypassNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp& base, const float* previousMatrix,
                           const float* nextMatrix, float oneOverFrames, unsigned short frames,
                           CZkSrcLpHpFilter* filter);
void ApplyGain(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort);
void ApplyGainAndInterleave(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort);
} // namespace ZkMixer
