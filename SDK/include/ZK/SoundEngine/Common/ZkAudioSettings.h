// ZkAudioSettings: the engine's audio format as the game and plug-ins read it once the engine is
// initialised: samples per audio frame and the sample rate.
//
// Threading and ownership: a plain value record.
#pragma once

#include <cstdint>

struct ZkAudioSettings
{
    uint32_t samplesPerFrame = 0;
    uint32_t sampleRate = 0; // Hz
};
