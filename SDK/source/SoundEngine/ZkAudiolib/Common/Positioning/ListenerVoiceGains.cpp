// Matrices of positioned voices beyond panning: one ray handed to a destination that positions its
// objects itself, and the power shared between overlapping positions of one emitter.
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
void CZkPositioningMath::ComputeAmbisonicMatrixScaled(float gain, const ZkPositioningRay& item, ZkChannelConfig input,
                                                      ZkChannelConfig output, float* matrix, ZkObjectPlacement* object)
{
    if (object != nullptr)
        *object = ZkObjectPlacement{item.position, item.spread, item.focus};
    CZkSpeakerPan::GetDirectAssignmentMatrix(input, output, matrix);
    const size_t floats = size_t{input.NumChannels()} * ZkSpeakerMasks::RowStride(output.NumChannels());
    for (size_t index = 0; index < floats; ++index)
        matrix[index] *= gain;
}

void CZkPositioningMath::ApplyListenerVoiceGains(uint32_t rayCount, const ZkPositioningRay* items, const float* gains,
                                                 float* const* matrices, size_t floats)
{
    ZkVector directions[kMaxVoiceRays] = {};
    float widths[kMaxVoiceRays] = {};
    float weights[kMaxVoiceRays] = {};
    float shares[kMaxVoiceRays] = {};
    const uint32_t n = std::min(rayCount, kMaxVoiceRays);
    for (uint32_t ray = 0; ray < n; ++ray)
    {
        const ZkVector& p = items[ray].position;
        const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        directions[ray] = length > 0.0f ? ZkVector{p.x / length, p.y / length, p.z / length} : ZkVector{0.0f, 0.0f, 0.0f};
        widths[ray] = std::max(items[ray].spread, kMinimumOverlapWidth);
        weights[ray] = std::max(gains[ray], kMinimumOverlapWidth);
    }
    CZkSpeakerPan::NormalizePointOverlaps(n, directions, widths, weights, shares);
    for (uint32_t ray = 0; ray < n; ++ray)
    {
        if (matrices[ray] == nullptr)
            continue;
        for (size_t index = 0; index < floats; ++index)
            matrices[ray][index] *= shares[ray];
    }
}
} // namespace ZK::SoundEngine
