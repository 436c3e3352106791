// CZkHierarchyNode: the link entries a modulator attached to one of the node's plays gives.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkHierarchyNode::NotifyParamChange(ZK::ZkArray<ZkModulatorLinkEntry>& entries, ZkUniqueID modulatorID,
                                             CZkRegisteredObj*)
{
    if (g_pModulatorMgr == nullptr)
        return ZK_Success;
    for (const uint32_t bit : CZkModulatorMgr::kLinkedBits)
    {
        if ((m_params.UsedBits() >> bit & 1u) == 0)
            continue;
        ZkModulatorLinkEntry entry{};
        if (g_pModulatorMgr->GetLinkEntry(&m_params, bit, modulatorID, entry))
            entries.AddLast(entry);
    }
    return ZK_Success;
}

void CZkHierarchyNode::AppendModulatorKey(ZkModulatorKeyList& keys)
{
    if (g_pModulatorMgr == nullptr || m_params.Record() == nullptr || m_params.Record()->modulatorFlag == 0)
        return;
    g_pModulatorMgr->AppendEntryForKey(ZkModulatorTargetKey{&m_params, this, ZkRTPCSubscriberKind_TargetList, 0},
                                       keys);
}

void CZkHierarchyNode::RegisterModulatorKeys(ZkModulatorKeyList& keys, bool includeOutputBus)
{
    for (CZkHierarchyNode* level = this; level != nullptr; level = level->Parent())
    {
        level->AppendModulatorKey(keys);
        if (includeOutputBus && level->OutputBus() != nullptr)
            level->OutputBus()->RegisterModulatorKeys(keys, false);
    }
}
} // namespace ZK::SoundEngine
