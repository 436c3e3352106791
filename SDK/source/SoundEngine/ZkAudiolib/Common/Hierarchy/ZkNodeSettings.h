// The settings a voice takes from the node that resolves them (the first node up the hierarchy
// that overrides the group, or the root): positioning values and 3-D mode, MIDI settings, and the
// below-threshold and queue behaviours. CZkHierarchyNode's settings queries fill them.
//
// Threading and ownership: plain values.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkPositioningValues
{
    float value1 = 0.0f;        // property 12 (+ game parameter 18)
    float value2 = 0.0f;        // property 13 (+ game parameter 19)
    float value3 = 0.0f;        // property 73 (+ game parameter 58)
    float centrePercent = 0.0f; // game parameter 24 when driven, else property 14
    uint8_t pannerType = 0;     // flag byte B bits 2-4
    bool has3D = false;
};

struct Zk3DModeInfo
{
    uint16_t positioningBits = 0;
    bool speakerPanning = false; // state or game parameter 46 above 0
    ZkUniqueID attenuationID = 0;
    float spread = 100.0f;       // game parameter 23 when driven, else property 71
};

struct ZkMidiSettings
{
    int32_t playMode = 1;   // property 46
    bool modeFlag = false;  // flag byte C bit 0
    bool keyTracking = false;
    int32_t rootNote = 60;  // property 45
    // 1 for play mode 2, else 2 with the mode flag, else 0.
    uint32_t DerivedMode() const { return playMode == 2 ? 1u : (modeFlag ? 2u : 0u); }
};

struct ZkBehaviours
{
    uint8_t belowThreshold = 0; // 4 bits
    uint8_t queue = 0;          // the effective queue behaviour, 3 bits
};
} // namespace ZK::SoundEngine
