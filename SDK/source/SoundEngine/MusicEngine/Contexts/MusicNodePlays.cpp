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
    return root.playRecord != nullptr && root.GetNode() == &node && PlayMatches(*root.playRecord, params);
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

bool PlayMatches(const CZkMusicPlayRecord& record, const SoundEngine::ZkActionParams& params)
{
    if (params.gameObject != nullptr && params.gameObject != record.gameObject)
        return false;
    return params.playingID == 0 || params.playingID == record.PlayingID();
}

void ApplyActionToRoot(CZkMusicTimelineContext& root, const SoundEngine::ZkActionParams& params)
{
    const ZkMusicFadeParams fade{static_cast<int32_t>(params.transitionTime), static_cast<int32_t>(params.curve), 0};
    // A stop may take the last reference but the caller's: the root stays valid until the end.
    root.AddRef();
    switch (params.code)
    {
    case SoundEngine::ZkActionCode_Stop:
        root.StopWithFade(fade, 0);
        break;
    case SoundEngine::ZkActionCode_Pause:
        root.PauseWithFade(fade);
        break;
    case SoundEngine::ZkActionCode_Resume:
        root.ResumeWithFade(fade, params.resumeAllPauses);
        break;
    default:
        break;
    }
    root.Release();
}

void ApplyActionToPlays(const CZkMusicNode& node, const SoundEngine::ZkActionParams& params)
{
    ForEachPlayOf(node, params, [&params](CZkMusicTimelineContext& root) { ApplyActionToRoot(root, params); });
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
