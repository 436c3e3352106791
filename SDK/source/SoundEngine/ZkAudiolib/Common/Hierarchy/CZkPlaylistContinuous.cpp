// The playlist container's continuous play: one play walks through the list, item after item, for
// a number of loops. The container pushes an item of its own on the play chain (its loop counter
// and a chain-local history) and plays the first entry; the sound's instance (a context instance)
// asks the chain for the next entry near or at its end and queues its play. Trigger-rate playlists
// (kind 5) drive the timing themselves: each pass plays one entry and queues the container's next
// pass.
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkChainContinuation.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// The parameter of the transition time in the state and game-parameter offsets.
constexpr uint32_t kTransitionTimeParam = 15;
constexpr float kMsPerSecond = 1000.0f;
} // namespace

bool CZkPlaylistContainerNode::PushChainItem(CZkPlayChain& chain)
{
    CZkPlayChainItem* item = chain.Items().AddLast();
    if (item == nullptr)
        return false;
    item->flags = 0;
    item->Init();
    AddRef();
    item->container = this;
    if (m_loopCount == 0)
    {
        item->flags |= CZkPlayChainItem::kFinite | CZkPlayChainItem::kInfinite;
        item->loopsLeft = 1;
        return true;
    }
    const int32_t passes = m_loopCount + ZK::ZkLcg64::Engine().RandomIntInRange(m_loopRandomMin, m_loopRandomMax);
    item->loopsLeft = static_cast<int16_t>(std::clamp<int32_t>(passes, 1, INT16_MAX));
    if (passes > 1)
        item->flags |= CZkPlayChainItem::kFinite;
    return true;
}

CZkPlayHistory* CZkPlaylistContainerNode::ChainHistory(CZkPlayChainItem& item, CZkGameObject* object)
{
    if (item.history != nullptr)
        return Fits(*item.history) ? item.history : nullptr;
    if (m_playMode == kPlayModeRandom || m_restartEachPlay)
    {
        item.history = NewHistory();
        return item.history;
    }
    // The first selection of the play goes on from where the last play stopped.
    CZkPlayHistory* persistent = FindOrCreateHistory(object);
    if (persistent == nullptr || !Fits(*persistent))
        return nullptr;
    item.history = persistent->Clone();
    return item.history;
}

void CZkPlaylistContainerNode::FollowChain(const CZkSequenceHistory& chain, CZkGameObject* object)
{
    CZkPlayHistory* persistent = FindOrCreateHistory(object);
    if (persistent == nullptr || persistent->HistoryKind() != CZkPlayHistory::Kind::Sequence)
        return;
    auto& behind = static_cast<CZkSequenceHistory&>(*persistent);
    const int32_t count = static_cast<int32_t>(m_entries->Count());
    behind.forward = chain.forward;
    behind.lastIndex = static_cast<int16_t>(chain.forward != 0 ? chain.lastIndex - 1 : chain.lastIndex + 1);
    if (behind.lastIndex + 1 == count && !m_reverseAtEnd)
        behind.lastIndex = -1;
    else if (behind.lastIndex == 0 && behind.forward == 0)
        behind.forward = 1;
}

CZkHierarchyNode* CZkPlaylistContainerNode::SelectForChain(CZkPlayChainItem& item, CZkGameObject* object,
                                                           int32_t& index)
{
    index = -1;
    const uint32_t count = m_entries != nullptr ? m_entries->Count() : 0;
    if (count == 0 || g_pObjectIndex == nullptr)
        return nullptr;
    ZkLoopCounter loop{item.loopsLeft, item.flags};
    // An entry whose node is not loaded is passed over; a list with none loaded ends the item.
    for (uint32_t attempt = 0; attempt < count; ++attempt)
    {
        if (count == 1)
        {
            if (item.loopsLeft <= 0)
                return nullptr;
            if ((item.flags & CZkPlayChainItem::kInfinite) == 0)
                --item.loopsLeft;
            index = 0;
        }
        else
        {
            CZkPlayHistory* history = ChainHistory(item, object);
            if (history == nullptr)
                return nullptr;
            if (history->HistoryKind() == CZkPlayHistory::Kind::Random)
            {
                index = static_cast<CZkRandomHistory*>(history)->RandomIndex(*m_entries, RandomSettings(), &loop,
                                                                             ZK::ZkLcg64::Engine());
            }
            else
            {
                auto* sequence = static_cast<CZkSequenceHistory*>(history);
                index = sequence->Step(count, m_reverseAtEnd, &loop);
                if (index >= 0 && !m_restartEachPlay)
                    FollowChain(*sequence, object);
            }
            if (index < 0)
                return nullptr;
        }
        auto* node = static_cast<CZkHierarchyNode*>(
            g_pObjectIndex->GetNodePtrAndAddRef(m_entries->ID(static_cast<uint32_t>(index)), false));
        if (node != nullptr)
            return node;
    }
    index = -1;
    return nullptr;
}

