// TEAudio: the game's sound start-up, its banks and its shutdown. Init brings the sound engine up
// (memory manager, stream manager and its device over the game's low-level I/O object, sound
// engine, music engine), every component on its default settings; LoadBanks adds the bank folder,
// sets the language, loads "Init.bnk" and "Main.bnk", registers the default listener and emitter
// (game object 1, both) and reads the two saved volume levels; Term takes everything down again.
//
// A step that fails reports an assertion (its text and the source "Source/TEAudio", on standard
// error and to the assertion observer) and the program goes on: a failing Init step skips the rest
// of Init; LoadBanks and Term run every step in every case, and whatever the engine cannot do then
// fails inside it without effect, so the game plays silently.
//
// Threading: main thread, between the window's start and its end. The sound engine runs its own
// threads from Init to Term.
// Ownership: the low-level I/O object is the program's (a static object); the stream device, the
// stream manager, the engines and the memory manager live from Init to Term.
#pragma once

#include <ZK/SoundEngine/Common/ZkEngineInit.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

namespace TEAudio
{
// The name the assertions give as their source.
constexpr const char* kSourceName = "Source/TEAudio";
// Where the banks are, relative to the folder the game runs in, and their language.
constexpr const wchar_t* kBankFolder = L"./Trindle_Ostrel/Banks";
constexpr const wchar_t* kLanguage = L"English(US)";
constexpr const char* kInitBank = "Init.bnk";
constexpr const char* kMainBank = "Main.bnk";

// Steps 1 to 6: memory manager, stream manager, stream device, sound engine, music engine.
void Init();
// Steps 7 to 13: bank folder, language, banks, default listener and emitter, volume levels.
void LoadBanks();
// The shutdown, every step whatever the start-up reached.
void Term();

// --- For tests: the settings of each start-up step, seen (and changed) before the step uses them.
// The program never sets a hook; its components keep their defaults.
enum class StartupStep
{
    MemoryManager,
    StreamManager,
    StreamDevice,
    SoundEngine,
    MusicEngine,
};

struct StartupSettings
{
    ZkMemSettings memory;
    ZkStreamMgrSettings streamManager;
    ZkDeviceSettings device;
    ZK::SoundEngine::ZkInitSettings engine;
    ZkPlatformInitSettings platform;
    ZkMusicSettings music;
};

// Called with a step and the settings (the step's defaults filled in) just before the step's call.
// Returns the hook set before; null removes it.
using StartupHook = void (*)(StartupStep step, StartupSettings& settings);
StartupHook SetStartupHook(StartupHook hook);
} // namespace TEAudio
