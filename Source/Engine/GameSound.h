// The game's one way to the sound engine: every sound call the game makes goes through the
// GameSound in use, whose calls are exactly the game's (each event is posted with no callback and
// no external sources). The program uses EngineSound, which forwards to the sound engine's
// interface; a test installs a recording double with InstallGameSound to see every call and to
// decide what plays. While the sound engine is not initialised every call of the interface fails
// and changes nothing, and the game plays on silently.
//
// Volume writes: both volume game parameters are set for every game object at once, with no
// transition and a linear curve; WriteVolumeLevels and ApplyMuteRule are the two forms the game
// uses (the volume controls and the mute key).
//
// Threading: main thread. Ownership: an installed GameSound is borrowed; it must outlive its use
// (install null to return to the engine's).
#pragma once

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

class GameSound
{
public:
    virtual ~GameSound() = default;

    // The sound engine's start-up with the game's banks (EngineInit), the close of each frame's
    // batch of requests (EngineUpdate) and the shutdown (EngineShutdown).
    virtual void StartUp() = 0;
    virtual ZKRESULT RenderAudio() = 0;
    virtual void ShutDown() = 0;

    virtual ZKRESULT RegisterGameObj(ZkGameObjectID gameObject, const char* name) = 0;
    virtual ZKRESULT UnregisterGameObj(ZkGameObjectID gameObject) = 0;
    // The playing id, 0 on failure.
    virtual ZkPlayingID PostEvent(ZkUniqueID eventId, ZkGameObjectID gameObject) = 0;
    virtual void StopPlayingID(ZkPlayingID playingId, ZkTimeMs transitionMs, ZkCurveInterpolation curve) = 0;
    virtual void StopAll(ZkGameObjectID gameObject) = 0;
    virtual ZKRESULT SetRTPCValue(ZkUniqueID parameterId, float value, ZkGameObjectID gameObject,
                                  ZkTimeMs transitionMs, ZkCurveInterpolation curve, bool bypassInterpolation) = 0;
    // `count` in/out: 0 on input only counts; else at most `count` ids are written and `count`
    // becomes the number written.
    virtual ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count,
                                                 ZkPlayingID* playingIds) = 0;
    virtual ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID playingId) = 0;
};

// The sound engine's interface, as the program uses it.
class EngineSound final : public GameSound
{
public:
    // TEAudio::Init, then TEAudio::LoadBanks.
    void StartUp() override;
    // ZK::SoundEngine::RenderAudio(true): the batch is closed and the engine woken.
    ZKRESULT RenderAudio() override;
    // TEAudio::Term.
    void ShutDown() override;
    ZKRESULT RegisterGameObj(ZkGameObjectID gameObject, const char* name) override;
    ZKRESULT UnregisterGameObj(ZkGameObjectID gameObject) override;
    ZkPlayingID PostEvent(ZkUniqueID eventId, ZkGameObjectID gameObject) override;
    void StopPlayingID(ZkPlayingID playingId, ZkTimeMs transitionMs, ZkCurveInterpolation curve) override;
    void StopAll(ZkGameObjectID gameObject) override;
    ZKRESULT SetRTPCValue(ZkUniqueID parameterId, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                          ZkCurveInterpolation curve, bool bypassInterpolation) override;
    ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count,
                                         ZkPlayingID* playingIds) override;
    ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID playingId) override;
};

// The GameSound in use: the installed one, else the engine's.
GameSound& Sound();
// Uses `sound` from now on; null returns to the engine's.
void InstallGameSound(GameSound* sound);

// The form of every volume write: all game objects, no transition, a linear curve, interpolated.
constexpr ZkTimeMs kVolumeTransitionMs = 0;
constexpr ZkCurveInterpolation kVolumeCurve = ZkCurveInterpolation_Linear;

// Sets the two volume game parameters, the first one first.
void WriteVolumeLevels(float level1, float level2);
// The mute rule: both volume game parameters to 0 while muted, else to their saved levels.
void ApplyMuteRule();