float CZkPlaylistContainerNode::GetTransitionTime(CZkGameObject* object, ZkPlayingID playingID)
{
    float time = m_transitionTime + ZK::ZkLcg64::Engine().RandomFloatInRange(m_transitionRandomMin, m_transitionRandomMax);
    const ZkRTPCKey key = ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object), playingID);
    time += kMsPerSecond * (StateValue(kTransitionTimeParam) + ParamValueForKey(kTransitionTimeParam, key));
    return time > 0.0f ? time : 0.0f;
}

bool CZkPlaylistContainerNode::OwnsTop(const CZkPlayChain* chain) const
{
    return chain != nullptr && !chain->Items().IsEmpty() && chain->Items()[chain->Items().Length() - 1].container == this;
}

ZKRESULT CZkPlaylistContainerNode::PlayContinuous(PlayLaunchParams& params)
{
    if (params.playChain == nullptr && (params.playChain = CZkPlayChain::Create()) == nullptr)
        return ZK_Fail;
    if (m_transitionKind == ZkChainContinuation::kTransitionTriggerRate)
        return PlayTriggerRate(params);
    CZkPlayChain& chain = *params.playChain;
    if (!PushChainItem(chain))
        return ContinuePlayChain(params);
    int32_t index = -1;
    CZkHierarchyNode* child = SelectForChain(chain.Items().Last(), params.gameObject, index);
    if (child == nullptr)
    {
        chain.Items().Last().Release();
        chain.Items().Erase(chain.Items().Length() - 1);
        return ContinuePlayChain(params);
    }
    params.path.Push(static_cast<uint32_t>(index), true);
    ZKRESULT result = PlayChild(child, params);
    child->Release();
    if (result != ZK_Success)
    {
        // An item that cannot start ends at once: the next one follows after the least lead.
        result = ZkChainContinuation::QueueAfterFailure(params);
    }
    return result;
}

ZKRESULT CZkPlaylistContainerNode::PlayTriggerRate(PlayLaunchParams& params)
{
    CZkPlayChain& chain = *params.playChain;
    int32_t current = -1;
    CZkHierarchyNode* child = nullptr;
    if (params.nextIndex >= 0 && OwnsTop(&chain))
    {
        current = params.nextIndex;
        if (static_cast<uint32_t>(current) < m_entries->Count() && g_pObjectIndex != nullptr)
            child = static_cast<CZkHierarchyNode*>(
                g_pObjectIndex->GetNodePtrAndAddRef(m_entries->ID(static_cast<uint32_t>(current)), false));
    }
    else
    {
        if (!PushChainItem(chain))
            return ContinuePlayChain(params);
        child = SelectForChain(chain.Items().Last(), params.gameObject, current);
    }
    params.nextIndex = -1;
    if (child == nullptr)
    {
        chain.Items().Last().Release();
        chain.Items().Erase(chain.Items().Length() - 1);
        return ContinuePlayChain(params);
    }
    int32_t next = -1;
    CZkHierarchyNode* nextChild = SelectForChain(chain.Items().Last(), params.gameObject, next);
    ZKRESULT result = ZK_Success;
    if (nextChild == nullptr)
    {
        // The last item: the chain above goes on after it.
        chain.Items().Last().Release();
        chain.Items().Erase(chain.Items().Length() - 1);
        if (chain.Items().IsEmpty())
        {
            chain.Release();
            params.playChain = nullptr;
        }
        params.path.Push(static_cast<uint32_t>(current), false);
        params.launchFlags |= PlayLaunchParams::kFlagRateTimed;
        result = PlayChild(child, params);
        child->Release();
        return result;
    }
    nextChild->Release();
    // This item plays on its own; the container keeps the timing.
    PlayLaunchParams item;
    if (params.CopyTo(item))
    {
        item.playChain->Release();
        item.playChain = nullptr;
        item.path.Push(static_cast<uint32_t>(current), false);
        item.launchFlags |= PlayLaunchParams::kFlagRateTimed;
        result = PlayChild(child, item);
        item.FreeArrays();
    }
    child->Release();
    params.nextIndex = next;
    const uint32_t interval =
        std::max(SecondsToSamples(GetTransitionTime(params.gameObject, params.playingID) / kMsPerSecond),
                 ZkChainContinuation::MinimumLeadSamples());
    // Timed from this pass's own start, which may lie inside its frame.
    const ZKRESULT queued =
        ZkChainContinuation::QueuePlay(this, params, interval + params.startDelaySamples, params.fadeInTime, nullptr);
    return queued != ZK_Success ? queued : result;
}
} // namespace ZK::SoundEngine
