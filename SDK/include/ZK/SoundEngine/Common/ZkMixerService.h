// ZkMixerService: the engine's mixing routines offered to plug-ins, one process-wide instance
// reached through the global plug-in context. Each operation forwards to the exported ZkMixer
// routine of the same name; the mix operations take the gains of the buffer's first and last frame
// (previous, next) and spread the change over the output buffer's maximum frames.
//
// Threading: stateless; any rendering thread, on buffers it owns.
// Ownership: the instance lives from its first use to the end of the process.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

#include <cstdint>

namespace ZK
{
class ZkMixerService
{
public:
    virtual ~ZkMixerService() = default;
    // Matrix mix of in into out (volume-matrix layout of ZkMixer), out->maxFrames frames.
    virtual void MixNinNChannels(ZkAudioBuffer* in, ZkAudioBuffer* out, float previousGain, float nextGain,
                                 const float* previousMatrix, const float* nextMatrix);
    // One channel into every channel of out but its LFE, out->maxFrames frames.
    virtual void MixOneInNChannels(float* in, ZkAudioBuffer* out, float previousGain, float nextGain,
                                   const float* previousVolumes, const float* nextVolumes);
    // One channel into one over frames frames; nothing for 0 frames.
    virtual void MixChannel(float* in, float* out, float previousGain, float nextGain, uint32_t frames);
    virtual void ApplyGainAndInterleave(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort);
    virtual void ApplyGain(ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort);

    // The process-wide instance, created on first use.
    static ZkMixerService* Get();
};
} // namespace ZK
