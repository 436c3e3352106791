// CZkPlayingMgr (declaration only): the table of playing ids and their records. Game parameters ask
// a playing id's record to remember the parameters that hold values under it, so that they are
// cleared when the playing id ends; positioning hands it the speaker-volume matrices of voices for
// the game's callbacks.
//
// Threading: audio thread, under the global engine lock. Ownership: the engine's singleton.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

struct ZkSpeakerVolumeMatrixCallbackInfo;

namespace ZK::SoundEngine
{
class CZkPlayingMgr
{
public:
    // Records parameterID in the playing id's sorted set: 1 when the playing id plays and the id is
    // now present. Not built yet: 4, and the caller treats the playing id as gone.
    ZKRESULT RegisterScopedParameter(ZkPlayingID, ZkUniqueID) { return ZK_NotImplemented; }
    // The playing id's speaker-volume-matrix callback, and the bus volume callback of voices without
    // a playing id. Not built yet: 4, nobody is called.
    ZKRESULT NotifySpeakerVolumeMatrix(ZkPlayingID, ZkSpeakerVolumeMatrixCallbackInfo&) { return ZK_NotImplemented; }
    ZKRESULT NotifyBusVolume(ZkUniqueID, ZkSpeakerVolumeMatrixCallbackInfo&) { return ZK_NotImplemented; }
};

// Null until the playing manager exists: playing-id scoped values are then refused.
inline CZkPlayingMgr* g_pPlayingMgr = nullptr;
} // namespace ZK::SoundEngine
