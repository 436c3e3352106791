// Three-dimensional panning of listener-space rays, each into its own block of matrix rows.
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Positioning/ZkFastAngles.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kInversePi = 0.31830987f;

// The spread an emitter's elevation asks for on a speaker output: a planar layout cannot place
// height, so the emitter widens as it rises or sinks; a layout with extra speakers places what is
// above and widens only what is below.
float ElevationSpread(const ZkVector& p, ZkChannelConfig output)
{
    const float lengthSquared = p.x * p.x + p.y * p.y + p.z * p.z;
    if (output.Type() != ZkChannelConfigType_Standard || lengthSquared <= 0.0f)
        return 0.0f;
    if ((output.Mask() & ZkSpeakerMasks::kExtra) == 0)
        return p.y * p.y / lengthSquared;
    if (p.y >= 0.0f)
        return 0.0f;
    return ZkFastAsin(std::min(-p.y / std::sqrt(lengthSquared), 1.0f)) * kInversePi;
}
} // namespace

ZKRESULT CZkPositioningMath::PanRays(const ZkPositioningRay* rays, uint32_t rayCount, ZkChannelConfig input,
                                     ZkChannelConfig output, uint32_t rowStride, CZkOutputDevice* device,
                                     float* matrix)
{
    return PanRays(rays, rayCount, input, output, rowStride, device, matrix, ZkRayPanBlend{});
}

ZKRESULT CZkPositioningMath::PanRays(const ZkPositioningRay* rays, uint32_t rayCount, ZkChannelConfig input,
                                     ZkChannelConfig output, uint32_t rowStride, CZkOutputDevice* device,
                                     float* matrix, const ZkRayPanBlend& blend)
{
    if (device == nullptr)
        return ZK_Fail;
    if (rowStride != ZkSpeakerMasks::RowStride(output.NumChannels()))
        return ZK_InvalidParameter; // the panner writes rows of the output's own stride
    const size_t blockFloats = static_cast<size_t>(input.NumChannels()) * rowStride;
    const bool blended = blend.amount3D < 1.0f;
    float planar[ZkRayPanBlend::kMaxPlanarFloats];
    if (blended)
    {
        if (blockFloats > ZkRayPanBlend::kMaxPlanarFloats)
            return ZK_InvalidParameter;
        std::fill(planar, planar + blockFloats, 0.0f);
        const ZkPanParams& pan = blend.planar;
        CZkSpeakerPan::ComputeSpeakerVolumes(pan.panX, pan.panY, pan.panZ, pan.centrePercentage, pan.panningType,
                                             input, output, planar, device);
    }
    for (uint32_t i = 0; i < rayCount; ++i)
    {
        const ZkPositioningRay& ray = rays[i];
        const float spread = blend.raiseSpread ? std::max(ray.spread, ElevationSpread(ray.position, output)) : ray.spread;
        float* block = matrix + i * blockFloats;
        CZkSpeakerPan::ComputeSpeakerVolumes3D(ray, ray.centrePercentage, spread, ray.focus, block, input,
                                               ray.channelMask, output, device);
        if (blended)
        {
            for (size_t index = 0; index < blockFloats; ++index)
                block[index] = blend.amount3D * block[index] + (1.0f - blend.amount3D) * planar[index];
        }
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
