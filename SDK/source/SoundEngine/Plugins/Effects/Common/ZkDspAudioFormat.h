// The audio format values the DSP code needs: the engine sample rate and the glide block of the
// filters (block frames and blocks per buffer). ZK::SoundEngine::SetAudioFormatGlobals writes them
// when the output format is fixed; until then they hold the engine defaults (48000 Hz, 1024 frames).
//
// Threading: written during engine initialisation (or between renders under the engine lock), read
// by the threads that render. Ownership: one process-wide record.
#pragma once

#include <cstdint>

struct ZkDspAudioFormat
{
    static constexpr uint32_t kDefaultSampleRateHz = 48000;
    static constexpr uint32_t kDefaultFramesPerBuffer = 1024;

    uint32_t sampleRateHz = kDefaultSampleRateHz;
    uint32_t framesPerBuffer = kDefaultFramesPerBuffer;
    uint32_t glideBlockFrames = 128; // B: (rate / 375 + 3) rounded down to a multiple of 4
    uint16_t stepsPerBuffer = 8;     // S: (frames + B / 2) / B

    static ZkDspAudioFormat& Get();
    // Recomputes the glide block from the rate (low 25 bits, as the engine's settings keep them).
    static void Set(uint32_t sampleRateHz, uint32_t framesPerBuffer);
};
