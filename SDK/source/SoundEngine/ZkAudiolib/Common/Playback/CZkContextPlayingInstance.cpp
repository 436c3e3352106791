#include "ZkAudiolib/Common/Playback/CZkContextPlayingInstance.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkChainContinuation.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
// Less than this left of the item: an overlapping transition starts the next item at the end.
constexpr float kMinimumOverlapLeadMs = 50.0f;

uint32_t MsToSamples(float ms)
{
    const double samples = std::round(static_cast<double>(ms) * ZkAudioSettings::SampleRate() / 1000.0);
    return samples > 0.0 ? static_cast<uint32_t>(std::min<double>(samples, INT32_MAX)) : 0;
}
} // namespace

CZkContextPlayingInstance::CZkContextPlayingInstance(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                                     const ZkMediaRef* media, const ZkPriorityRecord& priority)
    : CZkPlayingInstance(params, node, media, priority, 0u), m_chain(params.playChain),
      m_externalSources(params.externalSources), m_path(params.path), m_playMidi(params.midiEvent),
      m_midiValue(params.midiValue), m_startOffset(params.startDelaySamples),
      m_firstItem((params.launchFlags & PlayLaunchParams::kFlagFirstItem) != 0)
{
    if (m_chain != nullptr)
        m_chain->AddRef();
    if (m_externalSources != nullptr)
        m_externalSources->AddRef();
    m_path.TrimToContinuous();
    JoinHandedTransitions(params.handedFade, params.handedPause, params.handedPauseCount);
}

CZkContextPlayingInstance::~CZkContextPlayingInstance()
{
    if (m_chain != nullptr)
        m_chain->Release();
    if (m_externalSources != nullptr)
        m_externalSources->Release();
}

bool CZkContextPlayingInstance::ResolveNext()
{
    if (m_nextResolved)
        return m_nextNodeID != 0;
    m_nextResolved = true;
    ZkChainNext next;
    if (!ZkChainContinuation::ResolveNext(m_chain, m_path, GameObjectOf(), PlayingID(), next))
        return false;
    m_nextNodeID = next.node->ID();
    m_nextKind = next.transitionKind;
    m_nextTimeMs = next.transitionTimeMs;
    next.node->Release();
    return true;
}

void CZkContextPlayingInstance::DropNext()
{
    m_nextResolved = true;
    m_nextNodeID = 0;
    if (m_chain != nullptr)
        m_chain->Release();
    m_chain = nullptr;
}

void CZkContextPlayingInstance::LaunchNext(uint32_t delaySamples, float fadeInMs)
{
    if (m_nextNodeID == 0 || g_pObjectIndex == nullptr)
        return;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(m_nextNodeID, false));
    if (node != nullptr)
    {
        PlayLaunchParams record;
        record.gameObject = GameObjectOf();
        record.playingID = PlayingID();
        record.externalSources = m_externalSources;
        record.midiEvent = m_playMidi;
        record.midiValue = m_midiValue;
        record.playChain = m_chain;
        record.path = m_path;
        CompleteNextLaunch(record);
        // The record's references stay the instance's: the queued play takes its own.
        (void)ZkChainContinuation::QueuePlay(node, record, delaySamples, static_cast<ZkTimeMs>(std::lround(fadeInMs)),
                                             this);
        node->Release();
    }
    m_nextLaunched = true;
    DropNext();
}

void CZkContextPlayingInstance::OnEndNotice(float remainingMs)
{
    if ((Status() & (kStatusStopping | kStatusKilled)) != 0 || !ResolveNext())
        return;
    if (m_nextKind != ZkChainContinuation::kTransitionOverlap && m_nextKind != ZkChainContinuation::kTransitionCrossFade)
        return;
    if (!(remainingMs >= kMinimumOverlapLeadMs))
        return; // too short to overlap: the next item follows at the end
    const float overlap = std::min(remainingMs / 2.0f, m_nextTimeMs);
    LaunchNext(m_startOffset + MsToSamples(remainingMs - overlap), overlap);
}

void CZkContextPlayingInstance::OnTeardown()
{
    const bool stopping = (Status() & (kStatusStopping | kStatusKilled)) != 0;
    // An instance that never played goes with its play's failure, which the playlist answers.
    if (!stopping && !m_nextLaunched && WasPlayed() && ResolveNext())
    {
        // An item that never had its source going ended early: the next waits the least lead.
        const bool forced = SourceState() != kSourceDurationKnown;
        uint32_t delay = m_nextKind == ZkChainContinuation::kTransitionDelay ? MsToSamples(m_nextTimeMs) : 0;
        if (forced)
            delay = std::max(delay, ZkChainContinuation::MinimumLeadSamples());
        LaunchNext(delay, 0.0f);
    }
    DropNext();
    // The plays queued for the next item, this one's included, no longer refer to it.
    if (g_pEventMgr != nullptr)
        g_pEventMgr->NotifyPendingDynamicPlays(this);
}

void CZkContextPlayingInstance::LeaveContainer(const CZkHierarchyNode* container)
{
    bool nextOutside = false;
    if (m_nextResolved && m_nextNodeID != 0 && g_pObjectIndex != nullptr && container != nullptr)
    {
        auto* next = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(m_nextNodeID, false));
        nextOutside = next != nullptr && next != container && !next->IsDescendantOf(container);
        if (next != nullptr)
            next->Release();
    }
    if (!nextOutside && container != nullptr)
    {
        m_nextResolved = false;
        m_nextNodeID = 0;
        while (m_chain != nullptr && !m_chain->Items().IsEmpty())
        {
            const CZkPlayChainItem& top = m_chain->Items().Last();
            if (top.childContexts != nullptr)
            {
                ZkChainContinuation::PopContextItem(m_chain);
                continue;
            }
            if (top.container == nullptr ||
                (top.container != container && !top.container->IsDescendantOf(container)))
                break;
            ZkChainContinuation::PopPlaylistItem(*m_chain, m_path);
        }
    }
    StopLooping();
}

void CZkContextPlayingInstance::Kill(uint32_t reason)
{
    DropNext();
    CZkPlayingInstance::Kill(reason);
}

ZKRESULT CZkContextPlayingInstance::ExecuteAction(const ZkActionParams& params)
{
    const bool mine = (params.gameObject == nullptr || params.gameObject == GameObjectOf()) &&
                      (params.playingID == 0 || params.playingID == PlayingID());
    if (mine && params.code == ZkActionCode_Break)
        DropNext();
    return CZkPlayingInstance::ExecuteAction(params);
}

bool CZkContextPlayingInstance::SeekAllowed()
{
    if (!ResolveNext() && m_nextKind == 0)
        return true;
    switch (m_nextKind)
    {
    case ZkChainContinuation::kTransitionOverlap:
    case ZkChainContinuation::kTransitionCrossFade:
    case ZkChainContinuation::kTransitionTriggerRate:
        return false;
    case ZkChainContinuation::kTransitionOnEnd:
        return m_firstItem;
    default:
        return true;
    }
}

void CZkContextPlayingInstance::SeekToTime(float ms, bool option)
{
    if (SeekAllowed())
        CZkPlayingInstance::SeekToTime(ms, option);
}

void CZkContextPlayingInstance::SeekToPercent(float fraction, bool option)
{
    if (SeekAllowed())
        CZkPlayingInstance::SeekToPercent(fraction, option);
}
} // namespace ZK::SoundEngine
