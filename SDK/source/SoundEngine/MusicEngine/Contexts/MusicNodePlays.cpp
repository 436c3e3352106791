#include "MusicEngine/Contexts/MusicNodePlays.h"

#include "MusicEngine/CZkMusicNode.h"
#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <algorithm>

namespace ZK::MusicEngine
{
namespace
{
bool Matches(const CZkMusicTimelineContext& root, const CZkMusicNode& node, const SoundEngine::ZkActionParams& params)
{
    const CZkMusicPlayRecord* record = root.playRecord;
    if (record == nullptr || root.GetNode() != &node)
        return false;
    if (params.gameObject != nullptr && params.gameObject != record->gameObject)
        return false;
    return params.playingID == 0 || params.playingID == record->PlayingID();
}

// Calls act(root) for each matching root; the next root is read first (a stop may end a play).
template <typename Act>
void ForEachPlayOf(const CZkMusicNode& node, const SoundEngine::ZkActionParams& params, Act act)
{
    for (CZkMusicTimelineContext* root = MusicEngineState::Get().FirstPlaying(); root != nullptr;)
    {
        CZkMusicTimelineContext* next = root->nextRoot;
        if (Matches(*root, node, params))
        {
            root->AddRef();
            act(*root);
            root->Release();
        }
        root = next;
    }
}
} // namespace

void ApplyActionToPlays(const CZkMusicNode& node, const SoundEngine::ZkActionParams& params)
{
    const ZkMusicFadeParams fade{static_cast<int32_t>(params.transitionTime), static_cast<int32_t>(params.curve), 0};
    switch (params.code)
    {
    case SoundEngine::ZkActionCode_Stop:
        ForEachPlayOf(node, params, [&fade](CZkMusicTimelineContext& root) { root.StopWithFade(fade, 0); });
        break;
    case SoundEngine::ZkActionCode_Pause:
        ForEachPlayOf(node, params, [&fade](CZkMusicTimelineContext& root) { root.PauseWithFade(fade); });
        break;
    case SoundEngine::ZkActionCode_Resume:
        ForEachPlayOf(node, params, [&fade, &params](CZkMusicTimelineContext& root) {
            root.ResumeWithFade(fade, params.resumeAllPauses);
        });
        break;
    default:
        break;
    }
}

void SeekPlays(const CZkMusicNode& node, const SoundEngine::ZkActionParams& params, bool clampFraction)
{
    ForEachPlayOf(node, params, [&params, clampFraction](CZkMusicTimelineContext& root) {
        ZKRESULT result = ZK_Fail;
        if (params.seekIsRelative)
        {
            float fraction = clampFraction ? std::clamp(params.seekValue, 0.0f, 1.0f) : params.seekValue;
            result = root.SeekByPercent(fraction, params.snapToNearestMarker);
        }
        else
        {
            int32_t ms = params.seekMilliseconds;
            result = root.SeekByTime(ms, params.snapToNearestMarker);
        }
        if (result == ZK_Success && SoundEngine::g_pPlayingMgr != nullptr)
            SoundEngine::g_pPlayingMgr->NotifyMusicPlaybackEvent(root.playRecord->PlayingID());
    });
}
} // namespace ZK::MusicEngine
