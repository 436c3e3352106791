// Small types of the game-parameter manager: the transition request of a value change, ramp modes,
// subscriber kinds, and the game-parameter record that an Init bank's state-manager chunk provides.
//
// Threading and ownership: plain values.
#pragma once

#include "ZkAudiolib/Common/Parameters/CZkTransition.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The transition of a value change. The manager may raise timeMs from the parameter's ramp.
struct TransParamsBase
{
    ZkTimeMs timeMs = 0;
    uint32_t curve = ZkCurveInterpolation_Linear;
    bool bypassRampSettings = false;
};

enum ZkRTPCRampMode : uint32_t
{
    ZkRTPCRampMode_None = 0,
    ZkRTPCRampMode_SlewRate = 1,     // ramp up/down: value units per second
    ZkRTPCRampMode_FilterOverTime = 2, // ramp up/down: seconds
};

enum ZkRTPCSubscriberKind : uint32_t
{
    ZkRTPCSubscriberKind_NodeInstance = 0,
    ZkRTPCSubscriberKind_Effect = 1,
    ZkRTPCSubscriberKind_TargetList = 2,
    ZkRTPCSubscriberKind_Modulator = 3,
    ZkRTPCSubscriberKind_LayerA = 4,
    ZkRTPCSubscriberKind_LayerCrossfade = 5,
    ZkRTPCSubscriberKind_SwitchGroup = 6,
};

// Parameter type of a subscription: 2 names a modulator instead of a game parameter.
constexpr uint32_t kRTPCParamTypeModulator = 2;
// Combine mode in which several curves of one parameter multiply (from 1.0); others add.
constexpr uint32_t kRTPCCombineMultiply = 3;
// The parameter bit of layer crossfades and switch groups.
constexpr uint32_t kRTPCCrossfadeBit = 60;
// Built-in rows 1 to 9 (row 0 is never filled).
constexpr uint32_t kRTPCBuiltInRows = 10;
// The pitch-bend parameter, present from Init with its centre value.
constexpr ZkUniqueID kRTPCPitchBendID = 131;
constexpr float kRTPCPitchBendDefault = 64.0f;

// One game parameter as an Init bank's state-manager chunk stores it (21 bytes on file: uint32 id,
// f32 default, uint32 ramp mode, f32 ramp up, f32 ramp down, uint8 built-in row).
struct ZkRTPCParamRecord
{
    ZkUniqueID id;
    float defaultValue;
    uint32_t rampMode;
    float rampUp;
    float rampDown;
    uint8_t builtInRow;
};
} // namespace ZK::SoundEngine
