// Conversions between the music contexts' sample counts and milliseconds, at the engine's rate.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cmath>
#include <cstdint>

namespace ZK::MusicEngine
{
// Milliseconds of a sample count, in double precision rounded half away from zero (the segment
// positions the game reads are whole ms of these).
inline int32_t SamplesToMs(int64_t samples)
{
    const double ms = static_cast<double>(samples) * 1000.0 / SoundEngine::ZkAudioSettings::SampleRate();
    return static_cast<int32_t>(std::round(ms));
}
} // namespace ZK::MusicEngine
