// ZkAudioBuffer: the one buffer type passed between the stages of the voice and mix pipeline and to
// plug-ins. Samples are 32-bit floats (16-bit integers in buffers written by the 16-bit output
// kernels), planar by default: channel c starts at data + c x maxFrames. The stride between channels
// is the capacity, never the valid frame count.
//
// Threading: a buffer is used by one thread at a time (the one rendering its voice or bus).
// Ownership: the buffer does not own its memory. Pool buffers get and return their samples through
// the audio buffer pool; scratch buffers point at memory of the caller's choosing with
// maxFrames == validFrames.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstddef>
#include <cstdint>

struct ZkAudioBuffer
{
    void* data = nullptr;
    ZkChannelConfig channelConfig;
    ZKRESULT state = ZK_DataNeeded;   // 43 data needed, 45 data ready, 17 no more data, or pass-through
    uint16_t maxFrames = 0;           // capacity per channel, in sample frames
    uint16_t validFrames = 0;         // frames held; never above maxFrames

    // Points the buffer at caller memory (planar, channel stride = frames): a scratch buffer.
    void AttachData(void* samples, uint16_t frames, ZkChannelConfig config)
    {
        data = samples;
        channelConfig = config;
        maxFrames = frames;
        validFrames = frames;
    }

    uint32_t NumChannels() const { return channelConfig.NumChannels(); }
    float* GetChannel(uint32_t channel) const
    {
        return static_cast<float*>(data) + static_cast<size_t>(channel) * maxFrames;
    }
    // The LFE is stored last; null when the configuration has none.
    float* GetLFE() const
    {
        return channelConfig.HasLfe() ? GetChannel(NumChannels() - 1) : nullptr;
    }

    // Turns the planar buffer (pipeline order) into an interleaved one (interleaved order) held in
    // new sample memory from the audio buffer pool, releasing the old memory. Returns 1, or the
    // pool's result (52 out of memory) with the buffer unchanged.
    ZKRESULT ReorderChannelsLfeLast();
};

// Writes the valid frames of a planar buffer (pipeline order) into interleaved memory
// (interleaved order): frame j, position p goes to interleaved[j x channels + p].
void ZkInterleaveValidFrames(const ZkAudioBuffer& planar, float* interleaved);
