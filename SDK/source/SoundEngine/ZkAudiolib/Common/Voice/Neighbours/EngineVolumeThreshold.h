// The engine's volume threshold (declaration only): below it a voice is not heard. The game sets it
// through ZK::SoundEngine::SetVolumeThreshold (or an Init bank's settings), which keeps it in
// decibels and as a linear gain.
//
// Not built yet: the engine-wide calls do not exist, so both answers are those of the default,
// -96.3 dB.
//
// Threading: read on the engine thread. Ownership: the engine's settings.
#pragma once

#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
constexpr float kDefaultVolumeThresholdDB = -96.3f;

inline float GetVolumeThresholdDB()
{
    return kDefaultVolumeThresholdDB;
}
inline float GetVolumeThresholdLinear()
{
    const float exponent = kDefaultVolumeThresholdDB * kDecibelsToPow10;
    return std::max(std::pow(10.0f, exponent), ZkFastPow10(exponent));
}
} // namespace ZK::SoundEngine
