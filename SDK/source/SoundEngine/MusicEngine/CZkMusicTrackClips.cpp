// The start of a clip's sound on its track: the steps of a sound's play over an instance the music
// makes itself (a CZkMusicSourceInstance under the clip's track context).
#include "MusicEngine/CZkMusicTrack.h"

#include "MusicEngine/Contexts/CZkMusicSourceInstance.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
// A music clip plays its source over and over (it wraps at the source's length) until the track
// context stops it at the clip's end.
constexpr uint16_t kLoopForever = 0;

bool IsPrefetched(const ZkMediaRef& media)
{
    return (media.flags & kMediaFlagPrefetch) != 0;
}
} // namespace

bool CZkMusicTrack::IsStreamedMedia(const ZkMediaRef& media)
{
    return media.Kind() == kMediaKindOwned;
}

int32_t CZkMusicTrack::ClipLookAhead(const ZkMusicClip& clip, int32_t trackStart) const
{
    const ZkMediaRef* media = MediaOf(clip.sourceID);
    if (media == nullptr || !IsStreamedMedia(*media))
        return 0;
    if (IsPrefetched(*media) && clip.start >= trackStart && clip.startOffset == 0)
        return 0;
    return m_lookAhead;
}

ZKRESULT CZkMusicTrack::StartClip(const ZkClipStartRequest& request, CZkMusicSourceInstance*& instance)
{
    instance = nullptr;
    auto* object = static_cast<CZkGameObject*>(request.gameObject);
    uint8_t behaviour = 0;
    const bool mayStartVirtual = CZkHierarchyNode::CheckPlayable(this, object, behaviour);
    ZkPriorityRecord priority;
    float maxRadius = 0.0f;
    CZkHierarchyNode::ComputePlayPriority(priority, this, object, maxRadius);
    uint32_t reason = 0;
    // 1, or 80 at the voice limit: the clip then starts virtual, as any sound does.
    const ZKRESULT limit = CZkActiveInstances::CheckInstanceLimit(priority.priority, reason);

    PlayLaunchParams launch;
    launch.Init();
    launch.playingID = request.playingID;
    launch.gameObject = object;
    launch.externalSources = request.externalSources;
    if (launch.externalSources != nullptr)
        launch.externalSources->AddRef();
    launch.playType = request.option & 1u;
    launch.startDelaySamples = request.frameOffset;

    ZKRESULT result = ZK_Fail;
    bool started = false;
    instance = ZK::ZkNew<CZkMusicSourceInstance>(CZkPlayingInstance::kPool, launch, this, request.media, priority,
                                                 request.sourcePosition, *request.trackContext, *request.clip,
                                                 request.speed);
    if (instance != nullptr)
    {
        bool belowThreshold = false;
        result = instance->Initialize(maxRadius, mayStartVirtual, reason, belowThreshold);
        if (result == ZK_Success)
        {
            result = PlayWithInstance(this, object, priority.priority, limit, mayStartVirtual, reason, instance, false);
            started = result == ZK_Success;
        }
        if (result == ZK_Success)
        {
            instance->RefreshFromNode();
            instance->MarkPrepared();
            instance->SetLoopCount(kLoopForever);
            result = instance->Play(0, ZkCurveInterpolation_Linear, launch.playType == CZkPlayingInstance::kStartPaused,
                                    false);
        }
        if (result == ZK_Success)
            CZkActiveInstances::Add(instance);
    }
    launch.FreeArrays();
    if (result == ZK_Success)
        return ZK_Success;
    // The playing id learns of an instance that never played, so that the play's end is reported.
    if (instance != nullptr && !started && request.playingID != 0)
        instance->JoinPlayingID();
    CZkPlayingInstance* pending = instance;
    DiscardPendingInstance(this, pending, started, object);
    instance = nullptr;
    return result == ZK_Fail || result == ZK_InsufficientMemory ? ZK_Fail : result;
}
} // namespace ZK::MusicEngine
