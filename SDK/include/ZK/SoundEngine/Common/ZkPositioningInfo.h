// ZkPositioningInfo: a node's positioning settings as the game can ask for them: the panning of its
// positioning owner (the first node up the hierarchy that overrides positioning), the 3-D settings
// of the node itself, and its attenuation's cone and farthest distances.
//
// Threading and ownership: a plain record the caller owns.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

struct ZkPositioningInfo
{
    static constexpr uint32_t kAttenuationCurves = 5;

    float centerPercent;    // 0 to 1
    uint8_t pannerType;     // 0 to 7
    uint8_t positionMode3D; // 0 to 7
    uint8_t flags;          // bit 0 and bit 1: the node's two further positioning flags
    uint8_t value3D;        // 0 to 3
    ZkUniqueID attenuationID;
    bool hasAttenuation;
    bool hasCone;
    float cone[5];                            // inside angle, outside angle, outside volume, two filters
    float curveMaxDistance[kAttenuationCurves]; // the last point of each mapped curve (0: none)
};
