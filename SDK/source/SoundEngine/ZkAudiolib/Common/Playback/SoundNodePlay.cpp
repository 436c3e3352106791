// The play of a sound node: from the node, its media and the play's launch record to a started
// playing instance with its voice command queued, cleaning up on every failure; and the entries by
// which a caller that prepared an instance itself (the music engine) runs the same steps.
//
// The steps of a play: the node's behaviours below the volume threshold (whether the play may
// start virtual), its priority, the engine-wide voice limit, the external source's media, the
// instance, its initialisation (below the threshold?), the node's limits (the play is counted at
// the node and its parents from here on), Start, the first evaluation, the voice command, the
// active list.
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

namespace ZK::SoundEngine
{
namespace
{
// The reason a prepared instance is refused.
constexpr uint32_t kReasonRefused = 32;
// Plug-in ids of external sources: their media come with the post.
constexpr int32_t kFirstExternalSource = 0x80000;
constexpr int32_t kLastExternalSource = 0x8FFFF;

// The node's below-threshold behaviour for a new play: 3 (by looping) becomes 2, since the play of
// a sound carries no container context that could decide otherwise.
uint8_t PlayBehaviour(const CZkHierarchyNode* node)
{
    const uint8_t behaviour = node->GetBehaviours().belowThreshold;
    return behaviour == ZkBelowThreshold_ByLooping ? uint8_t{ZkBelowThreshold_Virtual} : behaviour;
}

bool IsExternalSource(const ZkMediaRef& media)
{
    return media.sourceType >= kFirstExternalSource && media.sourceType <= kLastExternalSource;
}

// The instance's own copy of the media for the post's external source whose cookie the node's
// media names. 1 with copy; 2 when no entry matches; 52 out of memory.
ZKRESULT ResolveExternalSource(const ZkMediaRef& media, const ZkExternalSourceArray* sources,
                               ZkMediaRef*& copy)
{
    copy = nullptr;
    const ZkExternalSourceInfo* entry = nullptr;
    for (uint32_t index = 0; sources != nullptr && index < sources->Count(); ++index)
    {
        if (sources->Record(index).cookie == static_cast<uint32_t>(media.fileID))
        {
            entry = &sources->Record(index);
            break;
        }
    }
    if (entry == nullptr)
        return ZK_Fail;
    copy = media.Clone();
    if (copy == nullptr)
        return ZK_InsufficientMemory;
    const auto typeWord = static_cast<int32_t>((entry->codecID << 16) + 1);
    if (entry->fileID != 0)
    {
        copy->SetExternal(media.mediaID, typeWord, entry->fileName, static_cast<int32_t>(entry->fileID),
                          false, true);
    }
    else if (entry->fileName != nullptr)
    {
        copy->SetExternal(media.mediaID, typeWord, entry->fileName, kNoFileID, true, true);
    }
    else if (entry->inMemory != nullptr && entry->memorySize != 0)
    {
        ZkMediaInfo info;
        info.mediaID = media.mediaID;
        info.size = entry->memorySize;
        info.flags =
            (copy->flags & ~kMediaKindMask) | kMediaFlagInstanceOwned | kMediaKindInMemory << kMediaKindShift;
        copy->SetInMemory(typeWord, entry->inMemory, info);
    }
    else
    {
        copy->Free();
        ZK::ZkDelete(ZkMediaRef::kPool, copy);
        copy = nullptr;
        return ZK_Fail;
    }
    if (entry->fileName != nullptr && copy->data == nullptr)
    {
        // The name could not be copied.
        ZK::ZkDelete(ZkMediaRef::kPool, copy);
        copy = nullptr;
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

// The node's limits for the instance's play: the node, its output bus and its parents count the
// play and collect their limiters into the instance's list (none for a detached instance). The
// play is counted unless the records could not be made (52).
ZKRESULT CountAtNode(CZkHierarchyNode* node, CZkPlayingInstance& instance, CZkGameObject* object,
                     float priority)
{
    ZkPlayCount play;
    play.gameObject = object;
    play.priority = priority;
    play.limiters = instance.IsDetached() ? nullptr : &instance.Limiters();
    const ZKRESULT result = node->PlayCountUp(play);
    if (result != ZK_InsufficientMemory)
        instance.SetPlayCounted();
    return result;
}

// An instance that does not play: its playing id learns of it first, so that its end is reported.
ZKRESULT Discard(CZkPlayingInstance* instance, bool started, ZKRESULT result)
{
    if (instance->PlayingID() != 0)
        instance->JoinPlayingID();
    if (!started)
        instance->MarkNeverStarted();
    CZkPlayingInstance::Free(instance);
    return result;
}
} // namespace

ZKRESULT CZkPlayingInstance::PlaySoundNode(CZkHierarchyNode* node, const ZkMediaRef& media,
                                           PlayLaunchParams& params)
{
    CZkGameObject* object = params.gameObject;
    const bool mayStartVirtual = PlayBehaviour(node) != ZkBelowThreshold_Stop;

    ZkPriorityRecord record;
    float maxRadius = 0.0f;
    CZkHierarchyNode::ComputePlayPriority(record, node, object, maxRadius);
    uint32_t reason = 0;
    const bool engineLimitReached =
        CZkActiveInstances::CheckInstanceLimit(record.priority, reason) == ZK_InstanceLimitReached;

    const ZkMediaRef* playMedia = &media;
    ZkMediaRef* ownMedia = nullptr;
    if (IsExternalSource(media))
    {
        const ZKRESULT resolved = ResolveExternalSource(media, params.externalSources, ownMedia);
        if (resolved != ZK_Success)
            return resolved;
        playMedia = ownMedia;
    }

    CZkPlayingInstance* instance = Create(params, node, playMedia, record);
    if (instance == nullptr)
    {
        if (ownMedia != nullptr)
        {
            ownMedia->Free();
            ZK::ZkDelete(ZkMediaRef::kPool, ownMedia);
        }
        return ZK_Fail;
    }

    bool belowThreshold = false;
    ZKRESULT result = instance->Initialize(maxRadius, mayStartVirtual, reason, belowThreshold);
    if (result != ZK_Success)
        return Discard(instance, false, result);

    result = CountAtNode(node, *instance, object, record.priority);
    if (result == ZK_Fail)
        return Discard(instance, false, ZK_PartialSuccess);
    if (result == ZK_InsufficientMemory)
        return Discard(instance, false, result);
    if (result == ZK_InstanceLimitReached || engineLimitReached)
    {
        instance->SetStartsVirtual(true);
        if (!mayStartVirtual)
            return Discard(instance, false, ZK_PartialSuccess);
    }

    result = instance->Start();
    if (result != ZK_Success)
        return Discard(instance, true, result);
    // The play's modulators start (one that cannot be attached leaves the play unmodulated by it).
    // Their values reach the instance as changes from the values they started with, so a play
    // that started any is evaluated again with them: its evaluation before the start read none.
    instance->AttachModulators(kModulatorTriggerPlay);
    if ((instance->Flags() & kFlagEvaluated) == 0 || instance->ModulatorLinks().links != nullptr)
        instance->RefreshFromNode();
    else if (instance->GainDirty())
        instance->RecomputeGain();
    instance->MarkPrepared();
    result = instance->Play(params.fadeInTime, params.fadeInCurve, params.playType == kStartPaused, false);
    if (result != ZK_Success)
        return Discard(instance, true, result);
    CZkActiveInstances::Add(instance);
    return ZK_Success;
}

bool CZkHierarchyNode::CheckPlayable(CZkHierarchyNode* node, CZkGameObject*, uint8_t& status)
{
    status = PlayBehaviour(node);
    return status != ZkBelowThreshold_Stop;
}

ZKRESULT CZkHierarchyNode::PlayWithInstance(CZkHierarchyNode* node, CZkGameObject* object, float priority,
                                            ZKRESULT limitResult, bool mayStartVirtual, uint32_t& reason,
                                            CZkPlayingInstance* instance, bool)
{
    const ZKRESULT counted = CountAtNode(node, *instance, object, priority);
    if (counted == ZK_Fail || counted == ZK_InsufficientMemory)
    {
        reason = kReasonRefused;
        return ZK_PartialSuccess;
    }
    if (counted == ZK_InstanceLimitReached || limitResult == ZK_InstanceLimitReached)
    {
        instance->SetStartsVirtual(true);
        if (!mayStartVirtual)
        {
            reason = kReasonRefused;
            return ZK_PartialSuccess;
        }
    }
    return instance->Start();
}

void CZkHierarchyNode::DiscardPendingInstance(CZkHierarchyNode* node, CZkPlayingInstance*& instance,
                                              bool started, CZkGameObject* object)
{
    if (instance != nullptr)
    {
        if (!started)
            instance->MarkNeverStarted();
        CZkPlayingInstance::Free(instance);
        instance = nullptr;
        return;
    }
    if (started)
        node->PlayCountDown(object, true);
}
} // namespace ZK::SoundEngine
