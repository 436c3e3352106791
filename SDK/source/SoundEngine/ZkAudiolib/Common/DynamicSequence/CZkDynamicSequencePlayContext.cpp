#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequencePlayContext.h"

#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"
#include "ZkAudiolib/Common/DynamicSequence/SequenceDelay.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

namespace ZK::SoundEngine
{
CZkDynamicSequencePlayContext::CZkDynamicSequencePlayContext(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                                             const ZkMediaRef* media,
                                                             const ZkPriorityRecord& priority,
                                                             CZkDynamicSequence* sequence)
    : CZkContextPlayingInstance(params, node, media, priority), m_sequence(sequence),
      m_itemSources(params.externalSources),
      m_itemNodeID(sequence->LatestItem().audioNodeID), m_itemCustomInfo(sequence->LatestItem().customInfo),
      m_sequenceNumber(params.sequenceNumber)
{
    m_sequence->AddRef();
    if (m_itemSources != nullptr)
        m_itemSources->AddRef();
}

CZkDynamicSequencePlayContext::~CZkDynamicSequencePlayContext()
{
    if (m_itemSources != nullptr)
        m_itemSources->Release();
    m_sequence->Release();
}

void CZkDynamicSequencePlayContext::CompleteNextLaunch(PlayLaunchParams& record) const
{
    record.playTargetKind = PlayLaunchParams::kPlayTargetDynamicSequence;
    record.playTarget = m_sequence;
    record.sequenceNumber = m_sequenceNumber;
}

void CZkDynamicSequencePlayContext::OnEndNotice(float remainingMs)
{
    CZkContextPlayingInstance::OnEndNotice(remainingMs);
    // A stopping instance lets nothing follow; only a sample-accurate run goes on this early.
    if ((Status() & (kStatusStopping | kStatusKilled)) == 0 &&
        m_sequence->Type() == DynamicSequence::DynamicSequenceType_SampleAccurate)
        Advance();
}

void CZkDynamicSequencePlayContext::OnTeardown()
{
    // A play that failed after its instance was made is reported by the loop that started it,
    // which goes on with the next item itself.
    const bool played = WasPlayed();
    if (played && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->NotifyDynamicSequenceItemEnd(PlayingID(), m_itemNodeID, m_itemCustomInfo);
    CZkContextPlayingInstance::OnTeardown();
    if (played)
        Advance();
}

void CZkDynamicSequencePlayContext::Advance()
{
    if (IsKilled())
        return;
    if (ChainGoesOn())
    {
        m_advancePending = false; // the chain's next item takes the duty over
        return;
    }
    if (!m_advancePending)
        return;
    m_advancePending = false;
    for (;;)
    {
        uint32_t delay = 0;
        void* info = nullptr;
        const ZkUniqueID node = m_sequence->AdvanceItem(delay, info, m_itemSources);
        if (node == 0 || PlayItem(node, delay) == ZK_Success)
            return;
        if (g_pPlayingMgr != nullptr)
            g_pPlayingMgr->NotifyDynamicSequenceItemEnd(PlayingID(), node, info);
    }
}

ZKRESULT CZkDynamicSequencePlayContext::PlayItem(ZkUniqueID nodeID, uint32_t delayMs)
{
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(nodeID, false));
    if (node == nullptr)
        return ZK_Fail;
    PlayLaunchParams launch;
    // The next item continues this one: a new chain of its own, this item's fades, pause and path.
    launch.playChain = CZkPlayChain::Create();
    if (launch.playChain == nullptr)
    {
        node->Release();
        return ZK_Fail;
    }
    launch.handedFade = FadeTransition();
    launch.handedPause = PauseTransition();
    launch.handedPauseCount = PauseCount();
    launch.handedPathPlayer = PathPlayer();
    launch.handedPathID = PathID();
    launch.playTargetKind = PlayLaunchParams::kPlayTargetDynamicSequence;
    launch.playTarget = m_sequence;
    m_sequence->AddRef();
    launch.gameObject = GameObjectOf();
    launch.playingID = PlayingID();
    launch.externalSources = m_itemSources;
    if (launch.externalSources != nullptr)
        launch.externalSources->AddRef();
    launch.fadeInTime = 0;
    launch.fadeInCurve = ZkCurveInterpolation_Constant;
    launch.startDelaySamples = SequenceDelay::ToSamples(delayMs);
    launch.sequenceNumber = m_sequenceNumber;
    launch.nodeID = nodeID;
    launch.launchFlags = static_cast<uint8_t>(launch.launchFlags & ~PlayLaunchParams::kFlagFirstItem);
    auto* playable = dynamic_cast<CZkPlayableNode*>(node);
    const ZKRESULT result = playable != nullptr ? playable->Launch(launch) : ZK_Fail;
    node->Release();
    ZkVoiceLists::IncrementLaunchCounter();
    launch.FreeArrays();
    return result;
}
} // namespace ZK::SoundEngine
