// ZkPanningParams: how one positioned object (a mix bus's output, a device's object) is panned onto
// a speaker configuration: its position and orientation frame as a single ray, the two-dimensional
// pan position and centre share, whether it is panned in three dimensions, and the planar panning
// type. CZkSpeakerPan::ComputeVolumesForParams turns it into a mixing matrix.
//
// Threading and ownership: a plain record, owned by whoever pans.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkPositioningRay.h"

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkPanningParams
{
    // Values of threeD.
    static constexpr uint32_t kPlanar = 0;
    static constexpr uint32_t k3DIdentityOrientation = 1; // 3-D panning, the frame's orientation ignored

    ZkPositioningRay ray;         // position (listener-relative), orientation frame, spread and focus
    float centrePercentage = 0.0f; // 0..1
    float panX = 0.0f;            // -1..1
    float panY = 0.0f;
    float panZ = 0.0f;
    uint32_t threeD = kPlanar;    // 0 planar, any other value 3-D
    uint32_t panningType = 0;     // ZkSpeakerPanningType
};
} // namespace ZK::SoundEngine
