#include "Engine/GameSound.h"

#include "Engine/EngineGlobals.h"
#include "Engine/TEAudio.h"

#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

namespace
{
EngineSound g_engineSound;
GameSound* g_installed = nullptr;
} // namespace

void EngineSound::StartUp()
{
    // A failing start-up step skips the rest of Init; the banks' steps run in every case.
    TEAudio::Init();
    TEAudio::LoadBanks();
}

ZKRESULT EngineSound::RenderAudio()
{
    return ZK::SoundEngine::RenderAudio(true);
}

void EngineSound::ShutDown()
{
    TEAudio::Term();
}

ZKRESULT EngineSound::RegisterGameObj(ZkGameObjectID gameObject, const char* name)
{
    return ZK::SoundEngine::RegisterGameObj(gameObject, name);
}

ZKRESULT EngineSound::UnregisterGameObj(ZkGameObjectID gameObject)
{
    return ZK::SoundEngine::UnregisterGameObj(gameObject);
}

ZkPlayingID EngineSound::PostEvent(ZkUniqueID eventId, ZkGameObjectID gameObject)
{
    return ZK::SoundEngine::PostEvent(eventId, gameObject, 0, nullptr, nullptr, 0, nullptr, ZK_INVALID_PLAYING_ID);
}

void EngineSound::StopPlayingID(ZkPlayingID playingId, ZkTimeMs transitionMs, ZkCurveInterpolation curve)
{
    ZK::SoundEngine::StopPlayingID(playingId, transitionMs, curve);
}

void EngineSound::StopAll(ZkGameObjectID gameObject)
{
    ZK::SoundEngine::StopAll(gameObject);
}

ZKRESULT EngineSound::SetRTPCValue(ZkUniqueID parameterId, float value, ZkGameObjectID gameObject,
                                   ZkTimeMs transitionMs, ZkCurveInterpolation curve, bool bypassInterpolation)
{
    return ZK::SoundEngine::SetRTPCValue(parameterId, value, gameObject, transitionMs, curve, bypassInterpolation);
}

ZKRESULT EngineSound::GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count,
                                                  ZkPlayingID* playingIds)
{
    return ZK::SoundEngine::Query::GetPlayingIDsFromGameObject(gameObject, count, playingIds);
}

ZkUniqueID EngineSound::GetEventIDFromPlayingID(ZkPlayingID playingId)
{
    return ZK::SoundEngine::Query::GetEventIDFromPlayingID(playingId);
}

GameSound& Sound()
{
    return g_installed != nullptr ? *g_installed : g_engineSound;
}

void InstallGameSound(GameSound* sound)
{
    g_installed = sound;
}

void WriteVolumeLevels(float level1, float level2)
{
    Sound().SetRTPCValue(kVolumeParameter1Id, level1, ZK_ALL_GAME_OBJECTS, kVolumeTransitionMs, kVolumeCurve, false);
    Sound().SetRTPCValue(kVolumeParameter2Id, level2, ZK_ALL_GAME_OBJECTS, kVolumeTransitionMs, kVolumeCurve, false);
}

void ApplyMuteRule()
{
    if (isMuted)
    {
        WriteVolumeLevels(0.0f, 0.0f);
    }
    else
    {
        WriteVolumeLevels(volumeLevel1, volumeLevel2);
    }
}
