#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
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
    m_play.FreeArrays();
    m_play = launch;
    // The record's instances stay its launcher's: the action takes copies of its own.
    m_play.modulatorInstances = ZkModulatorInstanceArray{};
    if (launch.modulatorInstances.Length() != 0)
        (void)m_modulators.CopyFrom(launch.modulatorInstances); // a copy that fails hands nothing on
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
    (void)launch.modulatorInstances.CopyFrom(m_modulators); // a copy that fails hands nothing on
    launch.gameObject = pending.GameObject();
    launch.playingID = pending.playingID;
    launch.sampleOffset = pending.sampleOffset;
    launch.skipDelayOnce = true; // the delay that queued this play is over
    if ((Flags() & kFlagRunTime) != 0)
        launch.launchFlags |= PlayLaunchParams::kFlagRunTimeAction;
    const ZKRESULT result = LaunchOn(target, launch);
    // The action's reference on the player ends with its launch.
    ReleaseSharedPathPlayer();
    return result;
}
} // namespace ZK::SoundEngine
