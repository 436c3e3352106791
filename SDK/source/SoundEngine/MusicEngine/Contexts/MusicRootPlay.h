// The play of a music container at the root of a play: a root context of the container's kind,
// started with the launch's fade-in. What plays under the root (its subscribers, entries and
// segment contexts) holds it from then on.
//
// Threading: engine thread, under the global engine lock (the node's play entry point).
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"
#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

namespace ZK::MusicEngine
{
template <typename RootContext, typename Container>
ZKRESULT PlayAtRoot(Container& container, SoundEngine::PlayLaunchParams& params)
{
    ZkMusicPlayInfo playInfo;
    playInfo.externalSources = params.externalSources;
    playInfo.playingID = params.playingID;
    // The option byte every clip of the play is started with: bit 0, start paused.
    const uint8_t option = params.playType == SoundEngine::CZkPlayingInstance::kStartPaused ? 1 : 0;
    RootContext* root =
        RootContext::Create(nullptr, container, static_cast<CZkRegisteredObj*>(params.gameObject), playInfo, option);
    if (root == nullptr)
        return ZK_Fail;
    root->PlayWithFade(ZkMusicFadeParams{static_cast<int32_t>(params.fadeInTime), static_cast<int32_t>(params.fadeInCurve), 0});
    root->Release();
    return ZK_Success;
}
} // namespace ZK::MusicEngine
