#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"

#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"

namespace ZK::SoundEngine
{
CZkGroupSubscriber::~CZkGroupSubscriber() { Unregister(); }

ZkUniqueID CZkGroupSubscriber::GetGroupValue(CZkRegisteredObj* object, ZkUniqueID groupID, uint32_t kind)
{
    if (kind == ZkGroupType_State)
        return g_pStateMgr != nullptr ? g_pStateMgr->GetState(groupID) : 0;
    return g_pSwitchMgr != nullptr ? g_pSwitchMgr->GetSwitch(groupID, ZkRTPCKey::ForObject(object)) : 0;
}

ZKRESULT CZkGroupSubscriber::Register(ZkUniqueID groupID, uint32_t kind)
{
    Unregister();
    if (groupID == 0)
        return ZK_Success;
    switch (kind)
    {
    case ZkGroupType_Switch: return g_pSwitchMgr != nullptr ? g_pSwitchMgr->Subscribe(this, groupID) : ZK_Fail;
    case ZkGroupType_State: return g_pStateMgr != nullptr ? g_pStateMgr->RegisterStateObject(this, groupID) : ZK_Fail;
    default: return ZK_InvalidParameter;
    }
}

ZKRESULT CZkGroupSubscriber::Unregister()
{
    if (g_pSwitchMgr != nullptr)
        g_pSwitchMgr->Unsubscribe(this);
    return g_pStateMgr != nullptr ? g_pStateMgr->UnregisterStateObject(this) : ZK_Success;
}
} // namespace ZK::SoundEngine
