// ZkAudioSettings (declaration only): the engine's audio format as every seconds-to-samples
// conversion reads it: the sample rate and the samples per frame (1024 until the output is
// initialised). The engine's initialisation sets them from its output; until it exists the record
// keeps the engine's default format.
//
// Threading: written at initialisation, read on the audio thread. Ownership: the engine's.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkAudioSettings
{
    static constexpr uint32_t kDefaultSampleRate = 48000;
    static constexpr uint16_t kDefaultSamplesPerFrame = 1024;
    uint16_t samplesPerFrame = kDefaultSamplesPerFrame;
    uint32_t sampleRate = kDefaultSampleRate;
};

inline ZkAudioSettings g_AudioSettings;

inline uint32_t GetSampleRate() { return g_AudioSettings.sampleRate; }
} // namespace ZK::SoundEngine
