// The interactive music engine's interface: started by the game after ZK::SoundEngine::Init and
// stopped before ZK::SoundEngine::Term. It has no thread of its own: Init hooks it into the sound
// engine (a per-frame and a termination global callback, and the engine's three extension hooks),
// and everything it does runs on the engine's thread inside the tick, under the global engine
// lock.
//
// Life cycle: GetDefaultInitSettings, Init, ... , Term, then ZK::SoundEngine::Term. Term only stops
// the per-frame work; the music engine's tables are released by its termination callback, which the
// sound engine's Term runs. The hooks stay installed and find an empty music state from then on.
//
// Threading: Init and Term on the game's main thread, between the sound engine's Init and Term.
// GetPlayingSegmentInfo from any thread (the segment table has a lock of its own).
// Ownership: Init copies the settings; nothing is handed out.
#pragma once

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

struct ZkMusicSettings
{
    // Multiplies the look-ahead time of every music track read from a bank.
    float lookAheadFactor = 1.0f;
};

namespace ZK::MusicEngine
{
constexpr float kDefaultLookAheadFactor = 1.0f;

// Sets the look-ahead factor to 1.0.
void GetDefaultInitSettings(ZkMusicSettings& settings);
// 1; 2 when the block of pending state-change records cannot be allocated or the music engine is
// running already (nothing is registered or changed then); the global-callback registration's own
// result when it refuses (everything undone). Null settings take the default factor.
ZKRESULT Init(ZkMusicSettings* settings);
// Removes the per-frame callback. No result.
void Term();
// The segment position of a playing id that asked for it (post flag ZkPostFlag_RecordSegmentInfo):
// 1 and the record; 2 when the playing id has no entry (the record is left untouched). With
// extrapolate, the position moves on by the wall-clock time since the engine last wrote it, as long
// as the segment has a positive duration.
ZKRESULT GetPlayingSegmentInfo(ZkPlayingID playingID, ZkSegmentInfo& info, bool extrapolate = true);
} // namespace ZK::MusicEngine
