// CZkPlayingMgr (declaration only): the table of playing ids and their records. Game parameters ask
// a playing id's record to remember the parameters that hold values under it, so that they are
// cleared when the playing id ends; positioning hands it the speaker-volume matrices of voices for
// the game's callbacks. The front end registers each posted event's playing id with it, drops the
// pending reference once the engine has handled the post, cancels callbacks and asks it about
// playing ids.
//
// Threading: audio thread, under the global engine lock; the registrations, cancels and queries
// from any thread under the manager's own lock. Ownership: the engine's singleton.
#pragma once

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

struct ZkSpeakerVolumeMatrixCallbackInfo;

namespace ZK::SoundEngine
{
struct ZkPostEventMessage;

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

    // Records the posted event's playing id (from its message) with one pending reference. Not
    // built yet: 4, nothing recorded, and the post fails.
    ZKRESULT AddPlayingID(const ZkPostEventMessage&, ZkCallbackFunc, void*, uint32_t, ZkUniqueID)
    {
        return ZK_NotImplemented;
    }
    // One pending reference more or less; the last one ends the playing id. Not built yet: 4.
    ZKRESULT AddPlayingIDRef(ZkPlayingID) { return ZK_NotImplemented; }
    ZKRESULT RemovePlayingIDRef(ZkPlayingID) { return ZK_NotImplemented; }
    // No more callbacks for a playing id, a cookie or a game object. Not built yet: 4.
    ZKRESULT CancelCallbacksByPlayingID(ZkPlayingID) { return ZK_NotImplemented; }
    ZKRESULT CancelCallbacksByCookie(void*) { return ZK_NotImplemented; }
    ZKRESULT CancelCallbacksByGameObject(ZkGameObjectID) { return ZK_NotImplemented; }
    // Queries. Not built yet: no playing id is known (0, all ones, and 4 with the count unchanged).
    ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID) { return ZK_INVALID_UNIQUE_ID; }
    ZkGameObjectID GetGameObjectFromPlayingID(ZkPlayingID) { return ZK_ALL_GAME_OBJECTS; }
    ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID, uint32_t&, ZkPlayingID*) { return ZK_NotImplemented; }
};

// Null until the playing manager exists: playing-id scoped values are then refused.
inline CZkPlayingMgr* g_pPlayingMgr = nullptr;
} // namespace ZK::SoundEngine
