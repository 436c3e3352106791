// ZkInitSettings: the settings a game hands to ZK::SoundEngine::Init. The engine keeps one copy for
// its lifetime (plug-ins read the whole copy through the global plug-in context, so every field,
// read by the engine or not, keeps the caller's value). ZK::SoundEngine::GetDefaultInitSettings
// writes the defaults given beside each field, except reservedE, which keeps the caller's value.
//
// Threading and ownership: a plain value record; the pointers it holds stay the caller's and must
// outlive the engine (the plug-in folder is copied by the plug-in registry).
#pragma once

#include <ZK/SoundEngine/Common/ZkOutputTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The engine's assertion hook: (expression, file, line).
using ZkAssertHook = void (*)(const char* expression, const char* fileName, int lineNumber);
// Told when the background music is muted (1) or unmuted (0) by MuteBackgroundMusic.
using ZkBackgroundMusicMuteCallback = void (*)(uint8_t muted, void* cookie);
// A job of the render pass: processes the items first .. end - 1 of data.
using ZkJobFunction = void (*)(void* data, uint32_t first, uint32_t end);
// The game's job callback: runs job over the items first .. end - 1 of data, split among its
// worker threads as it likes (granularity is 1, reserved 0; name is "ZK::Voice" or "ZK::Bus"),
// and returns only when every item has run. The engine thread waits in it meanwhile.
using ZkJobCallback = void (*)(void* data, uint32_t first, uint32_t end, uint32_t granularity, ZkJobFunction job,
                               uint32_t reserved, const char* name);

struct ZkInitSettings
{
    static constexpr uint32_t kDefaultSharedItemCapacity = 255;
    static constexpr uint32_t kDefaultMessageRingBytes = 0x40000;
    static constexpr uint32_t kDefaultSamplesPerFrame = 1024;
    static constexpr uint32_t kDefaultTickTimeoutMs = 1000;
    static constexpr uint32_t kDefaultBankReadBufferBytes = 0x8000;

    ZkAssertHook assertHook = nullptr;                          // replaces the engine's assertion hook
    uint32_t sharedItemCapacity = kDefaultSharedItemCapacity;   // position-path players at most
    uint32_t messageRingSize = kDefaultMessageRingBytes;        // bytes; more than 52
    uint8_t gameSyncPreparation = 0;                            // 1: prepare only prepared switch values
    uint32_t lookAheadFrames = 1;                               // audio frames of scheduling look-ahead
    uint32_t samplesPerFrame = kDefaultSamplesPerFrame;         // samples per audio frame
    uint32_t reservedA = 0x100000;
    ZkOutputSettings mainOutput;                                // the main output device a bank asks for
    uint32_t tickTimeoutMs = kDefaultTickTimeoutMs;             // output devices waiting this long restart
    uint8_t bankThread = 1;                                     // 1: banks load on "ZK::BankManager"
    uint8_t engineThread = 1;                                   // 1: the engine ticks on "ZK::EventManager"
    ZkBackgroundMusicMuteCallback bgmMuteCallback = nullptr;
    void* bgmMuteCookie = nullptr;
    const wchar_t* pluginFolder = nullptr;                      // folder of plug-in libraries
    uint32_t reservedB = 0;
    float reservedC = 1.0f;
    ZkJobCallback jobCallback = nullptr;                        // null: the render pass runs inline
    uint32_t reservedD = 1;
    uint32_t reservedE = 0;                                     // not written by the defaults
    uint32_t bankReadBufferSize = kDefaultBankReadBufferBytes;  // bytes; the bank reader's minimum
    float reservedF = 16.0f;
    uint8_t reservedG = 0;
};
} // namespace ZK::SoundEngine
