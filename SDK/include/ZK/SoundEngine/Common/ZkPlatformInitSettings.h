// The platform settings of the sound engine: the window the engine belongs to, the properties of
// its threads, the endpoint buffer length, the sample rate, the permission to use AVX kernels and
// the spatial-audio object limit. ZK::SoundEngine::GetDefaultPlatformInitSettings fills them with
// defaults; the caller adjusts them before ZK::SoundEngine::Init, which keeps a copy.
//
// Threading and ownership: plain value types; the engine's copy is written at Init and read-only
// afterwards.
#pragma once

#include <cstdint>

// Properties of one engine thread.
struct ZkThreadProperties
{
    static constexpr int32_t kPriorityUnchanged = 0x10000; // leave the system's priority

    int32_t priority = 0;      // -15 idle .. 15 time-critical, or kPriorityUnchanged
    uint32_t affinityMask = 0; // 0: not applied; bit n = processor n
    uint32_t stackSize = 0;    // bytes
};

struct ZkPlatformInitSettings
{
    static constexpr uint16_t kDefaultRefillBuffers = 4;
    static constexpr uint16_t kMinRefillBuffers = 2;
    static constexpr uint32_t kDefaultSampleRateHz = 48000;
    static constexpr uint32_t kDefaultMaxSystemAudioObjects = 128;
    static constexpr uint32_t kDefaultThreadStackBytes = 0x20000;

    void* windowHandle = nullptr;        // Linux has none: stored as none
    ZkThreadProperties engineThread;     // "ZK::EventManager"
    ZkThreadProperties outputThread;     // "ZK Suspended" and the spatial-audio worker
    ZkThreadProperties bankThread;       // the bank manager's thread
    ZkThreadProperties fourthThread;     // not used
    uint16_t numRefillBuffers = 0;       // endpoint buffer length in engine buffers
    uint32_t sampleRate = 0;             // Hz
    uint8_t enableAvx = 0;               // 0: AVX and AVX2 kernels are not used
    uint32_t uMaxSystemAudioObjects = 0; // upper bound of dynamic spatial objects
};
