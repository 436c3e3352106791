#include "ZkAudiolib/Common/Hierarchy/ZkChainContinuation.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::SoundEngine::ZkChainContinuation
{
namespace
{
// The scope of the modulator instances an item hands on to the next.
constexpr int32_t kHandedModulatorScope = 1;

void PopTop(CZkPlayChain& chain)
{
    chain.Items().Last().Release();
    chain.Items().Erase(chain.Items().Length() - 1);
}
} // namespace

bool ResolveNext(CZkPlayChain*& chain, ZkPlayPath& path, CZkGameObject* object, ZkPlayingID playingID,
                 ZkChainNext& next)
{
    while (chain != nullptr)
    {
        if (chain->Items().IsEmpty())
        {
            chain->Release();
            chain = nullptr;
            break;
        }
        CZkPlayChainItem& top = chain->Items().Last();
        if (top.childContexts != nullptr)
        {
            PopContextItem(chain);
            continue;
        }
        auto* playlist = dynamic_cast<CZkPlaylistContainerNode*>(top.container);
        int32_t index = -1;
        CZkHierarchyNode* node = playlist != nullptr ? playlist->SelectForChain(top, object, index) : nullptr;
        if (node != nullptr)
        {
            // Depth 0: the playlist's level lies too deep to be recorded.
            if (path.depth >= 1 && path.depth <= ZkPlayPath::kMaxLevels)
                path.indices[path.depth - 1] = static_cast<uint16_t>(index);
            next.node = node;
            next.transitionKind = playlist->TransitionKind();
            next.transitionTimeMs = next.transitionKind >= kTransitionOverlap && next.transitionKind <= kTransitionDelay
                                        ? playlist->GetTransitionTime(object, playingID)
                                        : 0.0f;
            return true;
        }
        PopPlaylistItem(*chain, path);
    }
    return false;
}

void PopContextItem(CZkPlayChain*& chain)
{
    // The children of that container share the chain that came into it: the last one to leave
    // continues it.
    CZkPlayChainItem& top = chain->Items().Last();
    CZkChildContextContainer* contexts = top.childContexts;
    CZkPlayChain* incoming = top.chainRef;
    top.chainRef = nullptr;
    CZkPlayChain* handed = incoming != nullptr ? contexts->HandOverChainRef(incoming) : nullptr;
    // The container counted this chain for the child it made it for; that child has left it. (The
    // caller holds the chain: the container's reference is not its last.)
    contexts->ReleaseChainRef(chain);
    PopTop(*chain);
    if (handed != nullptr)
    {
        chain->Release();
        chain = handed;
    }
}

void PopPlaylistItem(CZkPlayChain& chain, ZkPlayPath& path)
{
    PopTop(chain);
    path.depth = path.depth > 0 ? path.ContinuousDepthBelow(path.depth - 1) : 0;
}

ZKRESULT QueuePlay(CZkHierarchyNode* node, const PlayLaunchParams& record, uint32_t delaySamples, ZkTimeMs fadeInMs,
                   CZkPlayingInstance* from)
{
    if (g_pEventMgr == nullptr)
        return ZK_Fail;
    CZkDynamicPlayAction* play = CZkDynamicPlayAction::Create(node->ID());
    if (play == nullptr)
        return ZK_InsufficientMemory;
    ZKRESULT result =
        play->SetIntProperty(ZkProp_ActionDelay, static_cast<int32_t>(std::min<uint32_t>(delaySamples, INT32_MAX)), 0, 0);
    auto* pending = result == ZK_Success ? ZK::ZkNew<PendingAction>(PendingAction::kPool, play,
                                                                     static_cast<CZkRegisteredObj*>(record.gameObject))
                                         : nullptr;
    if (pending == nullptr)
    {
        play->Release();
        return ZK_InsufficientMemory;
    }
    play->SetPlayRecord(record);
    PlayLaunchParams& launch = play->PlayRecord();
    launch.fadeInTime = fadeInMs;
    launch.launchFlags = static_cast<uint8_t>(launch.launchFlags & ~PlayLaunchParams::kFlagFirstItem);
    play->SetInstance(from);
    if (from != nullptr)
    {
        // What the item hands on to the next: its path player (a path that runs on across items)
        // and its modulator instances of scope 1, which live on while the play carries them.
        (void)play->SetSharedPathPlayer(from->PathPlayer(), from->PathID(), node);
        if (from->ModulatorLinks().links != nullptr)
            from->ModulatorLinks().links->CollectInstancesWithTag(kHandedModulatorScope, play->ModulatorInstances());
    }
    pending->playingID = record.playingID;
    // Forced into the list: the play runs in a later pass of the tick, never inside its caller
    // (an instance's end, which the deferred commands apply).
    result = g_pEventMgr->EnqueuePendingAction(pending, 0, true);
    // The next item of a paused item waits paused with it (a pause of the item's node or object
    // resumes both); one due within this frame starts as the pause left it.
    if (result == ZK_Success && from != nullptr && from->IsPaused() &&
        delaySamples >= ZkAudioSettings::FramesPerBuffer())
        g_pEventMgr->PausePendingAction(pending);
    play->Release();
    return result;
}

ZKRESULT QueueAfterFailure(const PlayLaunchParams& record)
{
    PlayLaunchParams next = record;
    next.path.TrimToContinuous();
    CZkPlayChain* chain = record.playChain;
    if (chain == nullptr)
        return ZK_Fail;
    chain->AddRef();
    ZkChainNext found;
    ZKRESULT result = ZK_Fail;
    if (ResolveNext(chain, next.path, next.gameObject, next.playingID, found))
    {
        next.playChain = chain;
        result = QueuePlay(found.node, next, MinimumLeadSamples(), 0, nullptr);
        found.node->Release();
    }
    if (chain != nullptr)
        chain->Release();
    return result;
}

uint32_t MinimumLeadSamples()
{
    return (GetEngineSettings().lookAheadFrames + 1) * std::max<uint32_t>(ZkAudioSettings::FramesPerBuffer(), 1);
}
} // namespace ZK::SoundEngine::ZkChainContinuation
