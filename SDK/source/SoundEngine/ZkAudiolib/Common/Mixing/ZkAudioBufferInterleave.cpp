// Interleaving a planar buffer into the outside channel order, and the in-place reorder of the
// final mix that the output sink asks for.
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

void ZkInterleaveValidFrames(const ZkAudioBuffer& planar, float* interleaved)
{
    const ZkChannelConfig config = planar.channelConfig;
    const uint32_t channels = config.NumChannels();
    for (uint32_t p = 0; p < channels; ++p)
    {
        const float* source = planar.GetChannel(config.InterleavedToPipeline(p));
        for (uint32_t j = 0; j < planar.validFrames; ++j)
            interleaved[static_cast<size_t>(j) * channels + p] = source[j];
    }
}

// The sample memory comes from the audio buffer pool, which the engine's front end provides and
// which does not exist yet: until it does, the reorder answers "not implemented" and leaves the
// buffer as it was (the pool's failure path).
ZKRESULT ZkAudioBuffer::ReorderChannelsLfeLast()
{
    return ZK_NotImplemented;
}
