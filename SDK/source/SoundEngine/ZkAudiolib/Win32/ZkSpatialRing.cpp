#include "ZkAudiolib/Win32/ZkSpatialRing.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
void ZkSampleRing::ReadInto(float* out, uint32_t count)
{
    const uint32_t first = std::min(count, capacity - readIndex);
    std::memcpy(out, data + readIndex, sizeof(float) * first);
    std::memcpy(out + first, data, sizeof(float) * (count - first));
    readIndex = (readIndex + count) % capacity;
    AddFill(-static_cast<int32_t>(count));
}

void ZkSampleRing::ReadFramesInto(float* const* outs, uint32_t channels, uint32_t frames)
{
    uint32_t index = readIndex;
    for (uint32_t frame = 0; frame < frames; ++frame)
    {
        // A frame never straddles the wrap: the capacity is a whole number of frames.
        const float* samples = data + index;
        for (uint32_t channel = 0; channel < channels; ++channel)
            outs[channel][frame] = samples[channel];
        index += channels;
        if (index == capacity)
            index = 0;
    }
    readIndex = index;
    AddFill(-static_cast<int32_t>(frames * channels));
}
} // namespace ZK::SoundEngine
