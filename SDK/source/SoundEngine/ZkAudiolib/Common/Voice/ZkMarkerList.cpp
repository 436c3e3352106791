#include "ZkAudiolib/Common/Voice/ZkMarkerList.h"

namespace ZK::SoundEngine::ZkMarkerList
{
// Render path: a single pass over the window, no allocation.
void RemoveRange(ZkPipelineMarker* markers, ZkMarkerWindow& window, uint32_t& outputCount, uint32_t start,
                 uint32_t frames)
{
    if (window.count == 0)
        return;
    const uint32_t end = start + frames;
    uint32_t moved = 0;
    for (uint32_t i = window.first; i < window.first + window.count; ++i)
    {
        ZkPipelineMarker& marker = markers[i];
        if (start <= marker.position && marker.position < end)
        {
            marker.position = 0;
            ++moved;
        }
    }
    window.first += moved;
    window.count -= moved;
    outputCount += moved;
}
} // namespace ZK::SoundEngine::ZkMarkerList
