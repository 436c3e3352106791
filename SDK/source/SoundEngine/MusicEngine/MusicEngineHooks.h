// The music engine's ways into the sound engine, installed by ZK::MusicEngine::Init: the per-frame
// and termination global callbacks, and the state-change, hierarchy-item and bank-unload hooks of
// EngineHooks. Each one works on the process-wide music state (MusicEngineState).
//
// Threading: the callbacks and the state-change and bank-unload hooks run on the engine's thread
// inside the tick (or at the engine's termination), under the global engine lock; the
// hierarchy-item hook runs on the bank thread while a bank is parsed. Ownership: nothing owned.
#pragma once

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;
}

namespace ZK::MusicEngine
{
// Where and as what the callbacks are registered.
constexpr uint32_t kFrameCallbackLocation = ZK::ZkGlobalCallbackLocation_BeginRender;
constexpr uint32_t kTermCallbackLocation = ZK::ZkGlobalCallbackLocation_Term;
constexpr auto kFrameCallbackPluginType = static_cast<ZK::ZkPluginType>(8); // the music engine's type
constexpr uint32_t kFrameCallbackPluginID = 801;

// Once per engine frame: a requested speed refresh reaches every playing context, each context
// writes its segment position (when its playing id asked for it) and advances one frame, then the
// engine's pending actions that are due run, so actions the music scheduled for this frame execute
// in it.
void ZkMusicFrameCallback(ZK::IZkGlobalPluginContext* context, ZK::ZkGlobalCallbackLocation location, void* cookie);
// At the engine's termination: stops every playing context, releases the segment table and the
// pending state changes; the music state is empty (not running) afterwards.
void ZkMusicTermCallback(ZK::IZkGlobalPluginContext* context, ZK::ZkGlobalCallbackLocation location, void* cookie);
// Before an ordinary state change: true when a playing context takes the change over to its next
// sync point (at least one frame ahead); false when the change must be applied at once.
bool ZkMusicStateChangeHook(ZkUniqueID stateGroup, ZkUniqueID state);
// Bank items the sound engine does not build: 3 (not taken: the parser skips the body) for the
// types that are not music objects, and for every type while the music engine is not running.
// Music objects (types 10 to 13: segment, track, switch and playlist container) are built and
// read under the global engine lock and entered in the bank's item list (MusicObjectFactory.cpp):
// 1; an object of the id that exists already only gains the bank's reference (a track none of
// whose sources has media in memory is read again first); 2 the payload or the object cannot be
// had; otherwise the reader's result (91, a node of another kind, counts as 1), with nothing of
// the object left in the object index.
ZKRESULT ZkMusicObjectFactoryHook(const uint8_t* itemHeader, SoundEngine::LoadedBank* bank, ZkBankID bankID);
// Before a bank is released: the MIDI-track players of the playing contexts that read its media
// move to another loaded copy of the same media, or stop at once when there is none.
void ZkMusicBankUnloadHook(SoundEngine::LoadedBank* bank);
} // namespace ZK::MusicEngine
