// Conversions between the music contexts' sample counts and milliseconds, at the engine's rate.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cstdint>

namespace ZK::MusicEngine
{
// Whole milliseconds of a sample count (truncated towards zero).
inline int32_t SamplesToMs(int64_t samples)
{
    return static_cast<int32_t>(samples * 1000 / static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate()));
}
} // namespace ZK::MusicEngine
