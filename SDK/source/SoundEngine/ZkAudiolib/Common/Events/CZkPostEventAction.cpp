#include "ZkAudiolib/Common/Events/CZkPostEventAction.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkPostEventAction::Execute(PendingAction& pending)
{
    if (g_pEventMgr == nullptr || g_pObjectIndex == nullptr)
        return ZK_Fail;
    CZkIndexedObject* event = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, TargetID());
    if (event == nullptr)
        return ZK_InvalidID;
    uint32_t& depth = g_pEventMgr->NestedPostDepth();
    ZKRESULT result = ZK_Fail;
    if (depth < EventManager::kMaxNestedPosts)
    {
        ++depth;
        CZkRegisteredObj* object = pending.GameObject();
        result = g_pEventMgr->EnqueueEventActions(event, object, object != nullptr ? object->ID() : ZK_ALL_GAME_OBJECTS,
                                                  pending.playingID, 0, pending.PlayRecord(), 0, false);
        --depth;
    }
    event->Release();
    return result;
}
} // namespace ZK::SoundEngine
