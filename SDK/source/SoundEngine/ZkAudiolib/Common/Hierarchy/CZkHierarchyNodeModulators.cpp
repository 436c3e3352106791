// CZkHierarchyNode: the link entries a modulator attached to one of the node's plays gives.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

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
} // namespace ZK::SoundEngine
