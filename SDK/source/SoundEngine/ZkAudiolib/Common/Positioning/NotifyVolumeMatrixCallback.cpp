#include "ZkAudiolib/Common/Positioning/NotifyVolumeMatrixCallback.h"

#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

namespace ZK::SoundEngine
{
bool NotifyVolumeMatrixCallback(ZkPlayingID playingID, ZkUniqueID busID, ZkChannelConfig input, ZkChannelConfig output,
                                float* matrix, ZkGameObjectID gameObject)
{
    if (g_pPlayingMgr == nullptr)
        return false;
    ZkSpeakerVolumeMatrixCallbackInfo info;
    info.inputConfig = input;
    info.outputConfig = output;
    info.volumes = matrix;
    info.gameObjID = gameObject;
    return playingID != ZK_INVALID_PLAYING_ID ? g_pPlayingMgr->NotifySpeakerVolumeMatrix(playingID, info)
                                              : g_pPlayingMgr->NotifyBusVolume(busID, info);
}
} // namespace ZK::SoundEngine
