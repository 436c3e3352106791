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

    ZkPositioningRay ray = params.ray;
    ray.centrePercentage = params.centrePercentage;
    if (params.threeD == ZkPanningParams::k3DIdentityOrientation)
    {
        ray.front = kZkDefaultTransform.front;
        ray.top = kZkDefaultTransform.top;
    }
    return CZkPositioningMath::PanItemsIntoMatrix(&ray, 1, input, output, device, matrix);
}
