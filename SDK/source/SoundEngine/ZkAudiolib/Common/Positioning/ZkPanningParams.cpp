// CZkSpeakerPan::ComputeVolumesForParams: the matrix of a positioned object. Planar panning goes to
// the general builder; three-dimensional panning hands the object's own frame, as a single ray, to
// positioning's ray panning.
#include "ZkAudiolib/Common/Positioning/ZkPanningParams.h"

#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <algorithm>

using ZK::SoundEngine::CZkPositioningMath;
using ZK::SoundEngine::ZkPanningParams;
using ZK::SoundEngine::ZkPositioningRay;

namespace
{
// Three-dimensional panning places the planar speakers of 7.0 only.
constexpr uint32_t kPannedSpeakerMask = 0x637;
// Matrix rows are padded to a multiple of four floats.
constexpr uint32_t RowFloats(uint32_t outputs) { return (outputs + 3u) & ~3u; }
} // namespace

ZKRESULT CZkSpeakerPan::ComputeVolumesForParams(const ZkPanningParams& params, ZkChannelConfig input,
                                                ZkChannelConfig output, CZkOutputDevice* device, float* matrix)
{
    if (output.Type() == ZkChannelConfigType_Objects)
        return ZK_InvalidParameter;
    if (params.threeD == ZkPanningParams::kPlanar)
    {
        ComputeSpeakerVolumes(params.panX, params.panY, params.panZ, params.centrePercentage, params.panningType,
                              input, output, matrix, device);
        return ZK_Success;
    }
    if (device == nullptr)
        return ZK_Fail;

    const uint32_t rowFloats = RowFloats(output.NumChannels());
    std::fill(matrix, matrix + static_cast<size_t>(input.NumChannels()) * rowFloats, 0.0f);
    ZkChannelConfig panned = input;
    if (input.Type() == ZkChannelConfigType_Standard)
        panned = ZkChannelConfig::FromMask(input.Mask() & kPannedSpeakerMask);
    ZkPositioningRay ray = params.ray;
    ray.centrePercentage = params.centrePercentage;
    if (params.threeD == ZkPanningParams::k3DIdentityOrientation)
    {
        ray.front = kZkDefaultTransform.front;
        ray.top = kZkDefaultTransform.top;
    }
    const ZKRESULT result = CZkPositioningMath::PanRays(&ray, 1, panned, output, rowFloats, device, matrix);
    if (result != ZK_Success)
        return result;
    if (input.HasLfe() && output.HasLfe())
        matrix[(input.NumChannels() - 1) * rowFloats + output.NumChannels() - 1] = 1.0f;
    return ZK_Success;
}
