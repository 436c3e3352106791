#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkChainContinuation.h"
#include "ZkAudiolib/Common/Midi/CZkMidiNote.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"

namespace ZK::SoundEngine
{
CZkDynamicPlayAction* CZkDynamicPlayAction::Create(ZkUniqueID nodeID)
{
    auto* action = ZK::ZkNew<CZkDynamicPlayAction>(kPool);
    if (action != nullptr)
        action->SetTarget(nodeID, false);
    return action;
}

CZkDynamicPlayAction::~CZkDynamicPlayAction()
{
    LeaveMidiNote();
    ReleaseSharedPathPlayer();
    m_play.FreeArrays();
    m_modulators.Term();
}

bool CZkDynamicPlayAction::SetSharedPathPlayer(CZkPositionPath* player, uint32_t pathID, CZkHierarchyNode* node)
{
    ReleaseSharedPathPlayer();
    if (player == nullptr || g_pSharedItemArray == nullptr || g_pSharedItemArray->AddRef(player) != ZK_Success)
        return false;
    m_pathPlayer = player;
    m_pathID = pathID;
    m_pathNode = node;
    if (node != nullptr)
        node->AddRef();
    return true;
}

void CZkDynamicPlayAction::ReleaseSharedPathPlayer()
{
    if (m_pathPlayer != nullptr && g_pSharedItemArray != nullptr)
        g_pSharedItemArray->Release(m_pathPlayer);
    m_pathPlayer = nullptr;
    m_pathID = 0;
    if (m_pathNode != nullptr)
        m_pathNode->Release();
    m_pathNode = nullptr;
}

void CZkDynamicPlayAction::SetPlayRecord(const PlayLaunchParams& launch)
{
    if (launch.externalSources != nullptr)
        launch.externalSources->AddRef();
    if (launch.playChain != nullptr)
        launch.playChain->AddRef();
    if (launch.playTarget != nullptr)
        launch.playTarget->AddRef();
    LeaveMidiNote();
    m_play.FreeArrays();
    m_play = launch;
    // A play of a MIDI note waits among the note's actions: its note-off stops it, and the note
    // stays alive until it has run.
    m_play.midiNote = nullptr;
    if (launch.midiNote != nullptr && launch.midiNote->AddAction(this))
        m_play.midiNote = launch.midiNote;
    // The record's instances stay its launcher's: the action takes copies of its own. A path player
    // rides on the action's own reference only.
    m_play.modulatorInstances = ZkModulatorInstanceArray{};
    m_play.handedPathPlayer = nullptr;
    m_play.handedPathID = 0;
    if (launch.modulatorInstances.Length() != 0)
        (void)m_modulators.CopyFrom(launch.modulatorInstances); // a copy that fails hands nothing on
}

bool CZkDynamicPlayAction::RetargetPastStop(const CZkHierarchyNode* stopped)
{
    const CZkPlayChain* chain = m_play.playChain;
    if (stopped == nullptr || chain == nullptr || chain->Items().IsEmpty())
        return false;
    const CZkHierarchyNode* container = chain->Items()[chain->Items().Length() - 1].container;
    if (container == nullptr || stopped == container || !stopped->IsDescendantOf(container))
        return false;
    ZkChainNext next;
    if (!ZkChainContinuation::ResolveNext(m_play.playChain, m_play.path, m_play.gameObject, m_play.playingID, next))
        return false;
    SetTarget(next.node->ID(), false);
    next.node->Release();
    return true;
}

void CZkDynamicPlayAction::LeaveMidiNote()
{
    CZkMidiNote* note = m_play.midiNote;
    m_play.midiNote = nullptr;
    if (note != nullptr)
        note->RemoveAction(this);
}

void CZkDynamicPlayAction::DetachInstance(const CZkPlayingInstance* instance)
{
    if (m_instance == instance)
        m_instance = nullptr;
}

ZKRESULT CZkDynamicPlayAction::Execute(PendingAction& pending)
{
    CZkHierarchyNode* target = GetTargetNode();
    if (target == nullptr)
        return ZK_InvalidID;
    PlayLaunchParams launch = m_play;
    if (launch.externalSources != nullptr)
        launch.externalSources->AddRef();
    if (launch.playChain != nullptr)
        launch.playChain->AddRef();
    if (launch.playTarget != nullptr)
        launch.playTarget->AddRef();
    (void)launch.modulatorInstances.CopyFrom(m_modulators); // a copy that fails hands nothing on
    launch.gameObject = pending.GameObject();
    launch.playingID = pending.playingID;
    launch.sampleOffset = pending.sampleOffset;
    // The frames of look-ahead kept in the offset (the rest of the delay was the queue's): the
    // voice starts on its exact sample.
    launch.startDelaySamples = pending.sampleOffset;
    launch.handedPathPlayer = m_pathPlayer;
    launch.handedPathID = m_pathID;
    launch.skipDelayOnce = true; // the delay that queued this play is over
    if ((Flags() & kFlagRunTime) != 0)
        launch.launchFlags |= PlayLaunchParams::kFlagRunTimeAction;
    const ZKRESULT result = LaunchOn(target, launch);
    // The action's reference on the player ends with its launch.
    ReleaseSharedPathPlayer();
    // A continuous playlist's next item that cannot start ends at once: the one after it follows.
    if (result != ZK_Success && m_play.playChain != nullptr)
    {
        PlayLaunchParams record = m_play;
        record.gameObject = pending.GameObject();
        record.playingID = pending.playingID;
        (void)ZkChainContinuation::QueueAfterFailure(record);
    }
    return result;
}
} // namespace ZK::SoundEngine
