// The engine's audio format globals: sample rate, frames per buffer, the buffer's duration, the
// engine thread's wait time-out and the glide block of the filters. SetAudioFormatGlobals writes
// them when the output format is fixed (platform audio start-up); until then they hold the engine
// defaults (48000 Hz, 1024 frames: 21 ms, time-out 5 ms, blocks of 128 frames, 8 per buffer).
// The DSP record (ZkDspAudioFormat) and the audio buffer pool's frame size are kept in step.
//
// Threading: written during engine initialisation (or by a sink's Init on the engine thread, for
// the time-out) before the threads that read them run; read without locks.
// Ownership: process-wide values.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkAudioSettings
{
public:
    static uint32_t SampleRate();
    static uint16_t FramesPerBuffer();
    // trunc(frames x 1000 / rate); 0 for a buffer shorter than 1 ms.
    static uint32_t BufferDurationMs();
    // How long the engine thread waits for its wake-up event: a quarter of the buffer duration
    // until a sink asks for another value.
    static uint32_t EngineThreadTimeoutMs();
    static void SetEngineThreadTimeoutMs(uint32_t milliseconds);
    static uint32_t BlockFrames();
    static uint16_t BlocksPerBuffer();
};

// Sets every audio format global from the engine's sample rate and frames per buffer.
void SetAudioFormatGlobals(uint32_t sampleRate, uint16_t framesPerBuffer);
} // namespace ZK::SoundEngine
