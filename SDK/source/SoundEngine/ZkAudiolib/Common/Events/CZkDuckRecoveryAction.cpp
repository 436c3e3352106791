#include "ZkAudiolib/Common/Events/CZkDuckRecoveryAction.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include <algorithm>

namespace ZK::SoundEngine
{
ZKRESULT CZkDuckRecoveryAction::Queue(ZkUniqueID busID, uint32_t recoverySamples)
{
    if (g_pEventMgr == nullptr)
        return ZK_Fail;
    auto* recovery = ZK::ZkNew<CZkDuckRecoveryAction>(kPool);
    if (recovery == nullptr)
        return ZK_InsufficientMemory;
    recovery->SetTarget(busID, true);
    const auto delay = static_cast<int32_t>(std::min<uint32_t>(recoverySamples, INT32_MAX));
    auto* pending = recovery->SetIntProperty(ZkProp_ActionDelay, delay, 0, 0) == ZK_Success
                        ? ZK::ZkNew<PendingAction>(PendingAction::kPool, recovery, nullptr)
                        : nullptr;
    ZKRESULT result = ZK_InsufficientMemory;
    if (pending != nullptr)
    {
        // Forced into the list even when due at once: the bus counts on the recovery coming after
        // it went into its recovering state, never inside that change.
        result = g_pEventMgr->EnqueuePendingAction(pending, 0, true);
    }
    recovery->Release();
    return result;
}

ZKRESULT CZkDuckRecoveryAction::Execute(PendingAction&)
{
    if (CZkHierarchyNode* node = GetTargetNode())
    {
        if (auto* bus = dynamic_cast<CZkBus*>(node))
            bus->EndDuckRecovery();
        node->Release();
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
