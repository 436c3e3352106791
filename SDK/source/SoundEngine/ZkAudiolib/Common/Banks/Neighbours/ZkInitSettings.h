// ZkInitSettings and the engine settings copy (declaration only): the settings the game hands to
// the engine's initialisation, of which the engine keeps one copy for its lifetime. The bank reader
// reads bankReadBufferSize; the bank parser reads and writes mainOutput (the top-level bus rule).
//
// Until the engine's initialisation exists, the copy is one process-wide record holding the
// defaults; nothing else fills it.
//
// Threading: written by the engine's initialisation, read by the engine's threads; the bank parser
// writes mainOutput under the global engine lock. Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/ZkOutputTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkInitSettings
{
    void (*assertHook)(const char* expression, const char* fileName, int lineNumber) = nullptr;
    uint32_t sharedItemCapacity = 255;
    uint32_t messageRingSize = 0x40000;
    uint8_t gameSyncPreparation = 0;
    uint32_t lookAheadFrames = 1;
    uint32_t samplesPerFrame = 1024;
    uint32_t reservedA = 0x100000;
    ZkOutputSettings mainOutput;
    uint32_t tickTimeoutMs = 1000;
    uint8_t bankThread = 1;
    uint8_t engineThread = 1;
    void (*bgmMuteCallback)(uint8_t muted, void* cookie) = nullptr;
    void* bgmMuteCookie = nullptr;
    const wchar_t* pluginFolder = nullptr;
    uint32_t reservedB = 0;
    float reservedC = 1.0f;
    void* renderCallback = nullptr;
    uint32_t reservedD = 1;
    uint32_t reservedE = 0;
    uint32_t bankReadBufferSize = 0x8000; // bytes; the bank reader's minimum buffer size
    float reservedF = 16.0f;
    uint8_t reservedG = 0;
};

// The engine settings copy. Not built yet: a process-wide record with the default settings.
inline ZkInitSettings& GetEngineSettings()
{
    static ZkInitSettings settings;
    return settings;
}
} // namespace ZK::SoundEngine
