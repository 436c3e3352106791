// The properties of modulator objects (ids 0 to 19 of a modulator's bank body): their defaults
// (the entries 88 + id of the engine's property defaults, after the 88 node properties), whether
// they are integers, the modulator parameter a game parameter may drive, and the clamp applied
// after a random range is added (a value without a range is not clamped).
//
// Threading and ownership: constant data and pure functions.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
enum ZkModulatorPropertyID : uint8_t
{
    ZkModProp_Scope = 0,
    ZkModProp_StopPlayback = 1,
    ZkModProp_LfoDepth = 2,
    ZkModProp_LfoAttack = 3,
    ZkModProp_LfoFrequency = 4,
    ZkModProp_LfoWaveform = 5,
    ZkModProp_LfoSmoothing = 6,
    ZkModProp_LfoPulseWidth = 7,
    ZkModProp_LfoInitialPhase = 8,
    ZkModProp_EnvAttackTime = 9,
    ZkModProp_EnvAttackCurve = 10,
    ZkModProp_EnvDecayTime = 11,
    ZkModProp_EnvSustainLevel = 12,
    ZkModProp_EnvSustainTime = 13,
    ZkModProp_EnvReleaseTime = 14,
    ZkModProp_TriggerOn = 15,
    ZkModProp_TimeDuration = 16,
    ZkModProp_TimeLoops = 17,
    ZkModProp_TimePlaybackRate = 18,
    ZkModProp_TimeInitialDelay = 19,
};
constexpr uint32_t kModulatorPropertyCount = 20;
// Where the modulator properties' defaults start in the engine's property defaults.
constexpr uint32_t kModulatorDefaultsBase = 88;
// No modulator parameter: the property is not driven by game parameters.
constexpr uint8_t kNotDriven = 0xFF;

// The modulator parameter numbers of the running instances' SetParam.
enum ZkModulatorParam : uint32_t
{
    ZkModParam_LfoDepth = 0,
    ZkModParam_LfoAttack = 1,
    ZkModParam_LfoFrequency = 2,
    ZkModParam_LfoWaveform = 3,
    ZkModParam_LfoSmoothing = 4,
    ZkModParam_LfoPulseWidth = 5,
    ZkModParam_LfoInitialPhase = 6,
    ZkModParam_EnvAttackTime = 8,
    ZkModParam_EnvAttackCurve = 9,
    ZkModParam_EnvDecayTime = 10,
    ZkModParam_EnvSustainLevel = 11,
    ZkModParam_EnvSustainTime = 12,
    ZkModParam_EnvReleaseTime = 13,
    ZkModParam_TimePlaybackRate = 14,
    ZkModParam_TimeInitialDelay = 15,
};

struct ZkModulatorPropertyInfo
{
    bool isInteger;
    float defaultValue;   // integers hold exact small values
    uint8_t parameter;    // kNotDriven when no game parameter drives it
    bool clamped;         // with a range, the sum is held to [minimum, maximum]
    float minimum;
    float maximum;
};

// The entry of a modulator property id; null beyond id 19.
const ZkModulatorPropertyInfo* ModulatorPropertyInfo(uint32_t id);

namespace ZkModulatorUnits
{
// round-half-away-from-zero(sampleRate x seconds), held to [0, 2147483646] (NaN gives 0).
int32_t SecondsToSamples(float seconds, uint32_t sampleRate);
} // namespace ZkModulatorUnits
} // namespace ZK::SoundEngine
