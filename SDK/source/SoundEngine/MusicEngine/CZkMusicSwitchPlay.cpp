// The play of a switch container at the root of a play.
#include "MusicEngine/CZkMusicSwitchContainer.h"

#include "MusicEngine/Contexts/CZkMusicSwitchContext.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

namespace ZK::MusicEngine
{
ZKRESULT CZkMusicSwitchContainer::Play(SoundEngine::PlayLaunchParams& params)
{
    ZkMusicPlayInfo playInfo;
    playInfo.externalSources = params.externalSources;
    playInfo.playingID = params.playingID;
    // The option byte every clip of the play is started with: bit 0, start paused.
    const uint8_t option = params.playType == SoundEngine::CZkPlayingInstance::kStartPaused ? 1 : 0;
    CZkMusicSwitchContext* root =
        CZkMusicSwitchContext::Create(nullptr, *this, static_cast<CZkRegisteredObj*>(params.gameObject), playInfo, option);
    if (root == nullptr)
        return ZK_Fail;
    root->PlayWithFade(ZkMusicFadeParams{static_cast<int32_t>(params.fadeInTime), static_cast<int32_t>(params.fadeInCurve), 0});
    // Its subscribers and entries hold the root from now on.
    root->Release();
    return ZK_Success;
}
} // namespace ZK::MusicEngine
