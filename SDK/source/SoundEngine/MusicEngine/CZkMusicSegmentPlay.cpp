// The plays of a segment: by itself at the root of a play, or under a parent context.
#include "MusicEngine/CZkMusicSegment.h"

#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <new>

namespace ZK::MusicEngine
{
CZkMusicSegmentSequenceContext* CZkMusicSegment::CreateSequenceContext(CZkMusicContext* parentContext)
{
    if (MarkerCount() == 0)
        return nullptr;
    void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(CZkMusicSegmentSequenceContext));
    if (memory == nullptr)
        return nullptr;
    auto* context = new (memory) CZkMusicSegmentSequenceContext(parentContext, *this);
    context->AddRef();
    return context;
}

ZKRESULT CZkMusicSegment::Play(SoundEngine::PlayLaunchParams& params)
{
    CZkMusicSegmentSequenceContext* root = CreateSequenceContext(nullptr);
    if (root == nullptr)
        return ZK_Fail;
    ZkMusicPlayInfo playInfo;
    playInfo.externalSources = params.externalSources;
    playInfo.playingID = params.playingID;
    // The option byte every clip of the play is started with: bit 0, start paused.
    const uint8_t option = params.playType == SoundEngine::CZkPlayingInstance::kStartPaused ? 1 : 0;
    const ZKRESULT started = root->Start(static_cast<CZkRegisteredObj*>(params.gameObject), playInfo, option);
    if (started != ZK_Success)
    {
        // Its last release takes it off the playing list and ends what StartPlay made.
        root->Stop(0);
        root->Release();
        return ZK_Fail;
    }
    root->PlayWithFade(ZkMusicFadeParams{static_cast<int32_t>(params.fadeInTime), static_cast<int32_t>(params.fadeInCurve), 0});
    // The segment context under it holds the root from now on.
    root->Release();
    return ZK_Success;
}
} // namespace ZK::MusicEngine
