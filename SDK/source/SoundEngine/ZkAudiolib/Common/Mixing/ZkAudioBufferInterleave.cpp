// Interleaving a planar buffer into the outside channel order, and the in-place reorder of the
// final mix that the output sink asks for.
#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"

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

// The output sink asks for the final mix in the device's channel order, frame after frame. The
// interleaved copy is written into fresh pool memory, so the planar samples are never overwritten
// while they are still being read; when the pool has no memory, the buffer is left as it was.
ZKRESULT ZkAudioBuffer::ReorderChannelsLfeLast()
{
    ZkAudioBuffer interleaved;
    interleaved.channelConfig = channelConfig;
    interleaved.maxFrames = maxFrames;
    const ZKRESULT taken = ZK::SoundEngine::AudioBufferPool::GetCachedBuffer(interleaved);
    if (taken != ZK_Success)
        return taken;

    ZkInterleaveValidFrames(*this, static_cast<float*>(interleaved.data));
    interleaved.validFrames = validFrames;
    interleaved.state = state;
    ZK::SoundEngine::AudioBufferPool::ReleaseCachedBuffer(*this);
    *this = interleaved;
    return ZK_Success;
}
