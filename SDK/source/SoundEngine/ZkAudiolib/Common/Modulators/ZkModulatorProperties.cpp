#include "ZkAudiolib/Common/Modulators/ZkModulatorProperties.h"

#include "ZkAudiolib/Common/Modulators/ZkModulatorRecords.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kLargest = 3.4028235e38f;

// Integers: Scope, StopPlayback, LfoWaveform, TriggerOn, TimeLoops (clamped by its own rule).
constexpr ZkModulatorPropertyInfo kProperties[kModulatorPropertyCount] = {
    {true, 0.0f, kNotDriven, false, 0.0f, 0.0f},                       // 0 Scope
    {true, 1.0f, kNotDriven, false, 0.0f, 0.0f},                       // 1 StopPlayback
    {false, 1.0f, ZkModParam_LfoDepth, true, 0.0f, 100.0f},            // 2 LfoDepth (%)
    {false, 1.0f, ZkModParam_LfoAttack, true, 0.0f, kLargest},         // 3 LfoAttack (s)
    {false, 1.0f, ZkModParam_LfoFrequency, true, 0.0f, 20000.0f},      // 4 LfoFrequency (Hz)
    {true, 0.0f, ZkModParam_LfoWaveform, false, 0.0f, 0.0f},           // 5 LfoWaveform
    {false, 0.0f, ZkModParam_LfoSmoothing, true, 0.0f, 100.0f},        // 6 LfoSmoothing (%)
    {false, 0.0f, ZkModParam_LfoPulseWidth, true, 0.0f, 100.0f},       // 7 LfoPulseWidth (%)
    {false, 0.0f, ZkModParam_LfoInitialPhase, true, -180.0f, 180.0f},  // 8 LfoInitialPhase (degrees)
    {false, 100.0f, ZkModParam_EnvAttackTime, true, 0.0f, kLargest},   // 9 EnvAttackTime (s)
    {false, 0.5f, ZkModParam_EnvAttackCurve, true, 0.0f, 100.0f},      // 10 EnvAttackCurve (%)
    {false, 200.0f, ZkModParam_EnvDecayTime, true, 0.0f, kLargest},    // 11 EnvDecayTime (s)
    {false, 0.3f, ZkModParam_EnvSustainLevel, true, 0.0f, 100.0f},     // 12 EnvSustainLevel (%)
    {false, -1.0f, ZkModParam_EnvSustainTime, true, 0.0f, kLargest},   // 13 EnvSustainTime (s)
    {false, 1000.0f, ZkModParam_EnvReleaseTime, true, 0.0f, kLargest}, // 14 EnvReleaseTime (s)
    {true, 1.0f, kNotDriven, false, 0.0f, 0.0f},                       // 15 TriggerOn
    {false, 10.0f, kNotDriven, false, 0.0f, 0.0f},                     // 16 TimeDuration (s)
    {true, 1.0f, kNotDriven, false, 0.0f, 100.0f},                     // 17 TimeLoops
    {false, 1.0f, ZkModParam_TimePlaybackRate, true, 0.25f, 4.0f},     // 18 TimePlaybackRate
    {false, 0.0f, ZkModParam_TimeInitialDelay, true, 0.0f, 4.0f},      // 19 TimeInitialDelay (s)
};
} // namespace

const ZkModulatorPropertyInfo* ModulatorPropertyInfo(uint32_t id)
{
    return id < kModulatorPropertyCount ? &kProperties[id] : nullptr;
}

namespace ZkModulatorUnits
{
int32_t SecondsToSamples(float seconds, uint32_t sampleRate)
{
    const double samples = std::round(static_cast<double>(sampleRate) * static_cast<double>(seconds));
    // A negative time would step a segment backwards and one beyond 32 bits has no sample
    // count: both are held to the counts a segment can have.
    if (!(samples > 0.0))
        return 0;
    if (samples >= static_cast<double>(kMaxSegmentSamples))
        return kMaxSegmentSamples;
    return static_cast<int32_t>(samples);
}
} // namespace ZkModulatorUnits
} // namespace ZK::SoundEngine
