// CZkStateMgr: the state-aware subscribers and the trigger receivers.
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/IZkTriggerReceiver.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkStateMgr::RegisterStateObject(CZkGroupSubscriber* subscriber, ZkUniqueID groupID)
{
    if (subscriber == nullptr)
        return ZK_InvalidParameter;
    return m_stateAware.Append(StateAwareNode{nullptr, subscriber, groupID}) != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkStateMgr::UnregisterStateObject(CZkGroupSubscriber* subscriber)
{
    if (!m_walking)
    {
        m_stateAware.RemoveIf([subscriber](const StateAwareNode& node) { return node.subscriber == subscriber; });
        return ZK_Success;
    }
    // The list is being walked: empty the nodes now, unlink them after the walk.
    for (StateAwareNode* node = m_stateAware.First(); node != nullptr; node = node->next)
    {
        if (node->subscriber == subscriber)
        {
            node->subscriber = nullptr;
            m_purgePending = true;
        }
    }
    return ZK_Success;
}

ZKRESULT CZkStateMgr::RegisterTriggerTarget(IZkTriggerReceiver* receiver, CZkRegisteredObj* object)
{
    return m_triggers.Append(TriggerNode{nullptr, receiver, 0, object}) != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkStateMgr::UnregisterTriggerTarget(IZkTriggerReceiver* receiver)
{
    m_triggers.RemoveIf([receiver](const TriggerNode& node) { return node.receiver == receiver; });
    return ZK_Success;
}

void CZkStateMgr::Trigger(ZkUniqueID triggerID, CZkRegisteredObj* object)
{
    for (TriggerNode* node = m_triggers.First(); node != nullptr; node = node->next)
    {
        if ((node->triggerID == 0 || node->triggerID == triggerID) && (object == nullptr || object == node->object))
            node->receiver->OnTrigger(triggerID);
    }
}

void CZkStateMgr::PostTriggerMessage(ZkGameObjectID objectID, ZkUniqueID triggerID)
{
    if (objectID == ZK_ALL_GAME_OBJECTS)
    {
        Trigger(triggerID, nullptr);
        return;
    }
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(objectID) : nullptr;
    if (object != nullptr)
        Trigger(triggerID, object);
}
} // namespace ZK::SoundEngine
